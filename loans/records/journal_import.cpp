#include "loans/records/journal_import.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/records/journal_line.h"
#include "loans/records/record_table.h"
#include "runtime/exception.h"

namespace loans {

ImportCounts ImportJournal(db::TIBDatabase& database, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return {};  // nothing was ever recorded here
        throw runtime::EInOutError(
            "No se pudo leer el registro de reparaciones " + path + ": " + std::strerror(errno),
            errno);
    }
    if (!database.Connected()) database.Open();
    db::TIBTransaction transaction("ImportTransaction");
    transaction.SetDefaultDatabase(&database);
    transaction.Params().Assign({"write", "read_committed", "rec_version", "nowait"});
    db::TIBQuery query("ImportQuery");
    query.SetDatabase(&database);
    query.SetTransaction(&transaction);
    transaction.StartTransaction();
    ImportCounts counts;
    try {
        if (!RecordTableExists(query)) {
            throw runtime::Exception(
                "La base de datos no tiene la tabla REPARACIONES: ejecute antes "
                "sql/reparaciones.sql");
        }
        const std::string identity = DatabaseIdentity(query);
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty()) continue;
            RepairRecord record;
            try {
                record = ParseJournalLine(line);
            } catch (const std::exception&) {
                ++counts.not_copied;
                continue;
            }
            if (!record.database_id.empty() && record.database_id != identity) {
                ++counts.other_database;
            } else if (record.database_id.empty() || record.id.empty() || record.rolled_back ||
                       record.unconfirmed) {
                ++counts.not_copied;
            } else if (TableHasRecord(query, record.id)) {
                ++counts.present;
            } else if (!record.undoes.empty() && (!TableHasRecord(query, record.undoes) ||
                                                  !TableUndoneBy(query, record.undoes).empty())) {
                ++counts.not_copied;
            } else {
                InsertImportedRecord(query, record);
                ++counts.copied;
            }
        }
        if (in.bad()) {
            throw runtime::EInOutError("No se pudo leer el registro de reparaciones " + path, EIO);
        }
        query.Close();
        transaction.Commit();
    } catch (...) {
        try {
            if (transaction.Active()) transaction.Rollback();
        } catch (...) {
        }
        throw;
    }
    return counts;
}

}  // namespace loans
