#pragma once

#include <string>

namespace formats {

// The regional settings that number and date texts depend on. Texts are
// ISO8859_1 bytes, like every text of the program. Each member starts at the
// value used when the system supplies none.
struct FormatSettings {
    char decimal_separator = '.';
    char thousands_separator = ',';
    // Printed wherever a date format has a "/".
    char date_separator = '/';
    // Tokens: d dd (day), m mm (month), yy yyyy (year), "/" (date separator).
    std::string short_date_format = "m/d/yy";
    // Tokens: h hh (hour), mm or nn (minutes), ss (seconds), AMPM.
    std::string long_time_format = "hh:mm:ss";
    std::string time_am_string = "AM";
    std::string time_pm_string = "PM";

    // Reads the settings of a POSIX locale ("" = the one the environment
    // names). A setting the locale leaves empty or cannot express keeps its
    // default, except that a thousands separator equal to the decimal
    // separator is replaced by the other of "," and ".". Every setting of a
    // locale that cannot be loaded keeps its default, so that a bad LANG
    // never keeps the program from starting.
    static FormatSettings FromLocale(const char* locale_name);

    bool operator==(const FormatSettings&) const = default;
};

// The settings of the process's locale, read once on first use; changes made
// to the regional settings while the program runs are not seen.
const FormatSettings& DefaultFormatSettings();

}  // namespace formats
