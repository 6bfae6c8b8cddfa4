#pragma once

// Builder of the large cooperative database the benchmarks run on: the
// schema of sql/ filled server-side, deterministically, at a chosen size.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct BenchDatabaseSize {
    int members = 100000;
    // Two loans per member on average; the rest follows from the loans
    // (about 25 installments and 30 documents each).
    int Loans() const { return members * 2; }
    int Employers() const { return 200; }
};

struct TableCount {
    std::string table;
    int64_t rows = 0;
};

// Called after each step with its name and its duration in seconds.
using StepReport = std::function<void(const std::string& step, double seconds)>;

// Creates the database at `path` (which must not exist) and fills it.
// Secondary indexes are switched off during the load and rebuilt at the
// end; every index of the schema is active when this returns. On failure
// the partial file is removed.
void BuildBenchDatabase(const std::string& path, const BenchDatabaseSize& size,
                        const StepReport& report);

// Row counts of the cooperative tables.
std::vector<TableCount> CountRows(const std::string& path);

}  // namespace bench
