#include "shell/application.h"

#include <clocale>

#include "shell/startup.h"
#include "ui/exception_report.h"

namespace shell {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // The toolkit has just set the whole C locale from the desktop; on a
    // Spanish one, strtod and printf (ours, the client library's, the
    // spreadsheet library's) would read and write a decimal comma. What the
    // analyst sees takes its regional settings from formats/, which reads
    // them on its own.
    std::setlocale(LC_NUMERIC, "C");
    setApplicationName(QString::fromLatin1(kApplicationTitle));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ui::ReportException(std::current_exception());
        return false;
    }
}

}  // namespace shell
