// A server that stops answering in the middle of a session: each action
// ends after a bounded wait with the lost connection's message, nothing of a
// repair stays written, the wait cursor shows while the window works and
// goes when it waits for the user, and once the server answers again the
// next action works without a restart.
#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "db/call_watch.h"
#include "db/data_source.h"
#include "tests/main_window/relay_fixture.h"
#include "tools/demo_db/demo_catalogue.h"
#include "ui/wait_cursor.h"

namespace {

using namespace std::chrono_literals;
using Rows = std::vector<std::string>;

// The client library's words for a link it had to close.
constexpr const char* kLostLink = "Error reading data from the connection";
// Short bounds, so that each stuck action costs the suite about 3 s; an
// action must end well within this, or the watch did not work.
constexpr db::CallLimits kTestLimits{2000ms, 1000ms};
constexpr qint64 kGenerousEndMs = 20'000;

bool WaitCursorShown() {
    const QCursor* cursor = QGuiApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
}

// Answers as the fixture's responder does (the driver reads what it
// recorded), noting whether the wait cursor was up when each box came.
class CursorNotingResponder : public ui::DialogResponder {
  public:
    explicit CursorNotingResponder(probe::RecordingResponder& inner) : inner_(inner) {}
    void Information(const std::string& text) override {
        cursor_at_box.push_back(WaitCursorShown());
        inner_.Information(text);
    }
    int Confirmation(const std::string& text) override {
        cursor_at_box.push_back(WaitCursorShown());
        return inner_.Confirmation(text);
    }
    void Error(const std::string& title, const std::string& text) override {
        cursor_at_box.push_back(WaitCursorShown());
        inner_.Error(title, text);
    }
    std::vector<bool> cursor_at_box;

  private:
    probe::RecordingResponder& inner_;
};

// Notes whether the wait cursor was up when the schedule grid's set opened.
class CursorNotingLink : public db::TDataLink {
  public:
    std::vector<bool> cursor_at_open;

  protected:
    void ActiveChanged() override {
        if (Active()) cursor_at_open.push_back(WaitCursorShown());
    }
};

// Stalls the link at the n-th client call from when it is armed: a fault in
// the middle of a repair's writes, at a point the test chooses.
std::atomic<test_support::TcpRelay*> g_relay{nullptr};
std::atomic<long> g_calls{0};
std::atomic<long> g_stall_at{-1};
void CountCallAndStall() {
    const long call = ++g_calls;
    if (call == g_stall_at.load()) g_relay.load()->Stall();
}

class StuckCallTest : public RelayedWindowTest {
  protected:
    void SetUp() override {
        RelayedWindowTest::SetUp();
        if (IsSkipped()) return;
        db::SetCallLimits(kTestLimits);
        // Repairs journal into this test's own folder.
        journal_home_ = dir_.File("data");
        setenv("XDG_DATA_HOME", journal_home_.c_str(), 1);
    }
    void TearDown() override {
        db::SetCallLimits(db::CallLimits{});
        g_relay = nullptr;
        g_stall_at = -1;
        RelayedWindowTest::TearDown();
        unsetenv("XDG_DATA_HOME");
    }
    // After Restore: the next lookup reconnects and shows the member.
    void ExpectLookupWorks() {
        const QJsonObject back = Do({std::string("code ") + demo::kMemberActive});
        EXPECT_TRUE(back["messages"].toArray().isEmpty()) << OnlyError(back);
        EXPECT_EQ(Label(back, "lbnombre"), demo::kMemberActiveName);
        EXPECT_TRUE(Window().Connection().Connected());
    }

    std::string journal_home_;
};

TEST_F(StuckCallTest, LookupAndSearchOnAStalledServerEndWithTheLostConnectionThenWorkAgain) {
    Start();
    ASSERT_TRUE(Window().Connection().Connected());

    relay_->Stall();
    QElapsedTimer timer;
    timer.start();
    const QJsonObject failed = Do({std::string("code ") + demo::kMemberMismatch});
    EXPECT_LT(timer.elapsed(), kGenerousEndMs);
    EXPECT_NE(OnlyError(failed).find(kLostLink), std::string::npos);
    EXPECT_EQ(Label(failed, "lbnombre"), "");
    EXPECT_TRUE(Grid(failed, "DBGrid1")["rows"].toArray().isEmpty());
    EXPECT_FALSE(Window().Connection().Connected());  // known lost: closed
    relay_->Restore();
    ExpectLookupWorks();

    relay_->Stall();
    timer.restart();
    const std::vector<std::string> searched =
        Lines({"search", "find {\"nombres\": \"JOSE\"}", "dump", "leave"});
    EXPECT_LT(timer.elapsed(), kGenerousEndMs);
    ASSERT_FALSE(searched.empty());
    const QJsonObject in_dialog = QJsonDocument::fromJson(searched[0].c_str()).object();
    EXPECT_NE(OnlyError(in_dialog).find(kLostLink), std::string::npos);
    EXPECT_FALSE(Window().Connection().Connected());
    relay_->Restore();
    ExpectLookupWorks();
}

TEST_F(StuckCallTest, RepairsStalledInTheMiddleOfTheirWritesEndAndLeaveTheLoanAsItWas) {
    Start();
    for (const char* repair : {"btreindexar", "btcorregir"}) {
        SCOPED_TRACE(repair);
        const QJsonObject shown = Do({std::string("code ") + demo::kMemberManyDocuments});
        ASSERT_EQ(Grid(shown, "DBGrid1")["rows"].toArray().size(), 1);
        const int loan = demo::kLoanManyDocuments;
        const Rows before = LoanRows(loan);

        // The repair first reloads the loan, as this does; the stall comes
        // halfway through the 1,100 writes that follow.
        g_relay = relay_.get();
        g_calls = 0;
        db::SetCallStartObserver(&CountCallAndStall);
        window_->cargardatos(main_window::TFmain::LoadMode::Loan);
        const long reload_calls = g_calls.load();
        g_calls = 0;
        g_stall_at = reload_calls + demo::kManyDocumentsReceiptCount / 2;

        QElapsedTimer timer;
        timer.start();
        const QJsonObject failed = Do({"answer yes", std::string("press ") + repair});
        EXPECT_LT(timer.elapsed(), kGenerousEndMs);
        EXPECT_GE(g_calls.load(), g_stall_at.load()) << "the stall never came";
        db::SetCallStartObserver(nullptr);
        const QJsonArray messages = failed["messages"].toArray();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_EQ(Text(messages[messages.size() - 1].toObject()["kind"]), "error");
        EXPECT_NE(Text(messages[messages.size() - 1].toObject()["text"]).find(kLostLink),
                  std::string::npos);
        EXPECT_FALSE(Window().Connection().Connected());
        EXPECT_EQ(LoanRows(loan), before);

        relay_->Restore();
        // No repair runs again by itself: the next lookup only reads.
        const QJsonObject again =
            Do({"answer no", std::string("code ") + demo::kMemberManyDocuments});
        EXPECT_TRUE(again["messages"].toArray().isEmpty()) << OnlyError(again);
        EXPECT_FALSE(Label(again, "lbnombre").empty());
        EXPECT_EQ(LoanRows(loan), before);
    }
    ui::ShowWaitCursorDuringDatabaseCalls(true);  // the observer the window had
}

TEST_F(StuckCallTest, WaitCursorShowsWhileTheWindowWorksAndGoesWhenItWaitsForTheUserAgain) {
    Start();
    CursorNotingResponder responder(responder_);
    ui::SetDialogResponder(&responder);
    CursorNotingLink schedule;
    schedule.SetDataSource(Window().GridOf(Access::Grid::Schedule)->DataSource());
    EXPECT_FALSE(WaitCursorShown());

    const QJsonObject shown = Do({std::string("code ") + demo::kMemberActive});
    EXPECT_EQ(Label(shown, "lbnombre"), demo::kMemberActiveName);
    ASSERT_FALSE(schedule.cursor_at_open.empty());
    EXPECT_TRUE(schedule.cursor_at_open.back()) << "no wait cursor while the loan loaded";
    EXPECT_FALSE(WaitCursorShown()) << "the wait cursor stayed after the lookup";

    relay_->Stall();
    const QJsonObject failed = Do({std::string("code ") + demo::kMemberMismatch});
    EXPECT_NE(OnlyError(failed).find(kLostLink), std::string::npos);
    ASSERT_EQ(responder.cursor_at_box.size(), 1u);
    EXPECT_TRUE(responder.cursor_at_box[0]) << "no wait cursor while the call was stuck";
    EXPECT_FALSE(WaitCursorShown()) << "the wait cursor stayed after the failure";
    relay_->Restore();
    schedule.SetDataSource(nullptr);
}

TEST_F(StuckCallTest, FailedLoadOfALoanChosenInTheGridClearsThePreviousLoansDetails) {
    Start();
    const QJsonObject shown = Do({std::string("code ") + demo::kMemberMismatch});
    ASSERT_GE(Grid(shown, "DBGrid1")["rows"].toArray().size(), 2);
    ASSERT_FALSE(Grid(shown, "DBGrid2")["rows"].toArray().isEmpty());
    ASSERT_FALSE(Grid(shown, "DBGrid3")["rows"].toArray().isEmpty());
    ASSERT_NE(Label(shown, "lbtot3"), "");

    relay_->Cut();
    const QJsonObject failed = Do({"loan 1"});
    EXPECT_FALSE(OnlyError(failed).empty());
    EXPECT_TRUE(Grid(failed, "DBGrid2")["rows"].toArray().isEmpty());
    EXPECT_TRUE(Grid(failed, "DBGrid3")["rows"].toArray().isEmpty());
    for (const char* label : {"lbtot1", "lbtot2", "lbtot3"}) EXPECT_EQ(Label(failed, label), "");
    EXPECT_EQ(Label(failed, "lbbal"), "Balance CXC");
    EXPECT_EQ(Label(failed, "lbmensajes"), "");

    relay_->Restore();
    const QJsonObject again = Do({std::string("code ") + demo::kMemberMismatch, "loan 1"});
    EXPECT_TRUE(again["messages"].toArray().isEmpty()) << OnlyError(again);
    EXPECT_FALSE(Grid(again, "DBGrid3")["rows"].toArray().isEmpty());
}

TEST_F(StuckCallTest, StartingOnAStalledLinkGivesUpWithinTheConnectTimeout) {
    relay_->Stall();
    ui::SetDialogResponder(&responder_);
    window_ = shell::CreateMainWindow();
    ASSERT_TRUE(window_);
    // The program's own timeout, shortened for the test.
    std::vector<std::string> lines;
    for (int i = 0; i < Window().Connection().Params().Count(); ++i) {
        const std::string line = Window().Connection().Params()[i];
        lines.push_back(line.rfind("connect_timeout=", 0) == 0 ? "connect_timeout=2" : line);
    }
    ASSERT_NE(std::find(lines.begin(), lines.end(), "connect_timeout=2"), lines.end());
    Window().Connection().Params().Assign(std::move(lines));

    QElapsedTimer timer;
    timer.start();
    window_->show();
    EXPECT_LT(timer.elapsed(), kGenerousEndMs);
    ASSERT_EQ(responder_.messages.size(), 1u);
    EXPECT_EQ(responder_.messages[0].second.rfind("Error de conexion a la base de datos ", 0), 0u)
        << responder_.messages[0].second;
    EXPECT_FALSE(Window().Connection().Connected());
    EXPECT_GE(relay_->Accepted(), 1);
}

}  // namespace
