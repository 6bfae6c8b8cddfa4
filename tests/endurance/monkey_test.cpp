// A bounded monkey test: thousands of random keys, clicks and double clicks
// on the real main window and the search dialog over a demo database, with
// every box answered and "No" to every confirmation. Nothing may crash, no
// sanitizer may report, and not one row of any table may change.
#include "tests/endurance/monkey.h"

#include <QtGlobal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include "tests/main_window/window_fixture.h"
#include "tests/support/table_checksums.h"

namespace {

// Enough to open the search dialog, the portfolio check and the menus a
// hundred times or so and to look up about as many members; about 30 s in
// the sanitizer build on two busy cores, a third of that in the normal one.
constexpr int kDefaultEvents = 8'000;

int EnvironmentNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? static_cast<int>(std::strtoul(text, nullptr, 10))
                                            : fallback;
}

// QTest warns for every key no control takes, the offscreen platform each
// time the window is shown again; a monkey does both thousands of times.
QtMessageHandler previous_handler = nullptr;
void QuietAboutMonkeyNoise(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (message.startsWith("Keyboard event not accepted") ||
        message.startsWith("This plugin does not support propagateSizeHints")) {
        return;
    }
    previous_handler(type, context, message);
}

class MonkeyTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        // A repair that ran would be journaled here: the test checks that
        // nothing is.
        journal_home_ = dir_.File("data");
        setenv("XDG_DATA_HOME", journal_home_.c_str(), 1);
        previous_handler = qInstallMessageHandler(QuietAboutMonkeyNoise);
    }
    void TearDown() override {
        qInstallMessageHandler(previous_handler);
        unsetenv("XDG_DATA_HOME");
        WindowTest::TearDown();
    }
    std::string journal_home_;
};

// COOP_MONKEY_SEED repeats a run; COOP_MONKEY_EVENTS changes its length.
TEST_F(MonkeyTest, RandomInputNeverCrashesAndChangesNoRow) {
    const uint32_t seed =
        static_cast<uint32_t>(EnvironmentNumber("COOP_MONKEY_SEED", std::random_device{}()));
    const int events = EnvironmentNumber("COOP_MONKEY_EVENTS", kDefaultEvents);
    std::printf("monkey_seed %u (COOP_MONKEY_SEED=%u repeats this run)\n", seed, seed);
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(seed));
    SCOPED_TRACE("COOP_MONKEY_SEED=" + std::to_string(seed));

    const auto before = test_support::ChecksumTables(database_);
    ASSERT_FALSE(before.empty());
    Start();
    ASSERT_TRUE(window_);

    const auto started = std::chrono::steady_clock::now();
    test_support::Monkey monkey(*window_, seed);
    monkey.Run(events);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    int confirmations = 0;
    int errors = 0;
    for (const auto& [kind, text] : responder_.messages) {
        if (kind == "confirm") ++confirmations;
        if (kind == "error") {
            ++errors;
            ADD_FAILURE() << "failure reported: " << text;
        }
    }
    const test_support::Monkey::Counts& counts = monkey.counts();
    std::printf(
        "monkey_events %d: %d keys, %d clicks, %d double clicks; %d members shown, %d searches, "
        "%d portfolio checks, %d menus, %d closes of the window; %zu boxes, %d confirmations "
        "answered No; %.1f s\n",
        counts.keys + counts.clicks + counts.double_clicks, counts.keys, counts.clicks,
        counts.double_clicks, counts.members_shown, counts.searches, counts.portfolio_checks,
        counts.menus, counts.window_closes, responder_.messages.size(), confirmations, seconds);
    std::fflush(stdout);
    EXPECT_GE(counts.keys + counts.clicks + counts.double_clicks, events);
    EXPECT_EQ(errors, 0);

    // The program's transaction ends with the window; only then is what it
    // might have written visible to another attachment.
    probe_.reset();
    window_.reset();
    const auto after = test_support::ChecksumTables(database_);
    ASSERT_EQ(after.size(), before.size());
    for (const auto& [table, checksum] : before) {
        const auto found = after.find(table);
        ASSERT_NE(found, after.end()) << table;
        EXPECT_EQ(found->second.rows, checksum.rows) << table;
        EXPECT_EQ(found->second.hash, checksum.hash) << table << " changed";
    }
    EXPECT_FALSE(std::filesystem::exists(journal_home_)) << "a repair was journaled";
}

}  // namespace
