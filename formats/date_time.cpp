#include "formats/date_time.h"

#include <chrono>
#include <cmath>

#include "formats/format_settings.h"
#include "formats/general_format.h"
#include "runtime/exception.h"

namespace formats {
namespace {

using std::chrono::days;
using std::chrono::sys_days;
using std::chrono::year_month_day;

constexpr long long kMillisecondsPerDay = 86'400'000;

// Day 0 counted from the system clock's epoch (1 January 1970).
constexpr long long kDayZero =
    sys_days{std::chrono::year{1899} / std::chrono::December / 30}.time_since_epoch().count();
constexpr long long kFirstDay =
    sys_days{std::chrono::year{1} / std::chrono::January / 1}.time_since_epoch().count() - kDayZero;
constexpr long long kLastDay =
    sys_days{std::chrono::year{9999} / std::chrono::December / 31}.time_since_epoch().count() -
    kDayZero;

[[noreturn]] void RaiseInvalidValue(double value) {
    throw runtime::EConvertError("'" + FormatGeneral(value, FormatSettings{}) +
                                 "' is not a valid date-time value");
}

[[noreturn]] void RaiseInvalidParts() {
    throw runtime::EConvertError("Invalid argument to date encode");
}

}  // namespace

DateTimeParts DecodeDateTime(double value) {
    // The range test comes first: converting a NaN or a huge double to an
    // integer is undefined.
    if (!(value > static_cast<double>(kFirstDay - 1) &&
          value < static_cast<double>(kLastDay + 1))) {
        RaiseInvalidValue(value);
    }
    const double whole = std::trunc(value);
    long long day = static_cast<long long>(whole);
    long long time = std::llround(std::fabs(value - whole) * kMillisecondsPerDay);
    if (time >= kMillisecondsPerDay) {
        // Later in the day is further from zero for negative days too, so
        // the next day is always day + 1.
        time -= kMillisecondsPerDay;
        ++day;
        if (day > kLastDay) RaiseInvalidValue(value);
    }

    const year_month_day date{sys_days{days{day + kDayZero}}};
    DateTimeParts parts;
    parts.year = static_cast<int>(date.year());
    parts.month = static_cast<int>(static_cast<unsigned>(date.month()));
    parts.day = static_cast<int>(static_cast<unsigned>(date.day()));
    parts.hour = static_cast<int>(time / 3'600'000);
    parts.minute = static_cast<int>(time / 60'000 % 60);
    parts.second = static_cast<int>(time / 1000 % 60);
    parts.millisecond = static_cast<int>(time % 1000);
    return parts;
}

double EncodeDateTime(const DateTimeParts& parts) {
    const auto in = [](int value, int low, int high) { return value >= low && value <= high; };
    // Checked before the calendar types see them: these take unsigned values.
    if (!in(parts.year, 1, 9999) || !in(parts.month, 1, 12) || !in(parts.day, 1, 31) ||
        !in(parts.hour, 0, 23) || !in(parts.minute, 0, 59) || !in(parts.second, 0, 59) ||
        !in(parts.millisecond, 0, 999)) {
        RaiseInvalidParts();
    }
    const year_month_day date{std::chrono::year{parts.year},
                              std::chrono::month{static_cast<unsigned>(parts.month)},
                              std::chrono::day{static_cast<unsigned>(parts.day)}};
    if (!date.ok()) RaiseInvalidParts();
    const long long day = sys_days{date}.time_since_epoch().count() - kDayZero;
    const long long time =
        ((parts.hour * 60LL + parts.minute) * 60 + parts.second) * 1000 + parts.millisecond;
    const double fraction = static_cast<double>(time) / kMillisecondsPerDay;
    return day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
}

DateTimeParts PartsOf(const std::tm& broken) {
    DateTimeParts parts;
    parts.year = broken.tm_year + 1900;
    parts.month = broken.tm_mon + 1;
    parts.day = broken.tm_mday;
    parts.hour = broken.tm_hour;
    parts.minute = broken.tm_min;
    parts.second = broken.tm_sec;
    return parts;
}

}  // namespace formats
