#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "db/client_library.h"
#include "db/errors.h"

namespace {

TEST(ClientErrors, EveryCodeHasItsMessage) {
    for (int code = 0; code <= 119; ++code) {
        ASSERT_NE(db::ClientErrorMessage(code), nullptr) << code;
        EXPECT_GT(std::strlen(db::ClientErrorMessage(code)), 0u) << code;
    }
    // Spot checks where a slip in the table would shift every later text.
    EXPECT_STREQ(db::ClientErrorMessage(43),
                 "Cannot \"open\" a non-select statement. Use ExecQuery");
    EXPECT_STREQ(db::ClientErrorMessage(87), "SQL Dialect Invalid");
    EXPECT_STREQ(db::ClientErrorMessage(103), "Successful execution");
    EXPECT_STREQ(db::ClientErrorMessage(114), "DPB Constant (%s) is unknown");
    EXPECT_STREQ(db::ClientErrorMessage(119),
                 "Trying to store a string of length %d into a field that can only contain %d");
}

TEST(ClientErrors, RaiseFillsPlaceholdersAndCarriesTheCode) {
    try {
        db::RaiseClientError(db::kStringTooLarge, {12, 10});
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(),
                  "Trying to store a string of length 12 into a field that can only contain 10");
        EXPECT_EQ(e.SqlErrorCode(), 119);
        EXPECT_EQ(e.EngineErrorCode(), 0);
    }
    try {
        db::RaiseClientError(db::kSqlParseError, {db::ClientErrorMessage(db::kEofInString)});
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(), "SQL Parse Error:\r\n\r\nEOF in string detected");
    }
}

// Fills the status vector as a failed call would, so the composition can be
// checked line by line without provoking the server.
void FakeFailure(std::initializer_list<ISC_STATUS> entries) {
    ISC_STATUS* status = db::StatusVector();
    size_t i = 0;
    for (ISC_STATUS e : entries) status[i++] = e;
    status[i] = isc_arg_end;
}

TEST(ServerErrorMessage, JoinsLinesAndDropsOneFinalFullStop) {
    static const char first[] = "first line. with a stop inside";
    static const char second[] = "second line.";
    FakeFailure({isc_arg_gds, isc_random, isc_arg_string, reinterpret_cast<ISC_STATUS>(first),
                 isc_arg_gds, isc_random, isc_arg_string, reinterpret_cast<ISC_STATUS>(second)});
    try {
        db::RaiseServerError();
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_EQ(e.Message(), "first line. with a stop inside\r\nsecond line");
        EXPECT_EQ(e.EngineErrorCode(), isc_random);
    }
}

TEST(ServerErrorMessage, LineEndingInLineFeedGetsNoExtraBreak) {
    static const char first[] = "ends with a feed\n";
    static const char second[] = "next";
    FakeFailure({isc_arg_gds, isc_random, isc_arg_string, reinterpret_cast<ISC_STATUS>(first),
                 isc_arg_gds, isc_random, isc_arg_string, reinterpret_cast<ISC_STATUS>(second)});
    EXPECT_THROW(
        {
            try {
                db::RaiseServerError();
            } catch (const db::EIBError& e) {
                EXPECT_EQ(e.Message(), "ends with a feed\nnext");
                throw;
            }
        },
        db::EIBInterBaseError);
}

TEST(ServerErrorMessage, NoPrivilegeIsARoleErrorAndSqlCodeCanLead) {
    static const char what[] = "SELECT";
    static const char object[] = "CLIENTES";
    FakeFailure({isc_arg_gds, isc_no_priv, isc_arg_string, reinterpret_cast<ISC_STATUS>(what),
                 isc_arg_string, reinterpret_cast<ISC_STATUS>("TABLE"), isc_arg_string,
                 reinterpret_cast<ISC_STATUS>(object)});
    try {
        db::RaiseServerError();
        FAIL();
    } catch (const db::EIBInterBaseRoleError& e) {
        EXPECT_EQ(e.SqlErrorCode(), -551);
        EXPECT_NE(e.Message().find("CLIENTES"), std::string::npos);
        EXPECT_NE(e.Message().back(), '.');
    }

    db::SetMessageOptions({.show_sql_code = true, .show_server_messages = true});
    FakeFailure({isc_arg_gds, isc_no_priv, isc_arg_string, reinterpret_cast<ISC_STATUS>(what),
                 isc_arg_string, reinterpret_cast<ISC_STATUS>("TABLE"), isc_arg_string,
                 reinterpret_cast<ISC_STATUS>(object)});
    try {
        db::RaiseServerError();
    } catch (const db::EIBError& e) {
        EXPECT_EQ(e.Message().rfind("SQLCODE: -551\r\n", 0), 0u) << e.Message();
    }
    db::SetMessageOptions({});
}

TEST(ClientLibrary, LoadsOnceAndReportsVersionSix) {
    // The first calls come from several threads at once (a check's helper
    // connections and the watchdog): each sees the one whole table.
    std::vector<std::thread> threads;
    std::vector<decltype(db::ClientApi::isc_attach_database)> seen(4);
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = db::Api().isc_attach_database; });
    }
    for (std::thread& thread : threads) thread.join();
    for (const auto entry_point : seen) EXPECT_EQ(entry_point, db::Api().isc_attach_database);
    db::EnsureClientLoaded();
    auto* first = db::Api().isc_attach_database;
    db::EnsureClientLoaded();
    EXPECT_EQ(db::Api().isc_attach_database, first);
    EXPECT_EQ(db::ClientVersion(), 6);
}

}  // namespace
