#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "loans/repairs/bulk_repair.h"
#include "loans/reports/portfolio_report.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace db {
class TIBDatabase;
class TIBTransaction;
}  // namespace db

namespace portfolio {

// "Revision de cartera": runs the portfolio check on a connection of its
// own off the GUI thread, then lists the flagged loans. Choosing a row
// (double click or Enter) closes the dialog with that loan. "Reparar"
// repairs the selected loans, each one unit, on the same kind of worker,
// then checks again; "Vista previa" shows what the current row's repair
// would write, writing nothing.
class TFcartera : public QDialog {
  public:
    // Sets up a fresh connection the way the program connects.
    using ConnectionSetup = std::function<void(db::TIBDatabase&, db::TIBTransaction&)>;

    struct Choice {
        std::string member;
        int32_t loan = 0;
    };

    explicit TFcartera(ConnectionSetup setup, QWidget* parent = nullptr);
    ~TFcartera() override;

    // Starts the check (the dialog starts it itself when first shown).
    void Start();
    // Started and not yet seen to end: the check, a repair run (and the
    // check after it) or a preview.
    bool Running() const { return worker_.joinable(); }
    bool Finished() const { return finished_; }
    // The failure's message once the check failed, else empty.
    const std::string& Failure() const { return failure_; }
    // Flagged loans in the order the list shows them now.
    std::vector<loans::LoanCheck> ShownRows() const;
    // Takes the row the list shows at `row`; false when there is none.
    bool ChooseRow(int row);
    const std::optional<Choice>& Chosen() const { return chosen_; }
    // Flagged loans of the selected rows, in the order the list shows them.
    std::vector<loans::LoanCheck> SelectedRows() const;
    // Asks, then repairs the selected loans (Reparar); false when nothing
    // was started.
    bool RepairSelected();
    // Simulates the current row's repair and shows what it would change.
    bool PreviewCurrent();
    // The last repair run's outcome, once it ended.
    const std::optional<loans::BulkResult>& LastRepair() const { return repaired_; }
    // Writes the flagged loans as a workbook to a .xlsx name, else as CSV;
    // false (and a message) on failure.
    bool ExportTo(const std::string& path);

    QProgressBar* progreso;
    QTableWidget* gridcartera;
    QLabel* lbtotales;
    QPushButton* btexportar;
    QPushButton* btreparar;
    QPushButton* btprevia;
    QPushButton* btcancelar;
    QPlainTextEdit* mmprevia;  // the preview, shown once asked for

    // Cancel, Escape or the close box: stops a running check, statement
    // under way included, and closes once the worker has ended (at once).
    // During repairs it stops the run between loans and stays open.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    // What the worker is doing.
    enum class Job { kNone, kCheck, kRepair, kPreview };

    // What the dialog and its worker share; the worker holds it too, so a
    // dialog that goes first leaves it nothing dangling.
    struct CheckState;
    using Work = std::function<void(db::TIBDatabase&, CheckState&)>;

    // Runs `work` on a new connection of its own off the GUI thread.
    void RunWorker(Job job, Work work);
    void Poll();
    void ShowResult(std::unique_ptr<loans::CheckResult> result);
    void ShowRepairs(std::unique_ptr<loans::BulkResult> result);
    void ShowPreview(std::unique_ptr<loans::BulkResult> result);
    void SetButtons();
    void Export();

    ConnectionSetup setup_;
    QTimer* poll_;
    std::thread worker_;
    std::shared_ptr<CheckState> state_;
    std::string failure_;  // the GUI thread's copy, once done
    Job job_ = Job::kNone;
    bool cancelled_ = false;
    bool started_ = false;
    bool finished_ = false;
    size_t checked_ = 0;
    std::vector<loans::LoanCheck> flagged_;
    std::optional<Choice> chosen_;
    std::optional<loans::BulkResult> repaired_;
    int repairing_ = 0;  // loans in the run under way
    QString totals_;     // the list's totals line
};

// The dialog while it is shown, for the window test driver.
extern TFcartera* Fcartera;

}  // namespace portfolio
