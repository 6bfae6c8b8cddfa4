// The current loan's repair history from the main window: F3 opens
// "Historial de reparaciones", whose "Deshacer" undoes a record here, on
// the window's own connection, like the repair buttons (or, where repairs
// need approval, files the undo as a request), and lists the loan's
// requests with what became of them.
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
    // The records of the database the window is connected to: its table,
    // or this computer's journal.
    loans::RecordStore records(IBDatabase1);
    // And the loan's requests, where the database keeps them.
    loans::Approvals approvals(IBDatabase1);
    repair_history::TFhistorial::Requests requests;
    if (approvals.Kept()) {
        requests = [this, &approvals, prestamo] { return approvals.Of(looked_up_code_, prestamo); };
    }
    repair_history::TFhistorial dialog(
        looked_up_code_, prestamo, records,
        [this, &records](const loans::RepairRecord& record) { return UndoRepair(records, record); },
        this, std::move(requests));
    dialog.exec();
}

}  // namespace main_window
