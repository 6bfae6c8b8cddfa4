#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace runtime {

// Numbers as machine text (records, row images, spreadsheet cells, anything
// read back): always '.' for decimals and no grouping, whatever locale the
// process runs in. strtod, stod and printf follow the C locale, which the
// window's toolkit sets from the desktop (a decimal comma in Spanish).

// The whole text as a real, in the form to_chars and printf's %g write
// ("-2499.994", "1e+300", "inf"); nothing when any of it is not a number.
std::optional<double> ParseReal(std::string_view text);
std::optional<long double> ParseLongReal(std::string_view text);

// The whole text as a decimal integer; nothing otherwise.
std::optional<long long> ParseInteger(std::string_view text);

// `value` with `decimals` digits after the point, as printf's "%.Nf" in the
// C locale.
std::string FixedText(double value, int decimals);

}  // namespace runtime
