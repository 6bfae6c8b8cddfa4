#pragma once

#include <string>

#include "formats/format_settings.h"

namespace formats {

// The general form of a number: rounded to 15 significant digits, trailing
// zeros dropped, no thousands separators. Fixed notation when the rounded
// value has at most 15 integer digits and is at least 0.0001, otherwise
// scientific with an "E" ("1E20", "5E-5", "1.5E-7"). Zero is "0".
// Not-a-number and the infinities read "NAN", "INF" and "-INF".
std::string FormatGeneral(double value, const FormatSettings& settings = DefaultFormatSettings());

}  // namespace formats
