#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "loans/portfolio_report.h"

class QLabel;
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
// (double click or Enter) closes the dialog with that loan.
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
    // Started and not yet seen to end.
    bool Running() const { return worker_.joinable(); }
    bool Finished() const { return finished_; }
    // The failure's message once the check failed, else empty.
    const std::string& Failure() const { return failure_; }
    // Flagged loans in the order the list shows them now.
    std::vector<loans::LoanCheck> ShownRows() const;
    // Takes the row the list shows at `row`; false when there is none.
    bool ChooseRow(int row);
    const std::optional<Choice>& Chosen() const { return chosen_; }
    // Writes the flagged loans as a workbook to a .xlsx name, else as CSV;
    // false (and a message) on failure.
    bool ExportTo(const std::string& path);

    QProgressBar* progreso;
    QTableWidget* gridcartera;
    QLabel* lbtotales;
    QPushButton* btexportar;
    QPushButton* btcancelar;

    // Cancel, Escape or the close box: stops a running check, statement
    // under way included, and closes once the worker has ended (at once).
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Poll();
    void ShowResult(std::unique_ptr<loans::CheckResult> result);
    void Export();

    // What the dialog and its worker share; the worker holds it too, so a
    // dialog that goes first leaves it nothing dangling.
    struct CheckState;

    ConnectionSetup setup_;
    QTimer* poll_;
    std::thread worker_;
    std::shared_ptr<CheckState> state_;
    std::string failure_;  // the GUI thread's copy, once done
    bool cancelled_ = false;
    bool started_ = false;
    bool finished_ = false;
    size_t checked_ = 0;
    std::vector<loans::LoanCheck> flagged_;
    std::optional<Choice> chosen_;
};

// The dialog while it is shown, for the window test driver.
extern TFcartera* Fcartera;

}  // namespace portfolio
