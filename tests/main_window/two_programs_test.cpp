// Two analysts' programs on one loan through one server, each its own
// process with its own connection: what one repairs, the other's next
// lookup shows; when both repair at once, one succeeds, the other fails at
// once with the server's conflict message and changes nothing, and the loan
// ends exactly as one clean repair leaves it.
#include <signal.h>

#include <chrono>
#include <iostream>
#include <sstream>

#include "tests/main_window/probe_process.h"
#include "tests/main_window/server_fault_fixture.h"
#include "tests/support/pending_writes_watch.h"

namespace {

using test_support::PendingWritesWatch;
using TwoProgramsTest = ServerFaultTest;

QJsonValue Labels(const QJsonObject& state) {
    return state["labels"];
}

TEST_F(TwoProgramsTest, OnesRepairShowsAtTheOthersNextLookup) {
    ProbeProcess repairing(dir_.Path().string());
    ProbeProcess watching(dir_.Path().string());
    const QJsonObject watched =
        watching.Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    ASSERT_FALSE(watched.isEmpty()) << watching.Errors();
    ASSERT_TRUE(watched["lbmensajes"].toObject()["visible"].toBool());

    repairing.Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    const QJsonObject repaired = repairing.Do({"answer yes", "press btreindexar"});
    ASSERT_EQ(LastBoxText(repaired), "Proceso Ejecutado");
    ASSERT_NE(Labels(repaired), Labels(watched));

    const QJsonObject looked_again =
        watching.Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    EXPECT_TRUE(Boxes(looked_again).empty());
    EXPECT_EQ(Labels(looked_again), Labels(repaired));
    EXPECT_EQ(looked_again["lbmensajes"], repaired["lbmensajes"]);
    EXPECT_EQ(looked_again["grids"], repaired["grids"]);
    EXPECT_TRUE(repairing.Quit());
    EXPECT_TRUE(watching.Quit());
}

TEST_F(TwoProgramsTest, BothRepairingAtOnceGiveOneCleanRepairAndOneConflict) {
    ProbeProcess first(dir_.Path().string());
    ProbeProcess second(dir_.Path().string());
    for (const char* button : kRepairButtons) {
        SCOPED_TRACE(button);
        const std::string press = std::string("press ") + button;
        ASSERT_FALSE(first.Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments).isEmpty())
            << first.Errors();
        ASSERT_FALSE(second.Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments).isEmpty())
            << second.Errors();
        const Rows before = LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments);

        // The second presses while the first's repair holds rows it wrote
        // and has not committed: the first is held still right there, so
        // that it cannot finish first, and let go afterwards.
        const pid_t first_pid = static_cast<pid_t>(first.Pid());
        PendingWritesWatch watch(name_, first_pid, kStrikeAfterWrites,
                                 [first_pid] { ::kill(first_pid, SIGSTOP); });
        first.Send({"answer yes", press, "dump"});
        ASSERT_TRUE(watch.WaitFired(120)) << "the first repair ended before the second began";
        std::cout << button << ": the second pressed with " << watch.Seen()
                  << " rows written by the first and none committed\n";
        const QJsonObject refused = second.Do({"answer yes", press});
        ::kill(first_pid, SIGCONT);
        const QJsonObject done = first.NextState();

        const auto refused_boxes = Boxes(refused);
        ASSERT_EQ(refused_boxes.size(), 2u);
        EXPECT_EQ(refused_boxes[1].first, "error");
        EXPECT_NE(refused_boxes[1].second.find("Otro usuario est\xE1 modificando el pr\xE9stamo " +
                                               std::to_string(demo::kLoanManyDocuments) +
                                               "; intente de nuevo."),
                  std::string::npos)
            << refused_boxes[1].second;
        ASSERT_FALSE(Boxes(done).empty());
        EXPECT_EQ(LastBoxText(done), "Proceso Ejecutado");
        const Rows after = LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
        EXPECT_NE(after, before);

        // One clean repair, run alone now, writes exactly these rows again:
        // nothing of the refused one was left, nothing doubled.
        const QJsonObject alone = second.Do({"answer yes", press});
        EXPECT_EQ(LastBoxText(alone), "Proceso Ejecutado");
        EXPECT_EQ(LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments), after);
        EXPECT_EQ(Labels(alone), Labels(done));
    }
    // The journal tells the same: per repair, the refused one rolled back
    // with the conflict, two done.
    const Rows journal = JournalLines();
    ASSERT_EQ(journal.size(), 6u);
    int conflicts = 0;
    for (const std::string& line : journal) {
        if (line.find("\"outcome\":\"rolled back\"") == std::string::npos) continue;
        ++conflicts;
        // The journal's text is UTF-8.
        EXPECT_NE(line.find("Otro usuario est\xC3\xA1 modificando el pr\xC3\xA9stamo"),
                  std::string::npos)
            << line;
    }
    EXPECT_EQ(conflicts, 2);
    EXPECT_TRUE(first.Quit());
    EXPECT_TRUE(second.Quit());
}

// A program left open all day holds back no clean-up of old record
// versions: its reads count as no active transaction, and each repair's
// transaction ends with the repair. Another user's DDL is timed and told.
TEST_F(TwoProgramsTest, AWindowLeftOpenHoldsBackNoCleanUpOfOldVersions) {
    ProbeProcess window(dir_.Path().string());
    ASSERT_FALSE(window.Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs).isEmpty())
        << window.Errors();
    window.Do(
        {"search", std::string("find {\"codigo\": \"") + demo::kMemberActive + "\"}", "leave"});
    ASSERT_EQ(LastBoxText(window.Do({"answer yes", "press btreindexar"})), "Proceso Ejecutado");
    ASSERT_EQ(LastBoxText(window.Do({"answer yes", "press btcorregir"})), "Proceso Ejecutado");
    ASSERT_TRUE(window.Do({"portfolio"})["portfolio"].toObject()["finished"].toBool());
    window.Do({"leave"});

    test_support::RawConnection monitor(name_);
    const auto header = [&monitor] {
        return monitor.QueryText(
            "select mon$oldest_transaction || ' ' || mon$oldest_active || ' ' || "
            "mon$oldest_snapshot || ' ' || mon$next_transaction from mon$database");
    };
    // Every transaction the program started so far is older than this.
    const long long next = monitor.QueryCount("select mon$next_transaction from mon$database");
    const std::string before = header();
    test_support::RawConnection other(name_);
    for (int i = 0; i < 50; ++i) {
        other.Execute("update empresas set nombre = nombre where codigo = " +
                      std::to_string(demo::kEmployerMinisterio));
    }
    const std::string after = header();
    std::cout << "header (oldest, oldest active, oldest snapshot, next): before " << before
              << ", after " << after << "\n";
    std::istringstream figures(after);
    long long oldest = 0, oldest_active = 0, oldest_snapshot = 0;
    figures >> oldest >> oldest_active >> oldest_snapshot;
    EXPECT_GE(oldest_active, next) << after;
    EXPECT_GE(oldest_snapshot, next) << after;

    // The program idle on a member: another user changes a table it read.
    const auto started = std::chrono::steady_clock::now();
    std::string outcome = "done";
    try {
        other.Execute("alter table clientes add coop_prueba integer");
    } catch (const std::exception& failure) {
        outcome = failure.what();
    }
    std::cout << "alter table with the program idle: " << outcome << " after "
              << std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count()
              << " s\n";
    EXPECT_EQ(outcome, "done");
    EXPECT_FALSE(window.Show(demo::kMemberActive, demo::kLoanActive).isEmpty()) << window.Errors();
    EXPECT_TRUE(window.Quit());
}

}  // namespace
