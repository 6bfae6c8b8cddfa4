#include "loans/records/repair_journal.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "loans/records/journal_line.h"
#include "runtime/exception.h"

namespace loans {

std::optional<RepairRecord> FindRecord(const std::string& id, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw runtime::EInOutError(
            "No se pudo leer el registro de reparaciones " + path + ": " + std::strerror(errno),
            errno);
    }
    const std::string wanted = "\"id\":" + JsonText(id) + ",";
    std::string line;
    while (std::getline(in, line)) {
        // Only the line that names the id is read in full; other lines
        // (older records without one, a line cut short) are passed by.
        if (line.rfind("{" + wanted, 0) != 0) continue;
        try {
            return ParseJournalLine(line);
        } catch (const std::exception&) {
            throw runtime::Exception("El registro " + id + " de " + path +
                                     " est\xE1 da\xF1"
                                     "ado; no se puede deshacer");
        }
    }
    return std::nullopt;
}

std::vector<RepairRecord> RecordsOf(const std::string& member, int32_t loan,
                                    const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return {};  // nothing repaired yet
        throw runtime::EInOutError(
            "No se pudo leer el registro de reparaciones " + path + ": " + std::strerror(errno),
            errno);
    }
    const std::string member_key = "\"member\":" + JsonText(member) + ",";
    const std::string loan_key = "\"loan\":" + std::to_string(loan) + ",";
    std::vector<RepairRecord> records;
    std::string line;
    while (std::getline(in, line)) {
        if (line.find(member_key) == std::string::npos ||
            line.find(loan_key) == std::string::npos) {
            continue;
        }
        try {
            RepairRecord record = ParseListedJournalLine(line);
            if (record.member == member && record.loan == loan)
                records.push_back(std::move(record));
        } catch (const std::exception&) {
            // A line cut short cannot be shown or undone; the others still
            // can.
        }
    }
    return records;
}

}  // namespace loans
