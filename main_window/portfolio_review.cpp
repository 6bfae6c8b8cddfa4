// The portfolio check from the main window: F2 opens "Revision de cartera";
// the loan chosen there is looked up as if its code had been typed.
#include <QKeySequence>
#include <QShortcut>

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
    std::optional<portfolio::TFcartera::Choice> chosen;
    {
        // The check runs on a connection of its own, set up like this one.
        const std::string name = IBDatabase1.DatabaseName();
        portfolio::TFcartera dialog(
            [name](db::TIBDatabase& database, db::TIBTransaction& transaction) {
                loans::ConfigureProgramConnection(database, transaction, name);
            },
            this);
        dialog.exec();
        chosen = dialog.Chosen();
    }
    if (!chosen) return;
    edsocio->setText(ui::ToQString(chosen->member));
    edsocio->setFocus();
    edsocioExit();
    MakeLoanCurrent(chosen->loan);
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
