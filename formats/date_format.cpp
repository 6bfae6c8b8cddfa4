#include "formats/date_format.h"

#include "formats/date_time.h"
#include "runtime/exception.h"

namespace formats {
namespace {

void AppendNumber(std::string& out, int number, int min_digits) {
    const std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < min_digits) {
        out.append(static_cast<size_t>(min_digits) - digits.size(), '0');
    }
    out += digits;
}

[[noreturn]] void RaiseUnsupported(std::string_view pattern) {
    throw runtime::EConvertError("Unsupported date-time pattern '" + std::string(pattern) + "'");
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string FormatParts(std::string_view pattern, const DateTimeParts& parts,
                        const FormatSettings& settings) {
    constexpr std::string_view kAmPm = "AMPM";
    const bool twelve_hour = pattern.find(kAmPm) != std::string_view::npos;
    std::string out;
    bool after_hour = false;  // an m token now means minutes
    size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        if (pattern.substr(i, kAmPm.size()) == kAmPm) {
            out += parts.hour < 12 ? settings.time_am_string : settings.time_pm_string;
            i += kAmPm.size();
            continue;
        }
        if (!IsAsciiLetter(c)) {
            if (c == '/') {
                out += settings.date_separator;
            } else {
                out += c;
            }
            ++i;
            continue;
        }
        size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c) ++run;
        i += run;
        const int width = static_cast<int>(run);
        switch (c) {
            case 'd':
                if (run > 2) RaiseUnsupported(pattern);
                AppendNumber(out, parts.day, width);
                break;
            case 'm':
                if (run > 2) RaiseUnsupported(pattern);
                AppendNumber(out, after_hour ? parts.minute : parts.month, width);
                break;
            case 'y':
                if (run == 2) {
                    AppendNumber(out, parts.year % 100, 2);
                } else if (run == 4) {
                    AppendNumber(out, parts.year, 4);
                } else {
                    RaiseUnsupported(pattern);
                }
                break;
            case 'h': {
                if (run > 2) RaiseUnsupported(pattern);
                int hour = parts.hour;
                if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
                AppendNumber(out, hour, width);
                break;
            }
            case 'n':
                if (run > 2) RaiseUnsupported(pattern);
                AppendNumber(out, parts.minute, width);
                break;
            case 's':
                if (run > 2) RaiseUnsupported(pattern);
                AppendNumber(out, parts.second, width);
                break;
            default:
                RaiseUnsupported(pattern);
        }
        after_hour = c == 'h';
    }
    return out;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, double value, const FormatSettings& settings) {
    if (pattern.empty()) return FormatDefaultDateTime(value, settings);
    return FormatParts(pattern, DecodeDateTime(value), settings);
}

std::string FormatDefaultDateTime(double value, const FormatSettings& settings) {
    const DateTimeParts parts = DecodeDateTime(value);
    std::string text = FormatParts(settings.short_date_format, parts, settings);
    if (parts.hour != 0 || parts.minute != 0 || parts.second != 0 || parts.millisecond != 0) {
        text += ' ';
        text += FormatParts(settings.long_time_format, parts, settings);
    }
    return text;
}

}  // namespace formats
