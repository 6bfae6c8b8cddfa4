#pragma once

#include <string>

#include "formats/format_settings.h"

namespace formats::testing {

// Settings written out per test row, never the machine's locale.
inline FormatSettings Settings(char decimal = '.', char thousands = ',', char date = '/',
                               std::string short_date = "m/d/yy",
                               std::string long_time = "hh:mm:ss") {
    FormatSettings s;
    s.decimal_separator = decimal;
    s.thousands_separator = thousands;
    s.date_separator = date;
    s.short_date_format = std::move(short_date);
    s.long_time_format = std::move(long_time);
    return s;
}

}  // namespace formats::testing
