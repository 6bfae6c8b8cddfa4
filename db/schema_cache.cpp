#include "db/schema_cache.h"

#include <cstring>

#include "db/errors.h"
#include "db/ib_database.h"
#include "db/ib_sql.h"
#include "db/ib_transaction.h"
#include "runtime/text.h"

namespace db {
namespace {

constexpr const char* kLookup =
    "Select F.RDB$COMPUTED_BLR, F.RDB$DEFAULT_VALUE, R.RDB$FIELD_NAME from RDB$RELATION_FIELDS R, "
    "RDB$FIELDS F where R.RDB$RELATION_NAME = :RELATION and R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME "
    "and ((not F.RDB$COMPUTED_BLR is NULL) or      (not F.RDB$DEFAULT_VALUE is NULL)) ";

std::string ColumnText(TIBXSQLVAR& column) {
    const XSQLVAR& var = column.Var();
    std::string text;
    if ((var.sqltype & ~1) == SQL_VARYING) {
        uint16_t length;
        std::memcpy(&length, var.sqldata, 2);
        text.assign(var.sqldata + 2, length);
    } else {
        text.assign(var.sqldata, static_cast<size_t>(var.sqllen));
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

}  // namespace

SchemaCache::SchemaCache(TIBDatabase& database)
    : database_(database), owner_(std::make_unique<TComponent>("SchemaCache")) {}

SchemaCache::~SchemaCache() = default;

bool SchemaCache::IsComputed(const std::string& relation, const std::string& column) {
    const ColumnFacts* facts = Find(relation, column);
    return facts != nullptr && facts->computed;
}

bool SchemaCache::HasDefault(const std::string& relation, const std::string& column) {
    const ColumnFacts* facts = Find(relation, column);
    return facts != nullptr && facts->has_default;
}

const SchemaCache::ColumnFacts* SchemaCache::Find(const std::string& relation,
                                                  const std::string& column) {
    Relation* found = nullptr;
    for (Relation& r : relations_) {
        if (runtime::SameTextLatin1(r.name, relation)) found = &r;
    }
    if (found == nullptr) {
        // Listed before the lookup, so a failing lookup is not retried on
        // every open.
        relations_.push_back({relation, {}});
        found = &relations_.back();
        Load(*found);
    }
    for (const ColumnFacts& facts : found->columns) {
        if (runtime::SameTextLatin1(facts.name, column)) return &facts;
    }
    return nullptr;
}

void SchemaCache::Load(Relation& relation) {
    TIBTransaction* transaction = database_.InternalTransaction();
    if (!statement_) {
        statement_ = std::make_unique<TIBSQL>(owner_.get());
        statement_->Base().SetDatabase(&database_);
        statement_->Base().SetTransaction(transaction);
        statement_->SetText(kLookup);
    }
    const bool started = !transaction->Active();
    if (started) transaction->StartTransaction();
    try {
        if (!statement_->Prepared()) statement_->Prepare();
        statement_->Params()[0].SetAsString(relation.name);
        statement_->GoToFirstRecordOnExecute = true;
        statement_->ExecQuery();
        while (!statement_->Eof()) {
            TIBXSQLDA& row = statement_->Current();
            relation.columns.push_back({ColumnText(row[2]), !row[0].IsNull(), !row[1].IsNull()});
            statement_->Next();
        }
        statement_->Close();
    } catch (...) {
        // The lookup's failure is the one reported, not its cleanup's.
        CleanUpAfterFailure([this] { statement_->Close(); });
        if (started && transaction->Active()) {
            CleanUpAfterFailure([transaction] { transaction->Rollback(); });
        }
        throw;
    }
    if (started) transaction->Commit();
}

}  // namespace db
