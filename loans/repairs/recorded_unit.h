#pragma once

// What a confirmed repair (or undo) of one loan came to, and its record:
// the one place that decides what a unit's outcome means, for the window,
// the portfolio dialog's bulk run and the command line alike. No Qt.

#include <cstdint>
#include <ctime>
#include <exception>
#include <functional>
#include <string>

#include "loans/records/repair_journal.h"
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
    // Set when the record could not be written (a full disk): a unit done
    // stays done, unrecorded.
    std::string record_failure;
};

// The record of a unit that committed.
RepairRecord RecordOf(const RepairOutcome& outcome, const ConfirmedUnit& confirmed);

// Runs `work` (one unit of work on the confirmed loan, which commits or
// rolls back as a whole) and records what it came to in `journal`: a unit
// that wrote, with its figures, counts and undo image; one that failed or
// was refused, as rolled back with its words and the figures known before.
// A unit that found nothing to do is not recorded, and nothing is when
// `journal` is null (a simulation). Never raises for the unit's failure.
RecordedUnit RunRecorded(JournalFile* journal, const ConfirmedUnit& confirmed,
                         const std::function<RepairOutcome()>& work);

}  // namespace loans
