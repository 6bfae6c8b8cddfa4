#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <vector>

#include "repair_history/repair_history_dialog.h"

namespace repair_history {

// The one way into "Historial de reparaciones" for those that drive or
// check it from outside (the window test driver, tests, the monkey): its
// controls by the role they play and the records it lists.
class HistoryAccess {
  public:
    explicit HistoryAccess(TFhistorial& dialog) : dialog_(dialog) {}

    // The history the main window `window` has open (from the moment F3
    // made it until it is gone), or null.
    static TFhistorial* OpenOn(const QWidget& window) {
        for (QObject* child : window.children()) {
            if (auto* dialog = dynamic_cast<TFhistorial*>(child)) return dialog;
        }
        return nullptr;
    }

    TFhistorial& Dialog() const { return dialog_; }
    QLabel* Loan() const { return dialog_.lbprestamo; }
    // Where the listed records come from.
    QLabel* Origin() const { return dialog_.lborigen; }
    QTableView* List() const { return dialog_.gridhistorial; }
    QPushButton* Undo() const { return dialog_.btdeshacer; }
    QPushButton* Close() const { return dialog_.btcerrar; }
    // The records in the order the list shows them.
    const std::vector<loans::RepairRecord>& Shown() const { return dialog_.Shown(); }
    // The loan's requests for approval (hidden where the database keeps
    // none).
    QTableView* Requests() const { return dialog_.gridsolicitudes; }
    void Reload() const { dialog_.Reload(); }
    bool UndoCurrent() const { return dialog_.UndoCurrent(); }

  private:
    TFhistorial& dialog_;
};

}  // namespace repair_history
