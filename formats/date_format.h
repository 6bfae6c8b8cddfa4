#pragma once

#include <string>
#include <string_view>

#include "formats/format_settings.h"

namespace formats {

// The program's pattern for dates: the time of day is not shown.
inline constexpr std::string_view kDatePattern = "dd/mm/yyyy";

// Formats a date-time value (see date_time.h) with a pattern made of:
//   d dd     day of the month, dd with a leading zero
//   m mm     month, or minutes right after an hour token
//   yy yyyy  year in two or four digits
//   h hh     hour; 1 to 12 when the pattern has AMPM
//   n nn     minutes
//   s ss     seconds
//   AMPM     the settings' AM or PM text
//   /        the settings' date separator
// Other characters that are not letters print as they are; any other letter
// or run of letters raises runtime::EConvertError. An empty pattern, that
// of a column without one, gives FormatDefaultDateTime.
std::string FormatDateTime(std::string_view pattern, double value,
                           const FormatSettings& settings = DefaultFormatSettings());

// The short date format, then, unless the time of day is midnight to the
// millisecond, a blank and the long time format.
std::string FormatDefaultDateTime(double value,
                                  const FormatSettings& settings = DefaultFormatSettings());

}  // namespace formats
