#include "formats/format_settings.h"

#include <langinfo.h>
#include <locale.h>

#include <cwchar>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>

#include "formats/latin1.h"
#include "formats/posix_formats.h"

// mbrtowc must yield Unicode code points, which glibc guarantees.
#ifndef __STDC_ISO_10646__
#error "wchar_t must hold ISO 10646 code points"
#endif

namespace formats {
namespace {

struct LocaleDeleter {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using LocaleHandle = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleDeleter>;

// Makes a locale the calling thread's one for as long as it lives.
class ThreadLocaleScope {
  public:
    explicit ThreadLocaleScope(locale_t locale) : previous_(uselocale(locale)) {}
    ~ThreadLocaleScope() { uselocale(previous_); }
    ThreadLocaleScope(const ThreadLocaleScope&) = delete;
    ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;

  private:
    locale_t previous_;
};

// A locale text in the locale's own character set, as Unicode; nothing when
// it is not valid in that set.
std::optional<std::u32string> Decode(const char* text, locale_t locale) {
    ThreadLocaleScope scope(locale);
    std::u32string out;
    std::mbstate_t state{};
    std::string_view rest = text;
    while (!rest.empty()) {
        wchar_t c = 0;
        const size_t used = std::mbrtowc(&c, rest.data(), rest.size(), &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) return std::nullopt;
        out += static_cast<char32_t>(c);
        rest.remove_prefix(used == 0 ? 1 : used);
    }
    return out;
}

std::u32string DecodeOrEmpty(const char* text, locale_t locale) {
    return Decode(text, locale).value_or(std::u32string());
}

// An empty or unrepresentable separator keeps the default; of a longer one
// only the first character counts, as a separator is one character here.
void ReadSeparator(const char* text, locale_t locale, char& separator) {
    const std::u32string decoded = DecodeOrEmpty(text, locale);
    if (decoded.empty()) return;
    if (auto c = Latin1Char(decoded[0])) separator = *c;
}

void ReadText(const char* text, locale_t locale, std::string& setting) {
    const std::u32string decoded = DecodeOrEmpty(text, locale);
    if (decoded.empty()) return;
    if (auto latin1 = ToLatin1(decoded)) setting = *latin1;
}

}  // namespace

FormatSettings FormatSettings::FromLocale(const char* locale_name) {
    FormatSettings settings;
    LocaleHandle locale(
        newlocale(LC_CTYPE_MASK | LC_NUMERIC_MASK | LC_TIME_MASK, locale_name, nullptr));
    if (!locale) return settings;
    locale_t l = locale.get();

    ReadSeparator(nl_langinfo_l(RADIXCHAR, l), l, settings.decimal_separator);
    ReadSeparator(nl_langinfo_l(THOUSEP, l), l, settings.thousands_separator);
    // Locales such as pt_PT and bg_BG write a decimal comma and leave the
    // thousands separator empty; the default comma would then make
    // "1,234,567,89" unreadable, so the other mark groups instead.
    if (settings.thousands_separator == settings.decimal_separator) {
        settings.thousands_separator = settings.decimal_separator == ',' ? '.' : ',';
    }
    if (auto date = ShortDateFromPosix(DecodeOrEmpty(nl_langinfo_l(D_FMT, l), l))) {
        settings.short_date_format = date->format;
        settings.date_separator = date->separator;
    }
    settings.long_time_format = LongTimeFromPosix(DecodeOrEmpty(nl_langinfo_l(T_FMT, l), l),
                                                  DecodeOrEmpty(nl_langinfo_l(T_FMT_AMPM, l), l));
    ReadText(nl_langinfo_l(AM_STR, l), l, settings.time_am_string);
    ReadText(nl_langinfo_l(PM_STR, l), l, settings.time_pm_string);
    return settings;
}

const FormatSettings& DefaultFormatSettings() {
    static const FormatSettings settings = FormatSettings::FromLocale("");
    return settings;
}

}  // namespace formats
