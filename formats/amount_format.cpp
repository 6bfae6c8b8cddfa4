#include "formats/amount_format.h"

#include <cmath>

#include "formats/decimal_digits.h"
#include "formats/general_format.h"
#include "runtime/exception.h"

namespace formats {
namespace {

// Adds one to a string of decimal digits.
void Increment(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// The magnitude in hundredths, as decimal digits, rounded on its 18-digit
// expansion.
std::string Hundredths(long double magnitude) {
    if (magnitude == 0) return "0";
    DecimalDigits d = ToDecimalDigits(magnitude, 18);
    // Digits down to the second decimal; the one after decides the rounding.
    const int keep = d.exponent + 3;
    if (keep < 0) return "0";
    if (keep >= static_cast<int>(d.digits.size())) {
        d.digits.append(static_cast<size_t>(keep) - d.digits.size(), '0');
        return d.digits;
    }
    const bool round_up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    if (round_up) Increment(d.digits);
    return d.digits.empty() ? "0" : d.digits;
}

std::string FormatAmount(long double value, const FormatSettings& settings) {
    if (std::isnan(value) || std::fabs(value) >= 1e18L) {
        return FormatGeneral(static_cast<double>(value), settings);
    }

    std::string digits = Hundredths(std::fabs(value));
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    const size_t integer_digits = digits.size() - 2;

    std::string out;
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos) out += '-';
    for (size_t i = 0; i < integer_digits; ++i) {
        if (i > 0 && (integer_digits - i) % 3 == 0) out += settings.thousands_separator;
        out += digits[i];
    }
    out += settings.decimal_separator;
    out.append(digits, integer_digits, 2);
    return out;
}

}  // namespace

std::string FormatFloat(std::string_view pattern, double value, const FormatSettings& settings) {
    return FormatFloat(pattern, static_cast<long double>(value), settings);
}

std::string FormatFloat(std::string_view pattern, long double value,
                        const FormatSettings& settings) {
    if (pattern.empty()) return FormatGeneral(static_cast<double>(value), settings);
    if (pattern == kAmountPattern) return FormatAmount(value, settings);
    throw runtime::EConvertError("Unsupported number pattern '" + std::string(pattern) + "'");
}

}  // namespace formats
