#include <gtest/gtest.h>

#include "db/errors.h"
#include "formats/date_time.h"
#include "tests/db/query_fixture.h"

namespace {

using test_support::RawConnection;

class StatementTest : public QueryTest {
  protected:
    void SetUp() override {
        QueryTest::SetUp();
        if (IsSkipped()) return;
        Setup(
            {"CREATE TABLE DOCS (N INTEGER, CODE VARCHAR(10), AMOUNT DOUBLE PRECISION, "
             "WHEN_AT DATE, NOTE VARCHAR(20))"});
    }
    std::string Seen(const std::string& sql) { return RawConnection(name_).QueryText(sql); }
};

TEST_P(StatementTest, OneValueReachesEveryOccurrenceOfItsName) {
    Setup({"INSERT INTO DOCS (N, AMOUNT, CODE, NOTE) VALUES (42, 42, '42', '42')"});
    db::TIBQuery& q = Query();
    SetSql(q,
           "select count(*) from DOCS where N = :p and AMOUNT = :p and CODE = :p and "
           "NOTE = :p and N + 0 = :p and N * 1 = :p");
    EXPECT_EQ(q.Params().Count(), 6);
    q.ParamNamed("p").SetInteger(41);
    q.ParamNamed("P").SetInteger(42);  // set twice: the last value goes to all six
    q.Open();
    EXPECT_EQ(q.Field(0).GetInteger(), 1);
}

TEST_P(StatementTest, TextReplacementKeepsValuesAndClearingLosesThem) {
    db::TIBQuery& q = Query();
    q.SQL().Assign({"insert into DOCS (N, CODE) values (:n, :c)"});
    q.ParamNamed("n").SetInteger(1);
    q.ParamNamed("c").SetString("uno");
    q.SQL().Assign({"insert into DOCS (CODE, N) values (:c, :n)"});
    q.Execute();  // both values survived the replacement

    q.SQL().Clear();
    q.SQL().Add("insert into DOCS (N, CODE) values (:n, :c)");
    q.ParamNamed("n").SetInteger(2);  // c never set again: sent as NULL
    q.Execute();
    transaction_.CommitRetaining();
    EXPECT_EQ(Seen("select CODE from DOCS where N = 1"), "uno");
    EXPECT_EQ(Seen("select CODE from DOCS where N = 2"), "<null>");
}

TEST_P(StatementTest, LiteralsWithColonsAreNotMarkers) {
    Setup({"INSERT INTO DOCS (N, CODE) VALUES (1, 'a:b')"});
    db::TIBQuery& q = Query();
    SetSql(q, "select N from DOCS where CODE = \"a:b\" and CODE = 'a:b' and N = :n");
    ASSERT_EQ(q.Params().Count(), 1);
    q.ParamNamed("n").SetInteger(1);
    q.Open();
    EXPECT_EQ(q.FetchedRowCount(), 1);
}

TEST_P(StatementTest, MarkerBeforeEqualsSignIsNamedDifferentlyByTheTwoLayers) {
    db::TIBQuery& q = Query();
    SetSql(q, "select N from DOCS where N = :c=1");
    try {
        q.ParamNamed("c");
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "IBQuery1: Parameter 'c' not found");
    }
}

TEST_P(StatementTest, TooLongTextParameterFailsAtOpen) {
    db::TIBQuery& q = Query();
    SetSql(q, "select N from DOCS where CODE = :c");
    q.ParamNamed("c").SetString("ABCDEFGHIJK");  // 11 characters, column holds 10
    try {
        q.Open();
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(),
                  "Trying to store a string of length 11 into a field that can only contain 10");
    }
    EXPECT_FALSE(q.Active());
}

TEST_P(StatementTest, DatesTravelWithTheirTimeOfDayAndWithoutMilliseconds) {
    db::TIBQuery& q = Query();
    SetSql(q, "insert into DOCS (N, WHEN_AT) values (1, :d)");
    const double when = formats::EncodeDateTime({2024, 3, 15, 13, 45, 30, 750});
    q.ParamNamed("d").SetDate(when);
    q.Execute();
    SetSql(q, "select WHEN_AT from DOCS");
    q.Open();
    EXPECT_EQ(q.Field(0).GetDateTime(), formats::EncodeDateTime({2024, 3, 15, 13, 45, 30, 0}));
}

TEST_P(StatementTest, MisuseIsReportedWithItsMessage) {
    db::TIBQuery& q = Query();
    auto expect_message = [](const std::function<void()>& action, const std::string& text) {
        try {
            action();
            ADD_FAILURE() << "no error: " << text;
        } catch (const runtime::Exception& e) {
            EXPECT_EQ(e.Message(), text);
        }
    };
    expect_message([&] { q.Execute(); }, "Empty SQL Statement");
    expect_message([&] { q.Open(); }, "Empty SQL Statement");
    SetSql(q, "select N from DOCS");
    expect_message([&] { q.Execute(); }, "use Open for a Select Statement");
    q.Open();
    expect_message([&] { q.Execute(); },
                   "IBQuery1: Cannot perform this operation on an open dataset");
    q.Close();
    SetSql(q, "select N from NO_SUCH_TABLE");
    try {
        q.Open();
        FAIL();
    } catch (const db::EIBInterBaseError& e) {
        EXPECT_NE(e.Message().find("NO_SUCH_TABLE"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(q.Active());
    SetSql(q, "select N from DOCS");  // the query is usable again afterwards
    q.Open();
    EXPECT_TRUE(q.Active());
}

TEST_P(StatementTest, AccentedTextKeepsItsBytesBothWays) {
    db::TIBQuery& q = Query();
    const std::string name =
        "Mu\xF1oz Pe\xF1"
        "a \xC1ngel";  // ISO8859_1
    SetSql(q, "insert into DOCS (N, NOTE) values (1, :t)");
    q.ParamNamed("t").SetString(name);
    q.Execute();
    SetSql(q, "select NOTE from DOCS where NOTE = :t");
    q.ParamNamed("t").SetString(name);
    q.Open();
    ASSERT_EQ(q.FetchedRowCount(), 1);
    EXPECT_EQ(q.FieldNamed("note").GetString(), name);
}

TEST_P(StatementTest, EveryOpenPreparesAnewAndRepairStyleLoopsWork) {
    db::TIBQuery& q = Query();
    for (int i = 0; i < 50; ++i) {
        SetSql(q, "insert into DOCS (N, AMOUNT) values (:n, :a)");
        q.ParamNamed("n").SetInteger(i);
        q.ParamNamed("a").SetFloat(i * 1.5);
        q.Execute();
    }
    transaction_.CommitRetaining();
    EXPECT_EQ(Seen("select count(*) from DOCS"), "50");
    EXPECT_EQ(q.RowsAffected(), 1);  // the last insert, read when its text was replaced
    SetSql(q, "delete from DOCS where N < 10");
    q.Execute();
    SetSql(q, "select count(*) from DOCS");
    EXPECT_EQ(q.RowsAffected(), 10);
}

INSTANTIATE_ROUTES(StatementTest);

}  // namespace
