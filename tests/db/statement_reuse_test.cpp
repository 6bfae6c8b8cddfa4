// Statements prepared once are kept by the connection and taken again when
// a query's text returns to one already prepared. None of it may show:
// rows, fields, parameters and errors are those of a fresh prepare.
#include <gtest/gtest.h>

#include "db/client_library.h"
#include "db/errors.h"
#include "db/statement_cache.h"
#include "tests/db/query_fixture.h"

namespace {

using test_support::RawConnection;

// What a query shows after an open: field names and types, parameter
// names, and every row as text.
struct Seen {
    std::vector<std::string> fields;
    std::vector<std::string> params;
    std::vector<std::string> rows;
    bool operator==(const Seen&) const = default;
};

class StatementReuseTest : public QueryTest {
  protected:
    void SetUp() override {
        QueryTest::SetUp();
        if (IsSkipped()) return;
        Setup({"CREATE TABLE T (N INTEGER, CODE VARCHAR(10), AMOUNT DOUBLE PRECISION)",
               "INSERT INTO T VALUES (1, 'uno', 1.5)", "INSERT INTO T VALUES (2, 'dos', 2.5)",
               "INSERT INTO T VALUES (3, 'tres', NULL)"});
    }
    Seen OpenAndRead(db::TIBQuery& q) {
        q.Open();
        Seen seen;
        for (int i = 0; i < q.FieldCount(); ++i) {
            seen.fields.push_back(q.Field(i).FieldName() + ":" +
                                  std::to_string(static_cast<int>(q.Field(i).DataType())));
        }
        for (int i = 0; i < q.Params().Count(); ++i) seen.params.push_back(q.Params()[i].Name());
        for (q.First(); !q.AtEnd(); q.Next()) {
            std::string row;
            for (int i = 0; i < q.FieldCount(); ++i) {
                row += (q.Field(i).IsNullValue() ? "<null>" : q.Field(i).GetString()) + "|";
            }
            seen.rows.push_back(row);
        }
        q.Close();
        return seen;
    }
    int Kept() { return database_.Statements().Count(); }
};

constexpr const char* kByCode = "select N, CODE, AMOUNT from T where CODE <> :c order by N";
constexpr const char* kByNumber = "select CODE, N * 2 DOUBLED from T where N >= :n order by N";

TEST_P(StatementReuseTest, IdenticalDifferentAndBackShowWhatAFreshPrepareShows) {
    db::TIBQuery& q = Query();
    SetSql(q, kByCode);
    q.ParamNamed("c").SetString("dos");
    const Seen first = OpenAndRead(q);
    ASSERT_EQ(first.rows.size(), 2u);
    const isc_stmt_handle handle = q.Statement().Handle();

    q.SQL().SetText(kByCode);  // identical: the same statement again
    EXPECT_EQ(OpenAndRead(q), first);
    EXPECT_EQ(q.Statement().Handle(), handle);

    q.SQL().SetText(kByNumber);  // a different text; c is gone, n is new and null
    q.ParamNamed("n").SetInteger(2);
    const Seen other = OpenAndRead(q);
    ASSERT_EQ(other.fields.size(), 2u);
    EXPECT_EQ(other.fields[1].substr(0, 8), "DOUBLED:");
    EXPECT_EQ(other.rows, (std::vector<std::string>{"dos|4|", "tres|6|"}));
    EXPECT_EQ(Kept(), 1);

    q.SQL().SetText(kByCode);  // back: c was lost with the other text
    EXPECT_EQ(q.Statement().Handle(), 0);
    Seen back = OpenAndRead(q);
    EXPECT_EQ(q.Statement().Handle(), handle);
    EXPECT_EQ(back.rows.size(), 0u);  // CODE <> NULL holds for no row
    q.SQL().SetText(kByCode);
    q.ParamNamed("c").SetString("dos");
    EXPECT_EQ(OpenAndRead(q), first);
}

TEST_P(StatementReuseTest, TheSameServerTextUnderOtherParameterNamesBindsByTheNewNames) {
    db::TIBQuery& q = Query();
    SetSql(q, "select CODE from T where N = :a or N = :b");
    q.ParamNamed("a").SetInteger(1);
    q.ParamNamed("b").SetInteger(3);
    EXPECT_EQ(OpenAndRead(q).rows, (std::vector<std::string>{"uno|", "tres|"}));

    q.SQL().SetText("select CODE from T where N = :x or N = :x");
    q.ParamNamed("x").SetInteger(2);
    const Seen seen = OpenAndRead(q);
    EXPECT_EQ(seen.params, (std::vector<std::string>{"x", "x"}));
    EXPECT_EQ(seen.rows, (std::vector<std::string>{"dos|"}));
}

TEST_P(StatementReuseTest, ParametersStartFromTheirDescriptionOnEveryReuse) {
    db::TIBQuery& q = Query();
    SetSql(q, "select N from T where CODE = :c");
    q.ParamNamed("c").SetInteger(7);  // sent as an integer, converted by the server
    EXPECT_TRUE(OpenAndRead(q).rows.empty());

    SetSql(q, "select N from T where CODE = :c");
    q.ParamNamed("c").SetString("ABCDEFGHIJK");  // the described length still applies
    try {
        q.Open();
        FAIL() << "no error raised";
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(),
                  "Trying to store a string of length 11 into a field that can only contain 10");
    }
    SetSql(q, "select N from T where CODE = :c");
    q.ParamNamed("c").SetString("tres");
    EXPECT_EQ(OpenAndRead(q).rows, (std::vector<std::string>{"3|"}));
}

TEST_P(StatementReuseTest, ARowByRowRepairWritesEveryRowThroughOneStatement) {
    db::TIBQuery& q = Query();
    isc_stmt_handle handle = 0;
    for (int n = 10; n < 15; ++n) {
        SetSql(q, "insert into T (N, CODE) values (:n, :c)");
        q.ParamNamed("n").SetInteger(n);
        if (n % 2 == 0) q.ParamNamed("c").SetString("par");
        q.Execute();
        if (handle == 0) handle = q.Statement().Handle();
        EXPECT_EQ(q.Statement().Handle(), handle);
    }
    transaction_.CommitRetaining();
    EXPECT_EQ(RawConnection(name_).QueryRows("select N, CODE from T where N >= 10 order by N"),
              (std::vector<std::string>{"10|par", "11|<null>", "12|par", "13|<null>", "14|par"}));
}

TEST_P(StatementReuseTest, TwoQueriesWithOneTextEachGetTheirOwnStatement) {
    db::TIBQuery& a = Query("IBQuery1");
    db::TIBQuery& b = Query("IBQuery2");
    SetSql(a, kByCode);
    SetSql(b, kByCode);
    a.ParamNamed("c").SetString("uno");
    b.ParamNamed("c").SetString("tres");
    a.Open();
    b.Open();  // both cursors open at once
    EXPECT_NE(a.Statement().Handle(), b.Statement().Handle());
    EXPECT_EQ(a.FieldNamed("N").GetInteger(), 2);
    EXPECT_EQ(b.FieldNamed("N").GetInteger(), 1);
    a.Close();
    b.Close();
    SetSql(a, kByNumber);
    SetSql(b, kByNumber);
    EXPECT_EQ(Kept(), 1);  // one copy of a text is kept, the other freed
    SetSql(a, kByCode);
    a.ParamNamed("c").SetString("uno");
    EXPECT_EQ(OpenAndRead(a).rows.size(), 2u);
}

// A returning text brings back what its statement's columns offer and
// which column each declared field reads: fields must still read their own
// columns when the texts in between order them otherwise or lack one.
TEST_P(StatementReuseTest, DeclaredFieldsReadTheirOwnColumnsWhicheverTextReturns) {
    db::TIBQuery& q = Query();
    auto& number = q.AddField<db::TIntegerField>("N");
    auto& code = q.AddField<db::TIBStringField>("code", 10);
    const std::vector<std::string> texts = {
        "select N, CODE from T where N = :n",
        "select AMOUNT, CODE, N from T where N = :n",
        "select N, CODE from T where N = :n",
        "select N from T where N = :n",  // no CODE: the open fails
        "select AMOUNT, CODE, N from T where N = :n",
    };
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < texts.size(); ++i) {
            const int n = static_cast<int>(i % 3) + 1;
            SetSql(q, texts[i]);
            q.ParamNamed("n").SetInteger(n);
            if (i == 3) {
                EXPECT_THROW(q.Open(), db::EDatabaseError);
                continue;
            }
            q.Open();
            EXPECT_EQ(number.GetInteger(), n) << texts[i];
            EXPECT_EQ(code.GetString(), (std::vector<std::string>{"uno", "dos", "tres"}[n - 1]));
            EXPECT_EQ(q.FieldDefs().size(), i == 0 || i == 2 ? 2u : 3u);
            q.Close();
        }
    }
}

// A cursor is named once per server statement, not at every execute (a
// round trip each on a slow link): the name must still be the statement's
// at later executions, also after the statement was kept and taken again,
// or positioned updates would reach no cursor. The server refuses a name
// another statement of the connection holds, which shows that it is held.
TEST_P(StatementReuseTest, ACursorKeepsItsNameAtEveryExecuteAndAfterReuse) {
    db::TIBQuery& q = Query();
    const auto name_is_held = [this](const std::string& name) {
        const db::ClientApi& api = db::Api();
        isc_stmt_handle other = 0;
        db::CheckStatus(
            api.isc_dsql_alloc_statement2(db::StatusVector(), database_.Handle(), &other));
        db::CheckStatus(api.isc_dsql_prepare(db::StatusVector(), transaction_.Handle(), &other, 0,
                                             "select N from T", 1, nullptr));
        const bool refused =
            api.isc_dsql_set_cursor_name(db::StatusVector(), &other, name.c_str(), 0) != 0;
        api.isc_dsql_free_statement(db::StatusVector(), &other, DSQL_drop);
        return refused;
    };
    for (int round = 0; round < 3; ++round) {
        SetSql(q, kByCode);  // the second and third time from the cache
        q.ParamNamed("c").SetString("dos");
        EXPECT_EQ(OpenAndRead(q).rows.size(), 2u);
        q.ParamNamed("c").SetString("uno");
        q.Open();  // executed again without a new prepare
        EXPECT_TRUE(name_is_held(q.Statement().CursorName())) << "round " << round;
        EXPECT_FALSE(name_is_held("NOBODYS"));  // a free name is given
        q.Close();
        SetSql(q, kByNumber);  // parks the named statement
    }
}

// The client library writes 0 where a handle was first kept when it
// releases that statement. Dropping a kept statement must not reach the
// query that prepared it and now holds another one: that query lost its
// open statement (left on the server with its cursor name), and its next
// prepare failed on the name.
TEST_P(StatementReuseTest, DroppingAKeptStatementLeavesTheQueryThatPreparedItAlone) {
    db::TIBQuery& q = Query();
    SetSql(q, kByCode);
    q.ParamNamed("c").SetString("dos");
    EXPECT_EQ(OpenAndRead(q).rows.size(), 2u);
    SetSql(q, kByNumber);  // the first statement is kept; the query prepares another
    q.ParamNamed("n").SetInteger(1);
    q.Open();
    const isc_stmt_handle open_statement = q.Statement().Handle();
    database_.ReleaseIdleStatements();  // drops the kept one, not the open one
    EXPECT_EQ(q.Statement().Handle(), open_statement);
    q.Close();
    EXPECT_EQ(Kept(), 0);
    SetSql(q, kByCode);  // prepared afresh, under the same cursor name
    q.ParamNamed("c").SetString("uno");
    EXPECT_EQ(OpenAndRead(q).rows.size(), 2u);
    SetSql(q, kByNumber);
    q.ParamNamed("n").SetInteger(2);
    EXPECT_EQ(OpenAndRead(q).rows, (std::vector<std::string>{"dos|4|", "tres|6|"}));
}

TEST_P(StatementReuseTest, TheCacheIsBoundedAndEmptiedWhenTheConnectionCloses) {
    database_.SetStatementCacheSize(2);
    db::TIBQuery& q = Query();
    for (int n = 1; n <= 4; ++n) {
        SetSql(q, "select N from T where N = " + std::to_string(n));
        OpenAndRead(q);
    }
    SetSql(q, "select N from T");
    EXPECT_EQ(Kept(), 2);
    SetSql(q, "select N from T where N = 1");  // dropped as the oldest: prepared afresh
    EXPECT_EQ(OpenAndRead(q).rows, (std::vector<std::string>{"1|"}));

    database_.Close();
    EXPECT_EQ(Kept(), 0);
    SetSql(q, "select N from T where N = 3");
    EXPECT_EQ(OpenAndRead(q).rows, (std::vector<std::string>{"3|"}));  // reconnects

    database_.SetStatementCacheSize(0);
    EXPECT_EQ(Kept(), 0);
    SetSql(q, "select N from T");
    EXPECT_EQ(Kept(), 0);
}

// Another connection changes and drops a table the program holds prepared
// statements on while the program sits idle; the program releases them when
// idle (as the main window does) and its next use re-prepares.
TEST_P(StatementReuseTest, OthersCanAlterAndDropTablesTheProgramHasIdleStatementsOn) {
    db::TIBQuery& kept = Query("IBQuery1");
    db::TIBQuery& held = Query("IBQuery2");
    SetSql(kept, "select * from T where N = :n");
    kept.ParamNamed("n").SetInteger(1);
    OpenAndRead(kept);
    SetSql(kept, "select count(*) from T");  // the first text is now kept by the connection
    OpenAndRead(kept);
    SetSql(held, "update T set CODE = :c where N = :n");
    held.ParamNamed("c").SetString("x");
    held.ParamNamed("n").SetInteger(9);
    held.Execute();  // stays prepared in its query
    // A transaction kept by commit retaining holds the table against DROP
    // TABLE by others, statements or none: here it ends.
    transaction_.Commit();
    ASSERT_GT(Kept(), 0);

    RawConnection other(name_);
    database_.ReleaseIdleStatements();
    EXPECT_EQ(Kept(), 0);
    other.Execute("ALTER TABLE T ADD EXTRA INTEGER");
    SetSql(kept, "select * from T where N = :n");
    kept.ParamNamed("n").SetInteger(1);
    EXPECT_EQ(OpenAndRead(kept).rows, (std::vector<std::string>{"1|uno|1.5|<null>|"}));
    held.ParamNamed("n").SetInteger(1);
    held.Execute();
    transaction_.Commit();

    database_.ReleaseIdleStatements();
    other.Execute("ALTER TABLE T DROP CODE");
    EXPECT_EQ(OpenAndRead(kept).rows, (std::vector<std::string>{"1|1.5|<null>|"}));
    try {
        held.Execute();
        FAIL() << "no error raised";
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_NE(e.Message().find("CODE"), std::string::npos) << e.Message();
    }
    transaction_.Commit();

    database_.ReleaseIdleStatements();
    other.Execute("DROP TABLE T");
    try {
        OpenAndRead(kept);
        FAIL() << "no error raised";
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_NE(e.Message().find("Table unknown"), std::string::npos) << e.Message();
    }
    other.Execute("CREATE TABLE T (N INTEGER)");
    other.Execute("INSERT INTO T VALUES (1)");
    EXPECT_EQ(OpenAndRead(kept).rows, (std::vector<std::string>{"1|"}));
}

INSTANTIATE_ROUTES(StatementReuseTest);

}  // namespace
