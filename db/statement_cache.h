#pragma once

#include <ibase.h>

#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/xsqlda.h"

namespace db {

class FieldLayout;

// The client library remembers where the handle given to
// isc_dsql_alloc_statement2 lives and writes 0 there when the statement is
// released (dropped, or at detach). So a handle lives in a cell of its own
// that moves with the statement between a query and the cache: the write
// lands in the statement's own handle, never in whatever the query that
// first prepared it holds by then.
inline std::unique_ptr<isc_stmt_handle> NewStatementHandle() {
    return std::make_unique<isc_stmt_handle>(0);
}

// After a drop that failed the client library may still hold the statement
// and write into its cell later (at detach): the cell is left to it for the
// rest of the run, and the holder starts again with a new one.
void AbandonStatementHandle(std::unique_ptr<isc_stmt_handle>& cell);

// A server statement that no statement object holds any more, kept with
// what its prepare learnt so the same text can run again without one.
struct PreparedStatement {
    std::unique_ptr<isc_stmt_handle> handle = NewStatementHandle();
    int sql_type = 0;
    // The server remembers the cursor name given to the handle.
    std::string cursor_name;
    bool cursor_named = false;  // whether it has been given one yet
    // Parameters as described; binding rewrites the live copies.
    std::vector<XSQLVAR> described_input;
    TIBXSQLDA output;
    // The fields its columns offer, once a query has worked them out.
    std::shared_ptr<const FieldLayout> layout;
};

// Per connection: idle prepared statements by the exact text sent to the
// server and the dialect it was prepared in. Bounded; the statement used
// longest ago is dropped first.
class StatementCache {
  public:
    // `attachment`: the connection's handle, for the call watch.
    explicit StatementCache(const isc_db_handle* attachment) : attachment_(attachment) {}
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    static std::string Key(const std::string& processed_text, int dialect);

    // Keeps a statement whose cursor is closed. With no room it is dropped
    // instead, or the oldest one makes room for it.
    void Park(std::string key, std::unique_ptr<PreparedStatement> statement);
    // The statement kept for the key, now the caller's; nullptr when none.
    std::unique_ptr<PreparedStatement> Take(const std::string& key);
    // Drops every kept statement on the server. Failures are not raised:
    // the attachment releases its statements when it ends at the latest.
    void Clear();

    int Count() const { return static_cast<int>(order_.size()); }
    int Capacity() const { return capacity_; }
    void SetCapacity(int capacity);

  private:
    using Entry = std::pair<std::string, std::unique_ptr<PreparedStatement>>;
    void Drop(PreparedStatement& statement) const;
    void EvictDownTo(int count);

    const isc_db_handle* attachment_;
    int capacity_ = 64;
    std::list<Entry> order_;  // most recently parked first
    std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace db
