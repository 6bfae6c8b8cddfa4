#include "shell/startup.h"

#include <QApplication>
#include <QMetaObject>

#include "main_window/main_window.h"
#include "shell/db_ini.h"
#include "ui/application_error.h"
#include "ui/dialog_responder.h"

namespace shell {
namespace {

bool TakesTabFocus(const QWidget* w, const QWidget* window) {
    return w->window() == window && w->isVisible() && w->isEnabled() &&
           (w->focusPolicy() & Qt::TabFocus) != 0;
}

// Moves the focus as Tab (forward) or Shift+Tab would.
void MoveFocus(QWidget* window, bool forward) {
    QWidget* start = QApplication::focusWidget();
    if (start == nullptr || start->window() != window) return;
    QWidget* w = start;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    } while (w != start && !TakesTabFocus(w, window));
    if (w != start) w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

}  // namespace

void FormShow(main_window::TFmain& window) {
    const std::string name = ReadDatabaseName("db.ini");
    try {
        window.IBDatabase1.Close();
        window.IBDatabase1.SetDatabaseName(name);
        window.IBDatabase1.Open();
        window.btlimpiarClick();
    } catch (...) {
        // Whatever failed, the user gets one message and the program ends.
        ui::ShowMessage("Error de conexion a la base de datos " + name + "\r" +
                        "La aplicacion no podra ser ejecutada, contacte a soporte tecnico");
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
}

void FormKeyDown(main_window::TFmain& window, int key) {
    QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && qobject_cast<ui::TDBGrid*>(focused) != nullptr) return;
    if (key != 40 && key != 13 && key != 38) return;
    const bool forward = key != 38;
    QMetaObject::invokeMethod(
        &window, [&window, forward] { MoveFocus(&window, forward); }, Qt::QueuedConnection);
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
