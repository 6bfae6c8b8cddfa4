#include "shell/qt_translations.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace shell {

bool LoadQtTranslations(QCoreApplication& app, const QLocale& locale) {
    if (locale.language() != QLocale::Spanish) return false;
    auto translator = std::make_unique<QTranslator>(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    // Its parent, the application, owns it from here.
    app.installTranslator(translator.release());
    return true;
}

}  // namespace shell
