#pragma once

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"

namespace loans {

// Runs `work` (reads, or a short write) in one transaction of its own,
// committed when it ends and rolled back, its failure raised, when it
// raises. A connection a lost link closed is opened again first; the query's
// statement goes back to the connection's cache before the commit.
template <typename Work>
auto InShortTransaction(db::TIBDatabase& database, db::TIBTransaction& transaction,
                        db::TIBQuery& query, const Work& work) {
    if (!database.Connected()) database.Open();
    transaction.StartTransaction();
    try {
        auto result = work();
        query.Close();
        query.SQL().Clear();
        transaction.Commit();
        return result;
    } catch (...) {
        try {
            if (transaction.Active()) transaction.Rollback();
        } catch (...) {
            // The first failure is the one reported.
        }
        throw;
    }
}

}  // namespace loans
