#include "loans/records/record_store.h"

#include "db/ib_database.h"
#include "loans/records/record_table.h"
#include "loans/records/repair_journal.h"
#include "loans/records/short_transaction.h"
#include "runtime/exception.h"

namespace loans {

template <typename Work>
auto RecordStore::Reading(const Work& work) {
    return InShortTransaction(database_, transaction_, query_, work);
}

RecordStore::RecordStore(db::TIBDatabase& database, std::string journal_path)
    : database_(database), journal_path_(std::move(journal_path)) {
    transaction_.SetDefaultDatabase(&database);
    // Reads what others committed, holds nothing back.
    transaction_.Params().Assign({"read", "read_committed", "rec_version", "nowait"});
    query_.SetDatabase(&database);
    query_.SetTransaction(&transaction_);
    Reading([this] {
        in_database_ = RecordTableExists(query_);
        // Only the journal's records need to say which database they are
        // of; the monitoring tables' snapshot is not free (every repair
        // opens a store).
        if (!in_database_) identity_ = DatabaseIdentity(query_);
        return 0;
    });
}

RecordStore::~RecordStore() {
    try {
        if (transaction_.Active()) transaction_.Rollback();
    } catch (...) {
        // The connection is gone; so is the transaction.
    }
}

std::string RecordStore::Where() const {
    if (in_database_) return "Registros de la base de datos (todos los usuarios)";
    return "Registros de este equipo (" + journal_path_ +
           "); la base de datos no tiene la tabla REPARACIONES";
}

std::vector<RepairRecord> RecordStore::RecordsOf(const std::string& member, int32_t loan) {
    if (in_database_) {
        return Reading([&] { return TableRecordsOf(query_, member, loan); });
    }
    std::vector<RepairRecord> listed;
    for (RepairRecord& record : loans::RecordsOf(member, loan, journal_path_)) {
        if (record.database_id.empty()) {
            // Written before records named their database: shown when its
            // name is this one's, but which database it changed is not
            // known, so nothing of it is undone.
            if (record.database != database_.DatabaseName()) continue;
            record.undo_kept = false;
        } else if (record.database_id != identity_) {
            continue;
        }
        // Listed without its undo image: the record undone is read again
        // whole.
        listed.push_back(std::move(record));
    }
    return listed;
}

std::optional<RepairRecord> RecordStore::Find(const std::string& id) {
    if (in_database_) return Reading([&] { return FindTableRecord(query_, id); });
    std::optional<RepairRecord> found = FindRecord(id, journal_path_);
    if (found && found->database_id != identity_) {
        throw runtime::Exception(found->database_id.empty()
                                     ? "El registro " + id +
                                           " no dice de qu\xE9 base de datos es; no se deshace"
                                     : "El registro " + id + " es de otra base de datos (" +
                                           found->database + "); no se deshace en esta");
    }
    return found;
}

std::string RecordStore::UndoneBy(const RepairRecord& record) {
    if (in_database_) return Reading([&] { return TableUndoneBy(query_, record.id); });
    for (const RepairRecord& later : RecordsOf(record.member, record.loan)) {
        if (later.undoes == record.id && !later.rolled_back) return later.id;
    }
    return {};
}

void RecordStore::ReadyToWrite() {
    if (!in_database_ && !journal_) journal_ = std::make_unique<JournalFile>(journal_path_);
}

void RecordStore::Stamp(RepairRecord& record) const {
    record.database_id = identity_;
    record.workstation = ThisComputer();
}

void RecordStore::WriteInTransaction(db::TIBQuery& writer, const RepairRecord& record) {
    if (in_database_) InsertRecord(writer, record);
}

void RecordStore::WriteAfter(const RepairRecord& record) {
    if (in_database_) return;
    ReadyToWrite();
    journal_->Append(record);
}

RecordStore::Committed RecordStore::Resolve(const RepairRecord& record,
                                            const std::string& before_fingerprint) {
    try {
        // The old connection died with the link: ask on a new one. Let go,
        // not closed: a close would wait on, and fail on, the dead link and
        // leave the connection counted as open.
        if (database_.Connected()) database_.ForcedClose();
        return Reading([&] {
            if (in_database_) {
                return TableHasRecord(query_, record.id) ? Committed::kYes : Committed::kNo;
            }
            const std::vector<ImageColumn> columns = StoredColumns(query_, "CXCTRX");
            const std::string now = FingerprintLike(record.undo.after_fingerprint, query_, columns,
                                                    record.member, record.loan);
            if (now == record.undo.after_fingerprint) return Committed::kYes;
            if (!before_fingerprint.empty() && now == before_fingerprint) return Committed::kNo;
            return Committed::kUnknown;
        });
    } catch (const std::exception&) {
        return Committed::kUnknown;
    }
}

}  // namespace loans
