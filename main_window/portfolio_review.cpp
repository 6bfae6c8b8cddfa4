// The portfolio check from the main window: F2 opens "Revision de cartera"
// beside the window; each loan chosen there is looked up as if its code had
// been typed, and the list stays open.
#include <QKeySequence>
#include <QShortcut>
#include <QThread>
#include <QTimer>

#include "loans/rules/connection_profile.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "portfolio/portfolio_dialog.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"

namespace main_window {

void TFmain::CreatePortfolioShortcut() {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F2), this);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, this,
                     [this] { ui::Guard([this] { RevisionCartera(); }); });
}

void TFmain::RevisionCartera() {
    // Open beside the window: F2 brings it up and checks again, as the
    // loans shown meanwhile may have been repaired here.
    if (cartera_ && cartera_->isVisible()) {
        cartera_->Recheck();
        cartera_->raise();
        cartera_->activateWindow();
        return;
    }
    cartera_.reset();  // closed earlier
    // The check runs on a connection of its own, set up like this one.
    const std::string name = IBDatabase1.DatabaseName();
    cartera_ = std::make_unique<portfolio::TFcartera>(
        [name](db::TIBDatabase& database, db::TIBTransaction& transaction) {
            loans::ConfigureProgramConnection(database, transaction, name);
        },
        this, [this](const portfolio::TFcartera::Choice& chosen) { ShowChosenLoan(chosen); });
    // Gone once closed, after its own handlers have returned.
    cartera_loop_ = QThread::currentThread()->loopLevel();
    QObject::connect(cartera_.get(), &QDialog::finished, this,
                     [this] { QTimer::singleShot(0, this, [this] { DeleteClosedPortfolio(); }); });
    cartera_->show();
}

// Closed under a box of its own (the export's file dialog, a question), the
// dialog has a handler on the stack until that box's loop returns: a timer
// or a deferred delete would run inside that loop, so this waits until
// control is back in the loop the dialog was opened in.
void TFmain::DeleteClosedPortfolio() {
    if (!cartera_ || cartera_->isVisible()) return;
    if (QThread::currentThread()->loopLevel() > cartera_loop_) {
        QTimer::singleShot(100, this, [this] { DeleteClosedPortfolio(); });
        return;
    }
    cartera_.reset();
}

// The loan chosen in the list, looked up as if its code had been typed;
// the loan grid then holds the window's focus, so that going back to the
// window is no exit from the code box that would look the member up again.
void TFmain::ShowChosenLoan(const portfolio::TFcartera::Choice& chosen) {
    edsocio->setText(ui::ToQString(chosen.member));
    edsocioExit();
    MakeLoanCurrent(chosen.loan);
    DBGrid1->setFocus();
}

void TFmain::MakeLoanCurrent(int prestamo) {
    if (!qpres.Active()) return;
    qpres.FetchAll();
    const int current = qpres.WindowFirstRow() + qpres.WindowActiveRecord();
    int target = -1;
    for (int row = 0; row < qpres.FetchedRowCount() && target < 0; ++row) {
        qpres.SetFieldsRow(row);
        if (qpres.FieldNamed("NO_DOCUMENTO").GetInteger() == prestamo) target = row;
    }
    qpres.SetFieldsRow(-1);
    // One move, as a click in the loan grid makes it: the after-scroll
    // event loads that loan's details.
    if (target >= 0 && target != current) qpres.MoveBy(target - current);
}

}  // namespace main_window
