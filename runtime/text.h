#pragma once

#include <string>
#include <string_view>

namespace runtime {

// ASCII-only lower/upper casing: parameter names and codes are ASCII, and
// ISO8859_1 bytes above 127 must pass through untouched.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// Removes blanks and control characters (bytes <= 32) from both ends.
std::string_view TrimControls(std::string_view text);

// Case-insensitive equality for ASCII letters; other bytes compare exactly.
bool SameTextAscii(std::string_view a, std::string_view b);

// Reads a whole text as a decimal integer; raises EConvertError
// "'%s' is not a valid integer value" otherwise.
int StrToInt(std::string_view text);

// printf-style substitution of %s and %d placeholders in order, for the
// fixed message tables. Extra arguments are ignored; missing ones leave
// the placeholder empty.
struct FormatArg {
    FormatArg(std::string_view s) : text(s) {}
    FormatArg(const char* s) : text(s) {}
    FormatArg(const std::string& s) : text(s) {}
    FormatArg(long long n) : text(std::to_string(n)), is_number(true) {}
    FormatArg(int n) : FormatArg(static_cast<long long>(n)) {}
    std::string text;
    bool is_number = false;
};
std::string FormatMessage(std::string_view pattern, std::initializer_list<FormatArg> args);

}  // namespace runtime

namespace runtime {
// Case-insensitive equality in the ISO8859_1 character set (accented
// letters fold too), as names are compared in the user's locale.
bool SameTextLatin1(std::string_view a, std::string_view b);
// Upper case in ISO8859_1.
std::string UpperLatin1(std::string_view text);
}  // namespace runtime

namespace runtime {
// Hash and equality ignoring ISO8859_1 case, for name indexes that are
// searched with any string type without building a folded copy.
struct Latin1NoCaseHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept;
};
struct Latin1NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept {
        return SameTextLatin1(a, b);
    }
};
}  // namespace runtime
