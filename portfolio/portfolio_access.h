#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <optional>
#include <string>
#include <vector>

#include "portfolio/flagged_loans_model.h"
#include "portfolio/portfolio_dialog.h"
#include "portfolio/run_history_chart.h"

namespace portfolio {

// The one way into "Revision de cartera" for those that drive or check it
// from outside (the window test driver, tests, the monkey): its controls
// by the role they play, its state, and the actions behind its buttons.
// The dialog's own handlers stay on TFcartera.
class PortfolioAccess {
  public:
    explicit PortfolioAccess(TFcartera& dialog) : dialog_(dialog) {}

    // The dialog the main window `window` has open (from the moment F2
    // made it until it is gone), or null.
    static TFcartera* OpenOn(const QWidget& window) {
        for (QObject* child : window.children()) {
            if (auto* dialog = dynamic_cast<TFcartera*>(child)) return dialog;
        }
        return nullptr;
    }

    enum class Button { Export, Repair, Preview, Cancel };

    TFcartera& Dialog() const { return dialog_; }
    QTableView* List() const { return dialog_.gridcartera; }
    QProgressBar* Progress() const { return dialog_.progreso; }
    QLabel* Totals() const { return dialog_.lbtotales; }
    // The preview, hidden until one is asked for.
    QPlainTextEdit* Preview() const { return dialog_.mmprevia; }
    // The stored runs' chart and table, hidden where the database keeps no
    // history; and the list's model, which marks new loans.
    RunHistoryChart* History() const { return dialog_.historial; }
    const FlaggedLoansModel& Flagged() const { return *dialog_.flagged_; }
    QPushButton* ButtonOf(Button button) const {
        switch (button) {
            case Button::Export:
                return dialog_.btexportar;
            case Button::Repair:
                return dialog_.btreparar;
            case Button::Preview:
                return dialog_.btprevia;
            case Button::Cancel:
                return dialog_.btcancelar;
        }
        return nullptr;
    }

    // Work started and not yet seen to end: the check, a repair run (and
    // the check after it) or a preview.
    bool Running() const { return dialog_.Running(); }
    // The check has ended (or was cancelled).
    bool Finished() const { return dialog_.finished_; }
    // The check's failure, else empty.
    const std::string& Failure() const { return dialog_.failure_; }
    const std::optional<TFcartera::Choice>& Chosen() const { return dialog_.Chosen(); }
    // The last repair run's outcome, once it ended.
    const std::optional<loans::BulkResult>& LastRepair() const { return dialog_.repaired_; }

    // Flagged loans in the order the list shows them, and those selected.
    std::vector<loans::LoanCheck> ShownRows() const { return dialog_.ShownRows(); }
    std::vector<loans::LoanCheck> SelectedRows() const { return dialog_.SelectedRows(); }

    // Starts the check (the dialog starts it itself when first shown).
    void Start() const { dialog_.Start(); }
    // Takes the row the list shows at `row`; false when there is none.
    bool ChooseRow(int row) const { return dialog_.ChooseRow(row); }
    // "Reparar" on the selected rows: asks, then repairs; false when
    // nothing was started.
    bool RepairSelected() const { return dialog_.RepairSelected(); }
    // "Vista previa" on the current row.
    bool PreviewCurrent() const { return dialog_.PreviewCurrent(); }
    // "Exportar" to `path` without the file dialog.
    bool ExportTo(const std::string& path) const { return dialog_.ExportTo(path); }

  private:
    TFcartera& dialog_;
};

}  // namespace portfolio
