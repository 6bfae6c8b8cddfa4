#pragma once

// Where one database's repair records are kept, and the one way to them:
// in the database's own table when it has one (every analyst's records,
// written in the repair's own transaction), or else in this computer's
// journal, whose records of other databases are never listed or undone.
// No Qt.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/records/journal_file.h"
#include "loans/records/repair_record.h"

namespace db {
class TIBDatabase;
}

namespace loans {

class RecordStore {
  public:
    // Looks, in a short read-only transaction of its own (opening the
    // connection when it is closed), whether the database keeps the
    // records, and when it does not, which database it is (for the
    // journal's records).
    explicit RecordStore(db::TIBDatabase& database, std::string journal_path = JournalPath());
    ~RecordStore();
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    bool InDatabase() const { return in_database_; }
    // Empty when the records are in the database.
    const std::string& Identity() const { return identity_; }
    // Where the listed records come from, in the analyst's words.
    std::string Where() const;

    // The loan's records, oldest first. From the table without their undo
    // images (`undo_kept`); from the journal only this database's, and
    // those of older versions that do not say which database they are of
    // (by its name) with nothing to undo.
    std::vector<RepairRecord> RecordsOf(const std::string& member, int32_t loan);
    // The record with its undo image; nothing when there is none. Raises
    // runtime::Exception when the journal's record is of another database
    // (or does not say which).
    std::optional<RepairRecord> Find(const std::string& id);
    // The id of the record that undid `record` ("" when none did).
    std::string UndoneBy(const RepairRecord& record);

    // Before a unit's first write: opens the journal when the records go
    // there, so that a repair that could not be recorded is not made.
    // Raises runtime::EInOutError naming the file and the cause.
    void ReadyToWrite();
    // Completes a new record with where it is made.
    void Stamp(RepairRecord& record) const;
    // Inside the unit's transaction, before its commit: the table's row.
    // Nothing when the records go to the journal.
    void WriteInTransaction(db::TIBQuery& writer, const RepairRecord& record);
    // After the unit's transaction ended: the journal's line. Nothing when
    // the records are in the database. Raises runtime::EInOutError.
    void WriteAfter(const RepairRecord& record);

    // After a commit whose answer was lost with the link: whether the
    // record's unit was committed, asked again on a new connection. The
    // table tells by the record's id; the journal's records by the loan's
    // rows, compared with those the unit left (`record.undo`) and found
    // (`before_fingerprint`).
    enum class Committed { kYes, kNo, kUnknown };
    Committed Resolve(const RepairRecord& record, const std::string& before_fingerprint);

  private:
    template <typename Work>
    auto Reading(const Work& work);

    db::TIBDatabase& database_;
    std::string journal_path_;
    bool in_database_ = false;
    std::string identity_;
    std::unique_ptr<JournalFile> journal_;
    db::TIBTransaction transaction_{"RecordTransaction"};
    db::TIBQuery query_{"RecordQuery"};
};

}  // namespace loans
