#include <gtest/gtest.h>

#include "db/component.h"
#include "db/errors.h"
#include "db/params.h"
#include "db/sql_preprocessor.h"

namespace {

using Names = std::vector<std::string>;

TEST(QueryMarkerScan, FindsMarkersAndLeavesLiteralsAlone) {
    const struct {
        const char* text;
        Names names;
        const char* parsed;
    } cases[] = {
        {"select * from t where a = :c", {"c"}, "select * from t where a = ?"},
        {"where a = :p or b = :P", {"p", "P"}, "where a = ? or b = ?"},
        {"where s = \"a:b\" and t = 'x:y' and u = :u",
         {"u"},
         "where s = \"a:b\" and t = 'x:y' and u = ?"},
        {"where a=:c=1", {"c=1"}, "where a=?"},            // "=" does not end a name
        {"values (:a,:b);", {"a", "b"}, "values (?,?);"},  // "," ")" ";" do
        {"where a = :\"Mixed Name\" ", {"Mixed Name"}, "where a = ? "},
        {"select a::b from t", {}, "select a:b from t"},  // escaped colon
        {"x = :a\r\n", {"a"}, "x = ?\r\n"},
    };
    for (const auto& c : cases) {
        const db::ParsedMarkers markers = db::ScanParamMarkers(c.text);
        EXPECT_EQ(markers.names, c.names) << c.text;
        EXPECT_EQ(markers.parsed_text, c.parsed) << c.text;
    }
}

TEST(StatementMarkerScan, ReplacesMarkersWithQuestionMarks) {
    const struct {
        const char* text;
        Names names;
        const char* processed;
    } cases[] = {
        {"where a = :c and b = :c", {"c", "c"}, "where a = ? and b = ?"},
        {"where a=:c=1", {"c"}, "where a=?=1"},
        {"where s = \"it\"\"s :no\" and t = :t", {"t"}, "where s = \"it\"\"s :no\" and t = ?"},
        {"/* :skip */ select :x$1 from t", {"x$1"}, "/* :skip */ select ? from t"},
        {"where a = :\"quoted name\"", {"quoted name"}, "where a = ?"},
    };
    for (const auto& c : cases) {
        const db::PreprocessedSql sql = db::PreprocessSql(c.text);
        EXPECT_EQ(sql.names, c.names) << c.text;
        EXPECT_EQ(sql.text, c.processed) << c.text;
    }
}

TEST(StatementMarkerScan, ReportsUnfinishedTextAsParseErrors) {
    const struct {
        const char* text;
        const char* detail;
    } cases[] = {
        {"select 1 /* open", "EOF in comment detected"},
        {"where a = 'open", "EOF in string detected"},
        {"where a = : b", "Parameter name expected"},
        {"where a = ?", "Parameter name expected"},
    };
    for (const auto& c : cases) {
        try {
            db::PreprocessSql(c.text);
            ADD_FAILURE() << c.text;
        } catch (const db::EIBClientError& e) {
            EXPECT_EQ(e.SqlErrorCode(), 55);
            EXPECT_EQ(e.Message(), std::string("SQL Parse Error:\r\n\r\n") + c.detail);
        }
    }
}

TEST(Params, OneNameOneValueAndValuesCarriedOverByName) {
    db::TComponent owner("IBQuery1");
    db::TParams params(&owner);
    params.Rebuild({"p", "x", "P"});
    params.ParamByName("p").SetInteger(7);
    EXPECT_EQ(params.ValueAt(2).AsInteger(), 7);  // the capital P shares the value
    EXPECT_TRUE(params[1].IsNull());

    params.Rebuild({"x", "p"});  // whole-text replacement keeps values by name
    EXPECT_EQ(params.ParamByName("P").AsInteger(), 7);
    EXPECT_EQ(params.ParamByName("P").DataType(), db::TFieldType::ftInteger);
    params.Clear();
    params.Rebuild({"p"});  // cleared text: the value is gone
    EXPECT_TRUE(params.ParamByName("p").IsNull());

    try {
        params.ParamByName("missing");
        FAIL();
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "IBQuery1: Parameter 'missing' not found");
    }
}

}  // namespace
