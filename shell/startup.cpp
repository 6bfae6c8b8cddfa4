#include "shell/startup.h"

#include <QApplication>
#include <QMetaObject>

#include "config/config_file.h"
#include "config/db_ini.h"
#include "main_window/main_window.h"
#include "main_window/window_access.h"
#include "ui/application_error.h"
#include "ui/dialog_responder.h"
#include "ui/focus_navigation.h"

namespace shell {

void FormShow(main_window::TFmain& window) {
    const std::string name = config::StartupDatabaseName();
    try {
        db::TIBDatabase& connection = main_window::WindowAccess(window).Connection();
        connection.Close();
        connection.SetDatabaseName(name);
        connection.Open();
        window.btlimpiarClick();
    } catch (...) {
        // Whatever failed, the user gets one message and the program ends;
        // the reason stays in it for support staff.
        std::string reason;
        try {
            throw;
        } catch (const std::exception& e) {
            reason = e.what();
        } catch (...) {
        }
        ui::ShowMessage(config::ConnectionFailureMessage(name, reason));
        // A start that could not connect is a failure: exit status 1.
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    }
}

void FormKeyDown(main_window::TFmain& window, int key) {
    // In a grid the arrows and Enter keep their grid meaning.
    QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && qobject_cast<ui::TDBGrid*>(focused) != nullptr) return;
    ui::QueueFocusMoveForKey(&window, key);
}

void WireMainWindow(main_window::TFmain& window) {
    window.OnFormShow = [&window] { FormShow(window); };
    window.OnFormKeyDown = [&window](int key) { FormKeyDown(window, key); };
}

std::unique_ptr<main_window::TFmain> CreateMainWindow() {
    std::unique_ptr<main_window::TFmain> window;
    try {
        window = std::make_unique<main_window::TFmain>();
    } catch (...) {
        ui::ShowApplicationError(std::current_exception());
        return nullptr;
    }
    WireMainWindow(*window);
    return window;
}

}  // namespace shell
