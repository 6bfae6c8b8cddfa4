#pragma once

#include <string>
#include <string_view>

namespace demo {

// Converts UTF-8 text (as written in our source files) to the ISO8859_1
// bytes the cooperative database stores. Raises std::invalid_argument for
// malformed input or characters outside Latin-1.
std::string Latin1(std::string_view utf8);

}  // namespace demo
