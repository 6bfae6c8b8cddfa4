// The program itself killed outright (-9) in the middle of a repair, then
// started again: the loan is either exactly as before or exactly repaired,
// never half of it, and the database passes a full validation. Through a
// server, which undoes the dead program's work, and embedded, where the
// dead program was writing the database file itself. And the program told
// to end (SIGTERM) in the middle of the portfolio dialog's repair run: the
// loan under way is finished as a whole, and the program ends cleanly.
#include <signal.h>

#include <QElapsedTimer>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/checks/portfolio_check.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/repairs/repair_unit.h"
#include "loans/rules/connection_profile.h"
#include "tests/main_window/probe_process.h"
#include "tests/main_window/server_fault_fixture.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/pending_writes_watch.h"
#include "tests/support/table_checksums.h"

namespace {

using test_support::PendingWritesWatch;
using test_support::RawConnection;

// What a full validation of the database found wrong: "" when it found no
// error. Warnings (record versions of a dead transaction left behind, page
// bits to tidy up) are what any crash may leave; they are shown, not failed.
std::string ValidationErrors(const test_support::TempDir& dir, const std::string& database,
                             const std::vector<std::pair<std::string, std::string>>& env = {}) {
    std::string prefix;
    for (const auto& [name, value] : env) prefix += name + "='" + value + "' ";
    const test_support::CommandRun run =
        test_support::RunCommand(dir, prefix + test_support::InstalledProgram("gfix") +
                                          " -v -full -user " + test_support::kUser + " -password " +
                                          test_support::kPassword + " '" + database + "'");
    if (run.exit_code != 0)
        return "exit " + std::to_string(run.exit_code) + ": " + run.out + run.err;
    if (!run.out.empty() || !run.err.empty()) std::cout << "gfix -v -full: " << run.out << run.err;
    std::string errors;
    std::istringstream lines(run.out + run.err);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line == "Summary of validation errors") continue;
        if (line.find("warnings") != std::string::npos) continue;
        errors += line + "\n";
    }
    return errors;
}

// With the records kept in the database: the repair and its row go in
// together or not at all.
class ProgramKilledThroughServerTest : public ServerFaultTest {
  protected:
    ProgramKilledThroughServerTest() { keep_records_table_ = true; }
};

TEST_F(ProgramKilledThroughServerTest, TheLoanIsAsBeforeAndTheDatabaseValidAfterwards) {
    if (test_support::InstalledProgram("gfix").empty()) GTEST_SKIP() << "no gfix";
    const Rows before = LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
    // Its own lock folder: a process killed while holding the engine's
    // shared memory must not touch anyone else's.
    const std::vector<std::pair<std::string, std::string>> environment = {
        {"FIREBIRD_LOCK", dir_.File("program-lock")}};
    for (const char* button : kRepairButtons) {
        SCOPED_TRACE(button);
        ProbeProcess program(dir_.Path().string(), environment);
        const QJsonObject shown =
            program.Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
        ASSERT_FALSE(shown.isEmpty()) << program.Errors();
        const pid_t pid = static_cast<pid_t>(program.Pid());
        PendingWritesWatch watch(name_, pid, kStrikeAfterWrites, [pid] { ::kill(pid, SIGKILL); });
        program.Send({"answer yes", std::string("press ") + button, "dump"});
        ASSERT_TRUE(watch.WaitFired(120)) << "the repair ended before the program could be killed";
        std::cout << button << ": the program killed with " << watch.Seen()
                  << " rows written and none committed\n";
        program.Kill();

        // Started again: the loan as it was, to the program and to everyone.
        ProbeProcess again(dir_.Path().string(), environment);
        const QJsonObject seen = again.Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
        EXPECT_TRUE(seen["messages"].toArray().isEmpty());
        EXPECT_EQ(seen["labels"].toObject()["lbbal"], shown["labels"].toObject()["lbbal"]);
        EXPECT_TRUE(again.Quit()) << again.Errors();
        EXPECT_EQ(LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments), before)
            << watch.Seen() << " rows were written when the program was killed";
        EXPECT_EQ(RawConnection(name_).QueryCount("select count(*) from reparaciones"), 0);
    }
    EXPECT_EQ(ValidationErrors(dir_, name_), "");
}

// The embedded route: no server between the program and the file. There is
// no way to look into the file while the program holds it, so the program
// is killed at several moments of the repair (fractions of the time a
// whole repair took), each time from the same starting file, and each
// outcome must be whole.
class ProgramKilledEmbeddedTest : public WindowTest {
  protected:
    void SetUp() override {
        if (test_support::InstalledProgram("gfix").empty()) GTEST_SKIP() << "no gfix";
        WindowTest::SetUp();
        UnsettleManyDocumentsLoan(database_);
        starting_ = dir_.File("starting.fdb");
        std::filesystem::copy_file(database_, starting_);
        setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
    }
    void TearDown() override {
        if (IsSkipped()) return;
        WindowTest::TearDown();
        unsetenv("XDG_DATA_HOME");
    }

    // The starting file in its own folder, repaired to its end by a program
    // nobody kills; returns how long the repair took, in milliseconds.
    qint64 RepairCopy(const std::string& folder_name, const char* button) {
        const std::filesystem::path folder = dir_.Path() / folder_name;
        std::filesystem::create_directory(folder);
        std::filesystem::copy_file(starting_, folder / "demo.fdb");
        std::ofstream(folder / "db.ini") << (folder / "demo.fdb").string() << "\n";
        ProbeProcess program(folder.string(), environment_);
        program.Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(LastBoxText(program.Do({"answer yes", std::string("press ") + button})),
                  "Proceso Ejecutado");
        const qint64 elapsed = timer.elapsed();
        EXPECT_TRUE(program.Quit()) << program.Errors();
        return elapsed;
    }

    std::string starting_;
    // Its own lock folder: a process killed while holding the engine's
    // shared memory must not touch anyone else's.
    const std::vector<std::pair<std::string, std::string>> environment_ = {
        {"FIREBIRD_LOCK", dir_.File("program-lock")}};
};

TEST_F(ProgramKilledEmbeddedTest, TheLoanIsWholeWheneverTheProgramDiesAndTheDatabaseValid) {
    const std::string member = demo::kMemberManyDocuments;
    const int loan = demo::kLoanManyDocuments;
    const Rows movements_before = MovementRows(starting_, member, loan);
    const Rows schedule_before = ScheduleRows(starting_, loan);
    for (const char* button : kRepairButtons) {
        SCOPED_TRACE(button);
        const qint64 whole_ms = RepairCopy(button, button);
        const std::string repaired_file = dir_.File(std::string(button) + "/demo.fdb");
        const Rows movements_repaired = MovementRows(repaired_file, member, loan);
        const Rows schedule_repaired = ScheduleRows(repaired_file, loan);
        ASSERT_TRUE(movements_repaired != movements_before || schedule_repaired != schedule_before);

        for (const int percent : {5, 10, 15}) {
            SCOPED_TRACE(std::to_string(percent) + "%");
            std::filesystem::copy_file(starting_, database_,
                                       std::filesystem::copy_options::overwrite_existing);
            ProbeProcess program(dir_.Path().string(), environment_);
            ASSERT_FALSE(program.Show(member, loan).isEmpty()) << program.Errors();
            program.Send({"answer yes", std::string("press ") + button, "dump"});
            std::this_thread::sleep_for(std::chrono::milliseconds(whole_ms * percent / 100));
            program.Kill();

            const Rows movements = MovementRows(database_, member, loan);
            const Rows schedule = ScheduleRows(database_, loan);
            const bool untouched = movements == movements_before && schedule == schedule_before;
            const bool repaired = movements == movements_repaired && schedule == schedule_repaired;
            EXPECT_TRUE(untouched || repaired) << "the loan is half repaired";
            std::cout << button << " killed at " << percent << "% of " << whole_ms
                      << " ms: the loan is " << (untouched ? "as before" : "repaired") << "\n";
            EXPECT_EQ(ValidationErrors(dir_, database_, environment_), "");
        }

        // Started again, the program shows the loan as it is.
        ProbeProcess again(dir_.Path().string(), environment_);
        EXPECT_TRUE(again.Show(member, loan)["messages"].toArray().isEmpty());
        EXPECT_TRUE(again.Quit()) << again.Errors();
    }
}

// Told to end while the portfolio dialog repairs the listed loans, the
// program finishes the loan under way (the one with 1,100 receipts, caught
// with rows written and none committed) as one unit: committed and
// journaled whole. It starts no other loan, leaves nothing running, and
// ends as a terminated program does. Every table then holds what that one
// loan's repair writes on a copy of its own.
class ProgramEndedThroughServerTest : public ServerFaultTest {
  protected:
    ProgramEndedThroughServerTest() { keep_records_table_ = true; }
};

TEST_F(ProgramEndedThroughServerTest,
       MidBulkRepairTheLoanUnderWayIsCommittedWholeAndNoOtherStarts) {
    const std::string copy = dir_.File("reference.fdb");
    test_support::CopyDemoDatabase(copy);
    const std::string reference = server_->DatabaseName(copy);
    UnsettleManyDocumentsLoan(reference);
    ASSERT_EQ(test_support::ChecksumTables(name_), test_support::ChecksumTables(reference));

    ProbeProcess program(dir_.Path().string(), {{"FIREBIRD_LOCK", dir_.File("program-lock")}});
    // Sorted by member, last first: the large loan heads the run.
    program.Send({"portfolio", "sort 0 desc", "dump"});
    ASSERT_FALSE(program.NextState(120).isEmpty()) << program.Errors();
    const QJsonArray rows = program.NextState()["portfolio"].toObject()["rows"].toArray();
    ASSERT_EQ(rows.size(), 5) << program.Errors();
    ASSERT_EQ(rows[0].toArray()[2].toString().toStdString(),
              std::to_string(demo::kLoanManyDocuments));
    const pid_t pid = static_cast<pid_t>(program.Pid());
    PendingWritesWatch watch(name_, pid, kStrikeAfterWrites, [pid] { ::kill(pid, SIGTERM); });
    program.Send({"select all", "answer yes", "repair"});
    ASSERT_TRUE(watch.WaitFired(120)) << "the repair ended before the program was told to end";
    EXPECT_EQ(program.ExitCode(120), 128 + SIGTERM) << program.Errors();

    // Recorded with it, in the database: one row, of that loan.
    EXPECT_EQ(RawConnection(name_).QueryRows("select prestamo, accion from reparaciones"),
              (Rows{std::to_string(demo::kLoanManyDocuments) + "|Reindexar + Corregir Tabla"}))
        << watch.Seen() << " rows were written when the signal came";
    EXPECT_TRUE(JournalLines().empty());
    portfolio_test::RepairOneFlaggedLoan(reference, demo::kLoanManyDocuments);
    EXPECT_EQ(test_support::ChecksumTables(name_), test_support::ChecksumTables(reference));
}

}  // namespace
