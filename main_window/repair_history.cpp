// The current loan's repair history from the main window: F3 opens
// "Historial de reparaciones", whose "Deshacer" undoes a record here, on
// the window's own connection, like the repair buttons.
#include <QKeySequence>
#include <QShortcut>

#include "main_window/main_window.h"
#include "repair_history/repair_history_dialog.h"
#include "ui/guard.h"

namespace main_window {

void TFmain::CreateHistoryShortcut() {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F3), this);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, this,
                     [this] { ui::Guard([this] { HistorialReparaciones(); }); });
}

void TFmain::HistorialReparaciones() {
    const int prestamo = RepairableLoan();
    if (prestamo == 0) return;
    repair_history::TFhistorial dialog(
        looked_up_code_, prestamo,
        [this](const loans::RepairRecord& record) { return UndoRepair(record); }, this);
    dialog.exec();
}

}  // namespace main_window
