#pragma once

// Repairing many loans, each one unit: the loan is checked again inside its
// own transaction, repaired there with every repair it still needs
// ("Reindexar" before "Corregir Tabla") and committed, then journaled; a
// loan that fails is rolled back alone and the run goes on. No Qt.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "loans/records/record_store.h"
#include "loans/repairs/repair_unit.h"

namespace db {
class TIBDatabase;
}

namespace loans {

// kRequested and kRefused where repairs need approval (loans/approval):
// a request was filed, or refused (the loan has one open already).
enum class LoanResult { kRepaired, kSkipped, kFailed, kNotReached, kRequested, kRefused };

struct LoanRepair {
    LoanCheck check;                // as the check found it
    std::vector<RepairKind> asked;  // what the check asked for
    LoanResult result = LoanResult::kNotReached;
    std::string message;    // why it failed (the server's words) or was refused
    RepairOutcome outcome;  // repaired (or simulated, or requested): what was done
    int32_t request = 0;    // kRequested: the request's number
};

// What a run came to. Each loan's outcome is told as it ends
// (BulkOptions::done) and kept no longer, so that a run over many loans
// holds one loan's rows at a time; the result keeps the counts and, without
// their outcomes, the loans that failed (or whose request was refused) and
// those not reached, in order.
struct BulkResult {
    std::vector<LoanRepair> failures;
    std::vector<LoanRepair> unreached;
    int repaired = 0;
    int skipped = 0;
    int failed = 0;
    int not_reached = 0;
    int requested = 0;
    int refused = 0;
    // The loans were filed as requests (repairs need approval), not repaired.
    bool requests = false;
    // Set when a record could not be journaled: the run stopped there (the
    // loan's repair stands, unrecorded).
    std::string journal_failure;
    // Set when the link to the database was lost: the run stopped there,
    // and the loans after it were not attempted (kNotReached).
    std::string connection_lost;
};

struct BulkOptions {
    bool simulate = false;  // nothing committed, nothing recorded
    // With simulate: nothing written at all, what would be written worked
    // out instead (RepairOptions::plan), for a connection that may not
    // write the books.
    bool plan = false;
    // Recorded there when not null.
    RecordStore* records = nullptr;
    std::string database_name;  // for the records
    // Asked before each loan; true stops the run there.
    std::function<bool()> stop;
    // Told after each loan, with how many are done of how many: the one
    // place its outcome (and a simulation's rows) can be seen.
    std::function<void(const LoanRepair&, size_t done, size_t total)> done;
};

// The repairs a flagged loan asks for, in the order they are made.
std::vector<RepairKind> RepairsFor(const LoanCheck& check);

// What a unit did or, simulated, would do, one line each: "- CXCTRX ..." for
// each ledger row deleted and "+ CXCTRX ..." for each inserted (rows written
// back unchanged left out), "cuota N: pagado capital OLD -> NEW, ..." for
// each instalment whose paid amounts move, then "balance documentos OLD ->
// NEW, balance cxc OLD -> NEW". Latin-1, like the rows' own texts.
std::vector<std::string> ChangeLines(const RepairOutcome& outcome);

BulkResult RepairMany(db::TIBDatabase& database, const std::vector<LoanCheck>& flagged,
                      const BulkOptions& options);

}  // namespace loans
