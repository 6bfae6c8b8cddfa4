#include "formats/decimal_digits.h"

#include <charconv>

namespace formats {

DecimalDigits ToDecimalDigits(long double magnitude, int significant) {
    // to_chars rounds the exact binary value correctly; its output is
    // "d.ddd...e+XX" (or "de+XX" for one digit).
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                      std::chars_format::scientific, significant - 1);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = text.find('e');

    DecimalDigits out;
    for (char c : text.substr(0, e)) {
        if (c != '.') out.digits += c;
    }
    std::string_view exponent = text.substr(e + 1);
    if (exponent.front() == '+') exponent.remove_prefix(1);
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), out.exponent);
    return out;
}

}  // namespace formats
