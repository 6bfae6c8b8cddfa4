// Adding up the applied documents of the current loan, comparing the result
// with the receivable movements, and colouring the documents grid.
#include "loans/rules/reconciliation.h"

#include <QLabel>
#include <QLineEdit>

#include "loans/repairs/repair_unit.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "runtime/scope_guard.h"

namespace main_window {

void TFmain::calculartotales() {
    sumas = loans::KindSums();
    {
        qcxc.SuspendDisplay();
        const runtime::ScopeGuard resume([this] { qcxc.ResumeDisplay(); });
        qcxc.First();
        db::TField& tipo = qcxc.FieldNamed("TIPO");
        db::TField& capital = qcxc.FieldNamed("REN_CUOTACAPITAL");
        std::string kind;  // one buffer for every row's letter
        while (!qcxc.AtEnd()) {
            tipo.ReadString(kind);
            sumas.Add(kind, capital.GetFloat());
            qcxc.Next();
        }
        qcxc.First();
    }

    const loans::Totals totals = loans::ComposeTotals(sumas);
    // Both totals lines first, then fitted together once.
    const bool charges_changed = ShowLabelText(lbtot1, totals.charges);
    if (ShowLabelText(lbtot2, totals.payments) || charges_changed) FitTotals();
    SetLabelText(lbtot3, totals.balance);

    balanceprestamo = balancecxc(qpres.FieldNamed("NO_DOCUMENTO").GetInteger());
    SetBalanceLabel("Balance prestamo CXC: " + loans::ShownAmount(balanceprestamo));
    SetLabelText(lbbalance, loans::ShownAmount(balancecxc(0)));

    mismatch_ = loans::MismatchMessage(totals.documents_balance, balanceprestamo);
    UpdateMessages();
}

double TFmain::balancecxc(int prestamo) {
    // The loaded member's code, never a code typed but not yet looked up.
    return loans::ReceivableBalance(IBQuery1, looked_up_code_, prestamo);
}

void TFmain::DBGrid3DrawColumnCell(ui::TDBGrid& sender, const QRect& rect, int data_col,
                                   ui::TColumn& column, ui::TGridDrawState state) {
    // Charges black, payments (and rows without an amount) red, whole rows alike.
    const QColor colour =
        qcxc.FieldNamed("REN_CUOTACAPITAL").GetFloat() > 0 ? QColor(0, 0, 0) : QColor(255, 0, 0);
    ui::TCanvas& canvas = sender.Canvas();
    if (state & ui::gdFocused) canvas.BrushColor = sender.palette().color(QPalette::Base);
    canvas.FontColor = colour;
    canvas.FillRect(rect);
    db::TField* field = column.Field();
    canvas.TextOut(rect.left(), rect.top(), field ? field->GetString() : std::string());
    sender.DefaultDrawColumnCell(rect, data_col, column, state);
}

}  // namespace main_window
