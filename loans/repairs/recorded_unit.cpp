#include "loans/repairs/recorded_unit.h"

namespace loans {
namespace {

// Checked again inside its transaction, the loan needed none of the
// repairs asked for, and nothing was written.
bool FoundNothing(const RepairOutcome& outcome) {
    return outcome.repairs.empty() && outcome.counts.deleted == 0 && outcome.counts.inserted == 0 &&
           outcome.counts.updated == 0;
}

RepairRecord FailureRecord(const ConfirmedUnit& confirmed, const std::string& message) {
    RepairRecord record;
    record.id = NewRepairId();
    record.time = confirmed.confirmed;
    record.user = CurrentUser();
    record.database = confirmed.database;
    record.member = confirmed.member;
    record.loan = confirmed.loan;
    record.repair = confirmed.repair;
    record.undoes = confirmed.undoes;
    record.rolled_back = true;
    record.message = message;
    // Nothing of it remains: the loan's figures are those from before.
    record.documents_balance_before = confirmed.documents_balance_before;
    record.receivable_balance_before = confirmed.receivable_balance_before;
    record.documents_balance_after = confirmed.documents_balance_before;
    record.receivable_balance_after = confirmed.receivable_balance_before;
    return record;
}

}  // namespace

RepairRecord RecordOf(const RepairOutcome& outcome, const ConfirmedUnit& confirmed) {
    RepairRecord record;
    record.id = outcome.id;
    record.time = confirmed.confirmed;
    record.user = CurrentUser();
    record.database = confirmed.database;
    record.member = outcome.loan.member;
    record.loan = outcome.loan.loan;
    // What was done, which a second look may have narrowed from what was asked.
    record.repair = outcome.repairs.empty() ? confirmed.repair : RepairNames(outcome.repairs);
    record.undoes = confirmed.undoes;
    record.documents_balance_before = outcome.documents_balance_before;
    record.receivable_balance_before = outcome.receivable_balance_before;
    record.documents_balance_after = outcome.documents_balance_after;
    record.receivable_balance_after = outcome.receivable_balance_after;
    record.rows_deleted = outcome.counts.deleted;
    record.rows_inserted = outcome.counts.inserted;
    record.rows_updated = outcome.counts.updated;
    record.undo = outcome.undo;
    return record;
}

RecordedUnit RunRecorded(JournalFile* journal, const ConfirmedUnit& confirmed,
                         const std::function<RepairOutcome()>& work) {
    RecordedUnit unit;
    try {
        unit.outcome = work();
        unit.result = FoundNothing(unit.outcome) ? RecordedUnit::Result::kNothing
                                                 : RecordedUnit::Result::kDone;
    } catch (const std::exception& failure) {
        unit.result = RecordedUnit::Result::kFailed;
        unit.failure = std::current_exception();
        unit.message = failure.what();
    }
    if (journal == nullptr || unit.result == RecordedUnit::Result::kNothing) return unit;
    // Only a record to be written is made: it copies the unit's undo image,
    // a loan's every ledger row, which a preview or a skipped loan never needs.
    unit.record = unit.result == RecordedUnit::Result::kDone
                      ? RecordOf(unit.outcome, confirmed)
                      : FailureRecord(confirmed, unit.message);
    try {
        journal->Append(unit.record);
    } catch (const std::exception& failure) {
        unit.record_failure = failure.what();
    }
    return unit;
}

}  // namespace loans
