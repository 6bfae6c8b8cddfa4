#pragma once

#include <string>
#include <string_view>

#include "formats/format_settings.h"

namespace formats {

// The program's pattern for money amounts.
inline constexpr std::string_view kAmountPattern = "###,###,##0.00";

// Formats a number with a display pattern. Two patterns exist in the
// program: kAmountPattern, and the empty pattern of a column without one,
// which gives the general form. Any other pattern raises
// runtime::EConvertError rather than printing something unintended.
//
// kAmountPattern: the value is first taken to 18 significant digits, then
// rounded half away from zero to two decimals on those digits (so 1.005,
// held as 1.00499999999999989..., gives "1.00"); thousands separators group
// every integer digit; a value that rounds to zero has no minus sign.
// Magnitudes of 1E18 or more, the infinities among them, and not-a-number
// take the general form.
std::string FormatFloat(std::string_view pattern, double value,
                        const FormatSettings& settings = DefaultFormatSettings());
// Sums kept in extended precision are rounded only here, on their own
// 18-digit expansion.
std::string FormatFloat(std::string_view pattern, long double value,
                        const FormatSettings& settings = DefaultFormatSettings());

}  // namespace formats
