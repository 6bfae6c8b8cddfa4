#include "db/statement_cache.h"

#include <mutex>

#include "db/call_watch.h"
#include "db/client_library.h"
#include "db/errors.h"

namespace db {

void AbandonStatementHandle(std::unique_ptr<isc_stmt_handle>& cell) {
    // Held, never freed: the library may write into a cell until its
    // attachment ends, and a few bytes per failed drop are cheap. Kept
    // reachable so that the leak checker does not count them.
    static std::mutex lock;
    static auto& abandoned = *new std::vector<std::unique_ptr<isc_stmt_handle>>;
    {
        const std::lock_guard guard(lock);
        abandoned.push_back(std::move(cell));
    }
    cell = NewStatementHandle();
}

StatementCache::~StatementCache() {
    Clear();
}

std::string StatementCache::Key(const std::string& processed_text, int dialect) {
    std::string key;
    key.reserve(processed_text.size() + 2);
    key += static_cast<char>('0' + dialect);
    key += '\n';
    key += processed_text;
    return key;
}

void StatementCache::Drop(PreparedStatement& statement) const {
    if (*statement.handle == 0) return;
    ISC_STATUS result = 0;
    CleanUpAfterFailure([this, &statement, &result] {
        result = Watched(attachment_, [&statement] {
            return Api().isc_dsql_free_statement(StatusVector(), statement.handle.get(), DSQL_drop);
        });
    });
    if (result > 0) AbandonStatementHandle(statement.handle);
    *statement.handle = 0;
}

void StatementCache::Park(std::string key, std::unique_ptr<PreparedStatement> statement) {
    if (capacity_ <= 0) {
        Drop(*statement);
        return;
    }
    if (auto found = index_.find(key); found != index_.end()) {
        // Two objects prepared the same text: one copy is enough.
        Drop(*found->second->second);
        order_.erase(found->second);
        index_.erase(found);
    }
    EvictDownTo(capacity_ - 1);
    order_.emplace_front(key, std::move(statement));
    index_.emplace(std::move(key), order_.begin());
}

std::unique_ptr<PreparedStatement> StatementCache::Take(const std::string& key) {
    const auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    std::unique_ptr<PreparedStatement> statement = std::move(found->second->second);
    order_.erase(found->second);
    index_.erase(found);
    return statement;
}

void StatementCache::Clear() {
    EvictDownTo(0);
}

void StatementCache::SetCapacity(int capacity) {
    capacity_ = capacity > 0 ? capacity : 0;
    EvictDownTo(capacity_);
}

void StatementCache::EvictDownTo(int count) {
    while (static_cast<int>(order_.size()) > count) {
        Drop(*order_.back().second);
        index_.erase(order_.back().first);
        order_.pop_back();
    }
}

}  // namespace db
