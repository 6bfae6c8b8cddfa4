#include "formats/text_parse.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <vector>

#include "formats/date_time.h"
#include "runtime/exception.h"

namespace formats {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Reads an unsigned run of digits at `pos`; nullopt when there is none.
std::optional<int> Digits(std::string_view text, size_t& pos, size_t* count = nullptr) {
    const size_t start = pos;
    int value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        if (pos - start >= 4) return std::nullopt;
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == start) return std::nullopt;
    if (count) *count = pos - start;
    return value;
}

// The order of day, month and year in a short date format, e.g. "dmy".
std::string DateOrder(const std::string& format) {
    std::string order;
    for (char c : format) {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if ((lower == 'd' || lower == 'm' || lower == 'y') &&
            order.find(lower) == std::string::npos) {
            order += lower;
        }
    }
    return order.size() == 3 ? order : "mdy";
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.empty() || text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

double StrToFloat(std::string_view text, const FormatSettings& settings) {
    std::string normal(Trim(text));
    for (char& c : normal) {
        if (c == settings.decimal_separator) {
            c = '.';
        } else if (c == '.' && settings.decimal_separator != '.') {
            normal.clear();  // a period is not a decimal point here
            break;
        }
    }
    double value = 0;
    const char* first = normal.data();
    const char* last = normal.data() + normal.size();
    if (!normal.empty() && *first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (normal.empty() || ec != std::errc() || ptr != last) {
        throw runtime::EConvertError("'" + std::string(text) +
                                     "' is not a valid floating point value");
    }
    return value;
}

double StrToDateTime(std::string_view text, const FormatSettings& settings) {
    const auto fail = [&text]() -> double {
        throw runtime::EConvertError("'" + std::string(text) + "' is not a valid date and time");
    };
    const std::string_view t = Trim(text);
    size_t pos = 0;
    int parts[3];
    size_t widths[3];
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= t.size() || t[pos] != settings.date_separator) return fail();
            ++pos;
        }
        const auto value = Digits(t, pos, &widths[i]);
        if (!value) return fail();
        parts[i] = *value;
    }
    const std::string order = DateOrder(settings.short_date_format);
    DateTimeParts result;
    for (int i = 0; i < 3; ++i) {
        switch (order[static_cast<size_t>(i)]) {
            case 'd':
                result.day = parts[i];
                break;
            case 'm':
                result.month = parts[i];
                break;
            default:
                result.year = parts[i];
                if (widths[i] <= 2) result.year += result.year < 50 ? 2000 : 1900;
        }
    }
    while (pos < t.size() && t[pos] == ' ') ++pos;
    if (pos < t.size()) {
        const auto hour = Digits(t, pos);
        if (!hour || pos >= t.size() || t[pos] != ':') return fail();
        ++pos;
        const auto minute = Digits(t, pos);
        if (!minute) return fail();
        result.hour = *hour;
        result.minute = *minute;
        if (pos < t.size() && t[pos] == ':') {
            ++pos;
            const auto second = Digits(t, pos);
            if (!second) return fail();
            result.second = *second;
        }
        while (pos < t.size() && t[pos] == ' ') ++pos;
        const std::string_view rest = t.substr(pos);
        if (StartsWithNoCase(rest, settings.time_pm_string) &&
            rest.size() == settings.time_pm_string.size()) {
            if (result.hour < 12) result.hour += 12;
        } else if (StartsWithNoCase(rest, settings.time_am_string) &&
                   rest.size() == settings.time_am_string.size()) {
            if (result.hour == 12) result.hour = 0;
        } else if (!rest.empty()) {
            return fail();
        }
    }
    try {
        return EncodeDateTime(result);
    } catch (const runtime::EConvertError&) {
        return fail();
    }
}

}  // namespace formats
