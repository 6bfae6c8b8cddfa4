#include "runtime/text.h"

#include <charconv>
#include <cstdio>
#include <vector>

#include "runtime/exception.h"

namespace runtime {

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string_view TrimControls(std::string_view text) {
    auto is_space = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return text;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

int StrToInt(std::string_view text) {
    std::string_view digits = text;
    // Leading blanks are accepted, as the runtime's integer reader does.
    while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    int value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size()) {
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    }
    return value;
}

std::string FormatMessage(std::string_view pattern, std::initializer_list<FormatArg> args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            char spec = pattern[i + 1];
            if (spec == 's' || spec == 'd') {
                if (next != args.end()) out += (next++)->text;
                ++i;
                continue;
            }
            if (spec == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (spec == '.' && pattern.substr(i, 4) == "%.8x") {
                // Windows error code in hexadecimal (client error 59).
                if (next != args.end()) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%.8x",
                                  static_cast<unsigned>(std::stoll((next++)->text)));
                    out += buf;
                }
                i += 3;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace runtime

namespace runtime {
namespace {
unsigned char FoldLatin1(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
    // à..þ map to À..Þ, except ÷ (0xF7); ÿ has no upper case in the set.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
    return c;
}
}  // namespace

bool SameTextLatin1(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldLatin1(static_cast<unsigned char>(a[i])) !=
            FoldLatin1(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string UpperLatin1(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(FoldLatin1(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace runtime

namespace runtime {
size_t Latin1NoCaseHash::operator()(std::string_view text) const noexcept {
    size_t hash = 1469598103934665603ull;  // FNV-1a over the folded bytes
    for (char c : text) {
        hash ^= FoldLatin1(static_cast<unsigned char>(c));
        hash *= 1099511628211ull;
    }
    return hash;
}
}  // namespace runtime
