// The two repairs of one loan: rebuilding its receivable movements from the
// documents applied to it, and recomputing its schedule's paid amounts from
// the same documents.
#include <string>

#include "main_window/main_window.h"
#include "main_window/repair_statements.h"
#include "main_window/statement_text.h"

namespace main_window {
namespace {

// A movement's type: the loan's own type from 1 up, 2 for any other (a
// null type reads as 0).
int MovementType(int loan_type) {
    return loan_type >= 1 ? loan_type : 2;
}

// Calls `visit` on every applied document of the list, in its order,
// leaving out the schedule's own rows ("P"). The grids stay still while
// the list moves, and the list is back on its first row afterwards.
template <typename Visit>
void ForEachDocument(db::TIBQuery& documents, Visit visit) {
    documents.SuspendDisplay();
    try {
        db::TField& kind = documents.FieldNamed("TIPO");
        for (documents.First(); !documents.AtEnd(); documents.Next()) {
            if (kind.GetString() != "P") visit();
        }
        documents.First();
    } catch (...) {
        documents.ResumeDisplay();
        throw;
    }
    documents.ResumeDisplay();
}

}  // namespace

void TFmain::btreindexarClick() {
    RepairLoan(kRebuildRepair, kRebuildConfirmation, [this](int prestamo, RepairCounts& counts) {
        const std::string socio = looked_up_code_;
        const double fecha = qpres.FieldNamed("FECHA").GetDateTime();
        const double valor = qpres.FieldNamed("VALOR").GetFloat();
        const int registro = qpres.FieldNamed("REGISTRO_NO").GetInteger();
        const int tipo = MovementType(qpres.FieldNamed("TIPO").GetInteger());

        SetStatement(IBQuery1, kDeleteLoanMovementsStatement);
        IBQuery1.ParamNamed("c").SetString(socio);
        IBQuery1.ParamNamed("a").SetInteger(prestamo);
        IBQuery1.Execute();
        counts.deleted = IBQuery1.Statement().RowsAffected();

        SetStatement(IBQuery1, kInsertOpeningMovementStatement);
        IBQuery1.ParamNamed("s").SetString(socio);
        IBQuery1.ParamNamed("t").SetString("F");
        IBQuery1.ParamNamed("d").SetInteger(prestamo);
        IBQuery1.ParamNamed("f").SetDate(fecha);
        IBQuery1.ParamNamed("a").SetInteger(prestamo);
        IBQuery1.ParamNamed("v").SetFloat(valor);
        IBQuery1.ParamNamed("fv").SetDate(fecha);
        IBQuery1.ParamNamed("r").SetInteger(registro);
        IBQuery1.ParamNamed("ti").SetInteger(tipo);
        IBQuery1.Execute();
        counts.inserted = 1;

        // One statement for every document row: only the values change.
        SetStatement(IBQuery1, kInsertDocumentMovementStatement);
        db::TField& kind = qcxc.FieldNamed("TIPO");
        db::TField& number = qcxc.FieldNamed("REN_PRESTAMONO");
        db::TField& date = qcxc.FieldNamed("REN_FECHAVENCE");
        db::TField& instalment = qcxc.FieldNamed("REN_CUOTANO");
        db::TField& capital = qcxc.FieldNamed("REN_CUOTACAPITAL");
        db::TField& interest = qcxc.FieldNamed("REN_CUOTAINTERES");
        ForEachDocument(qcxc, [&] {
            IBQuery1.ParamNamed("s").SetString(socio);
            IBQuery1.ParamNamed("t").SetString(kind.GetString());
            IBQuery1.ParamNamed("d").SetInteger(number.GetInteger());
            IBQuery1.ParamNamed("f").SetDate(date.GetDateTime());
            IBQuery1.ParamNamed("a").SetInteger(prestamo);
            IBQuery1.ParamNamed("v").SetFloat(capital.GetFloat());
            IBQuery1.ParamNamed("fv").SetDate(fecha);
            IBQuery1.ParamNamed("cu").SetInteger(instalment.GetInteger());
            IBQuery1.ParamNamed("r").SetInteger(registro);
            IBQuery1.ParamNamed("i").SetFloat(interest.GetFloat());
            IBQuery1.ParamNamed("ti").SetInteger(tipo);
            IBQuery1.Execute();
            ++counts.inserted;
        });
    });
}

void TFmain::btcorregirClick() {
    RepairLoan(kCorrectRepair, kCorrectConfirmation, [this](int prestamo, RepairCounts& counts) {
        SetStatement(IBQuery1, kResetSchedulePaymentsStatement);
        IBQuery1.ParamNamed("p").SetInteger(prestamo);
        IBQuery1.Execute();
        // Every instalment the reset wrote; the additions below only write
        // some of them again.
        counts.updated = IBQuery1.Statement().RowsAffected();

        SetStatement(IBQuery1, kAddInstalmentPaymentStatement);
        db::TField& instalment = qcxc.FieldNamed("REN_CUOTANO");
        db::TField& capital = qcxc.FieldNamed("REN_CUOTACAPITAL");
        db::TField& interest = qcxc.FieldNamed("REN_CUOTAINTERES");
        // The list shows payments negative: negated, they are paid amounts.
        ForEachDocument(qcxc, [&] {
            IBQuery1.ParamNamed("c").SetFloat(capital.IsNullValue() ? 0.0 : -capital.GetFloat());
            IBQuery1.ParamNamed("i").SetFloat(interest.IsNullValue() ? 0.0 : -interest.GetFloat());
            IBQuery1.ParamNamed("p").SetInteger(prestamo);
            IBQuery1.ParamNamed("cu").SetInteger(instalment.GetInteger());
            IBQuery1.Execute();
        });
    });
}

}  // namespace main_window
