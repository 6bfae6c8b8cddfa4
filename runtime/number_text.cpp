#include "runtime/number_text.h"

#include <charconv>
#include <system_error>

namespace runtime {
namespace {

template <typename Number>
std::optional<Number> ParseWhole(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> ParseReal(std::string_view text) {
    return ParseWhole<double>(text);
}

std::optional<long double> ParseLongReal(std::string_view text) {
    return ParseWhole<long double>(text);
}

std::optional<long long> ParseInteger(std::string_view text) {
    return ParseWhole<long long>(text);
}

std::string FixedText(double value, int decimals) {
    char text[400];  // the largest double has 309 digits before the point
    const std::to_chars_result end =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return end.ec == std::errc() ? std::string(text, end.ptr) : std::string();
}

}  // namespace runtime
