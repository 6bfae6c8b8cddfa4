#include "shell/application.h"

#include "shell/startup.h"
#include "ui/exception_report.h"

namespace shell {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
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
