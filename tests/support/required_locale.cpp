// A run meant for a locale (COOP_REQUIRED_LOCALE, set by the test entries
// that repeat the window tests on a Spanish desktop) fails at once where
// that locale is not generated: the C library would silently stay in "C",
// and the run would pass without proving anything. Linked as an object
// beside the private home, so nothing needs to call it.
#include <locale.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool RequiredLocaleIsThere() {
    const char* wanted = std::getenv("COOP_REQUIRED_LOCALE");
    if (wanted == nullptr || *wanted == '\0') return true;
    const locale_t locale = newlocale(LC_ALL_MASK, wanted, static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0)) {
        std::fprintf(stderr,
                     "The locale %s is not generated on this machine; scripts/install "
                     "generates it (locale-gen).\n",
                     wanted);
        std::_Exit(1);
    }
    freelocale(locale);
    return true;
}

const bool required_locale = RequiredLocaleIsThere();

}  // namespace
