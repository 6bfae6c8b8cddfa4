#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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

    // The dialog the main window `window` shows (from the moment F2 made
    // it until it is closed), or null.
    static TFcartera* OpenOn(const QWidget& window) {
        for (QObject* child : window.children()) {
            auto* dialog = dynamic_cast<TFcartera*>(child);
            if (dialog != nullptr && dialog->isVisible()) return dialog;
        }
        return nullptr;
    }

    enum class Button { Export, Repair, Preview, Cancel };

    TFcartera& Dialog() const { return dialog_; }
    QTableView* List() const { return dialog_.gridcartera; }
    QProgressBar* Progress() const { return dialog_.progreso; }
    QLabel* Totals() const { return dialog_.lbtotales; }
    // How many loans the list shows, and the sum of their differences.
    QLabel* Listed() const { return dialog_.lblistados; }
    // The member code or name the list is filtered by, and the repair.
    QLineEdit* Filter() const { return dialog_.edfiltro; }
    QComboBox* RepairFilter() const { return dialog_.cbreparacion; }
    // The preview, hidden until one is asked for.
    QTableView* Preview() const { return dialog_.gridprevia; }
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
    // Those the filter lists, in the check's order (what an export writes).
    std::vector<loans::LoanCheck> ListedRows() const { return dialog_.ListedRows(); }
    std::vector<loans::LoanCheck> SelectedRows() const { return dialog_.SelectedRows(); }

    // Starts the check (the dialog starts it itself when first shown).
    void Start() const { dialog_.Start(); }
    // Checks again, as F2 over the open dialog does.
    bool Recheck() const { return dialog_.Recheck(); }
    // Takes the row the list shows at `row`; false when there is none.
    bool ChooseRow(int row) const { return dialog_.ChooseRow(row); }
    // "Reparar" on the selected rows: asks, then repairs; false when
    // nothing was started.
    bool RepairSelected() const { return dialog_.RepairSelected(); }
    // "Vista previa" on the selected rows (the current one when none is).
    bool PreviewSelected() const { return dialog_.PreviewSelected(); }
    // "Exportar" to `path` without the file dialog (and says where).
    bool ExportTo(const std::string& path) const { return dialog_.ExportTo(path); }

  private:
    TFcartera& dialog_;
};

}  // namespace portfolio
