#include "formats/general_format.h"

#include <cmath>

#include "formats/decimal_digits.h"

namespace formats {

std::string FormatGeneral(double value, const FormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";  // -0.0 as well

    DecimalDigits d = ToDecimalDigits(std::fabs(value), 15);
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
    const int count = static_cast<int>(d.digits.size());

    std::string out = value < 0 ? "-" : "";
    if (d.exponent >= 15 || d.exponent < -4) {
        out += d.digits[0];
        if (count > 1) {
            out += settings.decimal_separator;
            out.append(d.digits, 1);
        }
        out += 'E';
        out += std::to_string(d.exponent);
    } else if (d.exponent >= 0) {
        const int integer_digits = d.exponent + 1;
        if (count <= integer_digits) {
            out += d.digits;
            out.append(static_cast<size_t>(integer_digits - count), '0');
        } else {
            out.append(d.digits, 0, static_cast<size_t>(integer_digits));
            out += settings.decimal_separator;
            out.append(d.digits, static_cast<size_t>(integer_digits));
        }
    } else {
        out += '0';
        out += settings.decimal_separator;
        out.append(static_cast<size_t>(-d.exponent - 1), '0');
        out += d.digits;
    }
    return out;
}

}  // namespace formats
