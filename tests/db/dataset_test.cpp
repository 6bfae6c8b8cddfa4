#include <gtest/gtest.h>

#include "db/errors.h"
#include "formats/date_time.h"
#include "tests/db/query_fixture.h"

namespace {

// Records what a grid would hear.
class RecordingLink : public db::TDataLink {
  public:
    std::vector<std::string> heard;

  protected:
    void ActiveChanged() override { heard.push_back(Active() ? "opened" : "closed"); }
    void DataSetChanged() override { heard.push_back("changed"); }
    void DataSetScrolled(int distance) override {
        heard.push_back("scrolled " + std::to_string(distance));
    }
    void DisabledStateChanged(bool active) override {
        heard.push_back(active ? "opened while suspended" : "closed while suspended");
    }
};

class DatasetTest : public QueryTest {
  protected:
    void SetUp() override {
        QueryTest::SetUp();
        if (IsSkipped()) return;
        Setup(
            {"CREATE TABLE ROWS_T (N INTEGER, S SMALLINT, F DOUBLE PRECISION, C CHAR(10), "
             "V VARCHAR(20), D DATE, M NUMERIC(9,2), T COMPUTED BY (N * 2))",
             "CREATE TABLE EMPTY_T (N INTEGER)"});
    }
    // n rows with N = 0..n-1, through one server-side loop.
    void Fill(int n) {
        Setup({"EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(n) +
               ") DO BEGIN INSERT INTO ROWS_T (N, F, V) VALUES (:I, :I * 1.5, 'fila ' || :I); "
               "I = I + 1; END END"});
    }
    db::TIBQuery& OpenQuery(const std::string& sql) {
        db::TIBQuery& q = Query();
        SetSql(q, sql);
        q.Open();
        return q;
    }
};

TEST_P(DatasetTest, EmptyResultReadsAsNullsAndScrollsOnlyOnFirst) {
    db::TIBQuery& q = Query();
    int scrolls = 0;
    q.AfterScroll = [&](db::TIBQuery&) { ++scrolls; };
    SetSql(q, "select N, V, F, D from ROWS_T");
    q.Open();
    EXPECT_EQ(q.FetchedRowCount(), 0);
    EXPECT_TRUE(q.AtEnd());
    EXPECT_EQ(scrolls, 0);
    q.First();
    EXPECT_TRUE(q.AtEnd());
    EXPECT_EQ(scrolls, 1);
    q.Next();  // at the end already: nothing
    EXPECT_EQ(scrolls, 1);
    EXPECT_TRUE(q.FieldNamed("N").IsNullValue());
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 0);
    EXPECT_EQ(q.FieldNamed("V").GetString(), "");
    std::string read = "texto de otra fila";  // a row loop's buffer
    q.FieldNamed("V").ReadString(read);
    EXPECT_EQ(read, "");
    EXPECT_EQ(q.FieldNamed("F").GetFloat(), 0.0);
    EXPECT_EQ(q.FieldNamed("D").GetDateTime(), 0.0);
}

TEST_P(DatasetTest, SumOverNoRowsIsOneNullRow) {
    db::TIBQuery& q = OpenQuery("select sum(N) from EMPTY_T");
    EXPECT_EQ(q.FetchedRowCount(), 1);
    EXPECT_FALSE(q.AtEnd());
    EXPECT_TRUE(q.Field(0).IsNullValue());
    EXPECT_EQ(q.Field(0).GetFloat(), 0.0);
}

TEST_P(DatasetTest, WalkFetchesOnDemandAndGrowsTheCacheByChunks) {
    Fill(2500);
    db::TIBQuery& q = Query();
    int scrolls = 0;
    q.AfterScroll = [&](db::TIBQuery&) { ++scrolls; };
    SetSql(q, "select N, F, V from ROWS_T order by N");
    q.Open();
    EXPECT_EQ(q.FetchedRowCount(), 1);  // no grid: a window of one row
    EXPECT_EQ(q.Cache().Capacity(), 1000);
    EXPECT_EQ(scrolls, 1);

    int expected = 0;
    for (q.First(); !q.AtEnd(); q.Next()) {
        ASSERT_EQ(q.FieldNamed("n").GetInteger(), expected);
        if (expected == 1000) {
            EXPECT_EQ(q.Cache().Capacity(), 2000);  // the 1001st row
        }
        ++expected;
    }
    EXPECT_EQ(expected, 2500);
    EXPECT_EQ(q.FetchedRowCount(), 2500);
    EXPECT_EQ(q.Cache().Capacity(), 3000);
    EXPECT_EQ(scrolls, 1 + 1 + 2500);                 // open, First, every Next including the last
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 2499);  // stays on the last row

    // A second walk reads the cache: rows fetched earlier read back unchanged.
    q.First();
    q.Next();
    EXPECT_EQ(q.FieldNamed("V").GetString(), "fila 1");
    EXPECT_EQ(q.FieldNamed("F").GetFloat(), 1.5);
}

TEST_P(DatasetTest, GridWindowDecidesHowManyRowsOpenFetches) {
    Fill(10000);
    db::TIBQuery& q = Query();
    db::TDataSource source("sqrows");
    source.SetDataSet(&q);
    RecordingLink grid;
    grid.SetBufferCount(20);
    grid.SetDataSource(&source);
    SetSql(q, "select N from ROWS_T order by N");
    q.Open();
    EXPECT_EQ(q.FetchedRowCount(), 20);
    EXPECT_EQ(grid.RecordCount(), 20);
    grid.SetActiveRecord(7);  // painting row 7 of the window
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 7);
    grid.SetActiveRecord(0);

    grid.heard.clear();
    grid.MoveBy(25);  // a click or key far below: the window slides
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 25);
    EXPECT_EQ(q.FetchedRowCount(), 26);
    grid.MoveBy(-3);
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 22);
    const std::vector<std::string> heard = {"scrolled 6", "scrolled 0"};
    EXPECT_EQ(grid.heard, heard);
}

TEST_P(DatasetTest, SuspendedDisplayHearsOneChangeAtTheEnd) {
    Fill(5);
    db::TIBQuery& q = Query();
    db::TDataSource source;
    source.SetDataSet(&q);
    RecordingLink grid;
    grid.SetDataSource(&source);
    SetSql(q, "select N from ROWS_T");
    q.Open();
    grid.heard.clear();

    int scrolls = 0;
    q.AfterScroll = [&](db::TIBQuery&) { ++scrolls; };
    q.SuspendDisplay();
    q.SuspendDisplay();
    for (q.First(); !q.AtEnd(); q.Next()) {
    }
    q.First();
    q.ResumeDisplay();
    EXPECT_TRUE(grid.heard.empty());
    q.ResumeDisplay();
    EXPECT_EQ(grid.heard, std::vector<std::string>{"changed"});
    EXPECT_EQ(scrolls, 7);  // suspension does not stop the event

    grid.heard.clear();
    q.SuspendDisplay();
    q.Close();
    q.ResumeDisplay();
    const std::vector<std::string> closing = {"closed while suspended", "closed"};
    EXPECT_EQ(grid.heard, closing);
}

TEST_P(DatasetTest, TextKeepsItsPaddingAndStringFieldsConvert) {
    Setup(
        {"INSERT INTO ROWS_T (N, S, F, C, V, D) VALUES (70000, -2, 2.5, 'ABC', ' 12', "
         "'2024-01-02 10:11:12.345')"});
    db::TIBQuery& q = OpenQuery("select N, S, F, C, V, D, T from ROWS_T");
    EXPECT_EQ(q.FieldNamed("C").GetString(), "ABC       ");
    EXPECT_EQ(q.FieldNamed("V").GetString(), " 12");
    EXPECT_EQ(q.FieldNamed("V").GetInteger(), 12);
    EXPECT_EQ(q.FieldNamed("S").GetInteger(), -2);
    EXPECT_EQ(q.FieldNamed("F").GetInteger(), 2);  // halves go to even
    EXPECT_EQ(q.FieldNamed("F").GetString(), "2.5");
    EXPECT_EQ(q.FieldNamed("N").GetString(), "70000");
    // Read into one buffer, as row loops do: nothing of the last text stays.
    std::string read = "un texto anterior mas largo";
    for (const char* name : {"C", "V", "N", "C"}) {
        q.FieldNamed(name).ReadString(read);
        EXPECT_EQ(read, q.FieldNamed(name).GetString()) << name;
    }
    EXPECT_EQ(q.FieldNamed("D").GetDateTime(),
              formats::EncodeDateTime({2024, 1, 2, 10, 11, 12, 0}));
    EXPECT_EQ(q.FieldNamed("T").GetInteger(), 140000);
    try {
        q.FieldNamed("C").GetFloat();
        FAIL();
    } catch (const runtime::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'ABC       ' is not a valid floating point value");
    }
    try {
        q.FieldNamed("N").GetDateTime();
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot access field 'N' as type DateTime");
    }
    try {
        q.FieldNamed("missing");
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "IBQuery1: Field 'missing' not found");
    }
    EXPECT_EQ(q.FieldNamed("n").Origin, "ROWS_T.N");
}

TEST_P(DatasetTest, DeclaredFieldsAreCheckedAgainstTheResult) {
    Setup({"INSERT INTO ROWS_T (N, M, V) VALUES (1, 10.25, 'demasiado largo')"});
    db::TIBQuery& q = Query("qcuotas");
    q.AddField<db::TIntegerField>("N", "qcuotasN");
    auto& amount = q.AddField<db::TFloatField>("M", "qcuotasM");
    SetSql(q, "select N, M from ROWS_T");
    try {
        q.Open();
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  "qcuotas: Type mismatch for field 'M', expecting: Float actual: BCD");
    }
    EXPECT_FALSE(q.Active());
    (void)amount;

    db::TIBQuery& short_text = Query("qsocios");
    auto& text = short_text.AddField<db::TIBStringField>("V", 5);
    SetSql(short_text, "select V from ROWS_T");
    short_text.Open();
    ASSERT_EQ(short_text.FetchedRowCount(), 1);
    EXPECT_TRUE(text.Bound());
    try {
        text.GetString();
        FAIL();
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.Message(), "Size Mismatch - Field V size is too small for data");
    }
    EXPECT_TRUE(short_text.Active());  // a failed read leaves the set open

    db::TIBQuery& missing = Query("qpres");
    missing.AddField<db::TIntegerField>("NOT_THERE");
    SetSql(missing, "select N from ROWS_T");
    try {
        missing.Open();
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "qpres: Field 'NOT_THERE' not found");
    }
}

TEST_P(DatasetTest, RepeatedColumnNamesAreMadeUnique) {
    Setup({"INSERT INTO ROWS_T (N) VALUES (3)"});
    db::TIBQuery& q = OpenQuery("select N, N, N from ROWS_T");
    ASSERT_EQ(q.FieldCount(), 3);
    EXPECT_EQ(q.Field(0).FieldName(), "N");
    EXPECT_EQ(q.Field(1).FieldName(), "N2");
    EXPECT_EQ(q.Field(2).FieldName(), "N3");
    EXPECT_TRUE(q.FieldDefs()[0].required == false);
}

TEST_P(DatasetTest, CommitRetainingLeavesTheOpenSetOnItsRow) {
    Fill(3);
    db::TIBQuery& q = OpenQuery("select N from ROWS_T order by N");
    q.Next();
    transaction_.CommitRetaining();
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 1);
    q.Next();
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 2);
}

TEST_P(DatasetTest, ComputedColumnsAreMarkedReadOnly) {
    db::TIBQuery& q = OpenQuery("select N, T from ROWS_T");
    EXPECT_FALSE(q.FieldDefs()[0].read_only);
    EXPECT_TRUE(q.FieldDefs()[1].read_only);
}

// --- values at the edges of their types ---

TEST_P(DatasetTest, ABooleanColumnHasNoFieldAndNothingIsReadPastItsByte) {
    db::TIBQuery& q = OpenQuery("select (1=1) as B, 5 as N from rdb$database");
    EXPECT_EQ(q.FieldDefs().size(), 1u);
    EXPECT_EQ(q.FindField("B"), nullptr);
    EXPECT_EQ(q.FieldNamed("N").GetInteger(), 5);
}

TEST_P(DatasetTest, AnEmptyFirstVarcharReadsAsEmptyText) {
    db::TIBQuery& q = OpenQuery("select cast('' as varchar(10)) as V from rdb$database");
    EXPECT_FALSE(q.FieldNamed("V").IsNullValue());
    EXPECT_EQ(q.FieldNamed("V").GetString(), "");
}

TEST_P(DatasetTest, ScaledIntegersBeyondFourDecimalsAreScaledInOneStep) {
    db::TIBQuery& q = OpenQuery(
        "select cast(123.456789 as numeric(9,6)) as M from rdb$database");  // SQL_LONG, scale -6
    EXPECT_EQ(q.FieldNamed("M").GetFloat(), 123.456789);
}

TEST_P(DatasetTest, ANumberOutsideTheIntegerRangeFailsToReadAsOne) {
    db::TIBQuery& q = OpenQuery(
        "select cast(1e20 as double precision) as BIG, cast(-2147483648.4 as double precision) "
        "as LOW from rdb$database");
    EXPECT_THROW(q.FieldNamed("BIG").GetInteger(), runtime::EConvertError);
    EXPECT_EQ(q.FieldNamed("BIG").GetFloat(), 1e20);
    EXPECT_EQ(q.FieldNamed("LOW").GetInteger(), INT32_MIN);
}

TEST_P(DatasetTest, EighteenDigitNumbersOfADialectThreeConnectionReadBackExactly) {
    database_.SetDatabaseName(NewDatabase("dialect3.fdb", 3));
    database_.SetSQLDialect(3);
    db::TIBQuery& q = OpenQuery(
        "select cast(1000000000000000.00 as numeric(18,2)) as TOP, "
        "cast(-999999999999999.99 as numeric(18,2)) as BOTTOM, "
        "cast(123.456789 as numeric(18,6)) as SIX, cast(10000000000 as bigint) as L "
        "from rdb$database");
    EXPECT_EQ(q.FieldNamed("TOP").GetFloat(), 1e15);
    EXPECT_EQ(q.FieldNamed("TOP").GetString(), "1E15");  // the general form past 15 digits
    EXPECT_EQ(q.FieldNamed("BOTTOM").GetFloat(), -999999999999999.99);
    EXPECT_EQ(q.FieldNamed("SIX").GetFloat(), 123.456789);
    EXPECT_EQ(q.FieldNamed("L").GetString(), "10000000000");
    EXPECT_THROW(q.FieldNamed("L").GetInteger(), runtime::EConvertError);
}

INSTANTIATE_ROUTES(DatasetTest);

}  // namespace
