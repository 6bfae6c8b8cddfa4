#include <gtest/gtest.h>

#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_base.h"
#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/rules/connection_profile.h"
#include "tests/db/route_fixture.h"

namespace {

using test_support::RawConnection;

// The connection as the main window configures it.
struct Connection {
    db::TIBDatabase database{"IBDatabase1"};
    db::TIBTransaction transaction{"IBTransaction1"};
    explicit Connection(const std::string& name) {
        loans::ConfigureProgramConnection(database, transaction, name);
        // These tests write through it; the program's own only reads.
        transaction.Params().Assign({"read_committed", "rec_version", "nowait"});
    }
};

void ExecuteIn(db::TIBDatabase& database, db::TIBTransaction& transaction, const std::string& sql) {
    db::CheckStatus(db::Api().isc_dsql_execute_immediate(
        db::StatusVector(), database.Handle(), transaction.Handle(), 0, sql.c_str(), 1, nullptr));
}

class ConnectionTest : public RouteTest {};

TEST_P(ConnectionTest, OpensInDialectOneAndClosesCleanly) {
    Connection c(NewDatabase());
    c.database.Open();
    EXPECT_TRUE(c.database.Connected());
    EXPECT_EQ(c.database.DBSQLDialect(), 1);
    EXPECT_EQ(c.database.SQLDialect(), 1);
    // The block sent carried the password: nothing of it is kept.
    const auto wiped = [&c] {
        const std::string& block = c.database.ParameterBlock();
        return !block.empty() && block.find_first_not_of('\0') == std::string::npos;
    };
    EXPECT_TRUE(wiped());

    // Same name while connected: nothing; another name, or new lines: refused.
    c.database.SetDatabaseName(c.database.DatabaseName());
    try {
        c.database.SetDatabaseName("other.fdb");
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(), "Cannot perform operation -- DB is currently open");
    }
    EXPECT_THROW(c.database.Params().Add("lc_messages=x"), db::EIBClientError);
    EXPECT_EQ(c.database.Params().Count(), 4);  // the program's own lines, unchanged
    EXPECT_THROW(c.database.SetSQLDialect(3), db::EIBClientError);
    EXPECT_THROW(c.database.SetSQLDialect(0), db::EIBClientError);

    c.database.Close();
    EXPECT_FALSE(c.database.Connected());
    EXPECT_EQ(c.database.DBSQLDialect(), 1);
    c.database.Close();  // closing a closed connection does nothing
    c.database.Open();   // the wiped block is built again from the lines
    EXPECT_TRUE(c.database.Connected());
    EXPECT_TRUE(wiped());
}

TEST_P(ConnectionTest, DialectThreeDatabaseKeepsTheProgramInDialectOne) {
    Connection c(NewDatabase("d3.fdb", 3));
    c.database.Open();
    EXPECT_EQ(c.database.DBSQLDialect(), 3);
    EXPECT_EQ(c.database.SQLDialect(), 1);
    c.database.Close();
    EXPECT_EQ(c.database.DBSQLDialect(), 1);
}

TEST_P(ConnectionTest, DialectAboveTheDatabasesIsLoweredWithAWarning) {
    Connection c(NewDatabase());
    c.database.SetSQLDialect(3);
    int warnings = 0;
    c.database.OnDialectDowngradeWarning = [&] { ++warnings; };
    c.database.Open();
    EXPECT_EQ(c.database.SQLDialect(), 1);
    EXPECT_EQ(warnings, 1);
}

TEST_P(ConnectionTest, MissingFileGivesTheServersMessageWithoutFinalStop) {
    Connection c(Name("missing.fdb"));
    try {
        c.database.Open();
        FAIL() << "attached to a missing file";
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_NE(e.Message().find("Error while trying to open file"), std::string::npos)
            << e.Message();
        EXPECT_NE(e.Message().find("\r\n"), std::string::npos);
        EXPECT_NE(e.Message().back(), '.');
        EXPECT_EQ(e.SqlErrorCode(), -902);
    }
    EXPECT_FALSE(c.database.Connected());
}

TEST_P(ConnectionTest, BadParameterLinesFailBeforeAnythingIsSent) {
    Connection c(NewDatabase());
    c.database.Params().Add("Page_Size=4096");
    try {
        c.database.Open();
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(), "DPB Constant (isc_dpb_page_size) is unsupported");
    }
    EXPECT_FALSE(c.database.Connected());
    // The failed build must not be reused: the next open rebuilds and fails again.
    EXPECT_THROW(c.database.Open(), db::EIBClientError);
    c.database.Params().Assign({"user_name=sysdba", "password=plumbrid", "bogus=1"});
    try {
        c.database.Open();
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(), "DPB Constant (bogus) is unknown");
    }
}

TEST_P(ConnectionTest, EmptyNameIsRefused) {
    Connection c("");
    try {
        c.database.Open();
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.SqlErrorCode(), 17);
        EXPECT_EQ(e.Message(), "Database name is missing");
    }
}

TEST_P(ConnectionTest, PendingInsertsAreCommittedByCloseAndByDestruction) {
    const std::string name = NewDatabase();
    RawConnection(name).Execute("CREATE TABLE T (N INTEGER)");
    {
        Connection c(name);
        c.database.Open();
        c.transaction.StartTransaction();
        ExecuteIn(c.database, c.transaction, "INSERT INTO T VALUES (1)");
        c.database.Close();
        EXPECT_FALSE(c.transaction.Active());

        c.database.Open();
        c.transaction.StartTransaction();
        ExecuteIn(c.database, c.transaction, "INSERT INTO T VALUES (2)");
    }  // the transaction is destroyed first, then the connection
    EXPECT_EQ(RawConnection(name).QueryCount("SELECT COUNT(*) FROM T"), 2);

    {
        Connection c(name);
        c.transaction.SetDefaultAction(db::TARollback);
        c.database.Open();
        c.transaction.StartTransaction();
        ExecuteIn(c.database, c.transaction, "INSERT INTO T VALUES (3)");
    }
    EXPECT_EQ(RawConnection(name).QueryCount("SELECT COUNT(*) FROM T"), 2);
}

TEST_P(ConnectionTest, ObjectsHearAboutTheDisconnectAndTheConnectionsEnd) {
    std::vector<std::string> heard;
    auto c = std::make_unique<Connection>(NewDatabase());
    db::TComponent owner("IBQuery1");
    db::TIBBase link(&owner);
    link.OnBeforeTransactionEnd = [&] { heard.push_back("before transaction end"); };
    link.OnAfterTransactionEnd = [&] { heard.push_back("after transaction end"); };
    link.OnBeforeDatabaseDisconnect = [&] { heard.push_back("before disconnect"); };
    link.OnAfterDatabaseDisconnect = [&] { heard.push_back("after disconnect"); };
    link.OnTransactionFree = [&] { heard.push_back("transaction freed"); };
    link.OnDatabaseFree = [&] { heard.push_back("database freed"); };

    // Given only the connection, the link takes its default transaction.
    link.SetDatabase(&c->database);
    EXPECT_EQ(link.Transaction(), &c->transaction);
    EXPECT_THROW(link.CheckDatabase(), db::EIBClientError);

    EXPECT_TRUE(db::StartTransactionImplicitly(link));
    EXPECT_TRUE(c->database.Connected());
    EXPECT_FALSE(db::StartTransactionImplicitly(link));
    EXPECT_NE(*link.TRHandle(), 0u);

    c->database.Close();
    c.reset();
    const std::vector<std::string> expected = {"before transaction end", "after transaction end",
                                               "before disconnect",      "after disconnect",
                                               "transaction freed",      "database freed"};
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(link.Database(), nullptr);
    EXPECT_EQ(link.Transaction(), nullptr);
}

TEST_P(ConnectionTest, UnassignedPartnersAreNamedInTheError) {
    db::TComponent owner("IBQuery1");
    db::TIBBase link(&owner);
    try {
        db::StartTransactionImplicitly(link);
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(), "Database not assigned");
    }
    db::TIBDatabase database;
    link.SetDatabase(&database);
    try {
        db::StartTransactionImplicitly(link);
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(), "Transaction not assigned");
    }
}

TEST(ConnectionName, ANameOverThirtyTwoKilobytesIsRefusedBeforeTheAttach) {
    db::TIBDatabase database("IBDatabase1");
    database.SetLoginPrompt(false);
    database.Params().Assign({"user_name=sysdba"});
    database.SetDatabaseName(std::string(40000, 'x'));
    try {
        database.Open();
        ADD_FAILURE() << "an over-long name was sent";
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.SqlErrorCode(), db::kDatabaseNameTooLong);
        EXPECT_EQ(e.Message(), "Database name is longer than 32767 bytes");
    }
    EXPECT_FALSE(database.Connected());
}

INSTANTIATE_ROUTES(ConnectionTest);

class ServerOnlyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = test_support::ServerUnavailable(); !why.empty())
            GTEST_SKIP() << why;
    }
    test_support::TempDir dir_;
};

TEST_F(ServerOnlyTest, WrongPasswordGivesTheServersMessage) {
    const std::string name =
        test_support::DatabaseName(test_support::Route::kServer, dir_.File("pw.fdb"));
    test_support::CreateEmptyDatabase(name);
    Connection c(name);
    c.database.Params().Assign({"user_name=sysdba", "password=wrong", "lc_ctype=ISO8859_1"});
    try {
        c.database.Open();
        FAIL() << "attached with a wrong password";
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_EQ(e.Message(),
                  "Your user name and password are not defined. Ask your database administrator "
                  "to set up a Firebird login");
    }
    EXPECT_FALSE(c.database.Connected());
}

// A site's analyst logs in with the analysts' role through the program's
// connection: it reads, and writes what the two repairs write, nothing more.
TEST_F(ServerOnlyTest, TheAnalystsRoleAllowsTheRepairsWritesAndRefusesEveryOther) {
    test_support::CopyDemoDatabase(dir_.File("demo.fdb"));
    const std::string name =
        test_support::DatabaseName(test_support::Route::kServer, dir_.File("demo.fdb"));
    const test_support::AnalystLogin analyst(name);
    Connection c(name);
    c.database.Open();
    {
        db::TIBQuery who("who");
        who.SetDatabase(&c.database);
        who.SetTransaction(&c.transaction);
        who.SQL().Add(
            "select trim(current_user) as u, trim(current_role) as r, "
            "(select count(*) from clientes) as n from rdb$database");
        who.Open();
        EXPECT_EQ(who.FieldNamed("U").GetString(), test_support::kAnalystUser);
        EXPECT_EQ(who.FieldNamed("R").GetString(), test_support::kAnalystRole);
        EXPECT_GT(who.FieldNamed("N").GetInteger(), 0);
    }
    // A writing transaction of the test's own: what is refused is refused
    // for want of rights, whatever the program's own transaction allows.
    db::TIBTransaction writer("writer");
    writer.SetDefaultDatabase(&c.database);
    writer.Params().Assign({"write", "read_committed", "rec_version", "nowait"});
    const struct {
        const char* sql;
        bool allowed;
    } cases[] = {
        {"delete from cxctrx where aplica = -1", true},
        {"insert into cxctrx (cliente, aplica, valor) values ('00001', -1, 0)", true},
        {"update renglones set ren_pagadocapital = 0, ren_pagadointeres = 0, ren_totalpagado = 0 "
         "where ren_prestamono = -1",
         true},
        {"update clientes set clt_nombres = clt_nombres", false},
        {"insert into clientes (clt_codigo) values ('99999')", false},
        {"delete from solicitudpres", false},
        {"update cxctrx set valor = 0 where aplica = -1", false},
        {"update renglones set ren_cuotano = ren_cuotano where ren_prestamono = -1", false},
        {"update solicitudpres set valor = 0 where 1 = 0", false},
        {"delete from renglones where ren_prestamono = -1", false},
        {"drop table cxctrx", false},
    };
    for (const auto& row : cases) {
        writer.StartTransaction();
        try {
            ExecuteIn(c.database, writer, row.sql);
            EXPECT_TRUE(row.allowed) << row.sql << " went through";
        } catch (const db::EIBError& e) {
            EXPECT_FALSE(row.allowed) << row.sql << ": " << e.Message();
            EXPECT_NE(e.Message().find("no permission"), std::string::npos)
                << row.sql << ": " << e.Message();
        }
        writer.Rollback();
    }
    c.database.Close();

    // Without the role the same user may not even read.
    unsetenv("ISC_ROLE");
    Connection bare(name);
    bare.database.Open();
    db::TIBQuery members("members");
    members.SetDatabase(&bare.database);
    members.SetTransaction(&bare.transaction);
    members.SQL().Add("select count(*) from clientes");
    EXPECT_THROW(members.Open(), db::EIBError);
}

TEST_F(ServerOnlyTest, UnreachableServerIsReportedAndLeavesTheConnectionClosed) {
    Connection c("127.0.0.1/3059:" + dir_.File("none.fdb"));
    EXPECT_THROW(c.database.Open(), db::EIBInterBaseError);
    EXPECT_FALSE(c.database.Connected());
}

}  // namespace
