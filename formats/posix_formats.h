#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace formats {

struct ShortDate {
    std::string format;  // in the tokens of FormatSettings::short_date_format
    char separator;
};

// Turns a locale's strftime date format (nl_langinfo D_FMT) into a short
// date format and its date separator, the first character after the first
// field. Nothing when the format holds what the tokens cannot express
// (weekday or month names, era years, letters or other marks with no
// ISO8859_1 byte): the caller then keeps both defaults.
std::optional<ShortDate> ShortDateFromPosix(std::u32string_view d_fmt);

// Builds the long time format from a locale's strftime time formats
// (T_FMT, and T_FMT_AMPM for a "%r" in it): only the clock (12 or 24 hours),
// the hour's leading zero and the place of the AM/PM mark are taken; the
// rest is always ":mm:ss". A format without an hour gives "hh:mm:ss".
std::string LongTimeFromPosix(std::u32string_view t_fmt, std::u32string_view t_fmt_ampm);

}  // namespace formats
