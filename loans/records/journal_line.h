#pragma once

// A record as one line of the journal, written and read back. No Qt.

#include <string>

#include "loans/records/repair_record.h"

namespace loans {

// The record as one line of JSON (UTF-8, no line break at the end).
// Keys: time, user, database, database_id and workstation (when known),
// member, loan, repair, outcome ("done", "rolled back", or "unknown": the
// link was lost during the commit and nobody could tell), message (rolled
// back or unknown only), documents_balance_before,
// receivable_balance_before, documents_balance_after,
// receivable_balance_after (numbers with two decimals), rows_deleted,
// rows_inserted, rows_updated; first "id" when the record has one, and
// last "undo" when there is something to undo: {"after": fingerprint,
// "columns": [name, ...] and "movements": [[value, ...], ...] (only when
// they were replaced; the values in the columns' order),
// "schedule": [{"before": [value, ...], "paid_after": [value, ...]}, ...]},
// each value a string or null.
std::string JournalLine(const RepairRecord& record);

// The record a line of the journal holds. Raises runtime::Exception
// ("linea danada") when the line is not one JournalLine writes: cut short,
// missing a field, a number that is not one.
RepairRecord ParseJournalLine(const std::string& line);
// The same record as a list shows it: its undo image read through and let
// go (a loan's every ledger row, megabytes), `undo_kept` saying whether
// there is one.
RepairRecord ParseListedJournalLine(const std::string& line);

// What undoing a record takes, as the journal line's "undo" object (the
// repair records' table keeps the same text), and read back; raises
// runtime::Exception ("linea danada") like ParseJournalLine.
std::string UndoText(const UndoImage& undo);
UndoImage ParseUndoText(const std::string& text);

// What a unit changes, as text of the same kind, and read back (raises
// like ParseUndoText): {"columns": [name, ...], "out": [[value, ...], ...],
// "in": [...], "schedule": [{"before": [...], "paid_after": [...]}, ...]}.
std::string ChangeText(const ChangeImage& change);
ChangeImage ParseChangeText(const std::string& text);

// A text of the program's bytes (ISO8859_1) as a JSON string, quoted.
std::string JsonText(const std::string& latin1);

}  // namespace loans
