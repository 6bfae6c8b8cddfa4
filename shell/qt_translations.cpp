#include "shell/qt_translations.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace shell {

bool LoadQtTranslations(QCoreApplication& app, const QLocale& locale) {
    if (locale.language() != QLocale::Spanish) return false;
    auto* translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    app.installTranslator(translator);
    return true;
}

}  // namespace shell
