// Cancelling the check mid-statement, from the check itself and from the
// dialog, and the dialog destroyed while its check runs.
#include <QTest>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "db/call_watch.h"
#include "tests/portfolio/portfolio_window_fixture.h"
#include "tools/bench_db/bench_database.h"

namespace {

using portfolio::PortfolioAccess;

// A database whose check takes well over a second, statements included,
// so that a cancel comes mid-check.
class PortfolioCancel : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new test_support::TempDir;
        path_ = new std::string(dir_->File("bench.fdb"));
        bench::BenchDatabaseSize size;
        size.members = kMembers;
        bench::BuildBenchDatabase(*path_, size, [](const std::string&, double) {});
    }
    static void TearDownTestSuite() {
        delete path_;
        path_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }
    // Every client call counted: a check that has made this many is
    // reading its rows, in the middle of a statement.
    void SetUp() override {
        calls_ = 0;
        db::SetCallStartObserver([] { ++calls_; });
    }
    void TearDown() override { db::SetCallStartObserver(nullptr); }
    static bool Reading() { return calls_ >= 1000; }

    static constexpr int kMembers = 6000;
    static inline test_support::TempDir* dir_ = nullptr;
    static inline std::string* path_ = nullptr;
    static inline std::atomic<long> calls_{0};
};

// The cancel ends the check where it is: it raises "cancelled", short of
// its end, instead of reading on.
TEST_F(PortfolioCancel, RunCheckEndsCancelledShortOfItsEnd) {
    using namespace std::chrono_literals;
    db::CallCanceller canceller;
    loans::CheckOptions options;
    options.canceller = &canceller;
    std::atomic<double> reached{0};
    auto run = std::async(std::launch::async, [&] {
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction transaction("IBTransaction1");
        loans::ConfigureProgramConnection(database, transaction, *path_);
        try {
            loans::RunCheck(
                database,
                [&](double done) {
                    reached = done;
                    return true;
                },
                options);
            return std::string("finished");
        } catch (const loans::ECheckCancelled&) {
            return std::string("cancelled");
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    });
    while (!Reading() && run.wait_for(0s) != std::future_status::ready) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_NE(run.wait_for(0s), std::future_status::ready) << "the check ended before the cancel";
    canceller.Cancel();
    ASSERT_EQ(run.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(run.get(), "cancelled");
    EXPECT_LT(reached.load(), 1.0);
}

// The click returns at once, the work still running: the window never
// waits for the statement under way. The dialog closes once the work has
// ended, without a list.
TEST_F(PortfolioCancel, DialogClosesOnceTheCancelledCheckHasEndedAndTheWindowNeverWaits) {
    const std::string path = *path_;
    portfolio::TFcartera dialog([path](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    dialog.show();
    WaitFor([&] { return Reading() || access.Finished(); });
    ASSERT_FALSE(access.Finished()) << "the check ended before the cancel";
    QTest::mouseClick(access.ButtonOf(PortfolioAccess::Button::Cancel), Qt::LeftButton);
    EXPECT_TRUE(access.Running());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(access.Totals()->text(), "Cancelando...");
    // Closed only once its work has ended.
    bool closed_while_running = false;
    WaitFor([&] {
        closed_while_running = closed_while_running || (!dialog.isVisible() && access.Running());
        return !dialog.isVisible();
    });
    EXPECT_FALSE(closed_while_running);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(access.Finished());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(access.Chosen().has_value());
    EXPECT_EQ(access.Failure(), "");
    EXPECT_EQ(access.List()->model()->rowCount(), 0);
}

// A dialog destroyed mid-check (the program ending) leaves nothing
// running: its destructor returns once its work has ended and let go of
// everything it held, the connection's setup included.
TEST_F(PortfolioCancel, DestroyingTheDialogMidCheckWaitsForItsWork) {
    const std::string path = *path_;
    const auto held = std::make_shared<int>(0);  // counts the setup's copies
    auto dialog = std::make_unique<portfolio::TFcartera>(
        [path, held](db::TIBDatabase& database, db::TIBTransaction& transaction) {
            loans::ConfigureProgramConnection(database, transaction, path);
        });
    const PortfolioAccess access(*dialog);
    dialog->show();
    WaitFor([&] { return Reading() || access.Finished(); });
    ASSERT_FALSE(access.Finished()) << "the check ended before the dialog went";
    ASSERT_TRUE(access.Running());
    EXPECT_GT(held.use_count(), 2);  // here, the dialog's, the worker thread's
    dialog.reset();
    EXPECT_EQ(held.use_count(), 1);
}

}  // namespace
