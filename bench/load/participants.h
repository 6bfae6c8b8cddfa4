#pragma once

#include <chrono>
#include <latch>
#include <string>
#include <utility>
#include <vector>

#include "bench/load/load_setup.h"

namespace bench {

// What every participant of one run needs.
struct LoadPlan {
    std::string probe;     // the window test driver
    std::string self;      // this program, started as a raw analyst
    std::string database;  // host:path
    std::string folder;    // holds db.ini; the drivers run in it
    std::vector<std::string> codes;
    std::vector<RepairLoan> repair_loans;
};

// Everyone starts when all are connected and stops at the same moment.
struct StartLine {
    explicit StartLine(std::ptrdiff_t participants) : ready(participants) {}
    std::latch ready;
    std::latch go{1};
    std::chrono::steady_clock::time_point deadline;  // set before go
};

// One participant's counts.
struct Tally {
    explicit Tally(std::string who) : name(std::move(who)) {}
    std::string name;
    long lookups = 0;
    double lookup_seconds = 0;  // spent on lookups alone, searches left out
    std::vector<double> lookup_ms;
    long searches = 0;
    long repairs = 0;
    long checks = 0;
    long errors = 0;
    // The process's processor time from the start line to the deadline.
    double cpu_seconds = 0;
    std::vector<std::string> notes;  // the first errors, for standard error

    void Error(const std::string& what);
};

enum class Role { kWindowAnalyst, kRawAnalyst, kRepairs, kPortfolio };

// Starts the participant's process, waits at the start line, works until
// the deadline, then ends the process; `index` spreads analysts over the
// member codes.
void RunParticipant(Role role, int index, int analysts, const LoadPlan& plan, StartLine& line,
                    Tally& tally);

}  // namespace bench
