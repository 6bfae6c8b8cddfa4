#pragma once

// The repair records kept in the database (sql/reparaciones.sql): one row of
// REPARACIONES per committed repair or undo, written in the unit's own
// transaction, and what undoing it takes in REPARACIONES_IMAGENES. Every
// function works in the given query's transaction. No Qt.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "db/ib_query.h"
#include "loans/records/repair_record.h"
#include "runtime/exception.h"

namespace loans {

// True when the database has the records' table.
bool RecordTableExists(db::TIBQuery& reader);

// Which database this is, whatever name reached it: the file as the server
// knows it and when it was created (a copy made elsewhere, or restored,
// is another database).
std::string DatabaseIdentity(db::TIBQuery& reader);

// Inserts the record (and its undo image, in parts). The server sets who,
// when and from where; `record.workstation` only completes the address it
// sees. Raises EAlreadyUndone when the record's `undoes` was undone already.
void InsertRecord(db::TIBQuery& writer, const RepairRecord& record);

// As InsertRecord, for a record copied from a computer's journal: its own
// time and user are kept beside the server's.
void InsertImportedRecord(db::TIBQuery& writer, const RepairRecord& record);

// The loan's records, oldest first, without their undo images.
std::vector<RepairRecord> TableRecordsOf(db::TIBQuery& reader, const std::string& member,
                                         int32_t loan);

// The record of that id with its undo image; nothing when there is none.
std::optional<RepairRecord> FindTableRecord(db::TIBQuery& reader, const std::string& id);

// Whether the table has a record of that id; and the id of the record that
// undid `id` ("" when none did).
bool TableHasRecord(db::TIBQuery& reader, const std::string& id);
std::string TableUndoneBy(db::TIBQuery& reader, const std::string& id);

// The server's wall clock, as seconds since 1970 on it, as a time: the
// department's computers share its time zone.
std::time_t FromServerClock(double seconds);

// Raised when an undo names a record already undone: the database's own
// unique key refused it, or it was seen before writing.
class EAlreadyUndone : public runtime::Exception {
  public:
    explicit EAlreadyUndone(const std::string& id);
};

}  // namespace loans
