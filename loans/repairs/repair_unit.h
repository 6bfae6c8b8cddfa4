#pragma once

// One repair of one loan as one unit of work on the live database: a short
// read-write transaction of its own, in which the loan and its documents are
// read, the repair writes, and a plain commit ends it (a rollback on any
// failure). Nothing stays open between repairs, so the program never holds
// back the server's clean-up of old record versions, and the rows a repair
// writes are made from the rows it read. No Qt.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/records/loan_image.h"
#include "loans/rules/repairs.h"
#include "runtime/exception.h"

namespace db {
class TIBDatabase;
}

namespace loans {

enum class RepairKind { kRebuild, kCorrect };

// "Reindexar" or "Corregir Tabla", as the buttons and the journal name them.
const char* RepairName(RepairKind kind);
// Those of several repairs of one unit, joined by " + ".
std::string RepairNames(const std::vector<RepairKind>& kinds);

// What a repair found before it wrote, and what it wrote.
struct RepairOutcome {
    std::string id;  // names the unit of work in the journal
    LoanRow loan;
    long double documents_balance_before = 0;
    double receivable_balance_before = 0;
    // Read in the same transaction after writing (documents are not
    // written, so their balance stays).
    long double documents_balance_after = 0;
    double receivable_balance_after = 0;
    RepairCounts counts;
    // The repairs made, in order; empty when the loan needed none of those
    // asked for (see RepairOptions::recheck) and nothing was written.
    std::vector<RepairKind> repairs;
    // The loan's movements and schedule before and after, as far as the
    // unit writes them (a correction's ledger is not imaged, nor a
    // rebuild's schedule), the movements written only when simulated; the
    // whole loan before and after when planned or approved (before_write);
    // what undoing the unit takes; and, when asked, the fingerprint of the
    // rows as found (RepairOptions::fingerprint_before).
    LoanImage before;
    LoanImage after;
    UndoImage undo;
    // What the unit read (LoanFingerprint): the loan's movements and
    // schedule, and for a repair its applied documents. Set once it read
    // them; the same fingerprint later means the same rows are written.
    std::string fingerprint;
    std::string before_fingerprint;
};

// Called inside the unit's transaction once it has written, just before the
// commit: the record goes in with the repair, or neither does.
using BeforeCommit = std::function<void(db::TIBQuery& writer, const RepairOutcome& outcome)>;
// Called inside the unit's transaction once it has read the loan
// (`outcome.before` and `outcome.fingerprint` set), before its first
// write; raising there writes nothing.
using BeforeWrite = BeforeCommit;

struct RepairOptions {
    // Checks the loan again inside the transaction, by the portfolio
    // check's rules, and makes only the repairs it still needs.
    bool recheck = false;
    // Rolls back instead of committing: the outcome tells what would change.
    bool simulate = false;
    // Writes nothing to the books: the outcome's `after` is worked out from
    // what was read, as the repair would write it (repair_plan.h). For a
    // connection that may not write them; `before_commit` may still write
    // elsewhere (a request) and the unit is then committed.
    bool plan = false;
    // Fingerprints the rows as found too: a record that cannot be looked
    // up by its id (the journal's) tells by it whether a commit whose
    // answer was lost was made.
    bool fingerprint_before = false;
    // Neither is called when nothing would be written; `before_commit` not
    // when simulated.
    BeforeWrite before_write;
    BeforeCommit before_commit;
};

// A new identifier for a journal record: the time, then random digits.
std::string NewRepairId();

// Instalments of the loan whose paid capital or paid interest show
// differently from what the correction would write there, counted as the
// portfolio check counts them, in the given query's transaction; from the
// loan's applied documents as given, in their list's order, or as read.
int DifferingInstalments(db::TIBQuery& reader, int32_t loan);
int DifferingInstalments(db::TIBQuery& reader, int32_t loan,
                         const std::vector<AppliedDocument>& documents);

// Raised when an undo finds the loan's rows changed since the repair.
class EUndoRefused : public runtime::Exception {
  public:
    using runtime::Exception::Exception;
};

// Raised, after the rollback, when another analyst's transaction holds a
// row the unit must write: "Otro usuario está modificando el préstamo N;
// intente de nuevo." instead of the engine's lock-conflict text.
class EConcurrentRepair : public runtime::Exception {
  public:
    explicit EConcurrentRepair(int32_t loan);
};

// Raised when the link was lost while the commit was on its way: the
// server may have committed or not. Holds what the unit did, for asking
// again on a new connection.
class ECommitUnknown : public runtime::Exception {
  public:
    ECommitUnknown(int32_t loan, const std::string& cause);
    RepairOutcome outcome;
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
    // Several repairs of one loan as one unit: one transaction, in the
    // order given.
    RepairOutcome Run(const std::vector<RepairKind>& kinds, const std::string& member, int32_t loan,
                      const RepairOptions& options);
    // Puts the loan's rows back as the image holds them, in one
    // transaction; raises EUndoRefused, writing nothing, when they are no
    // longer what the repair left. The outcome's undo image undoes the undo.
    // Of the options, `plan`, `simulate` and the two calls count.
    RepairOutcome Undo(const UndoImage& image, const std::string& member, int32_t loan,
                       const RepairOptions& options = {});

  private:
    // Runs the work on `loan` in a new transaction, committed (or, when
    // asked, rolled back) after it; rolled back on any failure. A commit
    // whose answer is lost with the link raises ECommitUnknown holding
    // `outcome`.
    template <typename Work>
    void InTransaction(int32_t loan, bool commit, RepairOutcome& outcome, const Work& work);

    db::TIBDatabase& database_;
    db::TIBTransaction transaction_{"RepairTransaction"};
    db::TIBQuery query_{"RepairQuery"};
};

}  // namespace loans
