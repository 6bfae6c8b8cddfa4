#pragma once

// The demo's values: days and months, amounts in cents, a fixed-seed
// sequence, and the demo's "today". Shared by the demo's writer and its
// content.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "tools/raw_client/raw_client.h"

namespace demo::fill {

inline DateTime Day(int year, int month, int day, int hour = 0, int minute = 0) {
    return DateTime{year, month, day, hour, minute, 0};
}

// Same day of month `months` later; days past 28 are kept only when the
// target month has them.
inline DateTime AddMonths(const DateTime& value, int months) {
    static constexpr int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    DateTime out = value;
    const int index = value.year * 12 + (value.month - 1) + months;
    out.year = index / 12;
    out.month = index % 12 + 1;
    int last = kDaysInMonth[out.month - 1];
    const bool leap = (out.year % 4 == 0 && out.year % 100 != 0) || out.year % 400 == 0;
    if (out.month == 2 && leap) last = 29;
    if (out.day > last) out.day = last;
    return out;
}

inline bool Before(const DateTime& a, const DateTime& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

inline double Cents(double value) {
    return std::round(value * 100.0) / 100.0;
}

inline Value Opt(const std::optional<double>& value) {
    return value ? Value(*value) : Value(kNull);
}

// Fixed-seed linear congruential generator: the same sequence on every run
// and every platform.
class Sequence {
  public:
    explicit Sequence(uint32_t seed) : state_(seed) {}
    uint32_t Next(uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % bound;
    }

  private:
    uint32_t state_;
};

// Title case on ISO8859_1 bytes, for the few members an old front end
// captured that way.
inline std::string TitleCase(const std::string& latin1) {
    std::string out = latin1;
    bool word_start = true;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        const bool upper =
            (byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7);
        const bool lower = (byte >= 'a' && byte <= 'z') || (byte >= 0xDF && byte != 0xF7);
        if (upper && !word_start) c = static_cast<char>(byte + 0x20);
        word_start = !(upper || lower);
    }
    return out;
}

inline const DateTime kCutOff = Day(2024, 12, 31);  // the demo's "today"

}  // namespace demo::fill
