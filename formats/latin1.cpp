#include "formats/latin1.h"

namespace formats {

std::optional<char> Latin1Char(char32_t code_point) {
    if (code_point <= 0xFF) return static_cast<char>(code_point);
    // Locales group digits with the narrow or other typographic no-break
    // spaces (fr_FR uses U+202F). The no-break space is ISO8859_1's only
    // space that keeps the groups of an amount together, so it stands in.
    if ((code_point >= 0x2000 && code_point <= 0x200A) || code_point == 0x202F ||
        code_point == 0x205F || code_point == 0x3000) {
        return '\xA0';
    }
    // de_CH groups with U+2019; the apostrophe is the same mark in ASCII.
    if (code_point == 0x2019 || code_point == 0x02BC) return '\'';
    // Anything else (Arabic separators, CJK date marks) has no look-alike;
    // the caller then keeps its default rather than printing a wrong byte.
    return std::nullopt;
}

std::optional<std::string> ToLatin1(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        auto byte = Latin1Char(c);
        if (!byte) return std::nullopt;
        out += *byte;
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
    std::u32string text;
    for (size_t at = 0; at < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[at++]);
        const int more = lead < 0x80    ? 0
                         : lead >= 0xF0 ? 3
                         : lead >= 0xE0 ? 2
                         : lead >= 0xC2 ? 1
                                        : -1;
        if (more < 0 || lead > 0xF4) return std::nullopt;
        char32_t code = more == 0 ? lead : lead & (0x3F >> more);
        for (int i = 0; i < more; ++i, ++at) {
            if (at >= utf8.size() || (static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (static_cast<unsigned char>(utf8[at]) & 0x3F);
        }
        text += code;
    }
    return ToLatin1(text);
}

}  // namespace formats
