// Values as a fetch leaves them in the output descriptors, decoded by the
// row cache and read by the fields, with no server: descriptions and bytes
// no server of ours sends, but a future one or a damaged link might.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "db/fields.h"
#include "db/row_cache.h"
#include "db/xsqlda.h"
#include "runtime/exception.h"

namespace {

struct Column {
    short sqltype;
    short sqllen;
    short sqlscale = 0;
};

// One row of the given columns, fetched into a cache the fields read.
class Rows : public db::TFieldRowSource {
  public:
    explicit Rows(std::initializer_list<Column> columns) {
        columns_.SetCount(static_cast<int>(columns.size()));
        int i = 0;
        for (const Column& c : columns) {
            XSQLVAR& var = columns_[i++].Var();
            var.sqltype = static_cast<short>(c.sqltype | 1);
            var.sqllen = c.sqllen;
            var.sqlscale = c.sqlscale;
        }
        columns_.InitializeOutput();
        cache_.Configure(columns_, 1);
    }
    // Writes what the server would for column i: `bytes` into its buffer.
    template <typename T>
    void Set(int i, T value) {
        std::memcpy(columns_[i].Var().sqldata, &value, sizeof value);
    }
    void Fetch() { cache_.Append(columns_); }
    // A field of the column's automatic kind, bound to the last row.
    db::TField& Field(int i) {
        db::TFieldDef def;
        if (!db::DescribeFieldDef(columns_[i].Var(), def)) throw std::logic_error("no field");
        fields_.push_back(db::MakeAutomaticField(def));
        fields_.back()->BindRows(this, i, i + 1, &cache_.Columns()[static_cast<size_t>(i)]);
        return *fields_.back();
    }
    const char* ActiveRow() const override {
        return cache_.Count() ? cache_.Row(cache_.Count() - 1) : nullptr;
    }
    const db::RowCache& Cache() const override { return cache_; }
    db::TIBXSQLDA& Columns() { return columns_; }

  private:
    db::TIBXSQLDA columns_;
    db::RowCache cache_;
    std::vector<std::unique_ptr<db::TField>> fields_;
};

TEST(RowDecoding, NotANumberAndInfinitiesFailToReadAsIntegers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double value : {nan, inf, -inf, 2147483647.5, -2147483649.0}) {
        Rows rows({{SQL_DOUBLE, 8}});
        rows.Set(0, value);
        rows.Fetch();
        EXPECT_THROW(rows.Field(0).GetInteger(), runtime::EConvertError) << value;
    }
    Rows rows({{SQL_DOUBLE, 8}});
    rows.Set(0, 2147483646.5);  // halves go to the even neighbour
    rows.Fetch();
    EXPECT_EQ(rows.Field(0).GetInteger(), 2147483646);
}

TEST(RowDecoding, ScaledIntegersNearTheTopOfTheirRangeDoNotOverflow) {
    Rows rows({{SQL_INT64, 8, -2}, {SQL_INT64, 8, -4}, {SQL_INT64, 8, -18}, {SQL_SHORT, 2, -1}});
    rows.Set(0, std::numeric_limits<int64_t>::max());
    rows.Set(1, std::numeric_limits<int64_t>::min());
    rows.Set(2, int64_t{123456789012345678});
    rows.Set(3, int16_t{-32768});
    rows.Fetch();
    EXPECT_EQ(rows.Field(0).GetFloat(), 92233720368547758.07);
    EXPECT_EQ(rows.Field(1).GetFloat(), -922337203685477.5808);
    EXPECT_EQ(rows.Field(2).GetFloat(), 0.123456789012345678);
    EXPECT_EQ(rows.Field(3).GetFloat(), -3276.8);
}

TEST(RowDecoding, DescriptionsShorterThanTheirTypeAreNeverReadPast) {
    // The buffers are as long as the row cache reads, whatever the length
    // described; AddressSanitizer reports any read beyond them.
    Rows rows({{SQL_LONG, 1},
               {SQL_INT64, 2, -2},
               {SQL_DOUBLE, 0},
               {SQL_TEXT, -5},
               {SQL_VARYING, -1},
               {SQL_TIMESTAMP, 3},
               {SQL_BLOB, 1}});
    for (int i = 0; i < rows.Columns().Count(); ++i) {
        XSQLVAR& var = rows.Columns()[i].Var();
        std::memset(var.sqldata, 0x7F, static_cast<size_t>(std::max<short>(var.sqllen, 0)));
    }
    rows.Fetch();
    EXPECT_EQ(rows.Field(3).GetString(), "");
    EXPECT_EQ(rows.Field(4).GetString(), "");
}

TEST(RowDecoding, UnmappedTypesGetNoFieldAndNoStorage) {
    Rows rows({{SQL_BOOLEAN, 1}, {SQL_D_FLOAT, 8}, {12345, 700}});
    rows.Fetch();
    for (int i : {0, 2}) {
        db::TFieldDef def;
        EXPECT_FALSE(db::DescribeFieldDef(rows.Columns()[i].Var(), def)) << i;
        EXPECT_EQ(rows.Cache().Columns()[static_cast<size_t>(i)].size, 0u) << i;
    }
}

}  // namespace
