#include "formats/format_settings.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <optional>

#include "formats/amount_format.h"
#include "formats/date_format.h"
#include "formats/latin1.h"
#include "formats/posix_formats.h"

// glibc's newlocale never frees its copy of LOCPATH, which these tests set
// to find their locales; LeakSanitizer reads this hook when it is present.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:__argz_add_sep\n";
}

namespace formats {
namespace {

constexpr double kNewYearsEveAfternoon = 45657 + (13 * 3600 + 45 * 60 + 30) / 86400.0;

TEST(LocaleText, SeparatorsBecomeIso8859Bytes) {
    struct Row {
        char32_t code_point;
        std::optional<char> expected;
    };
    const Row rows[] = {
        {U',', ','},
        {U'\u00A0', '\xA0'},
        // Narrow and thin no-break spaces (fr_FR) have no byte of their own.
        {U'\u202F', '\xA0'},
        {U'\u2009', '\xA0'},
        {U'\u2019', '\''},
        {U'\u066C', std::nullopt},
        {U'\u5E74', std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Latin1Char(row.code_point), row.expected)
            << "U+" << std::hex << static_cast<unsigned>(row.code_point);
    }
}

TEST(LocaleText, StrftimeDateFormatsBecomeShortDateFormats) {
    struct Row {
        std::u32string_view d_fmt;
        std::optional<ShortDate> expected;
    };
    const Row rows[] = {
        {U"%m/%d/%y", ShortDate{"mm/dd/yy", '/'}},
        {U"%d.%m.%Y", ShortDate{"dd/mm/yyyy", '.'}},
        {U"%F", ShortDate{"yyyy/mm/dd", '-'}},
        {U"%D", ShortDate{"mm/dd/yy", '/'}},
        {U"%-d.%-m.%Y", ShortDate{"d/m/yyyy", '.'}},
        {U"%e-%m-%Y", ShortDate{"d/mm/yyyy", '-'}},
        {U"%d. %m. %y", ShortDate{"dd/ mm/ yy", '.'}},
        {U"%d.%m.%Y.", ShortDate{"dd/mm/yyyy/", '.'}},
        {U"%d/%m-%Y", ShortDate{"dd/mm-yyyy", '/'}},
        {U"%Od/%Om/%Oy", ShortDate{"dd/mm/yy", '/'}},
        // Names, era years and marks without a byte cannot be expressed.
        {U"%d %b, %Y", std::nullopt},
        {U"%A %d %b %Y", std::nullopt},
        {U"%d/%m/%Ey", std::nullopt},
        {U"%Y\u5E74%m\u6708%d\u65E5", std::nullopt},
        // A "/" that is not the separator would print as the separator.
        {U"%d.%m/%Y", std::nullopt},
        {U"", std::nullopt},
    };
    for (const Row& row : rows) {
        const auto got = ShortDateFromPosix(row.d_fmt);
        ASSERT_EQ(got.has_value(), row.expected.has_value()) << "row " << &row - rows;
        if (got) {
            EXPECT_EQ(got->format, row.expected->format) << "row " << &row - rows;
            EXPECT_EQ(got->separator, row.expected->separator) << "row " << &row - rows;
        }
    }
}

TEST(LocaleText, StrftimeTimeFormatsGiveClockLeadingZeroAndMarkPlace) {
    struct Row {
        std::u32string_view t_fmt;
        std::u32string_view t_fmt_ampm;
        const char* expected;
    };
    const Row rows[] = {
        {U"%H:%M:%S", U"%I:%M:%S %p", "hh:mm:ss"},
        {U"%T", U"", "hh:mm:ss"},
        {U"%k:%M:%S", U"", "h:mm:ss"},
        {U"%r", U"%I:%M:%S %p", "hh:mm:ss AMPM"},
        {U"%r", U"", "hh:mm:ss AMPM"},
        {U"%l:%M:%S %p", U"", "h:mm:ss AMPM"},
        {U"%-I:%M %p", U"", "h:mm:ss AMPM"},
        {U"%p %I:%M:%S %Z", U"", "AMPM hh:mm:ss"},
        // A mark beside a 24-hour hour does not make a 12-hour clock.
        {U"%OH:%OM:%OS %p", U"", "hh:mm:ss"},
        {U"kl. %H.%M %z", U"", "hh:mm:ss"},
        {U"", U"", "hh:mm:ss"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(LongTimeFromPosix(row.t_fmt, row.t_fmt_ampm), row.expected)
            << "row " << &row - rows;
    }
}

TEST(LocaleSettings, CLocaleLeavesThousandsSeparatorToTheDefault) {
    FormatSettings expected;
    expected.short_date_format = "mm/dd/yy";
    EXPECT_EQ(FormatSettings::FromLocale("C"), expected);
    EXPECT_EQ(FormatSettings::FromLocale("xx_NOWHERE.UTF-8"), FormatSettings{});
}

// The build compiles these locales for the tests when the machine lacks them
// (LOCPATH); without either the test is skipped.
bool HaveLocale(const char* name) {
    locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
    if (locale) freelocale(locale);
    return locale != nullptr;
}

TEST(LocaleSettings, Utf8LocalesGiveIso8859SeparatorsAndTheirFormats) {
    struct Row {
        const char* locale;
        const char* amount;
        const char* date_time;
    };
    const Row rows[] = {
        {"de_DE.UTF-8", "1.234.567,89", "31.12.2024 13:45:30"},
        {"fr_FR.UTF-8",
         "1\xA0"
         "234\xA0"
         "567,89",
         "31/12/2024 13:45:30"},
        {"en_US.UTF-8", "1,234,567.89", "12/31/2024 01:45:30 PM"},
        // No thousands separator of its own beside a decimal comma: the
        // default comma would give "1,234,567,89".
        {"pt_PT.UTF-8", "1.234.567,89", "31/12/2024 13:45:30"},
    };
    int tested = 0;
    for (const Row& row : rows) {
        if (!HaveLocale(row.locale)) continue;
        ++tested;
        const FormatSettings settings = FormatSettings::FromLocale(row.locale);
        EXPECT_EQ(FormatFloat(kAmountPattern, 1234567.891, settings), row.amount) << row.locale;
        EXPECT_EQ(FormatDefaultDateTime(kNewYearsEveAfternoon, settings), row.date_time)
            << row.locale;
    }
    if (tested == 0) GTEST_SKIP() << "none of the locales is installed";
}

}  // namespace
}  // namespace formats
