// coop-bench-db PATH [--members N]: creates the large cooperative database
// the benchmarks run on (100,000 members by default).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "runtime/number_text.h"
#include "tools/bench_db/bench_database.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: coop-bench-db PATH [--members N]\n"
        "Creates a new embedded database file at PATH holding N members (default 100000),\n"
        "2N loans with their schedules, applied documents and receivable movements.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    bench::BenchDatabaseSize size;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--members" && i + 1 < argc) {
            char* end = nullptr;
            const long members = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || members < 1 || members > 100000000) return Usage();
            size.members = static_cast<int>(members);
        } else if (path.empty() && !arg.empty() && arg[0] != '-') {
            path = arg;
        } else {
            return Usage();
        }
    }
    if (path.empty()) return Usage();
    if (std::filesystem::exists(path)) {
        std::fprintf(stderr, "coop-bench-db: %s already exists\n", path.c_str());
        return 1;
    }

    // Built under another name and renamed at the end, so an interrupted
    // run never leaves a half-filled file where the benchmarks look.
    const std::string partial = path + ".partial";
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);

    const auto start = std::chrono::steady_clock::now();
    try {
        bench::BuildBenchDatabase(partial, size, [](const std::string& step, double seconds) {
            std::printf("%-40s %8s s\n", step.c_str(), runtime::FixedText(seconds, 1).c_str());
            std::fflush(stdout);
        });
        std::filesystem::rename(partial, path);
    } catch (const std::exception& error) {
        std::filesystem::remove(partial, ignored);
        std::fprintf(stderr, "coop-bench-db: %s\n", error.what());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto bytes = std::filesystem::file_size(path);
    std::printf("%-40s %8s s\n", "total", runtime::FixedText(seconds, 1).c_str());
    std::printf("database %s: %s MiB\n", path.c_str(),
                runtime::FixedText(static_cast<double>(bytes) / (1024.0 * 1024.0), 0).c_str());

    try {
        for (const bench::TableCount& count : bench::CountRows(path)) {
            std::printf("  %-16s %10lld rows\n", count.table.c_str(),
                        static_cast<long long>(count.rows));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-db: cannot count rows: %s\n", error.what());
        return 1;
    }
    return 0;
}
