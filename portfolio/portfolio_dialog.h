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
#include "loans/history/run_history.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/reports/repair_preview.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;

namespace db {
class TIBDatabase;
class TIBTransaction;
}  // namespace db
namespace ui {
class RememberedLayout;
}

namespace portfolio {

class FlaggedLoansFilter;
class FlaggedLoansModel;
class PortfolioAccess;
class PreviewModel;
class RunHistoryChart;
class Worker;
struct JobOutcome;
struct JobState;

// "Revision de cartera": runs the portfolio check on a connection of its
// own off the GUI thread, then lists the flagged loans, filtered by member
// and by repair, with the sum of the listed differences. Choosing a row
// (double click or Enter) hands its loan to the chooser and leaves the
// dialog open, so the analyst can go down the list while the main window
// shows each loan. "Reparar" repairs the selected loans, each one unit,
// the same way, then checks again; a check again keeps the list's sort,
// selection and scroll position. "Vista previa" shows what repairing the
// selected loans would write, writing nothing. Where the database keeps a
// history of runs, each check is stored in it, the stored runs are drawn
// under the list and the loans new since the last finished run are marked.
// The dialog's size and its lists' column widths are remembered between
// runs. Tests and the window test driver reach its insides through
// PortfolioAccess.
class TFcartera : public QDialog {
  public:
    // Sets up a fresh connection the way the program connects.
    using ConnectionSetup = std::function<void(db::TIBDatabase&, db::TIBTransaction&)>;

    struct Choice {
        std::string member;
        int32_t loan = 0;
    };
    // Shows a chosen loan (in the main window).
    using Chooser = std::function<void(const Choice&)>;

    explicit TFcartera(ConnectionSetup setup, QWidget* parent = nullptr, Chooser chooser = {});
    // Stops the work under way (the check's statement cancelled, a repair
    // run after its current loan) and waits for it.
    ~TFcartera() override;

    // The loan chosen last, if any.
    const std::optional<Choice>& Chosen() const { return chosen_; }
    // Checks again when no work runs (F2 over the open dialog); false when
    // work runs.
    bool Recheck();

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
    // The check's flagged loans, those new since the last finished run
    // marked when there was one.
    void ShowResult(std::unique_ptr<loans::CheckResult> result,
                    const std::vector<loans::LoanKey>* new_loans);
    // The list's sum of differences and count, after a check or a filter.
    void ShowListed();
    void ShowRepairs(std::unique_ptr<loans::BulkResult> result);
    void ShowPreview(std::unique_ptr<loans::BulkResult> result,
                     std::vector<loans::PreviewLine> lines);
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
    // Flagged loans the filter lists, in the check's order.
    std::vector<loans::LoanCheck> ListedRows() const;
    // Flagged loans of the selected rows, in the order the list shows them.
    std::vector<loans::LoanCheck> SelectedRows() const;
    // The flagged loan the list shows at `row`; null when there is none.
    const loans::LoanCheck* ShownRow(int row) const;
    // Takes the row the list shows at `row`; false when there is none.
    bool ChooseRow(int row);
    // Asks, then repairs the selected loans (Reparar); false when nothing
    // was started.
    bool RepairSelected();
    // Simulates the selected rows' repairs (the current row's when none
    // is selected) and shows what they would change.
    bool PreviewSelected();
    // Writes the listed loans, in the check's order, as a workbook to a
    // .xlsx name, else as CSV, and says where; false (and a message) on
    // failure.
    bool ExportTo(const std::string& path);

    // Where the list stands, to stand there again after a check.
    struct ListPlace {
        std::vector<std::pair<std::string, int32_t>> selected;
        std::optional<std::pair<std::string, int32_t>> current;
        int current_row = -1;
        int scrolled = 0;
    };
    ListPlace Place() const;
    void GoTo(const ListPlace& place);
    std::pair<std::string, int32_t> KeyOf(int row) const;

    QProgressBar* progreso;
    QLineEdit* edfiltro;
    QComboBox* cbreparacion;
    QTableView* gridcartera;
    QLabel* lblistados;
    QLabel* lbtotales;
    QPushButton* btexportar;
    QPushButton* btreparar;
    QPushButton* btprevia;
    QPushButton* btcancelar;
    QTableView* gridprevia;      // the preview, shown once asked for
    RunHistoryChart* historial;  // shown once a check has stored its run

    FlaggedLoansModel* flagged_;
    FlaggedLoansFilter* sorted_;
    PreviewModel* preview_;
    ui::RememberedLayout* remembered_;
    Chooser chooser_;
    std::unique_ptr<Worker> worker_;
    QTimer* progress_;     // reads the job's counts for the bar while it runs
    std::string failure_;  // the last job's, once it ended
    Job job_ = Job::kNone;
    bool cancelled_ = false;  // closes once the job has ended
    bool stopping_ = false;   // a repair run told to stop
    bool ending_ = false;     // the program ends: nothing more is shown
    bool started_ = false;
    bool finished_ = false;  // the check has ended
    int checks_ = 0;         // checks shown
    ListPlace place_;        // the list's, while it is checked again
    size_t checked_ = 0;
    std::optional<Choice> chosen_;
    std::optional<loans::BulkResult> repaired_;
    int repairing_ = 0;      // loans in the run under way
    bool approval_ = false;  // repairs need approval: "Reparar" files requests
    QString totals_;         // the list's totals line
    int list_room_ = 0;      // the dialog's width the list's columns take
};

}  // namespace portfolio
