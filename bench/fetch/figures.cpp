#include "bench/fetch/figures.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "loans/rules/connection_profile.h"

namespace bench {

void PrintFigure(const std::string& name, double value, const std::string& unit, int decimals) {
    std::printf("%s %.*f %s\n", name.c_str(), decimals, value, unit.c_str());
    std::fflush(stdout);
}

Timing Measure(const std::function<void()>& work) {
    timespec cpu_start{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_start);
    const auto wall_start = std::chrono::steady_clock::now();
    work();
    const auto wall_end = std::chrono::steady_clock::now();
    timespec cpu_end{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu_end);
    Timing timing;
    timing.wall = std::chrono::duration<double>(wall_end - wall_start).count();
    timing.cpu = static_cast<double>(cpu_end.tv_sec - cpu_start.tv_sec) +
                 static_cast<double>(cpu_end.tv_nsec - cpu_start.tv_nsec) / 1e9;
    return timing;
}

Timing Best(const Timing& a, const Timing& b) {
    return Timing{std::min(a.wall, b.wall), std::min(a.cpu, b.cpu)};
}

int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    int64_t size = 0;
    int64_t resident = 0;
    statm >> size >> resident;
    return resident * static_cast<int64_t>(sysconf(_SC_PAGESIZE));
}

BenchContext::BenchContext(const std::string& path) {
    loans::ConfigureProgramConnection(database_, transaction_, path);
    database_.Open();
    raw_attachment_ = std::make_unique<demo::Attachment>(path);
    raw_transaction_ = std::make_unique<demo::Transaction>(*raw_attachment_);
}

BenchContext::~BenchContext() {
    queries_.clear();
    raw_transaction_.reset();
    raw_attachment_.reset();
}

db::TIBQuery& BenchContext::Query(const std::string& name) {
    queries_.push_back(std::make_unique<db::TIBQuery>(name));
    queries_.back()->SetDatabase(&database_);
    queries_.back()->SetTransaction(&transaction_);
    return *queries_.back();
}

}  // namespace bench
