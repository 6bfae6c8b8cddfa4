// coop-bench-load PROBE DATABASE FOLDER: many analysts at once on one
// database through a server. For COOP_LOAD_SECONDS (default 60) each,
// 8 window test drivers (PROBE) look members up and now and then search,
// next to one driver repairing loans whose books agree and one running the
// portfolio check again and again; then 8 raw clients sending the same
// lookup statements (prepared once) next to the same two companions; then
// one driver alone and one raw client alone. Prints "load_..." lines; the
// counts and every error go to standard error. The drivers run in FOLDER
// (its db.ini names DATABASE), their journal goes to FOLDER/journal and
// each one's standard error to FOLDER/<name>.log.
//
// coop-bench-load --raw-analyst DATABASE: one raw client (raw_analyst.h).
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/load/load_setup.h"
#include "bench/load/participants.h"
#include "bench/load/processor_time.h"
#include "bench/load/raw_analyst.h"

namespace {

using bench::Role;
using bench::Tally;

// Members looked up: one in this many, by code, over the whole table.
constexpr int kCodeEvery = 10;
// Loans the repair companion takes turns on.
constexpr size_t kRepairLoans = 4;

int LoadSeconds() {
    const char* text = std::getenv("COOP_LOAD_SECONDS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 60;
}

void Print(const std::string& name, double value, const char* unit, int decimals) {
    std::printf("%s %.*f %s\n", name.c_str(), decimals, value, unit);
    std::fflush(stdout);
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

// What one run of the load gave.
struct RunFigures {
    double lookups_per_second = 0;
    double p50_ms = 0;
    double p99_ms = 0;
    long errors = 0;
    // Processor time per analyst action (lookup or search) in the analysts'
    // own processes and in the server (all of its work, companions' too).
    double client_cpu_ms = 0;
    double server_cpu_ms = 0;
};

// Runs `analysts` analysts of the role, with the two companions or alone,
// for the load's seconds.
RunFigures RunLoad(const std::string& label, Role role, int analysts, bool companions,
                   const bench::LoadPlan& plan) {
    std::vector<std::pair<Role, Tally>> everyone;
    for (int i = 0; i < analysts; ++i) {
        everyone.push_back({role, Tally(label + "-analyst-" + std::to_string(i))});
    }
    if (companions) {
        everyone.push_back({Role::kRepairs, Tally(label + "-repairs")});
        everyone.push_back({Role::kPortfolio, Tally(label + "-portfolio")});
    }
    bench::StartLine line(static_cast<std::ptrdiff_t>(everyone.size()));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < everyone.size(); ++i) {
        threads.emplace_back([&, i] {
            bench::RunParticipant(everyone[i].first, static_cast<int>(i), analysts, plan, line,
                                  everyone[i].second);
        });
    }
    line.ready.wait();
    const double server_at_start = bench::ServerProcessorSeconds();
    const auto start = std::chrono::steady_clock::now();
    line.deadline = start + std::chrono::seconds(LoadSeconds());
    line.go.count_down();
    for (std::thread& thread : threads) thread.join();
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double server_seconds = bench::ServerProcessorSeconds() - server_at_start;

    // Each analyst's lookups over the time they took (its searches left
    // out, which the raw clients do not make), added up.
    RunFigures figures;
    std::vector<double> all_ms;
    long lookups = 0;
    long actions = 0;
    double analysts_cpu = 0;
    for (const auto& [who, tally] : everyone) {
        if (who == role) {
            actions += tally.lookups + tally.searches;
            analysts_cpu += tally.cpu_seconds;
        }
        if (tally.lookup_seconds > 0) {
            figures.lookups_per_second += static_cast<double>(tally.lookups) / tally.lookup_seconds;
        }
        lookups += tally.lookups;
        all_ms.insert(all_ms.end(), tally.lookup_ms.begin(), tally.lookup_ms.end());
        figures.errors += tally.errors;
        std::fprintf(stderr,
                     "%s: %ld lookups (%.1f s), %ld searches, %ld repairs, %ld portfolio checks, "
                     "%ld errors\n",
                     tally.name.c_str(), tally.lookups, tally.lookup_seconds, tally.searches,
                     tally.repairs, tally.checks, tally.errors);
        for (const std::string& note : tally.notes) {
            std::fprintf(stderr, "  %s\n", note.c_str());
        }
    }
    if (actions > 0) {
        figures.client_cpu_ms = analysts_cpu * 1000 / static_cast<double>(actions);
        if (server_at_start >= 0) {
            figures.server_cpu_ms = server_seconds * 1000 / static_cast<double>(actions);
        }
    }
    figures.p50_ms = Percentile(all_ms, 0.50);
    figures.p99_ms = Percentile(all_ms, 0.99);
    std::fprintf(stderr,
                 "%s: %ld lookups in %.1f s, p50 %.2f ms, p99 %.2f ms, %ld errors; processor "
                 "time per action %.2f ms in the analysts, %.2f ms in the server\n",
                 label.c_str(), lookups, wall, figures.p50_ms, figures.p99_ms, figures.errors,
                 figures.client_cpu_ms, figures.server_cpu_ms);
    return figures;
}

// The repair companion must leave its loans as they were.
long ChangedRepairLoans(const bench::LoadPlan& plan, const std::vector<demo::Row>& before) {
    if (bench::LoanRows(plan.database, plan.repair_loans) == before) return 0;
    std::fprintf(stderr, "the repaired loans' rows changed\n");
    return 1;
}

int RunBenchmark(const bench::LoadPlan& base) {
    bench::LoadPlan plan = base;
    std::filesystem::create_directories(plan.folder + "/journal");
    std::ofstream(plan.folder + "/db.ini") << plan.database << "\n";
    plan.codes = bench::SpreadMemberCodes(plan.database, kCodeEvery);
    std::fprintf(stderr,
                 "coop-bench-load: %zu member codes; checking the portfolio for loans "
                 "whose books agree\n",
                 plan.codes.size());
    plan.repair_loans = bench::AgreeingLoans(plan.database, kRepairLoans);
    for (const bench::RepairLoan& loan : plan.repair_loans) {
        std::fprintf(stderr, "repairs on member %s loan %d\n", loan.member.c_str(), loan.loan);
    }
    const std::vector<demo::Row> before = bench::LoanRows(plan.database, plan.repair_loans);
    std::fprintf(stderr, "%zu rows of the repaired loans\n", before.size());

    RunFigures window_8 = RunLoad("load_8", Role::kWindowAnalyst, 8, true, plan);
    window_8.errors += ChangedRepairLoans(plan, before);
    Print("load_8_lookups_per_second", window_8.lookups_per_second, "lookups/s", 1);
    Print("load_8_lookup_p50_ms", window_8.p50_ms, "ms", 2);
    Print("load_8_lookup_p99_ms", window_8.p99_ms, "ms", 2);
    Print("load_8_errors", static_cast<double>(window_8.errors), "errors", 0);
    RunFigures raw_8 = RunLoad("load_raw_8", Role::kRawAnalyst, 8, true, plan);
    raw_8.errors += ChangedRepairLoans(plan, before);
    Print("load_raw_8_lookups_per_second", raw_8.lookups_per_second, "lookups/s", 1);
    Print("load_8_ratio", raw_8.lookups_per_second / window_8.lookups_per_second, "x", 2);
    Print("load_8_client_cpu_ms", window_8.client_cpu_ms, "ms", 2);
    Print("load_raw_8_client_cpu_ms", raw_8.client_cpu_ms, "ms", 2);

    // One analyst with the server to itself.
    const RunFigures window_1 = RunLoad("load_1", Role::kWindowAnalyst, 1, false, plan);
    Print("load_1_lookups_per_second", window_1.lookups_per_second, "lookups/s", 1);
    Print("load_1_lookup_p50_ms", window_1.p50_ms, "ms", 2);
    Print("load_1_lookup_p99_ms", window_1.p99_ms, "ms", 2);
    Print("load_1_errors", static_cast<double>(window_1.errors), "errors", 0);
    const RunFigures raw_1 = RunLoad("load_raw_1", Role::kRawAnalyst, 1, false, plan);
    Print("load_raw_1_lookups_per_second", raw_1.lookups_per_second, "lookups/s", 1);
    Print("load_1_ratio", raw_1.lookups_per_second / window_1.lookups_per_second, "x", 2);
    // Where a lookup's processor time goes, alone: on one machine the
    // analysts' processes and the server share its cores.
    Print("load_1_client_cpu_ms", window_1.client_cpu_ms, "ms", 2);
    Print("load_raw_1_client_cpu_ms", raw_1.client_cpu_ms, "ms", 2);
    Print("load_1_server_cpu_ms", window_1.server_cpu_ms, "ms", 2);
    Print("load_raw_1_server_cpu_ms", raw_1.server_cpu_ms, "ms", 2);

    std::fprintf(stderr, "raw clients' errors: %ld with companions, %ld alone\n", raw_8.errors,
                 raw_1.errors);
    return window_8.errors + raw_8.errors + window_1.errors + raw_1.errors == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    // A child gone shows as a failed write, not as this process's end.
    ::signal(SIGPIPE, SIG_IGN);
    if (argc == 3 && std::string(argv[1]) == "--raw-analyst") return bench::RunRawAnalyst(argv[2]);
    if (argc != 4) {
        std::fprintf(stderr, "usage: coop-bench-load PROBE DATABASE FOLDER\n");
        return 2;
    }
    try {
        bench::LoadPlan plan;
        plan.probe = std::filesystem::absolute(argv[1]).string();
        plan.self = std::filesystem::read_symlink("/proc/self/exe").string();
        plan.database = argv[2];
        plan.folder = std::filesystem::absolute(argv[3]).string();
        return RunBenchmark(plan);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "coop-bench-load: %s\n", error.what());
        return 1;
    }
}
