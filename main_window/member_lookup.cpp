// Looking a member up, listing the member's loans and loading the current
// loan's schedule and applied documents.
#include <QLabel>
#include <QWidget>

#include "customer_search/customer_search_dialog.h"
#include "loans/rules/reconciliation.h"
#include "loans/rules/statements.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "runtime/exception.h"
#include "runtime/scope_guard.h"
#include "ui/dialog_responder.h"
#include "ui/latin1_text.h"

namespace main_window {
namespace {

constexpr const char* kInactiveBanner = " *** SOCIO INACTIVO *** ";

std::string Text(const QWidget* edit) {
    return ui::ToLatin1(static_cast<const QLineEdit*>(edit)->text());
}

}  // namespace

void TFmain::edsocioExit() {
    const std::string code = Text(edsocio);
    if (code.empty()) return;

    {
        // The previous member must not stay on screen beside the new code,
        // where it could be read or repaired as if it were this one.
        runtime::ScopeGuard on_failure([this] { ClearMemberDisplay(); });
        loans::SetStatement(qsocios, loans::kMemberByCodeStatement);
        qsocios.ParamNamed("c").SetString(code);
        qsocios.Open();
        on_failure.Dismiss();
    }
    if (qsocios.FetchedRowCount() == 0) {
        ui::ShowMessage("No existen socios con este codigo: " + code);
        edsocio->setText(QString());
        btlimpiarClick();
        edsocio->setFocus();
        throw runtime::EAbort();
    }
    looked_up_code_ = code;
    member_inactive_ = qsocios.FieldNamed("clt_estatus").GetString() != "A";
    mismatch_.clear();
    UpdateMessages();
    // Half a member is no better than another one.
    runtime::ScopeGuard on_failure([this] { ClearMemberDisplay(); });
    cargardatos(LoadMode::Member);
    on_failure.Dismiss();
}

void TFmain::cargardatos(LoadMode modo) {
    // On a failure the loan grid may already stand on another loan: the
    // previous loan's schedule, documents and totals must not stay beside it.
    runtime::ScopeGuard on_failure([this] { ForgetLoanDetails(); });
    LoadCurrentLoan(modo);
    on_failure.Dismiss();
}

void TFmain::LoadCurrentLoan(LoadMode modo) {
    SetLabelText(lbnombre, qsocios.FieldNamed("clt_nombresyapellidos").GetString());
    SetLabelText(lbcedula, qsocios.FieldNamed("clt_cedula").GetString());
    SetLabelText(lbempresa, nombreempresa(qsocios.FieldNamed("empresa").GetInteger()));

    if (modo == LoadMode::Member) {
        // Opening the list and moving to its first row raise the after-scroll
        // event; the details are loaded once, below, not by those events.
        loading_loans_ = true;
        runtime::ScopeGuard loaded([this] { loading_loans_ = false; });
        loans::SetStatement(qpres, loans::kLoansOfMemberStatement);
        qpres.ParamNamed("c").SetString(looked_up_code_);
        qpres.Open();
        qpres.First();
    }

    const int prestamo = qpres.Active() ? qpres.FieldNamed("no_documento").GetInteger() : 0;
    if (prestamo <= 0) {
        ClearLoanDetails();
        return;
    }

    loans::SetStatement(qcuotas, loans::kScheduleOfLoanStatement);
    qcuotas.ParamNamed("p").SetInteger(qpres.FieldNamed("no_documento").GetInteger());
    qcuotas.Open();
    qcuotas.First();

    loans::SetStatement(qcxc, loans::AppliedDocumentsStatement());
    qcxc.ParamNamed("p").SetInteger(prestamo);
    qcxc.Open();
    qcxc.First();

    calculartotales();
    ShowPendingApproval();
}

std::string TFmain::nombreempresa(int codigo) {
    loans::SetStatement(IBQuery1, loans::kEmployerByCodeStatement);
    IBQuery1.ParamNamed("c").SetInteger(codigo);
    IBQuery1.Open();
    if (IBQuery1.FetchedRowCount() == 0) return {};
    return IBQuery1.FieldNamed("nombre").GetString();
}

void TFmain::qpresAfterScroll() {
    if (loading_loans_) return;
    if (qpres.FieldNamed("NO_DOCUMENTO").GetInteger() > 0) cargardatos(LoadMode::Loan);
}

void TFmain::btlimpiarClick() {
    edsocio->setText(QString());
    // No member is loaded any more: nothing may be summed or repaired for one.
    looked_up_code_.clear();
    SetLabelText(lbnombre, "");
    SetLabelText(lbcedula, "");
    SetLabelText(lbempresa, "");
    qpres.Close();
    qcuotas.Close();
    qcxc.Close();
    ClearFigures();
    edsocio->setFocus();
}

// Empties everything shown for a member but the code box. Raises no database
// failure: it runs after one, whose message is the one the user must see.
void TFmain::ClearMemberDisplay() {
    looked_up_code_.clear();
    SetLabelText(lbnombre, "");
    SetLabelText(lbcedula, "");
    SetLabelText(lbempresa, "");
    // A query is closed even when its close fails (a lost connection).
    for (db::TIBQuery* query : {&qpres, &qcuotas, &qcxc}) {
        try {
            query->Close();
        } catch (...) {
        }
    }
    ClearFigures();
}

void TFmain::ClearFigures() {
    member_inactive_ = false;
    SetLabelText(lbbalance, "0.00");
    ClearLoanFigures();
}

void TFmain::edsocioDblClick() {
    {
        // A fresh dialog per search, destroyed as soon as it closes.
        customer_search::TFclientes dialog(qsocios, sqsocios, cancelado, this);
        customer_search::Fclientes = &dialog;
        dialog.exec();
    }
    std::string code;
    if (qsocios.Active()) code = qsocios.FieldNamed("CLT_CODIGO").GetString();
    if (!code.empty() && !cancelado) {
        edsocio->setText(ui::ToQString(code));
        edsocio->setFocus();
        edsocioExit();
        return;
    }
    // Left without choosing: put the shared member set back on the member
    // the window shows, so later reloads read that member's labels.
    if (!looked_up_code_.empty()) {
        loans::SetStatement(qsocios, loans::kMemberByCodeStatement);
        qsocios.ParamNamed("c").SetString(looked_up_code_);
        qsocios.Open();
    }
}

void TFmain::btsalirClick() {
    close();
}

// Nothing to show for the loan: the previous loan's figures would sit beside
// another member's name, so they go; the member's own balance still shows.
void TFmain::ClearLoanDetails() {
    qcuotas.Close();
    qcxc.Close();
    ClearLoanFigures();
    SetLabelText(lbbalance, loans::ShownAmount(balancecxc(0)));
}

// After a failed load of the current loan: its details and figures go, with
// no database call (the failure's message is the one the user must see).
// The member's own balance stays; it was read for this member.
void TFmain::ForgetLoanDetails() {
    for (db::TIBQuery* query : {&qcuotas, &qcxc}) {
        try {
            query->Close();
        } catch (...) {
        }
    }
    ClearLoanFigures();
}

// The loan's totals, its balance label and its mismatch message.
void TFmain::ClearLoanFigures() {
    SetLabelText(lbtot1, "");
    SetLabelText(lbtot2, "");
    SetLabelText(lbtot3, "");
    SetBalanceLabel("Balance CXC");
    mismatch_.clear();
    UpdateMessages();
    lbpendiente->clear();
    lbpendiente->hide();
}

void TFmain::UpdateMessages() {
    std::string text;
    if (member_inactive_) text = kInactiveBanner;
    if (!mismatch_.empty()) {
        if (!text.empty()) text += "\r";
        text += mismatch_;
    }
    SetLabelText(lbmensajes, text);
    lbmensajes->setVisible(!text.empty());
}

bool TFmain::ShowLabelText(QLabel* label, const std::string& text) {
    // The label keeps the program's own bytes (a carriage return included)
    // and shows a carriage return as the line break it stands for.
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    // The same text again leaves the label, its size and the labels placed
    // after it as they are: measuring and fitting it is most of its cost.
    if (const QVariant shown = label->property("latin1Text");
        shown.isValid() && shown.toByteArray() == bytes) {
        return false;
    }
    label->setProperty("latin1Text", bytes);
    QString shown = ui::ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    label->setText(shown);
    return true;
}

void TFmain::SetLabelText(QLabel* label, const std::string& text) {
    if (!ShowLabelText(label, text)) return;
    if (label == lbbalance || label == lbmensajes || label == lbbal) label->adjustSize();
    if (label == lbmensajes) FitMessages();
    if (label == lbtot1 || label == lbtot2) FitTotals();
}

void TFmain::SetBalanceLabel(const std::string& text) {
    // Grows to the left: the right edge stays where the layout put it.
    const int right = lbbal->geometry().right();
    SetLabelText(lbbal, text);
    lbbal->resize(lbbal->width(), 16);
    lbbal->move(right - lbbal->width() + 1, lbbal->y());
}

}  // namespace main_window
