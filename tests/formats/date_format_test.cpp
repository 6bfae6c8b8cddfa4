#include "formats/date_format.h"

#include <gtest/gtest.h>

#include <limits>

#include "formats/date_time.h"
#include "runtime/exception.h"
#include "tests/formats/test_settings.h"

namespace formats {
namespace {

using testing::Settings;

// 31 December 2024, and that day at 13:45:30.
constexpr double kNewYearsEve = 45657;
constexpr double kNewYearsEveAfternoon = 45657 + (13 * 3600 + 45 * 60 + 30) / 86400.0;

TEST(DateTime, DecodesDayCountsOnTheGregorianCalendarBothSidesOfDayZero) {
    struct Row {
        double value;
        DateTimeParts expected;
    };
    const Row rows[] = {
        {0, {1899, 12, 30, 0, 0, 0, 0}},
        {2, {1900, 1, 1, 0, 0, 0, 0}},
        // 1900 is not a leap year: no 29 February between day 60 and 61.
        {60, {1900, 2, 28, 0, 0, 0, 0}},
        {61, {1900, 3, 1, 0, 0, 0, 0}},
        {36585, {2000, 2, 29, 0, 0, 0, 0}},
        {kNewYearsEveAfternoon, {2024, 12, 31, 13, 45, 30, 0}},
        {45657 + 0.5 / 86400, {2024, 12, 31, 0, 0, 0, 500}},
        // Before day 0 the fraction is still the time of day.
        {-1, {1899, 12, 29, 0, 0, 0, 0}},
        {-1.25, {1899, 12, 29, 6, 0, 0, 0}},
        {-693593, {1, 1, 1, 0, 0, 0, 0}},
        {2958465, {9999, 12, 31, 0, 0, 0, 0}},
        // A time that rounds to 24:00 is the next midnight, not hour 24.
        {45657.9999999999, {2025, 1, 1, 0, 0, 0, 0}},
        {-1.9999999999, {1899, 12, 30, 0, 0, 0, 0}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DecodeDateTime(row.value), row.expected) << "value " << row.value;
    }
}

TEST(DateTime, EncodesPartsAndRefusesWhatIsNoDate) {
    EXPECT_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_EQ(EncodeDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
    EXPECT_EQ(EncodeDateTime({1, 1, 1, 0, 0, 0, 0}), -693593.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime({2024, 12, 31, 13, 45, 30, 0}), kNewYearsEveAfternoon);
    const DateTimeParts round_trip{1987, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(round_trip)), round_trip);

    const DateTimeParts bad_parts[] = {
        {2023, 2, 29, 0, 0, 0, 0}, {2024, 13, 1, 0, 0, 0, 0}, {2024, -1, 1, 0, 0, 0, 0},
        {2024, 1, 0, 0, 0, 0, 0},  {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},
        {2024, 1, 1, 24, 0, 0, 0}, {2024, 1, 1, 0, 60, 0, 0}, {2024, 1, 1, 0, 0, 0, 1000},
    };
    for (const DateTimeParts& parts : bad_parts) {
        EXPECT_THROW(EncodeDateTime(parts), runtime::EConvertError)
            << parts.year << "-" << parts.month << "-" << parts.day << " " << parts.hour;
    }
    // Converting these to a day number would be undefined behaviour.
    const double bad_values[] = {std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(),
                                 -1e300,
                                 1e300,
                                 -693594,
                                 2958466,
                                 2958465.9999999999};
    for (double value : bad_values) {
        EXPECT_THROW(DecodeDateTime(value), runtime::EConvertError) << "value " << value;
    }
}

TEST(DateFormat, PatternAndDefaultFormatPrintTheSettingsSeparatorsAndTokens) {
    struct Row {
        std::string_view pattern;
        double value;
        FormatSettings settings;
        const char* expected;
    };
    const FormatSettings twelve_hour = Settings('.', ',', '/', "dd/mm/yyyy", "h:mm:ss AMPM");
    FormatSettings marked_first = Settings('.', ',', '-', "yyyy/mm/dd", "AMPM hh:mm:ss");
    marked_first.time_am_string = "a.m.";
    marked_first.time_pm_string = "p.m.";
    const Row rows[] = {
        {kDatePattern, kNewYearsEve, Settings(), "31/12/2024"},
        {kDatePattern, kNewYearsEve, Settings(',', '.', '-'), "31-12-2024"},
        // The time of day never shows under the date pattern.
        {kDatePattern, kNewYearsEveAfternoon, Settings(), "31/12/2024"},
        {kDatePattern, -693593, Settings(), "01/01/0001"},
        {kDatePattern, -1.25, Settings(), "29/12/1899"},
        {"d/m/yy h:mm", 36526.5 + 7 / 1440.0, Settings(), "1/1/00 12:07"},
        {"hh:nn:ss", kNewYearsEveAfternoon, Settings(), "13:45:30"},
        {"", kNewYearsEve, Settings(), "12/31/24"},
        {"", kNewYearsEveAfternoon, Settings(), "12/31/24 13:45:30"},
        {"", kNewYearsEveAfternoon, Settings(',', '.', '.', "dd/mm/yyyy"), "31.12.2024 13:45:30"},
        {"", kNewYearsEve + 1 / 48.0, twelve_hour, "31/12/2024 12:30:00 AM"},
        {"", kNewYearsEve + 0.5, twelve_hour, "31/12/2024 12:00:00 PM"},
        {"", kNewYearsEveAfternoon, twelve_hour, "31/12/2024 1:45:30 PM"},
        {"", kNewYearsEve + 0.25, marked_first, "2024-12-31 a.m. 06:00:00"},
        // Rounds to the next midnight: the date moves on and no time shows.
        {"", 45657.9999999999, Settings(), "1/1/25"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FormatDateTime(row.pattern, row.value, row.settings), row.expected)
            << "pattern '" << row.pattern << "' value " << row.value;
    }
}

TEST(DateFormat, UnknownTokensAreRefusedNotPrintedAsText) {
    for (std::string_view pattern : {"dd/mmm/yyyy", "dddd", "yyy", "dd/MM/yyyy", "hh:mm am/pm"}) {
        EXPECT_THROW(FormatDateTime(pattern, kNewYearsEve, Settings()), runtime::EConvertError)
            << pattern;
    }
}

}  // namespace
}  // namespace formats
