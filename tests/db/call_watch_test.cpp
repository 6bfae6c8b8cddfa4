// The call watch: a call without an answer ends after the bound, on both
// routes, and what the end means for the connection.
#include "db/call_watch.h"

#include <gtest/gtest.h>

#include <chrono>

#include "db/errors.h"
#include "tests/db/query_fixture.h"
#include "tests/support/tcp_relay.h"

namespace {

using namespace std::chrono_literals;

// Far longer than the bound, far shorter than a hung suite: without the
// watch the statement would run on for many seconds.
constexpr const char* kBusyStatement =
    "execute block as declare i integer = 0; begin while (i < 300000000) do i = i + 1; end";
constexpr int64_t kGenerousEndMs = 20'000;

class CallWatchTest : public QueryTest {
  protected:
    void SetUp() override {
        QueryTest::SetUp();
        db::SetCallLimits({500ms, 1000ms});
    }
    void TearDown() override { db::SetCallLimits(db::CallLimits{}); }

    // Runs the statement; returns the engine's code of its failure (0: none).
    static int32_t EngineCodeOf(db::TIBQuery& query) {
        try {
            query.Execute();
        } catch (const db::EIBInterBaseError& e) {
            return e.EngineErrorCode();
        }
        return 0;
    }
};

TEST_P(CallWatchTest, BusyServerCancelsTheStatementAndTheConnectionStaysUsable) {
    ASSERT_TRUE(db::CanCancelCalls());
    database_.Open();
    db::TIBQuery& busy = Query();
    SetSql(busy, kBusyStatement);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(EngineCodeOf(busy), isc_cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              std::chrono::milliseconds(kGenerousEndMs));

    EXPECT_TRUE(database_.Connected());
    db::TIBQuery& next = Query("IBQuery2");
    SetSql(next, "select count(*) from rdb$database");
    next.Open();
    EXPECT_EQ(next.Field(0).GetInteger(), 1);
}

TEST_P(CallWatchTest, QuickCallsAreNeverCancelled) {
    // Many calls in a row, together far longer than the bound.
    db::SetCallLimits({500ms, 500ms});
    database_.Open();
    db::TIBQuery& query = Query();
    SetSql(query, "select count(*) from rdb$fields a, rdb$database b where a.rdb$field_name > :n");
    const auto started = std::chrono::steady_clock::now();
    int rounds = 0;
    while (std::chrono::steady_clock::now() - started < 1500ms) {
        query.Close();
        query.ParamNamed("n").SetString(std::to_string(rounds++));
        query.Open();
        EXPECT_GT(query.Field(0).GetInteger(), 0);
    }
    EXPECT_GT(rounds, 1);
}

INSTANTIATE_ROUTES(CallWatchTest);

// Through a relay that stops forwarding: the server never hears the cancel,
// so the client side of the link is closed and the call ends as a lost
// connection; a new attachment works once the link passes again.
TEST(CallWatch, StalledLinkEndsTheCallAsALostConnection) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty())
        GTEST_SKIP() << why;
    test_support::TempDir dir;
    const std::string file = dir.File("watch.fdb");
    test_support::CreateEmptyDatabase(
        test_support::DatabaseName(test_support::Route::kServer, file));
    test_support::TcpRelay relay(test_support::ServerPort());
    db::SetCallLimits({500ms, 500ms});

    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction,
                                      "127.0.0.1/" + std::to_string(relay.Port()) + ":" + file);
    db::TIBQuery query("IBQuery1");
    query.SetDatabase(&database);
    query.SetTransaction(&transaction);
    query.SQL().Add("select count(*) from rdb$database");
    database.Open();
    query.Open();
    query.Close();

    relay.Stall();
    const auto started = std::chrono::steady_clock::now();
    try {
        query.Open();
        ADD_FAILURE() << "the stalled call succeeded";
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_TRUE(db::IsConnectionLostCode(e.EngineErrorCode()))
            << e.EngineErrorCode() << " " << e.Message();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started,
              std::chrono::milliseconds(kGenerousEndMs));

    database.ForcedClose();
    relay.Restore();
    database.Open();
    query.Open();
    EXPECT_EQ(query.Field(0).GetInteger(), 1);
    query.Close();
    database.Close();
    db::SetCallLimits(db::CallLimits{});
}

}  // namespace
