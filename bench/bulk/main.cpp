// coop-bench-bulk LAYER_DATABASE RAW_DATABASE LABEL: repairs the first
// 1,000 loans the portfolio check flags, through the program's bulk repair
// (loans::RepairMany with its records) on one copy of the benchmark
// database and through the bare client API sending the same statements on
// another copy in the same state, and prints "bulk_repair_<label>_..."
// lines; then, embedded, the program alone over the first 20,000
// (COOP_BENCH_BULK_MEMORY_LOANS, 0 for none), for its memory: the resident
// set's growth over each run.
// Both copies get the records' table first (sql/reparaciones.sql, as the
// demo builder runs it), so each path writes a record per loan in its
// transaction. Each path's counts go to standard error; a journal, when
// used, goes to $XDG_DATA_HOME/analisis-socios/ (the raw one beside the
// program's).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "bench/bulk/raw_bulk.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/checks/portfolio_check.h"
#include "loans/records/repair_journal.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/rules/connection_profile.h"
#include "runtime/text.h"
#include "tools/demo_db/demo_database.h"
#include "tools/raw_client/raw_client.h"

namespace {

// COOP_BENCH_BULK_LOANS for a shorter try.
size_t LoanCount() {
    const char* text = std::getenv("COOP_BENCH_BULK_LOANS");
    return text != nullptr ? static_cast<size_t>(std::max(1, std::atoi(text))) : 1000;
}
size_t MemoryLoanCount() {
    const char* text = std::getenv("COOP_BENCH_BULK_MEMORY_LOANS");
    return text != nullptr ? static_cast<size_t>(std::max(0, std::atoi(text))) : 20000;
}

// The process's resident set now, in kB.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

// The role's and the records' scripts, as the demo builder runs them:
// each statement committed, since a grant names a table only once that is.
// Both run again without changing anything.
void AddRecordTables(const std::string& database) {
    demo::Attachment attachment(database);
    for (const std::string& file : {demo::RoleFile(), demo::RecordTableFile()}) {
        for (const std::string& statement : demo::ReadSqlScript(file)) {
            if (runtime::UpperLatin1(statement) == "COMMIT") continue;
            demo::Transaction transaction(attachment);
            demo::ExecuteImmediate(transaction, statement);
            transaction.Commit();
        }
    }
}
// The two paths take turns over this many loans at a time, so that a busy
// machine slows both alike.
constexpr size_t kTurn = 100;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Print(const std::string& name, double value, const char* unit, int decimals) {
    std::printf("%s %.*f %s\n", name.c_str(), decimals, value, unit);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: coop-bench-bulk LAYER_DATABASE RAW_DATABASE LABEL\n");
        return 2;
    }
    const std::string label = argv[3];
    try {
        AddRecordTables(argv[1]);
        AddRecordTables(argv[2]);
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction reading("IBTransaction1");
        loans::ConfigureProgramConnection(database, reading, argv[1]);
        // Both copies are alike: the check on one names the loans of both.
        const std::vector<loans::LoanCheck> all_flagged = loans::RunCheck(database).Flagged();
        std::vector<loans::LoanCheck> flagged = all_flagged;
        const size_t count = LoanCount();
        if (flagged.size() < count) {
            std::fprintf(stderr, "coop-bench-bulk: only %zu flagged loans\n", flagged.size());
            return 1;
        }
        flagged.resize(count);

        const std::string journal_path = loans::JournalPath();
        loans::RecordStore records(database, journal_path);
        records.ReadyToWrite();
        loans::BulkOptions options;
        options.records = &records;
        options.database_name = database.DatabaseName();
        const std::string raw_journal_path =
            (std::filesystem::path(journal_path).parent_path() / "raw.jsonl").string();
        bench::RawBulkRepair raw(argv[2], raw_journal_path);

        // The most the resident set grew over the run, looked at every 100
        // loans: flat when the run keeps nothing of a loan once done.
        const long resident_before = ResidentKb();
        long resident_most = resident_before;
        options.done = [&](const loans::LoanRepair&, size_t done, size_t) {
            if (done % 100 == 0) resident_most = std::max(resident_most, ResidentKb());
        };
        double layer_seconds = 0;
        double raw_seconds = 0;
        int layer_counts[3] = {0, 0, 0};  // repaired, skipped, failed
        int raw_counts[3] = {0, 0, 0};
        for (size_t first = 0; first < flagged.size(); first += kTurn) {
            const std::vector<loans::LoanCheck> turn(
                flagged.begin() + static_cast<std::ptrdiff_t>(first),
                flagged.begin() +
                    static_cast<std::ptrdiff_t>(std::min(first + kTurn, flagged.size())));
            auto start = std::chrono::steady_clock::now();
            const loans::BulkResult result = loans::RepairMany(database, turn, options);
            layer_seconds += SecondsSince(start);
            if (!result.journal_failure.empty()) throw std::runtime_error(result.journal_failure);
            layer_counts[0] += result.repaired;
            layer_counts[1] += result.skipped;
            layer_counts[2] += result.failed + result.not_reached;
            for (const loans::LoanRepair& entry : result.failures) {
                std::fprintf(stderr, "layer: loan %d: %.200s\n", entry.check.loan,
                             entry.message.c_str());
            }

            start = std::chrono::steady_clock::now();
            for (const loans::LoanCheck& check : turn) {
                ++raw_counts[static_cast<int>(raw.Repair(check))];
            }
            raw_seconds += SecondsSince(start);
        }
        // A journal is written only when the database keeps no records.
        const auto bytes = [](const std::string& path) {
            std::error_code missing;
            const auto size = std::filesystem::file_size(path, missing);
            return missing ? 0ull : static_cast<unsigned long long>(size);
        };
        std::fprintf(stderr,
                     "coop-bench-bulk %s: layer %d repaired, %d skipped, %d failed, %.2f s, "
                     "journal %llu bytes; raw %d repaired, %d skipped, %d failed, %.2f s, "
                     "journal %llu bytes\n",
                     label.c_str(), layer_counts[0], layer_counts[1], layer_counts[2],
                     layer_seconds, bytes(journal_path), raw_counts[0], raw_counts[1],
                     raw_counts[2], raw_seconds, bytes(raw_journal_path));

        // The same work: both copies now hold the same rows for these loans.
        const bool same = bench::LoanRows(argv[1], flagged) == bench::LoanRows(argv[2], flagged);
        std::fprintf(stderr, "coop-bench-bulk %s: the two copies' rows of these loans %s\n",
                     label.c_str(), same ? "agree" : "DIFFER");

        const std::string prefix = "bulk_repair_" + label + "_";
        Print(prefix + "loans_per_second", static_cast<double>(count) / layer_seconds, "loans/s",
              1);
        Print(prefix + "ratio", layer_seconds / raw_seconds, "x", 2);
        Print(prefix + "raw_loans_per_second", static_cast<double>(count) / raw_seconds, "loans/s",
              1);
        Print(prefix + "rss_growth_" + std::to_string(count),
              static_cast<double>(resident_most - resident_before), "kB", 0);
        // Both must have done the whole work, or the figures compare nothing.
        const int all = static_cast<int>(count);
        if (layer_counts[0] != all || raw_counts[0] != all || !same) {
            std::fprintf(stderr, "coop-bench-bulk: not every loan was repaired by both paths\n");
            return 1;
        }

        // The program alone over many more loans (those above repaired
        // already are checked again and left alone): its memory. Embedded
        // only; the run is long.
        const size_t many =
            label == "embedded" ? std::min(MemoryLoanCount(), all_flagged.size()) : 0;
        if (many > count) {
            const std::vector<loans::LoanCheck> more(
                all_flagged.begin(), all_flagged.begin() + static_cast<std::ptrdiff_t>(many));
            const long resident_start = ResidentKb();
            resident_most = resident_start;
            const auto start = std::chrono::steady_clock::now();
            const loans::BulkResult result = loans::RepairMany(database, more, options);
            const double seconds = SecondsSince(start);
            std::fprintf(stderr,
                         "coop-bench-bulk %s: layer alone over %zu loans: %d repaired, %d "
                         "skipped, %d failed, %.2f s\n",
                         label.c_str(), many, result.repaired, result.skipped,
                         result.failed + result.not_reached, seconds);
            Print(prefix + "rss_growth_" + std::to_string(many),
                  static_cast<double>(resident_most - resident_start), "kB", 0);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-bulk: %s\n", error.what());
        return 1;
    }
    return 0;
}
