#include "loans/repairs/recorded_unit.h"

#include "db/errors.h"
#include "loans/records/record_table.h"
#include "loans/rules/repair_statements.h"

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

namespace {

// What the unit's record says when the journal could not take it: the
// repair is not undone by that.
std::string Unrecorded(const std::string& cause) {
    return "El cambio queda hecho, pero no se pudo escribir su registro (" + cause +
           "): no se podr\xE1 deshacer desde este equipo.";
}

// A commit whose answer was lost, asked again on a new connection.
void Settle(RecordStore* records, RecordedUnit& unit, const ECommitUnknown& unknown) {
    const RecordStore::Committed committed =
        records == nullptr ? RecordStore::Committed::kUnknown
                           : records->Resolve(unit.record, unit.outcome.before_fingerprint);
    const std::string loan = std::to_string(unit.record.loan);
    switch (committed) {
        case RecordStore::Committed::kYes:
            unit.result = RecordedUnit::Result::kDone;
            unit.settled = "Se perdi\xF3 la conexi\xF3n al confirmar el cambio del pr\xE9stamo " +
                           loan + "; al volver a conectar se comprob\xF3 que qued\xF3 hecho.";
            return;
        case RecordStore::Committed::kNo:
            unit.message = "Se perdi\xF3 la conexi\xF3n al confirmar el cambio del pr\xE9stamo " +
                           loan +
                           "; al volver a conectar se comprob\xF3 que no se hizo: nada cambi\xF3.";
            break;
        case RecordStore::Committed::kUnknown:
            unit.message = "Se perdi\xF3 la conexi\xF3n al confirmar el cambio del pr\xE9stamo " +
                           loan + " y no se pudo comprobar si qued\xF3 hecho (" +
                           unknown.Message() +
                           "); v\xE9"
                           "alo en el historial (F3) cuando vuelva la conexi\xF3n.";
            unit.connection_lost = true;
            break;
    }
    unit.result = RecordedUnit::Result::kFailed;
    unit.failure = std::make_exception_ptr(runtime::Exception(unit.message));
}

}  // namespace

RecordedUnit RunRecorded(RecordStore* records, const ConfirmedUnit& confirmed,
                         const RecordedWork& work) {
    RecordedUnit unit;
    BeforeCommit record_it;
    if (records != nullptr) {
        // Before anything is written: a unit that could not be recorded is
        // not made.
        records->ReadyToWrite();
        // Only a record to be written is made: it copies the unit's undo
        // image, which a preview or a skipped loan never needs.
        record_it = [&](db::TIBQuery& writer, const RepairOutcome& outcome) {
            unit.record = RecordOf(outcome, confirmed);
            records->Stamp(unit.record);
            records->WriteInTransaction(writer, unit.record);
        };
    }
    bool unsettled = false;
    try {
        unit.outcome = work(record_it);
        unit.result = FoundNothing(unit.outcome) ? RecordedUnit::Result::kNothing
                                                 : RecordedUnit::Result::kDone;
    } catch (ECommitUnknown& unknown) {
        unit.outcome = std::move(unknown.outcome);
        Settle(records, unit, unknown);
        unsettled = unit.result == RecordedUnit::Result::kFailed && unit.connection_lost;
    } catch (const std::exception& failure) {
        unit.result = RecordedUnit::Result::kFailed;
        unit.failure = std::current_exception();
        unit.message = failure.what();
        unit.connection_lost = db::IsConnectionLost(unit.failure);
    }
    if (records == nullptr || unit.result == RecordedUnit::Result::kNothing) return unit;
    // In the table, the row went in with the unit, or nothing did.
    if (records->InDatabase()) {
        if (unit.result == RecordedUnit::Result::kFailed) unit.record = RepairRecord{};
        return unit;
    }
    if (unsettled) {
        // Kept with its undo image: the undo's check of the loan's rows
        // tells later whether it was committed.
        unit.record.unconfirmed = true;
        unit.record.message = unit.message;
    } else if (unit.result == RecordedUnit::Result::kFailed) {
        unit.record = FailureRecord(confirmed, unit.message);
        records->Stamp(unit.record);
    }
    try {
        records->WriteAfter(unit.record);
    } catch (const std::exception& failure) {
        unit.record_failure = unit.result == RecordedUnit::Result::kFailed
                                  ? std::string(failure.what())
                                  : Unrecorded(failure.what());
    }
    return unit;
}

RepairRecord UndoableRecord(RecordStore& records, const std::string& id) {
    std::optional<RepairRecord> found = records.Find(id);
    if (!found) throw runtime::Exception("No hay ninguna reparaci\xF3n " + id + " en el registro");
    if (found->rolled_back || found->undo.after_fingerprint.empty()) {
        throw runtime::Exception("La reparaci\xF3n " + id + " no cambi\xF3 nada que deshacer");
    }
    if (!records.UndoneBy(*found).empty()) throw EAlreadyUndone(id);
    return std::move(*found);
}

RecordedUnit UndoRecord(RepairUnit& unit, RecordStore& records, const std::string& id,
                        ConfirmedUnit confirmed, const BeforeWrite& before_write) {
    const std::optional<RepairRecord> found = UndoableRecord(records, id);
    confirmed.member = found->member;
    confirmed.loan = found->loan;
    confirmed.repair = kUndoRepair;
    confirmed.undoes = id;
    // As the repair left the loan: an undo that fails changes nothing.
    confirmed.documents_balance_before = found->documents_balance_after;
    confirmed.receivable_balance_before = found->receivable_balance_after;
    return RunRecorded(&records, confirmed, [&](const BeforeCommit& record) {
        RepairOptions options;
        options.before_write = before_write;
        options.before_commit = record;
        return unit.Undo(found->undo, found->member, found->loan, options);
    });
}

}  // namespace loans
