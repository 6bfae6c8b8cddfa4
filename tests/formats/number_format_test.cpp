#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "formats/amount_format.h"
#include "formats/general_format.h"
#include "runtime/exception.h"
#include "tests/formats/test_settings.h"

namespace formats {
namespace {

using testing::Settings;

struct NumberRow {
    double value;
    FormatSettings settings;
    const char* expected;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(AmountFormat, RoundsOnEighteenDigitsHalfAwayFromZeroAndGroupsEveryDigit) {
    const NumberRow rows[] = {
        {1234567.891, Settings(), "1,234,567.89"},
        {0.5, Settings(), "0.50"},
        {-1234.5, Settings(), "-1,234.50"},
        {0, Settings(), "0.00"},
        {-0.0, Settings(), "0.00"},
        {0.005, Settings(), "0.01"},
        // Reads like zero: the reconciliation compares amount texts.
        {-0.004, Settings(), "0.00"},
        {-0.006, Settings(), "-0.01"},
        {-1e-300, Settings(), "0.00"},
        // Held as 1.00499999999999989...: not rounded up from the literal.
        {1.005, Settings(), "1.00"},
        // Carry runs through every digit and opens a new group.
        {999.995, Settings(), "1,000.00"},
        // Exactly 1000.00499999999999545... but 1000.00500000000000 to 18
        // digits: printf-style rounding of the exact value says "1,000.00".
        {1000.005, Settings(), "1,000.01"},
        // An exact tie goes away from zero, not to the even digit.
        {0.125, Settings(), "0.13"},
        {-0.125, Settings(), "-0.13"},
        {1234567890, Settings(), "1,234,567,890.00"},
        {999999999999999872.0, Settings(), "999,999,999,999,999,872.00"},
        {1234567.891, Settings(',', '.'), "1.234.567,89"},
        {1234.5, Settings(',', '\xA0'),
         "1\xA0"
         "234,50"},
        // Too large for two decimals: the general form.
        {1e18, Settings(), "1E18"},
        {-1.5e20, Settings(',', '.'), "-1,5E20"},
        {kNaN, Settings(), "NAN"},
        {kInf, Settings(), "INF"},
        {-kInf, Settings(), "-INF"},
    };
    for (const NumberRow& row : rows) {
        EXPECT_EQ(FormatFloat(kAmountPattern, row.value, row.settings), row.expected)
            << "value " << row.value;
    }
}

TEST(AmountFormat, UnknownPatternIsRefusedAndEmptyPatternIsGeneral) {
    EXPECT_THROW(FormatFloat("#,##0.00", 1.0, Settings()), runtime::EConvertError);
    EXPECT_THROW(FormatFloat("###,###,##0.000", 1.0, Settings()), runtime::EConvertError);
    EXPECT_EQ(FormatFloat("", 1234.5, Settings()), "1234.5");
}

TEST(GeneralFormat, FifteenDigitsShortestFixedOrScientific) {
    const NumberRow rows[] = {
        {18, Settings(), "18"},
        {1.5, Settings(), "1.5"},
        {-2.25, Settings(), "-2.25"},
        {0, Settings(), "0"},
        {-0.0, Settings(), "0"},
        // The 17-digit round trip would show 0.30000000000000004.
        {0.1 + 0.2, Settings(), "0.3"},
        {2.0 / 3.0, Settings(), "0.666666666666667"},
        {1234567.891, Settings(',', '.'), "1234567,891"},
        {123456789012345.0, Settings(), "123456789012345"},
        {0.0001, Settings(), "0.0001"},
        {1e15, Settings(), "1E15"},
        // Rounds up to sixteen integer digits.
        {999999999999999.9, Settings(), "1E15"},
        {1e20, Settings(), "1E20"},
        {5e-5, Settings(), "5E-5"},
        {1.5e-7, Settings(), "1.5E-7"},
        {-1.5e-7, Settings(',', '.'), "-1,5E-7"},
        {kNaN, Settings(), "NAN"},
        {-kInf, Settings(), "-INF"},
    };
    for (const NumberRow& row : rows) {
        EXPECT_EQ(FormatGeneral(row.value, row.settings), row.expected) << "value " << row.value;
    }
}

}  // namespace
}  // namespace formats

namespace {

TEST(AmountFormat, ExtendedPrecisionSumsRoundOnTheirOwnDigits) {
    const formats::FormatSettings plain;
    // 0.1 added ten times in extended precision is closer to 1 than in
    // double; both print as 1.00, and a long double half cent rounds up.
    long double sum = 0;
    for (int i = 0; i < 10; ++i) sum += 0.1L;
    EXPECT_EQ(formats::FormatFloat(formats::kAmountPattern, sum, plain), "1.00");
    EXPECT_EQ(formats::FormatFloat(formats::kAmountPattern, 2.005L, plain), "2.01");
    EXPECT_EQ(formats::FormatFloat(formats::kAmountPattern, 2.005, plain), "2.00");
    EXPECT_EQ(formats::FormatFloat(formats::kAmountPattern, -0.004L, plain), "0.00");
}

}  // namespace
