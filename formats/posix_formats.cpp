#include "formats/posix_formats.h"

#include <vector>

#include "formats/latin1.h"

namespace formats {
namespace {

// One strftime conversion: "%" [flags] [width] [E|O] letter.
struct Conversion {
    char32_t letter = 0;
    char32_t flag = 0;  // the last of "-_0^#", or 0
    bool era = false;   // E modifier: an era-based form the tokens lack
    size_t length = 0;  // characters taken from the text, "%" included
};

Conversion ReadConversion(std::u32string_view text) {
    Conversion c;
    size_t i = 1;
    while (i < text.size() &&
           std::u32string_view(U"-_0^#").find(text[i]) != std::u32string_view::npos) {
        c.flag = text[i++];
    }
    while (i < text.size() && text[i] >= U'1' && text[i] <= U'9') ++i;
    if (i < text.size() && (text[i] == U'E' || text[i] == U'O')) c.era = text[i++] == U'E';
    if (i < text.size()) c.letter = text[i++];
    c.length = i;
    return c;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct DatePiece {
    std::string field;  // a token, or empty for a literal
    char32_t literal = 0;
};

// Splits a date format into field tokens and literal characters; false when
// a conversion has no token.
bool SplitDate(std::u32string_view text, std::vector<DatePiece>& pieces) {
    while (!text.empty()) {
        if (text[0] != U'%') {
            pieces.push_back({{}, text[0]});
            text.remove_prefix(1);
            continue;
        }
        const Conversion c = ReadConversion(text);
        text.remove_prefix(c.length);
        if (c.era) return false;
        const bool unpadded = c.flag == U'-' || c.flag == U'_';
        switch (c.letter) {
            case U'd':
                pieces.push_back({unpadded ? "d" : "dd"});
                break;
            case U'e':
                pieces.push_back({c.flag == U'0' ? "dd" : "d"});
                break;
            case U'm':
                pieces.push_back({unpadded ? "m" : "mm"});
                break;
            case U'y':
                pieces.push_back({"yy"});
                break;
            case U'Y':
                pieces.push_back({"yyyy"});
                break;
            case U'D':
                if (!SplitDate(U"%m/%d/%y", pieces)) return false;
                break;
            case U'F':
                if (!SplitDate(U"%Y-%m-%d", pieces)) return false;
                break;
            case U'%':
                pieces.push_back({{}, U'%'});
                break;
            default:
                return false;
        }
    }
    return true;
}

}  // namespace

std::optional<ShortDate> ShortDateFromPosix(std::u32string_view d_fmt) {
    std::vector<DatePiece> pieces;
    if (!SplitDate(d_fmt, pieces)) return std::nullopt;

    ShortDate result{{}, '/'};
    size_t first_field = 0;
    while (first_field < pieces.size() && pieces[first_field].field.empty()) ++first_field;
    if (first_field == pieces.size()) return std::nullopt;
    if (first_field + 1 < pieces.size() && pieces[first_field + 1].field.empty()) {
        auto separator = Latin1Char(pieces[first_field + 1].literal);
        if (!separator || IsAsciiLetter(*separator) || (*separator >= '0' && *separator <= '9')) {
            return std::nullopt;
        }
        result.separator = *separator;
    }
    for (const DatePiece& piece : pieces) {
        if (!piece.field.empty()) {
            result.format += piece.field;
            continue;
        }
        auto c = Latin1Char(piece.literal);
        // A letter would read as a token, and a "/" that is not the
        // separator would print as one.
        if (!c || IsAsciiLetter(*c) || (*c == '/' && result.separator != '/')) {
            return std::nullopt;
        }
        result.format += *c == result.separator ? '/' : *c;
    }
    return result;
}

std::string LongTimeFromPosix(std::u32string_view t_fmt, std::u32string_view t_fmt_ampm) {
    // "%r" is the locale's 12-hour time; POSIX gives its form when empty.
    std::u32string text;
    for (std::u32string_view rest = t_fmt; !rest.empty();) {
        if (rest[0] != U'%') {
            text += rest[0];
            rest.remove_prefix(1);
            continue;
        }
        const Conversion c = ReadConversion(rest);
        if (c.letter == U'r') {
            text += t_fmt_ampm.empty() ? U"%I:%M:%S %p" : t_fmt_ampm;
        } else {
            text += rest.substr(0, c.length);
        }
        rest.remove_prefix(c.length);
    }

    bool mark_first = false;
    for (std::u32string_view rest = text; !rest.empty();) {
        if (rest[0] != U'%') {
            rest.remove_prefix(1);
            continue;
        }
        const Conversion c = ReadConversion(rest);
        rest.remove_prefix(c.length);
        const bool unpadded = c.flag == U'-' || c.flag == U'_';
        switch (c.letter) {
            case U'H':
            case U'T':
            case U'R':
                return unpadded ? "h:mm:ss" : "hh:mm:ss";
            case U'k':
                return c.flag == U'0' ? "hh:mm:ss" : "h:mm:ss";
            case U'I':
            case U'l': {
                const bool zero = c.letter == U'I' ? !unpadded : c.flag == U'0';
                const std::string time = zero ? "hh:mm:ss" : "h:mm:ss";
                return mark_first ? "AMPM " + time : time + " AMPM";
            }
            case U'p':
            case U'P':
                mark_first = true;
                break;
            default:
                break;
        }
    }
    return "hh:mm:ss";
}

}  // namespace formats
