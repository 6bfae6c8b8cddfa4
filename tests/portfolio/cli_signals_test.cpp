// revision-cartera interrupted by SIGINT or SIGTERM: during the check, and
// during the repairs; its server killed during the repairs; and a run being
// stored in the history never stored as finished.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/portfolio/portfolio_support.h"
#include "tests/support/server_process.h"
#include "tests/support/table_checksums.h"
#include "tools/bench_db/bench_database.h"
#include "tools/demo_db/demo_catalogue.h"

extern char** environ;

namespace {

using ToolRun = test_support::CommandRun;

ToolRun RunTool(const test_support::TempDir& dir, const std::string& arguments) {
    return test_support::RunCommand(dir, "'" COOP_REVISION_CARTERA "' " + arguments);
}

// The fastest of two runs of the tool with these arguments, in ms.
int Fastest(const test_support::TempDir& dir, const std::string& arguments, int exit_code) {
    auto fastest = std::chrono::milliseconds::max();
    for (int run = 0; run < 2; ++run) {
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(RunTool(dir, arguments).exit_code, exit_code) << arguments;
        fastest = std::min(fastest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - started));
    }
    return static_cast<int>(fastest.count());
}

// A moment `part` of the way through a run that takes `whole` ms, counted
// from once the tool is surely running its own code: a signal before that
// meets no handler of the tool's (the sanitizers' start-up alone can take
// longer than a twentieth of a fast check).
// `started` is how long the tool takes to answer --help.
std::chrono::milliseconds MomentOfTheRun(int started, int whole, double part) {
    return std::chrono::milliseconds(started +
                                     static_cast<int>(std::max(0, whole - started) * part));
}

// How a run of the tool ended, and how long after the signal.
struct Ended {
    int status = 0;
    double seconds_after_signal = 0;
};

Ended RunAndSignal(const std::vector<std::string>& arguments, int signal_number,
                   std::chrono::milliseconds after) {
    std::vector<char*> argv;
    std::string program = COOP_REVISION_CARTERA;
    argv.push_back(program.data());
    std::vector<std::string> kept = arguments;
    for (std::string& argument : kept) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        ADD_FAILURE() << "revision-cartera did not start";
        return {};
    }
    std::this_thread::sleep_for(after);
    ::kill(pid, signal_number);
    const auto signalled = std::chrono::steady_clock::now();
    Ended ended;
    while (::waitpid(pid, &ended.status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - signalled > std::chrono::seconds(30)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &ended.status, 0);
            ADD_FAILURE() << "still running 30 s after the signal";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ended.seconds_after_signal =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    return ended;
}

// Interrupted at any moment of a long check, on either route, by either
// signal: it ends within a second with the shell's code for the signal, never a
// crash, and the report from before is left as it was, with nothing beside it.
TEST(RevisionCartera, SignalsEndTheCheckAtOnceAndLeaveTheEarlierReportAlone) {
    test_support::TempDir dir;
    const std::string embedded = dir.File("grande.fdb");
    bench::BenchDatabaseSize size;
    size.members = 2000;
    bench::BuildBenchDatabase(embedded, size, [](const std::string&, double) {});
    std::vector<std::string> names = {embedded};
    if (test_support::ServerUnavailable().empty()) {
        // A file of its own: a server and the embedded engine never share one.
        const std::string served = dir.File("grande-servidor.fdb");
        std::filesystem::copy_file(embedded, served);
        names.push_back(test_support::DatabaseName(test_support::Route::kServer, served));
    }
    const std::string report = dir.File("informes/lista.csv");
    std::filesystem::create_directory(dir.File("informes"));
    for (const std::string& name : names) {
        // The moments are spread over the first half of the time a whole
        // check takes here, its cache warm (the faster of two runs).
        const int started = Fastest(dir, "--help > /dev/null", 0);
        const int whole = Fastest(dir, "'" + name + "' > /dev/null", 1);
        for (const int signal_number : {SIGINT, SIGTERM}) {
            for (const double part : {0.05, 0.15, 0.25, 0.35, 0.5}) {
                const std::chrono::milliseconds moment = MomentOfTheRun(started, whole, part);
                SCOPED_TRACE(name + " signal " + std::to_string(signal_number) + " after " +
                             std::to_string(moment.count()) + " ms");
                std::ofstream(report, std::ios::binary) << "informe anterior\n";
                const Ended ended = RunAndSignal({"--csv", report, name}, signal_number, moment);
                ASSERT_TRUE(WIFEXITED(ended.status))
                    << "ended by signal " << WTERMSIG(ended.status);
                EXPECT_EQ(WEXITSTATUS(ended.status), 128 + signal_number);
                // On the spot, not at the end of a check a loaded machine may stretch:
                // a bound of seconds, not of milliseconds.
                EXPECT_LT(ended.seconds_after_signal, 5.0);
                EXPECT_TRUE(test_support::ReadFile(report) == "informe anterior\n")
                    << "the earlier report was replaced";
                EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("informes")),
                                        std::filesystem::directory_iterator()),
                          1);
            }
        }
    }
}

// --registrar interrupted at any moment of its check or after, by either
// signal: it ends soon with the shell's code, and what the history then
// holds is an unfinished run or nothing, never a finished one; the next
// whole run is compared with no earlier run.
TEST(RevisionCartera, SignalsNeverLeaveARecordedRunStoredAsFinished) {
    test_support::TempDir dir;
    const std::string path = dir.File("grande.fdb");
    bench::BenchDatabaseSize size;
    size.members = 2000;
    bench::BuildBenchDatabase(path, size, [](const std::string&, double) {});
    const int started = Fastest(dir, "--help > /dev/null", 0);
    const int whole = Fastest(dir, "'" + path + "' > /dev/null", 1);
    for (const int signal_number : {SIGINT, SIGTERM}) {
        for (const double part : {0.05, 0.2, 0.35, 0.5, 0.65}) {
            const std::chrono::milliseconds moment = MomentOfTheRun(started, whole, part);
            SCOPED_TRACE("signal " + std::to_string(signal_number) + " after " +
                         std::to_string(moment.count()) + " ms");
            const Ended ended = RunAndSignal({"--registrar", "--csv", dir.File("lista.csv"), path},
                                             signal_number, moment);
            ASSERT_TRUE(WIFEXITED(ended.status)) << "ended by signal " << WTERMSIG(ended.status);
            EXPECT_EQ(WEXITSTATUS(ended.status), 128 + signal_number);
            EXPECT_LT(ended.seconds_after_signal, 5.0);
            EXPECT_EQ(test_support::RawConnection(path).QueryText(
                          "select count(*) from revisiones where terminada <> 0"),
                      "0");
        }
    }
    // Those the signal met in the check are stored, as unfinished.
    EXPECT_NE(test_support::RawConnection(path).QueryText("select count(*) from revisiones"), "0");
    const ToolRun run = RunTool(dir, "--registrar --csv lista.csv '" + path + "'");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_NE(run.err.find("no hay una revisi\xC3\xB3n terminada anterior"), std::string::npos)
        << run.err;
}

// Interrupted during the repairs, by either signal: it stops between loans
// with the shell's code, every loan it names as repaired is repaired and
// every loan it did not reach is still listed, none left half way.
TEST(RevisionCartera, SignalsDuringTheRepairsStopBetweenLoans) {
    test_support::TempDir dir;
    const std::string path = dir.File("grande.fdb");
    bench::BenchDatabaseSize size;
    size.members = 2000;
    bench::BuildBenchDatabase(path, size, [](const std::string&, double) {});
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        const std::string lines = dir.File("lineas.txt");
        std::filesystem::remove(lines);
        std::vector<std::string> shell = {"/bin/sh", "-c",
                                          "exec '" COOP_REVISION_CARTERA "' --reparar '" + path +
                                              "' > '" + lines + "' 2>/dev/null"};
        std::vector<char*> argv;
        for (std::string& argument : shell) argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv.data(), environ), 0);
        // Once the first loan is reported, the repairs are under way.
        const auto started = std::chrono::steady_clock::now();
        while (test_support::ReadFile(lines).find('\n') == std::string::npos &&
               std::chrono::steady_clock::now() - started < std::chrono::seconds(60)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ::kill(pid, signal_number);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        const std::string out = test_support::ReadFile(lines);
        const auto count = [&out](const std::string& word) {
            size_t found = 0;
            for (size_t at = out.find(word); at != std::string::npos; at = out.find(word, at + 1)) {
                ++found;
            }
            return found;
        };
        EXPECT_EQ(count(": fallido"), 0u) << out;
        EXPECT_GT(count(": no alcanzado\n"), 0u) << "the signal came after the last loan";
        // The loans not reached are exactly those still listed.
        const ToolRun check = RunTool(dir, "'" + path + "'");
        EXPECT_EQ(static_cast<size_t>(std::count(check.out.begin(), check.out.end(), '\n') - 1),
                  count(": no alcanzado\n"))
            << check.out;
    }
}

// The server dies during the repairs: the loan under way fails, the run
// tries no other loan (each would fail the same way), says how many were
// repaired and that the rest were not attempted, and ends with 2.
TEST(RevisionCartera, ServerRouteKilledDuringTheRepairsEndsWithTwoAndTriesNoOtherLoan) {
    if (const std::string missing = test_support::ServerProcess::Unavailable(); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    test_support::TempDir dir;
    const std::string path = dir.File("grande.fdb");
    bench::BenchDatabaseSize size;
    size.members = 2000;
    bench::BuildBenchDatabase(path, size, [](const std::string&, double) {});
    test_support::ServerProcess server;
    const std::string lines = dir.File("lineas.txt");
    const std::string errors = dir.File("errores.txt");
    std::vector<std::string> shell = {"/bin/sh", "-c",
                                      "exec '" COOP_REVISION_CARTERA "' --reparar '" +
                                          server.DatabaseName(path) + "' > '" + lines + "' 2> '" +
                                          errors + "'"};
    std::vector<char*> argv;
    for (std::string& argument : shell) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv.data(), environ), 0);
    const auto started = std::chrono::steady_clock::now();
    while (test_support::ReadFile(lines).find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() - started < std::chrono::seconds(60)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    server.Kill();
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    const std::string out = test_support::ReadFile(lines);
    const std::string err = test_support::ReadFile(errors);
    EXPECT_EQ(WEXITSTATUS(status), 2) << err;
    const auto count = [&out](const std::string& word) {
        size_t found = 0;
        for (size_t at = out.find(word); at != std::string::npos; at = out.find(word, at + 1)) {
            ++found;
        }
        return found;
    };
    EXPECT_LE(count(": fallido"), 1u) << out;
    EXPECT_GT(count(": no alcanzado\n"), 0u) << "the kill came after the last loan";
    EXPECT_NE(err.find("se perdi\xC3\xB3 la conexi\xC3\xB3n con la base de datos"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find(" restantes no se intentaron"), std::string::npos) << err;
}

}  // namespace
