#pragma once

// The journal of confirmed repairs: one JSON object per line, appended to a
// file in the user's data directory and on disk before the repair reports
// success. It holds no password: there is no field for one. No Qt.

#include <cstdint>
#include <ctime>
#include <string>

namespace loans {

struct RepairRecord {
    std::time_t time = 0;  // written as UTC, ISO 8601
    std::string user;      // the operating-system user (CurrentUser())
    std::string database;  // the database name as db.ini gives it
    std::string member;    // member code (ISO8859_1, like every program text)
    int32_t loan = 0;
    std::string repair;  // "Reindexar" or "Corregir Tabla"
    bool rolled_back = false;
    std::string message;  // the server's message when rolled back
    long double documents_balance_before = 0;
    double receivable_balance_before = 0;
    long double documents_balance_after = 0;
    double receivable_balance_after = 0;
    int64_t rows_deleted = 0;
    int64_t rows_inserted = 0;
    int64_t rows_updated = 0;
};

// $XDG_DATA_HOME/analisis-socios/reparaciones.jsonl, or the same under
// ~/.local/share when XDG_DATA_HOME is not set.
std::string JournalPath();

// The login name of the effective user ($USER when the system has no entry).
std::string CurrentUser();

// The record as one line of JSON (UTF-8, no line break at the end).
// Keys: time, user, database, member, loan, repair, outcome ("done" or
// "rolled back"), message (rolled back only), documents_balance_before,
// receivable_balance_before, documents_balance_after,
// receivable_balance_after (numbers with two decimals), rows_deleted,
// rows_inserted, rows_updated.
std::string JournalLine(const RepairRecord& record);

// Appends the line and a line break in one write, then flushes it to disk.
// Creates the folder and the file (owner only) when missing. Raises
// runtime::EInOutError, whose message names the file and the cause, when
// any step fails.
void AppendToJournal(const RepairRecord& record, const std::string& path = JournalPath());

}  // namespace loans
