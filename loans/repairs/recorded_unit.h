#pragma once

// What a confirmed repair (or undo) of one loan came to, and its record:
// the one place that decides what a unit's outcome means, for the window,
// the portfolio dialog's bulk run and the command line alike. No Qt.

#include <cstdint>
#include <ctime>
#include <exception>
#include <functional>
#include <string>

#include "loans/records/record_store.h"
#include "loans/repairs/repair_unit.h"

namespace loans {

// The unit as the analyst confirmed it, with the loan's figures as known
// then: a unit that fails before it reads is recorded with these.
struct ConfirmedUnit {
    std::string database;  // as db.ini names it
    std::string member;
    int32_t loan = 0;
    std::string repair;  // as recorded: "Reindexar", "Corregir Tabla", both, "Deshacer"
    std::string undoes;  // for "Deshacer": the record undone
    long double documents_balance_before = 0;
    double receivable_balance_before = 0;
    std::time_t confirmed = std::time(nullptr);
};

struct RecordedUnit {
    enum class Result {
        kDone,     // committed (or, simulated, would be): `outcome` says what
        kNothing,  // checked again and found nothing to do: no record
        kFailed,   // rolled back, or refused before its first write
    };
    Result result = Result::kFailed;
    RepairOutcome outcome;       // kDone and kNothing
    std::exception_ptr failure;  // kFailed: as raised, for the caller to show
    std::string message;         // kFailed: its words
    RepairRecord record;         // what was recorded (none when nothing is)
    // Set when the journal's line could not be written (a full disk): a
    // unit done stays done, unrecorded, and the text says so whole.
    std::string record_failure;
    // The link to the database was lost: a run of many units stops.
    bool connection_lost = false;
    // The link was lost while the commit was on its way, and a new
    // connection found it committed (kDone): says so.
    std::string settled;
};

// The record of a unit that committed.
RepairRecord RecordOf(const RepairOutcome& outcome, const ConfirmedUnit& confirmed);

// One unit of work on the confirmed loan, which commits or rolls back as a
// whole, given what records it inside its transaction (to be passed on to
// RepairUnit).
using RecordedWork = std::function<RepairOutcome(const BeforeCommit& record)>;

// Runs `work` and records what it came to in `records`. In the database's
// table, a unit that wrote has its row written in its own transaction,
// before the commit, and a unit that failed has none. In the journal, after
// the unit: a unit that wrote, with its figures, counts and undo image; one
// that failed or was refused, as rolled back with its words and the figures
// known before. A commit whose answer the link lost is asked again on a new
// connection. A unit that found nothing to do is not recorded, and nothing
// is when `records` is null (a simulation). Raises (before the unit) only
// when the journal cannot be opened; never for the unit's failure.
RecordedUnit RunRecorded(RecordStore* records, const ConfirmedUnit& confirmed,
                         const RecordedWork& work);

// Undoes the record of that id ("Deshacer") on the loan it names, as one
// recorded unit whose record names the one undone: the loan's rows go back
// to what the record kept, refused (EUndoRefused) when they changed since.
// Raises, before anything is written, runtime::Exception when there is no
// such record or it left nothing to undo, and EAlreadyUndone when another
// record undid it already (the database's table refuses that too).
// `before_write` is called in the undo's transaction before it writes.
RecordedUnit UndoRecord(RepairUnit& unit, RecordStore& records, const std::string& id,
                        ConfirmedUnit confirmed, const BeforeWrite& before_write = {});

// The record of that id with what undoing it takes; raises as UndoRecord
// does before anything is written.
RepairRecord UndoableRecord(RecordStore& records, const std::string& id);

}  // namespace loans
