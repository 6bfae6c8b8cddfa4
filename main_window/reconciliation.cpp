// Adding up the applied documents of the current loan, comparing the result
// with the receivable movements, and colouring the documents grid.
#include <QLabel>
#include <QLineEdit>

#include "formats/amount_format.h"
#include "main_window/code_box.h"
#include "main_window/lookup_statements.h"
#include "main_window/main_window.h"

namespace main_window {
namespace {

std::string Amount(long double value) {
    return formats::FormatFloat(formats::kAmountPattern, value);
}
std::string Amount(double value) {
    return formats::FormatFloat(formats::kAmountPattern, value);
}

}  // namespace

Totals ComposeTotals(long double p, long double r, long double c, long double d, long double n,
                     long double m) {
    Totals totals;
    totals.charges = "Total Cargos:";
    if (p > 0) totals.charges += " Prestamo= " + Amount(p);
    if (d > 0) totals.charges += " Notas Debito= " + Amount(d);
    totals.payments = "Total Pagos:";
    if (r < 0) totals.payments += " Recibos Ingreso= " + Amount(r);
    if (c < 0) totals.payments += " Notas Credito= " + Amount(c);
    if (n < 0) totals.payments += " Nominas= " + Amount(n);
    if (m < 0) totals.payments += " Compensacion= " + Amount(m);
    totals.documents_balance = p + r + c + d + n + m;
    totals.balance = "Balance= " + Amount(totals.documents_balance);
    return totals;
}

std::string MismatchMessage(long double documents_balance, double cxc_balance) {
    const std::string documents = Amount(documents_balance);
    const std::string cxc = Amount(cxc_balance);
    if (documents == cxc) return {};
    return "ERROR!! El balance del prestamo segun documentos es de " + documents +
           "\r mientras que el balance segun cxc es de " + cxc + " para una diferencia de " +
           Amount(static_cast<long double>(cxc_balance) - documents_balance);
}

void TFmain::calculartotales() {
    sumaP = sumaR = sumaC = sumaD = sumaN = sumaM = 0;
    qcxc.SuspendDisplay();
    try {
        qcxc.First();
        db::TField& tipo = qcxc.FieldNamed("TIPO");
        db::TField& capital = qcxc.FieldNamed("REN_CUOTACAPITAL");
        while (!qcxc.AtEnd()) {
            const std::string kind = tipo.GetString();
            const double amount = capital.GetFloat();
            if (kind == "P")
                sumaP += amount;
            else if (kind == "R")
                sumaR += amount;
            else if (kind == "C")
                sumaC += amount;
            else if (kind == "D")
                sumaD += amount;
            else if (kind == "N")
                sumaN += amount;
            else if (kind == "M")
                sumaM += amount;
            qcxc.Next();
        }
        qcxc.First();
    } catch (...) {
        qcxc.ResumeDisplay();
        throw;
    }
    qcxc.ResumeDisplay();

    const Totals totals = ComposeTotals(sumaP, sumaR, sumaC, sumaD, sumaN, sumaM);
    SetLabelText(lbtot1, totals.charges);
    SetLabelText(lbtot2, totals.payments);
    SetLabelText(lbtot3, totals.balance);

    balanceprestamo = balancecxc(qpres.FieldNamed("NO_DOCUMENTO").GetInteger());
    SetBalanceLabel("Balance prestamo CXC: " + Amount(balanceprestamo));
    SetLabelText(lbbalance, Amount(balancecxc(0)));

    mismatch_ = MismatchMessage(totals.documents_balance, balanceprestamo);
    UpdateMessages();
}

double TFmain::balancecxc(int prestamo) {
    IBQuery1.Close();
    IBQuery1.SQL().Clear();
    IBQuery1.SQL().Add(kBalanceFirstLine);
    if (prestamo > 0) {
        IBQuery1.SQL().Add(kBalanceLoanLine);
        IBQuery1.ParamNamed("a").SetInteger(prestamo);
    }
    // The loaded member's code, never a code typed but not yet looked up.
    IBQuery1.ParamNamed("c").SetString(looked_up_code_);
    IBQuery1.Open();
    if (IBQuery1.Field(0).IsNullValue()) return 0;
    return IBQuery1.Field(0).GetFloat();
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
