#include "runtime/text.h"

#include <gtest/gtest.h>

#include "runtime/exception.h"
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
