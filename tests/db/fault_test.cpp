// Runs against the failing stand-in client library: one client call at a
// time fails, as on a dropped link or a refusing server, and the layer must
// end in a clear error and a state the next operation can work from.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "db/call_watch.h"
#include "db/errors.h"
#include "loans/approval/approvals.h"
#include "tests/db/client_faults.h"
#include "tests/db/query_fixture.h"

namespace {

using test_support::RawConnection;

constexpr ISC_STATUS kBadStatementHandle = 335544485;
constexpr ISC_STATUS kCursorAlreadyClosed = 335544577;
constexpr ISC_STATUS kCursorNameTaken = 336003090;
constexpr ISC_STATUS kStatementAlreadyNamed = 336003092;

// The message of the failure `action` raises; fails the test when none.
std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const db::EIBError& e) {
        return e.Message();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

class FaultTest : public QueryTest {
  protected:
    void SetUp() override {
        QueryTest::SetUp();
        if (IsSkipped()) return;
        Setup(
            {"CREATE TABLE T (N INTEGER)", "INSERT INTO T VALUES (1)", "INSERT INTO T VALUES (2)"});
    }
    long long CountSeenByOthers() {
        return RawConnection(name_).QueryCount("SELECT COUNT(*) FROM T");
    }
    db::TIBQuery& Select(const std::string& sql) {
        db::TIBQuery& q = Query();
        SetSql(q, sql);
        return q;
    }

    client_faults::Scope faults_;
};

// --- ending a transaction by force ---

TEST_P(FaultTest, DestroyingTheTransactionCommitsEvenWhenFreeingItsStatementsFails) {
    auto transaction = std::make_unique<db::TIBTransaction>("IBTransaction2");
    transaction->SetDefaultDatabase(&database_);
    db::TIBQuery& insert = Query();
    insert.SetTransaction(transaction.get());
    SetSql(insert, "insert into T values (3)");
    insert.Execute();
    db::TIBQuery& open = Select("select N from T");
    open.SetTransaction(transaction.get());
    open.Open();

    client_faults::Fail("isc_dsql_free_statement", 0, -1);
    transaction.reset();  // a failure escaping here ends the process
    client_faults::Clear();
    EXPECT_FALSE(open.Active());
    EXPECT_EQ(CountSeenByOthers(), 3);
}

TEST_P(FaultTest, ClosingTheConnectionCommitsAndDetachesEvenWhenFreeingAStatementFails) {
    db::TIBQuery& insert = Query();
    SetSql(insert, "insert into T values (3)");
    insert.Execute();
    db::TIBQuery& open = Select("select N from T");
    open.Open();

    client_faults::Fail("isc_dsql_free_statement", 0, -1);
    // The transaction ends by force whatever its statements do; freeing a
    // statement left after it (the schema lookup's) fails the close as such.
    EXPECT_EQ(FailureOf([&] { database_.Close(); }), "injected failure of isc_dsql_free_statement");
    client_faults::Clear();
    EXPECT_FALSE(transaction_.Active());
    EXPECT_EQ(CountSeenByOthers(), 3);
    database_.Close();
    EXPECT_FALSE(database_.Connected());
    open.Open();  // reconnects and works from scratch
    EXPECT_EQ(open.FieldNamed("N").GetInteger(), 1);
}

// --- changing the text ---

TEST_P(FaultTest, AFailedStatementFreeStillChangesTextAndStatementTogether) {
    database_.SetStatementCacheSize(0);  // the old statement is freed, not kept for reuse
    db::TIBQuery& q = Select("select N from T where N = 1");
    q.Open();
    q.Close();

    client_faults::Fail("isc_dsql_free_statement");
    EXPECT_EQ(FailureOf([&] { q.SQL().SetText("select N from T where N = 2"); }),
              "injected failure of isc_dsql_free_statement");
    EXPECT_EQ(q.Statement().Text(), q.SQL().Text());
    q.Open();
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 2);
}

TEST_P(FaultTest, AFailedCursorCloseStillChangesTextAndStatementTogether) {
    db::TIBQuery& q = Select("select N from T where N = 1");
    q.Open();

    client_faults::Fail("isc_dsql_free_statement");
    EXPECT_EQ(FailureOf([&] { q.SQL().SetText("select N from T where N = :n"); }),
              "injected failure of isc_dsql_free_statement");
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.Statement().Text(), q.SQL().Text());
    q.ParamNamed("n").SetInteger(2);
    q.Open();
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 2);
}

// --- preparing and executing ---

TEST_P(FaultTest, AFailedSchemaLookupLeavesNoStatementBehindAndTheNextOpenWorks) {
    database_.Open();
    transaction_.StartTransaction();
    client_faults::Fail("isc_start_multiple");  // the lookup's own transaction
    db::TIBQuery& q = Select("select N from T");
    EXPECT_EQ(FailureOf([&] { q.Open(); }), "injected failure of isc_start_multiple");
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(q.Prepared());
    EXPECT_EQ(q.Statement().Handle(), 0u);

    q.Open();
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 1);
}

TEST_P(FaultTest, ACursorWhoseNamingFailsIsClosedAndTheNextOpenWorks) {
    db::TIBQuery& q = Select("select N from T");
    client_faults::Fail("isc_dsql_set_cursor_name");
    EXPECT_EQ(FailureOf([&] { q.Open(); }), "injected failure of isc_dsql_set_cursor_name");
    EXPECT_FALSE(q.Active());
    EXPECT_FALSE(q.Statement().Open());

    q.Open();
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 1);
}

// Names are drawn at random, so another statement of the connection may
// hold the one drawn; and a statement the server already knows by a name is
// named enough. Either way the query opens and reads, and a fresh name is
// drawn only when the first was taken.
TEST_P(FaultTest, ACursorOpensThoughTheServerRefusesItsName) {
    Select("select N from T").Open();  // the schema lookup of T runs a select of its own
    int round = 0;
    for (ISC_STATUS code : {kCursorNameTaken, kStatementAlreadyNamed}) {
        db::TIBQuery& q = Select("select N from T where N > " + std::to_string(--round));
        const std::string drawn = q.Statement().CursorName();
        client_faults::Clear();
        client_faults::Fail("isc_dsql_set_cursor_name", 0, 1, code);
        q.Open();
        EXPECT_EQ(q.FieldNamed("N").GetInteger(), 1) << code;
        EXPECT_EQ(q.Statement().CursorName() != drawn, code == kCursorNameTaken);
        q.Close();
        q.Open();  // named once
        EXPECT_EQ(client_faults::Calls("isc_dsql_set_cursor_name"),
                  code == kCursorNameTaken ? 2 : 1);
        q.Close();
        client_faults::Clear();
    }
}

// Naming costs a round trip through a server; the name stays with the
// server statement, also while the connection keeps it for reuse.
TEST_P(FaultTest, ACursorIsNamedOnceThoughItsStatementOpensAgainAndIsReused) {
    Select("select N from T").Open();  // the schema lookup of T runs a select of its own
    db::TIBQuery& q = Select("select N from T where N >= 1");
    client_faults::Clear();
    q.Open();
    q.Close();
    q.Open();
    SetSql(q, "select N from T where N >= 0");
    SetSql(q, "select N from T where N >= 1");  // the first statement again, kept meanwhile
    q.Open();
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 1);
    q.Close();
    EXPECT_EQ(client_faults::Calls("isc_dsql_execute2"), 3);
    EXPECT_EQ(client_faults::Calls("isc_dsql_set_cursor_name"), 1);
}

TEST_P(FaultTest, SelectForUpdateIsSentWithThePlainExecute) {
    Select("select N from T").Open();  // the schema lookup of T runs a select of its own
    db::TIBQuery& q = Select("select N from T for update");
    client_faults::Clear();
    q.Open();
    EXPECT_EQ(q.Statement().SQLType(), db::SQLSelectForUpdate);
    EXPECT_EQ(client_faults::Calls("isc_dsql_execute"), 1);
    EXPECT_EQ(client_faults::Calls("isc_dsql_execute2"), 0);
    EXPECT_EQ(client_faults::Calls("isc_dsql_set_cursor_name"), 0);
    EXPECT_EQ(client_faults::Calls("isc_dsql_fetch"), 0);
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.FieldCount(), 0);
    EXPECT_EQ(q.FetchedRowCount(), 0);
    EXPECT_FALSE(q.Statement().Open());
    q.Close();
    q.Open();  // the server's cursor of the first execute was closed
    EXPECT_EQ(client_faults::Calls("isc_dsql_execute"), 2);
    q.Close();
}

// --- which failure is reported ---

TEST_P(FaultTest, ABlobReadFailureIsReportedRatherThanItsClose) {
    Setup({"CREATE TABLE B (M BLOB SUB_TYPE 1)", "INSERT INTO B VALUES ('texto')"});
    db::TIBQuery& q = Select("select M from B");
    q.Open();
    client_faults::Fail("isc_get_segment");
    EXPECT_EQ(FailureOf([&] { q.FieldNamed("M").GetString(); }),
              "injected failure of isc_get_segment");
    client_faults::Fail("isc_get_segment");
    client_faults::Fail("isc_close_blob");
    EXPECT_EQ(FailureOf([&] { q.FieldNamed("M").GetString(); }),
              "injected failure of isc_get_segment");
    EXPECT_EQ(q.FieldNamed("M").GetString(), "texto");  // still open on the same row
}

TEST_P(FaultTest, ASchemaLookupFailureIsReportedRatherThanItsRollback) {
    database_.Open();
    transaction_.StartTransaction();
    client_faults::Fail("isc_dsql_execute2");  // the lookup's select runs first
    client_faults::Fail("isc_rollback_transaction");
    db::TIBQuery& q = Select("select N from T");
    EXPECT_EQ(FailureOf([&] { q.Open(); }), "injected failure of isc_dsql_execute2");
}

TEST_P(FaultTest, AFetchFailureIsReportedRatherThanTheCursorCloseAfterIt) {
    db::TIBQuery& q = Select("select N from T");
    client_faults::Fail("isc_dsql_fetch");
    client_faults::Fail("isc_dsql_free_statement");
    EXPECT_EQ(FailureOf([&] { q.Open(); }), "injected failure of isc_dsql_fetch");
    EXPECT_FALSE(q.Active());
}

TEST_P(FaultTest, AStatementFailureIsReportedRatherThanTheAutoStopAfterIt) {
    transaction_.SetAutoStopAction(db::saCommit);
    db::TIBQuery& insert = Query();
    SetSql(insert, "insert into T values (3)");
    client_faults::Fail("isc_dsql_execute");
    client_faults::Fail("isc_commit_transaction");
    EXPECT_EQ(FailureOf([&] { insert.Execute(); }), "injected failure of isc_dsql_execute");
}

// --- closing a dataset ---

TEST_P(FaultTest, ClosingADatasetReportsACursorCloseFailureAndTheNextOpenWorks) {
    db::TIBQuery& q = Select("select N from T");
    q.Open();
    client_faults::Fail("isc_dsql_free_statement");
    EXPECT_EQ(FailureOf([&] { q.Close(); }), "injected failure of isc_dsql_free_statement");
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.FetchedRowCount(), 0);

    q.Open();
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 1);
}

TEST_P(FaultTest, ClosingADatasetWhoseCursorIsAlreadyGoneRaisesNothing) {
    for (ISC_STATUS code : {kBadStatementHandle, kCursorAlreadyClosed}) {
        db::TIBQuery& q = Select("select N from T");
        q.Open();
        client_faults::Fail("isc_dsql_free_statement", 0, 1, code);
        EXPECT_NO_THROW(q.Close()) << code;
        EXPECT_FALSE(q.Active());
        client_faults::Clear();
    }
}

// --- the call watch ---

// The watchdog's cancel of a call without an answer can itself wait on the
// network; meanwhile every other thread's calls start and end as usual.
TEST_P(FaultTest, ACancelWaitingOnTheLinkHoldsUpNoOtherThreadsCalls) {
    using namespace std::chrono_literals;
    db::SetCallLimits({200ms, 60'000ms});
    client_faults::HoldCancels(true);
    database_.Open();
    db::TIBQuery& busy = Select(
        "execute block as declare i integer = 0; begin while (i < 300000000) do i = i + 1; end");
    auto busy_run = std::async(std::launch::async, [&busy] {
        try {
            busy.Execute();
        } catch (const db::EIBError&) {
            // Cancelled once the hold ends.
        }
    });
    for (int i = 0; i < 1000 && client_faults::CancelsWaiting() == 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(client_faults::CancelsWaiting(), 1);

    // A thread of its own: its first calls register it with the watchdog.
    auto other = std::async(std::launch::async, [this] {
        db::TIBDatabase database("IBDatabase2");
        db::TIBTransaction transaction("IBTransaction2");
        loans::ConfigureProgramConnection(database, transaction, name_);
        db::TIBQuery count("IBQuery2");
        count.SetDatabase(&database);
        count.SetTransaction(&transaction);
        count.SQL().Add("select count(*) from T");
        count.Open();
        return count.Field(0).GetInteger();
    });
    const bool answered = other.wait_for(5s) == std::future_status::ready;
    client_faults::HoldCancels(false);
    EXPECT_TRUE(answered) << "another thread's calls waited for the cancel";
    EXPECT_EQ(other.get(), 2);
    busy_run.get();
    db::SetCallLimits(db::CallLimits{});
}

// --- a request for approval whose commit's answer is lost ---

// The link lost as the commit of a request goes: a new connection is asked
// whether it was filed, and the analyst told so; never "filed" when it was
// not. Filed again, it goes in once.
TEST_P(FaultTest, ARequestWhoseCommitAnswerIsLostIsLookedUpOnANewConnection) {
    const std::string file = dir_.File("demo.fdb");
    test_support::CopyDemoDatabase(file);
    const std::string name = Name("demo.fdb");
    test_support::RunSqlScript(name, "aprobacion.sql");
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, name);
    database.Open();
    loans::Approvals approvals(database);
    ASSERT_TRUE(approvals.Required());
    loans::RepairUnit unit(database);
    // Another loan's first: what the layer reads about the tables once (in
    // transactions of its own) is read, and the next commit is the unit's.
    loans::Filed filed = approvals.Request(unit, {loans::RepairKind::kRebuild}, "00010", 1071);
    ASSERT_EQ(filed.result, loans::Filed::Result::kFiled) << filed.message;
    client_faults::Fail("isc_commit_transaction", 0, 1, isc_network_error);
    filed = approvals.Request(unit, {loans::RepairKind::kRebuild}, "00010", 1070);
    EXPECT_EQ(filed.result, loans::Filed::Result::kFailed);
    EXPECT_NE(filed.message.find("se comprob\xF3 que no se registr\xF3"), std::string::npos)
        << filed.message;
    EXPECT_EQ(RawConnection(name).QueryCount("select count(*) from solicitudes"), 1);
    filed = approvals.Request(unit, {loans::RepairKind::kRebuild}, "00010", 1070);
    EXPECT_EQ(filed.result, loans::Filed::Result::kFiled) << filed.message;
    EXPECT_EQ(RawConnection(name).QueryCount("select count(*) from solicitudes"), 2);
}

INSTANTIATE_ROUTES(FaultTest);

}  // namespace
