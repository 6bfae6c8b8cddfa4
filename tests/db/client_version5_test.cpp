// Runs against a stand-in client library that lacks the version-6 probe.
#include <gtest/gtest.h>

#include "db/call_watch.h"
#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/rules/connection_profile.h"
#include "tests/support/test_database.h"

namespace {

void ExpectVersion6Refusal(const std::function<void()>& call, const std::string& function) {
    try {
        call();
        ADD_FAILURE() << function << " did not refuse";
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.SqlErrorCode(), 3);
        EXPECT_EQ(e.Message(), function +
                                   " is an InterBase 6 function. Please upgrade to InterBase 6 "
                                   "to use this functonality");
    }
}

TEST(VersionFiveClient, SubstitutesNameTheMissingFunction) {
    ASSERT_EQ(db::ClientVersion(), 5);
    const db::ClientApi& api = db::Api();
    ExpectVersion6Refusal([&] { api.isc_rollback_retaining(db::StatusVector(), nullptr); },
                          "isc_rollback_retaining");
    ExpectVersion6Refusal(
        [&] { api.isc_service_attach(db::StatusVector(), 0, "x", nullptr, 0, nullptr); },
        "isc_service_attach");
    ExpectVersion6Refusal([&] { api.isc_encode_timestamp(nullptr, nullptr); },
                          "isc_encode_timestamp");
}

// Without fb_cancel_operation the library loads all the same; only the
// call watch is off.
TEST(VersionFiveClient, LoadsWithoutTheCancelEntryPoint) {
    EXPECT_EQ(db::Api().fb_cancel_operation, nullptr);
    EXPECT_FALSE(db::CanCancelCalls());
}

// Through the server: the embedded engine is a plugin of the real client
// library and would bind to this stand-in, which forwards only the
// published entry points.
TEST(VersionFiveClient, ConnectionAndTransactionsWorkUnchanged) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty())
        GTEST_SKIP() << why;
    test_support::TempDir dir;
    const std::string name =
        test_support::DatabaseName(test_support::Route::kServer, dir.File("v5.fdb"));
    test_support::CreateEmptyDatabase(name);
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, name);
    database.Open();
    EXPECT_EQ(database.DBSQLDialect(), 1);
    transaction.StartTransaction();
    transaction.CommitRetaining();
    ExpectVersion6Refusal([&] { transaction.RollbackRetaining(); }, "isc_rollback_retaining");
    EXPECT_TRUE(transaction.Active());
    transaction.Commit();
    database.Close();
}

}  // namespace
