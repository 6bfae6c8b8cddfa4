#pragma once

#include <string>
#include <string_view>

#include "formats/format_settings.h"

namespace formats {

// Reads a number written with the settings' decimal separator (thousands
// separators are not accepted). Raises runtime::EConvertError
// "'%s' is not a valid floating point value".
double StrToFloat(std::string_view text, const FormatSettings& settings = DefaultFormatSettings());

// Reads a date in the order of the short date format (day, month and year
// separated by the date separator; a two-digit year is taken in 1950-2049),
// optionally followed by a time "h:mm[:ss]" with an AM/PM marker. Raises
// runtime::EConvertError "'%s' is not a valid date and time".
double StrToDateTime(std::string_view text,
                     const FormatSettings& settings = DefaultFormatSettings());

}  // namespace formats
