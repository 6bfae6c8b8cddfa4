#pragma once

// The journal of confirmed repairs: one JSON object per line, appended to a
// file in the user's data directory and on disk before the repair reports
// success. It holds no password: there is no field for one. No Qt.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "loans/records/loan_image.h"

namespace loans {

struct RepairRecord {
    std::string id;        // the unit of work's own name (empty: none given)
    std::time_t time = 0;  // written as UTC, ISO 8601
    std::string user;      // the operating-system user (CurrentUser())
    std::string database;  // the database name as db.ini gives it
    std::string member;    // member code (ISO8859_1, like every program text)
    int32_t loan = 0;
    std::string repair;  // "Reindexar", "Corregir Tabla", both joined by " + ", "Deshacer"
    std::string undoes;  // for "Deshacer": the id of the record undone
    bool rolled_back = false;
    std::string message;  // the server's message when rolled back
    long double documents_balance_before = 0;
    double receivable_balance_before = 0;
    long double documents_balance_after = 0;
    double receivable_balance_after = 0;
    int64_t rows_deleted = 0;
    int64_t rows_inserted = 0;
    int64_t rows_updated = 0;
    // What undoing it takes (nothing for a repair rolled back).
    UndoImage undo;
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
// rows_inserted, rows_updated; first "id" when the record has one, and
// last "undo" when there is something to undo: {"after": fingerprint,
// "columns": [name, ...] and "movements": [[value, ...], ...] (only when
// they were replaced; the values in the columns' order),
// "schedule": [{"before": [value, ...], "paid_after": [value, ...]}, ...]},
// each value a string or null.
std::string JournalLine(const RepairRecord& record);

// The record of the given id in the journal, read back from its line;
// nothing when no line has
// that id. Raises runtime::EInOutError when the journal cannot be read and
// runtime::Exception when the record's line is damaged.
std::optional<RepairRecord> FindRecord(const std::string& id,
                                       const std::string& path = JournalPath());

// The records of one member's loan, in the order they were journaled;
// none when the journal does not exist yet. Lines that cannot be read back
// (cut short, or missing a field) are passed by. Raises
// runtime::EInOutError when the journal cannot be read.
std::vector<RepairRecord> RecordsOf(const std::string& member, int32_t loan,
                                    const std::string& path = JournalPath());

// The journal held open: a repair opens it before it writes anything, so a
// repair that could not be recorded is refused rather than made unrecorded.
class JournalFile {
  public:
    // Opens the journal, creating it (owner only) and its folder (0700)
    // when missing. The folder must be a folder of the user's own and the
    // journal a regular file of the user's own: never a link, a pipe or a
    // device, and opening never waits. Raises runtime::EInOutError, whose
    // message names the file and the cause.
    explicit JournalFile(const std::string& path = JournalPath());
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Appends the record as one line, whole or not at all: after a failed
    // or short write the file is cut back to where it was, and the message
    // names the cause. On disk before it returns. A line left unfinished by
    // another writer is ended first, so every record stays a line of its own.
    void Append(const RepairRecord& record);

  private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
};

// Opens the journal and appends one record.
void AppendToJournal(const RepairRecord& record, const std::string& path = JournalPath());

}  // namespace loans
