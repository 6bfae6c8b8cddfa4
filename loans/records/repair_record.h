#pragma once

// The record of one confirmed repair or undo: who, when, where, what, the
// loan's figures before and after, and what undoing it takes. No Qt.

#include <cstdint>
#include <ctime>
#include <string>

#include "loans/records/loan_image.h"

namespace loans {

struct RepairRecord {
    std::string id;        // the unit of work's own name (empty: none given)
    std::time_t time = 0;  // written as UTC, ISO 8601
    std::string user;      // the operating-system user (CurrentUser())
    std::string database;  // the database name as db.ini gives it
    // Which database, whatever name reached it (DatabaseIdentity): a
    // journal's records of another database are never listed or undone.
    std::string database_id;
    std::string role;         // the SQL role (records kept in the database)
    std::string workstation;  // the computer it was made from
    std::string member;       // member code (ISO8859_1, like every program text)
    int32_t loan = 0;
    std::string repair;  // "Reindexar", "Corregir Tabla", both joined by " + ", "Deshacer"
    std::string undoes;  // for "Deshacer": the id of the record undone
    bool rolled_back = false;
    // The link was lost while the commit was on its way and it could not be
    // told whether the server committed; the undo's fingerprint check
    // decides later.
    bool unconfirmed = false;
    std::string message;  // the server's message when rolled back (or unconfirmed)
    long double documents_balance_before = 0;
    double receivable_balance_before = 0;
    long double documents_balance_after = 0;
    double receivable_balance_after = 0;
    int64_t rows_deleted = 0;
    int64_t rows_inserted = 0;
    int64_t rows_updated = 0;
    // What undoing it takes (nothing for a repair rolled back). A record
    // listed from the database's table comes without it (it may be large):
    // `undo_kept` says it is there, to be read when the record is undone.
    UndoImage undo;
    bool undo_kept = false;
};

// $XDG_DATA_HOME/analisis-socios/reparaciones.jsonl, or the same under
// ~/.local/share when XDG_DATA_HOME is not set.
std::string JournalPath();

// The login name of the effective user ($USER when the system has no entry).
std::string CurrentUser();

// This computer's name, as records name where a repair was made.
std::string ThisComputer();

}  // namespace loans
