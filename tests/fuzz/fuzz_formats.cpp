// The amount, date and general formats on arbitrary numbers (NaN, the
// infinities and subnormals among them), patterns and regional settings,
// and the text readers that are their inverses. A refused pattern or value
// is a conversion error; anything else must format without a fault.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/amount_format.h"
#include "formats/date_format.h"
#include "formats/general_format.h"
#include "formats/text_parse.h"
#include "runtime/exception.h"

namespace {

template <typename F>
void Try(F&& format) {
    try {
        format();
    } catch (const runtime::EConvertError&) {
    }
}

double AnyDouble(FuzzedDataProvider& in) {
    uint64_t bits = in.ConsumeIntegral<uint64_t>();
    double value;
    static_assert(sizeof value == sizeof bits);
    __builtin_memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    formats::FormatSettings settings;
    if (in.ConsumeBool()) {
        settings.decimal_separator = in.ConsumeIntegral<char>();
        settings.thousands_separator = in.ConsumeIntegral<char>();
        settings.date_separator = in.ConsumeIntegral<char>();
        settings.short_date_format = in.ConsumeRandomLengthString(16);
        settings.long_time_format = in.ConsumeRandomLengthString(16);
        settings.time_am_string = in.ConsumeRandomLengthString(8);
        settings.time_pm_string = in.ConsumeRandomLengthString(8);
    }
    const double value = AnyDouble(in);
    const long double sum = static_cast<long double>(value) * AnyDouble(in);
    const std::string pattern = in.ConsumeRandomLengthString(24);
    const std::string text = in.ConsumeRemainingBytesAsString();

    Try([&] { formats::FormatFloat(formats::kAmountPattern, value, settings); });
    Try([&] { formats::FormatFloat(formats::kAmountPattern, sum, settings); });
    Try([&] { formats::FormatFloat("", value, settings); });
    Try([&] { formats::FormatFloat(pattern, value, settings); });
    Try([&] { formats::FormatGeneral(value, settings); });
    Try([&] { formats::FormatDateTime(formats::kDatePattern, value, settings); });
    Try([&] { formats::FormatDateTime(pattern, value, settings); });
    Try([&] { formats::FormatDefaultDateTime(value, settings); });
    Try([&] { formats::StrToFloat(text, settings); });
    Try([&] { formats::StrToDateTime(text, settings); });
    return 0;
}
