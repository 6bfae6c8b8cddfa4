// The server itself failing under the real window: killed, restarted or
// paused during a session. Every action ends with the server's message and
// the window stays usable; once the server is back the next action works
// without restarting the program; a repair cut off by the server's death
// leaves the loan exactly as it was and never runs again by itself.
#include <unistd.h>

#include <chrono>
#include <future>
#include <iostream>
#include <thread>

#include "db/call_watch.h"
#include "tests/main_window/server_fault_fixture.h"
#include "tests/support/pending_writes_watch.h"

namespace {

using test_support::PendingWritesWatch;

QJsonObject State(const std::string& line) {
    return QJsonDocument::fromJson(line.c_str()).object();
}

TEST_F(ServerFaultTest, KilledServerFailsEachActionWithItsMessageAndTheNextLookupAfterItWorks) {
    Start();
    ASSERT_TRUE(Window().Connection().Connected());
    const QJsonObject shown = Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    ASSERT_EQ(Label(shown, "lbnombre").empty(), false);
    const Rows before = LoanRows(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);

    const auto lookup_fails = [this] {
        const QJsonObject lookup = Do({std::string("code ") + demo::kMemberActive});
        ExpectOnlyNetworkFailure(lookup);
        EXPECT_EQ(Label(lookup, "lbnombre"), "");
        EXPECT_TRUE(Grid(lookup, "DBGrid1")["rows"].toArray().isEmpty());
        // Known lost: closed, and nothing tried again on it.
        EXPECT_FALSE(Window().Connection().Connected());
    };
    const auto search_fails = [this] {
        const std::vector<std::string> searched =
            Lines({"search", "find {\"nombres\": \"JOSE\"}", "dump", "leave"});
        ASSERT_FALSE(searched.empty());
        ExpectOnlyNetworkFailure(State(searched[0]));
        EXPECT_FALSE(Window().Connection().Connected());
    };
    // The first action after the kill meets the broken connection; the one
    // after it finds no server to connect to. Each way round.
    server_->Kill();
    lookup_fails();
    search_fails();
    server_->Start();
    ASSERT_EQ(Label(Do({std::string("code ") + demo::kMemberActive}), "lbnombre"),
              demo::kMemberActiveName);
    server_->Kill();
    search_fails();
    lookup_fails();

    // Each repair asked for on a loan shown while the server was up.
    for (const char* button : kRepairButtons) {
        SCOPED_TRACE(button);
        server_->Start();
        Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
        server_->Kill();
        const auto boxes = Boxes(Press(button));
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].first, "confirm");
        EXPECT_EQ(boxes[1].first, "error");
        EXPECT_TRUE(IsNetworkFailure(boxes[1].second)) << boxes[1].second;
        EXPECT_FALSE(Window().Connection().Connected());
    }
    // Which database's records they would be, and where they are kept,
    // could not be asked: nothing reached the database, nothing is recorded.
    EXPECT_TRUE(JournalLines().empty());

    server_->Start();
    const QJsonObject back = Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    EXPECT_TRUE(Boxes(back).empty());
    EXPECT_TRUE(Window().Connection().Connected());
    EXPECT_EQ(Label(back, "lbbal"), Label(shown, "lbbal"));
    EXPECT_EQ(back["lbmensajes"], shown["lbmensajes"]);
    EXPECT_EQ(LoanRows(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs), before);
}

TEST_F(ServerFaultTest, RestartedServerFailsTheNextActionOnceAndAPauseLosesNothing) {
    Start();
    ASSERT_EQ(Label(Do({std::string("code ") + demo::kMemberActive}), "lbnombre"),
              demo::kMemberActiveName);

    // The program learns of the restart only from its next call, which
    // fails with the server's message; the one after that reconnects.
    server_->Restart();
    const QJsonObject failed = Do({std::string("code ") + demo::kMemberMismatch});
    ExpectOnlyNetworkFailure(failed);
    EXPECT_FALSE(Window().Connection().Connected());
    const QJsonObject back = Do({std::string("code ") + demo::kMemberActive});
    EXPECT_TRUE(Boxes(back).empty());
    EXPECT_EQ(Label(back, "lbnombre"), demo::kMemberActiveName);

    // A server that stops answering for a moment and then goes on: the
    // lookup waiting on it simply completes.
    server_->Stop();
    std::thread resume([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        server_->Continue();
    });
    const QJsonObject waited = Do({std::string("code ") + demo::kMemberManyDocuments});
    resume.join();
    EXPECT_TRUE(Boxes(waited).empty());
    EXPECT_EQ(Grid(waited, "DBGrid3")["rows"].toArray().isEmpty(), false);
    EXPECT_TRUE(Window().Connection().Connected());
}

// A server stopped for good (SIGSTOP): the lookup waiting on it ends after
// the call watch's bound with the lost connection's message instead of
// freezing the window; once the server goes on, the next lookup works.
TEST_F(ServerFaultTest, StoppedServerEndsTheWaitingLookupAfterTheBoundAndTheNextWorksOnceItGoesOn) {
    using namespace std::chrono_literals;
    db::SetCallLimits({2000ms, 1000ms});
    struct RestoreLimits {
        ~RestoreLimits() { db::SetCallLimits(db::CallLimits{}); }
    } restore;
    Start();
    const QJsonObject shown = Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
    const Rows before = LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments);

    server_->Stop();
    // Should the watch fail, the server goes on by itself after a while, so
    // the test fails on the missing message instead of hanging.
    std::promise<void> ended;
    std::thread safety([this, ended = ended.get_future()] {
        if (ended.wait_for(30s) == std::future_status::timeout) server_->Continue();
    });
    const auto started = std::chrono::steady_clock::now();
    const QJsonObject stuck = Do({std::string("code ") + demo::kMemberActive});
    const auto waited = std::chrono::steady_clock::now() - started;
    ended.set_value();
    safety.join();
    server_->Continue();
    ExpectOnlyNetworkFailure(stuck);
    EXPECT_EQ(Label(stuck, "lbnombre"), "");
    EXPECT_FALSE(Window().Connection().Connected());
    // Ended by the watch, not by the server going on.
    EXPECT_LT(waited, 20s);

    const QJsonObject back = Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
    EXPECT_TRUE(Boxes(back).empty());
    EXPECT_TRUE(Window().Connection().Connected());
    EXPECT_EQ(Label(back, "lbbal"), Label(shown, "lbbal"));
    EXPECT_EQ(LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments), before);
}

TEST_F(ServerFaultTest, ServerKilledInTheMiddleOfARepairLeavesTheLoanAsItWasAndNothingRunsAgain) {
    Start();
    for (const char* button : kRepairButtons) {
        SCOPED_TRACE(button);
        const QJsonObject shown = Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
        const Rows before = LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments);

        PendingWritesWatch watch(name_, getpid(), kStrikeAfterWrites, [this] { server_->Kill(); });
        const auto boxes = Boxes(Press(button));
        watch.Stop();
        ASSERT_TRUE(watch.Fired()) << "the repair ended before the server could be killed";
        std::cout << button << ": the server killed with " << watch.Seen()
                  << " rows written and none committed\n";
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[1].first, "error");
        EXPECT_TRUE(IsNetworkFailure(boxes[1].second)) << boxes[1].second;
        EXPECT_FALSE(Window().Connection().Connected());

        server_->Start();
        EXPECT_EQ(LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments), before)
            << watch.Seen() << " rows were written when the server was killed";
        // Not run again by itself: the next lookup only reads.
        const QJsonObject again = Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
        EXPECT_TRUE(Boxes(again).empty());
        EXPECT_EQ(Label(again, "lbbal"), Label(shown, "lbbal"));
        EXPECT_EQ(LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments), before);
    }
    const Rows journal = JournalLines();
    ASSERT_EQ(journal.size(), 2u);
    for (const std::string& line : journal) {
        EXPECT_NE(line.find("\"outcome\":\"rolled back\""), std::string::npos) << line;
        EXPECT_TRUE(IsNetworkFailure(line)) << line;
    }

    // Asked for again, each runs to its end: the loan is repaired.
    const Rows before = LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
    for (const char* button : kRepairButtons) {
        EXPECT_EQ(LastBoxText(Press(button)), "Proceso Ejecutado");
    }
    EXPECT_NE(LoanRows(demo::kMemberManyDocuments, demo::kLoanManyDocuments), before);
    const QJsonObject repaired = Show(demo::kMemberManyDocuments, demo::kLoanManyDocuments);
    EXPECT_EQ(Label(repaired, "lbbal"), AsShown("Balance prestamo CXC: 40,000.00"));
    EXPECT_FALSE(repaired["lbmensajes"].toObject()["visible"].toBool());
}

}  // namespace
