#pragma once

// One repair of one loan as one unit of work on the live database: a short
// read-write transaction of its own, in which the loan and its documents are
// read, the repair writes, and a plain commit ends it (a rollback on any
// failure). Nothing stays open between repairs, so the program never holds
// back the server's clean-up of old record versions, and the rows a repair
// writes are made from the rows it read. No Qt.

#include <cstdint>
#include <string>

#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/repairs.h"

namespace db {
class TIBDatabase;
}

namespace loans {

enum class RepairKind { kRebuild, kCorrect };

// "Reindexar" or "Corregir Tabla", as the buttons and the journal name them.
const char* RepairName(RepairKind kind);

// What a repair found before it wrote, and what it wrote.
struct RepairOutcome {
    LoanRow loan;
    long double documents_balance_before = 0;
    double receivable_balance_before = 0;
    RepairCounts counts;
};

// The member's receivable balance in CXCTRX, for one loan or (loan 0) for
// all of them; 0 when there is none.
double ReceivableBalance(db::TIBQuery& reader, const std::string& member, int32_t loan);

class RepairUnit {
  public:
    explicit RepairUnit(db::TIBDatabase& database);
    ~RepairUnit();
    RepairUnit(const RepairUnit&) = delete;
    RepairUnit& operator=(const RepairUnit&) = delete;

    // Reads the member's loan and its documents as they stand now, repairs
    // it and commits; raises (after the rollback) when anything fails,
    // runtime::Exception when the member has no such loan.
    RepairOutcome Run(RepairKind kind, const std::string& member, int32_t loan);

  private:
    db::TIBDatabase& database_;
    db::TIBTransaction transaction_{"RepairTransaction"};
    db::TIBQuery query_{"RepairQuery"};
};

}  // namespace loans
