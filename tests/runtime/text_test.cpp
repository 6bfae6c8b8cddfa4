#include "runtime/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>

#include "runtime/exception.h"
#include "runtime/number_text.h"
#include "runtime/strings.h"

namespace {

TEST(Text, CasingLeavesAccentedBytesAlone) {
    EXPECT_EQ(runtime::AsciiLower("ISC_DPB_User\xC1"), "isc_dpb_user\xC1");
    EXPECT_EQ(runtime::AsciiUpper("cuota\xF1"), "CUOTA\xF1");
    EXPECT_TRUE(runtime::SameTextAscii("Prestamo", "PRESTAMO"));
    EXPECT_FALSE(runtime::SameTextAscii("\xE1", "\xC1"));
}

TEST(Text, IntegerReadingAcceptsOnlyWholeNumbers) {
    EXPECT_EQ(runtime::StrToInt("300"), 300);
    EXPECT_EQ(runtime::StrToInt("-7"), -7);
    for (const char* bad : {"", "12a", "1.5", "99999999999"}) {
        EXPECT_THROW(runtime::StrToInt(bad), runtime::EConvertError) << bad;
    }
}

TEST(Text, MessagePatternsFillInOrder) {
    EXPECT_EQ(runtime::FormatMessage("%s needs %d", {"x", 5}), "x needs 5");
    EXPECT_EQ(runtime::FormatMessage("100%% of %s", {"y"}), "100% of y");
    EXPECT_EQ(runtime::FormatMessage("missing %s", {}), "missing ");
}

TEST(Strings, EachCompleteChangeIsReportedOnceAndVetoesKeepTheText) {
    runtime::TStrings lines;
    int changes = 0;
    lines.OnChange = [&] { ++changes; };
    lines.Assign({"select *", "from t"});
    lines.Add("where 1=1");
    lines.Clear();
    EXPECT_EQ(changes, 3);

    lines.Assign({"a", "b"});
    EXPECT_EQ(lines.Text(), "a\r\nb\r\n");
    lines.OnChanging = [] { throw runtime::Exception("refused"); };
    EXPECT_THROW(lines.Add("c"), runtime::Exception);
    EXPECT_EQ(lines.Count(), 2);
}

}  // namespace

namespace {

// Machine text is read and written with a point whatever the C locale says:
// the window's toolkit sets a Spanish desktop's (a decimal comma).
class NumberText : public ::testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (std::setlocale(LC_ALL, GetParam()) == nullptr) {
            GTEST_SKIP() << GetParam() << " is not generated here (scripts/install does it)";
        }
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(NumberText, RealsReadWholeTextsWithAPointOnly) {
    EXPECT_EQ(runtime::ParseReal("-2499.994"), -2499.994);
    EXPECT_EQ(runtime::ParseReal("1234.567"), 1234.567);
    EXPECT_EQ(runtime::ParseReal("1e+300"), 1e300);
    EXPECT_EQ(runtime::ParseReal("-0"), -0.0);
    EXPECT_EQ(runtime::ParseReal("-inf"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(runtime::ParseLongReal("7500.01"), 7500.01L);
    EXPECT_EQ(runtime::ParseInteger("-1071"), -1071);
    // A part of a number is no number: reading it would write a wrong amount.
    for (const char* bad : {"", "1234,567", "1.234,56", " 1", "+1", "1 ", "12a", "0x10", "."}) {
        EXPECT_EQ(runtime::ParseReal(bad), std::nullopt) << bad;
    }
    for (const char* bad : {"", "1.5", "99999999999999999999", "7 "}) {
        EXPECT_EQ(runtime::ParseInteger(bad), std::nullopt) << bad;
    }
}

TEST_P(NumberText, FixedTextsArePrintfsInTheCLocale) {
    for (const double value : {0.0, 1234.567, -0.005, 2.5, 1e15, -7500.01}) {
        for (const int decimals : {0, 1, 2, 6}) {
            char expected[64];
            std::setlocale(LC_NUMERIC, "C");
            std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
            std::setlocale(LC_NUMERIC, GetParam());
            EXPECT_EQ(runtime::FixedText(value, decimals), expected) << value << " " << decimals;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, NumberText, ::testing::Values("C", "es_ES.UTF-8"),
                         [](const auto& locale) {
                             return std::string(locale.param[0] == 'C' ? "C" : "Spanish");
                         });

}  // namespace
