#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace formats {

// The ISO8859_1 byte that stands for a Unicode character in this program's
// texts, or nothing when no byte is a fair stand-in.
std::optional<char> Latin1Char(char32_t code_point);

// The whole text in ISO8859_1, or nothing when any character has no byte.
std::optional<std::string> ToLatin1(std::u32string_view text);

// The program's ISO8859_1 bytes as UTF-8, for files other programs read.
std::string Latin1ToUtf8(std::string_view latin1);

// UTF-8 from outside (a command line's argument) in ISO8859_1, or nothing
// when it is no UTF-8 or holds a character with no byte.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

}  // namespace formats
