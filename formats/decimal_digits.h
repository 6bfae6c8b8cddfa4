#pragma once

#include <string>

namespace formats {

// A positive finite number rounded to a number of significant decimal
// digits: value ~= 0.d1 d2 d3 ... x 10^(exponent + 1), that is d1 is the
// digit of 10^exponent. digits has exactly `significant` characters and
// starts with a non-zero digit.
struct DecimalDigits {
    std::string digits;
    int exponent = 0;
};

DecimalDigits ToDecimalDigits(long double magnitude, int significant);

}  // namespace formats
