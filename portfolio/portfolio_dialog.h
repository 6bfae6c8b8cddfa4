#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "loans/repairs/bulk_repair.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace db {
class TIBDatabase;
class TIBTransaction;
}  // namespace db
namespace ui {
class SortedList;
}

namespace portfolio {

class FlaggedLoansModel;
class PortfolioAccess;
class RunHistoryChart;
class Worker;
struct JobOutcome;
struct JobState;

// "Revision de cartera": runs the portfolio check on a connection of its
// own off the GUI thread, then lists the flagged loans. Choosing a row
// (double click or Enter) closes the dialog with that loan. "Reparar"
// repairs the selected loans, each one unit, the same way, then checks
// again; "Vista previa" shows what the current row's repair would write,
// writing nothing. Tests and the window test driver reach its insides
// through PortfolioAccess.
class TFcartera : public QDialog {
  public:
    // Sets up a fresh connection the way the program connects.
    using ConnectionSetup = std::function<void(db::TIBDatabase&, db::TIBTransaction&)>;

    struct Choice {
        std::string member;
        int32_t loan = 0;
    };

    explicit TFcartera(ConnectionSetup setup, QWidget* parent = nullptr);
    // Stops the work under way (the check's statement cancelled, a repair
    // run after its current loan) and waits for it.
    ~TFcartera() override;

    const std::optional<Choice>& Chosen() const { return chosen_; }

    // Cancel, Escape or the close box: stops a running check, statement
    // under way included, and closes once the work has ended. During
    // repairs it stops the run between loans and stays open.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    // The program ending (the application told to quit, or the main window
    // closed) while work runs: the dialog closes and its work stops as
    // the destructor stops it.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class PortfolioAccess;

    // What the worker is doing.
    enum class Job { kNone, kCheck, kRepair, kPreview };

    void Layout();
    void Start();
    void RunJob(Job job, std::function<JobOutcome(db::TIBDatabase&, JobState&)> work);
    void ShowProgress();
    void JobEnded(JobOutcome outcome);
    void EndWithTheProgram();
    void ShowResult(std::unique_ptr<loans::CheckResult> result);
    void ShowRepairs(std::unique_ptr<loans::BulkResult> result);
    void ShowPreview(std::unique_ptr<loans::BulkResult> result);
    // The stored runs' chart and the "nuevo" marks, where the database
    // keeps a history; nothing of it otherwise.
    void ShowHistory(const JobOutcome& outcome);
    void SetButtons();
    void Export();

    // Started and not yet seen to end: the check, a repair run (and the
    // check after it) or a preview.
    bool Running() const;
    // Flagged loans in the order the list shows them now.
    std::vector<loans::LoanCheck> ShownRows() const;
    // Flagged loans of the selected rows, in the order the list shows them.
    std::vector<loans::LoanCheck> SelectedRows() const;
    // The flagged loan the list shows at `row`; null when there is none.
    const loans::LoanCheck* ShownRow(int row) const;
    // Takes the row the list shows at `row`; false when there is none.
    bool ChooseRow(int row);
    // Asks, then repairs the selected loans (Reparar); false when nothing
    // was started.
    bool RepairSelected();
    // Simulates the current row's repair and shows what it would change.
    bool PreviewCurrent();
    // Writes the flagged loans as a workbook to a .xlsx name, else as CSV;
    // false (and a message) on failure.
    bool ExportTo(const std::string& path);

    QProgressBar* progreso;
    QTableView* gridcartera;
    QLabel* lbtotales;
    QPushButton* btexportar;
    QPushButton* btreparar;
    QPushButton* btprevia;
    QPushButton* btcancelar;
    QPlainTextEdit* mmprevia;    // the preview, shown once asked for
    RunHistoryChart* historial;  // shown once a check has stored its run

    FlaggedLoansModel* flagged_;
    ui::SortedList* sorted_;
    std::unique_ptr<Worker> worker_;
    QTimer* progress_;     // reads the job's counts for the bar while it runs
    std::string failure_;  // the last job's, once it ended
    Job job_ = Job::kNone;
    bool cancelled_ = false;  // closes once the job has ended
    bool stopping_ = false;   // a repair run told to stop
    bool ending_ = false;     // the program ends: nothing more is shown
    bool started_ = false;
    bool finished_ = false;  // the check has ended
    size_t checked_ = 0;
    std::optional<Choice> chosen_;
    std::optional<loans::BulkResult> repaired_;
    int repairing_ = 0;  // loans in the run under way
    QString totals_;     // the list's totals line
};

}  // namespace portfolio
