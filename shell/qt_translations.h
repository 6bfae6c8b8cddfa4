#pragma once

#include <QCoreApplication>
#include <QLocale>

namespace shell {

// Qt's own texts (the print dialog, a text box's context menu, the command
// line's headings) in Spanish when the system's language is Spanish, from
// the translations Qt ships; the program's own texts are Spanish already.
// False when the language is another or Qt's translation is not installed.
bool LoadQtTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system());

}  // namespace shell
