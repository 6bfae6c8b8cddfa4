#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace test_support {

// What one table holds, in two numbers: its row count and a hash of all its
// rows independent of their order (every value written out exactly).
struct TableChecksum {
    int64_t rows = 0;
    uint64_t hash = 0;
    bool operator==(const TableChecksum&) const = default;
};

// Every user table of the database (views left out) but the repair
// records', the portfolio check's run history and the requests' and
// resolutions', by name, read through a fresh raw attachment so that only
// committed rows count: the books, which an undo puts back as they were.
std::map<std::string, TableChecksum> ChecksumTables(const std::string& database);

}  // namespace test_support
