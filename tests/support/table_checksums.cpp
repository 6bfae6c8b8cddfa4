#include "tests/support/table_checksums.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tools/raw_client/raw_client.h"

namespace test_support {
namespace {

// Exact text of a value: doubles with all their digits, so that a change in
// the last cent (or below it) changes the hash.
std::string ExactText(const demo::Value& value) {
    char text[64];
    if (demo::IsNull(value)) return "<null>";
    if (const auto* string = std::get_if<std::string>(&value)) return "'" + *string + "'";
    if (const auto* number = std::get_if<double>(&value)) {
        std::snprintf(text, sizeof text, "%.17g", *number);
        return text;
    }
    if (const auto* when = std::get_if<demo::DateTime>(&value)) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", when->year,
                      when->month, when->day, when->hour, when->minute, when->second,
                      when->millisecond);
        return text;
    }
    return std::to_string(demo::AsInt(value));
}

uint64_t Fnv1a(const std::string& bytes, uint64_t hash = 14695981039346656037ull) {
    for (const unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string Trimmed(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace

std::map<std::string, TableChecksum> ChecksumTables(const std::string& database) {
    demo::Attachment attachment(database);
    demo::Transaction transaction(attachment);
    std::map<std::string, TableChecksum> checksums;
    for (const demo::Row& name :
         demo::SelectRows(transaction,
                          "select rdb$relation_name from rdb$relations "
                          "where rdb$system_flag = 0 and rdb$view_blr is null")) {
        const std::string table = Trimmed(demo::AsText(name.front()));
        // The records of repairs grow with every repair and undo, and the
        // run history with every portfolio check, and the requests and
        // resolutions with every request; they are checked on their own.
        if (table.rfind("REPARACIONES", 0) == 0 || table.rfind("REVISIONES", 0) == 0 ||
            table.rfind("SOLICITUDES", 0) == 0 || table == "RESOLUCIONES") {
            continue;
        }
        // Rows sorted by their text instead of by a key: not every table
        // has a primary key.
        std::vector<std::string> lines;
        for (const demo::Row& row : demo::SelectRows(transaction, "select * from " + table)) {
            std::string line;
            for (const demo::Value& value : row) line += ExactText(value) + "|";
            lines.push_back(std::move(line));
        }
        std::sort(lines.begin(), lines.end());
        TableChecksum& checksum = checksums[table];
        checksum.rows = static_cast<int64_t>(lines.size());
        checksum.hash = 14695981039346656037ull;
        for (const std::string& line : lines) checksum.hash = Fnv1a(line + "\n", checksum.hash);
    }
    return checksums;
}

}  // namespace test_support
