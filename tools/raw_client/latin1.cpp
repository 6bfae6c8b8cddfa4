#include "tools/raw_client/latin1.h"

#include <stdexcept>

namespace demo {

std::string Latin1(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            continue;
        }
        // Latin-1 needs at most two-byte sequences with lead byte C2 or C3.
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= utf8.size())
            throw std::invalid_argument("text is not Latin-1 in UTF-8: " + std::string(utf8));
        const auto next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xC0) != 0x80)
            throw std::invalid_argument("malformed UTF-8: " + std::string(utf8));
        out += static_cast<char>(((lead & 0x1F) << 6) | (next & 0x3F));
    }
    return out;
}

}  // namespace demo
