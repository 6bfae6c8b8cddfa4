// What both repairs and an undo share: which loan may be repaired, the
// confirmation, and the record of every confirmed repair.
#include <QLabel>
#include <exception>
#include <functional>
#include <string>

#include "db/errors.h"
#include "loans/approval/request_table.h"
#include "loans/records/record_store.h"
#include "loans/repairs/recorded_unit.h"
#include "loans/rules/repair_statements.h"
#include "main_window/main_window.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/latin1_text.h"
#include "ui/modal_result.h"

namespace main_window {
namespace {

// Asks before writing; anything but Yes ends the handler without a word.
void ConfirmOrAbort(const char* question, int prestamo) {
    if (ui::MessageDlgConfirm(question + std::to_string(prestamo) + "?") != ui::kModalYes) {
        throw runtime::EAbort();
    }
}

}  // namespace

int TFmain::RepairableLoan() {
    if (looked_up_code_.empty() || !qpres.Active() || qpres.FetchedRowCount() == 0) return 0;
    if (!qcxc.Active()) return 0;
    const int prestamo = qpres.FieldNamed("NO_DOCUMENTO").GetInteger();
    return prestamo > 0 ? prestamo : 0;
}

void TFmain::RepairLoan(loans::RepairKind kind, const char* question) {
    const int prestamo = RepairableLoan();
    if (prestamo == 0) return;
    ConfirmOrAbort(question, prestamo);
    // Where repairs need a supervisor's approval, the confirmed repair is
    // filed as a request instead, writing nothing to the books.
    loans::Approvals approvals(IBDatabase1);
    if (approvals.Required()) {
        FiledRequest(approvals.Request(repair_unit_, {kind}, looked_up_code_, prestamo));
        return;
    }
    // Where the record goes: the database's table, or this computer's
    // journal, opened before anything is written.
    loans::RecordStore records(IBDatabase1);
    // The loan as it stands now, read inside the repair's transaction: a
    // receipt posted since the lookup is repaired in, not out.
    RecordedRun(prestamo, loans::RepairName(kind), [&](const loans::ConfirmedUnit& confirmed) {
        return loans::RunRecorded(&records, confirmed, [&](const loans::BeforeCommit& record) {
            loans::RepairOptions options;
            options.before_commit = record;
            // A journal's record cannot be looked up after a lost commit.
            options.fingerprint_before = !records.InDatabase();
            return repair_unit_.Run({kind}, looked_up_code_, prestamo, options);
        });
    });
}

bool TFmain::UndoRepair(loans::RecordStore& records, const loans::RepairRecord& undone) {
    if (undone.member != looked_up_code_ || undone.loan != RepairableLoan()) return false;
    ConfirmOrAbort(loans::kUndoConfirmation, undone.loan);
    loans::Approvals approvals(IBDatabase1);
    if (approvals.Required()) {
        FiledRequest(approvals.RequestUndo(repair_unit_, records, undone.id));
        return true;
    }
    RecordedRun(undone.loan, loans::kUndoRepair, [&](const loans::ConfirmedUnit& confirmed) {
        return loans::UndoRecord(repair_unit_, records, undone.id, confirmed);
    });
    return true;
}

void TFmain::FiledRequest(const loans::Filed& filed) {
    switch (filed.result) {
        case loans::Filed::Result::kFiled:
            ShowPendingApproval();
            ui::ShowMessage(loans::FiledText(filed.request) +
                            (filed.settled.empty() ? "" : "\n\n" + filed.settled));
            return;
        case loans::Filed::Result::kNothing:
            // Latin-1: "cambiaría".
            ui::ShowMessage(
                "La reparaci\xF3n no cambiar\xED"
                "a nada en el pr\xE9stamo " +
                std::to_string(filed.outcome.loan.loan) + ": no se registra ninguna solicitud.");
            return;
        case loans::Filed::Result::kRefused:
        case loans::Filed::Result::kFailed:
            std::rethrow_exception(filed.failure);
    }
}

void TFmain::ShowPendingApproval() {
    const int prestamo = RepairableLoan();
    std::string text;
    if (prestamo > 0) {
        if (!requests_kept_) requests_kept_ = loans::RequestTablesExist(IBQuery2);
        try {
            if (*requests_kept_) {
                for (const loans::Request& open :
                     loans::OpenRequestsOf(IBQuery2, looked_up_code_, prestamo)) {
                    text += (text.empty() ? "" : "; ") + open.repair + " (solicitud " +
                            std::to_string(open.id) + " de " + open.user + ")";
                }
            }
        } catch (const db::EIBError& error) {
            // A role of the site's own that may not read the requests: the
            // loan shows all the same, without the line.
            if (error.EngineErrorCode() != isc_no_priv) throw;
        }
        IBQuery2.Close();
    }
    // Latin-1: "aprobación".
    if (!text.empty()) text = "Pendiente de aprobaci\xF3n: " + text;
    lbpendiente->setText(ui::ToQString(text));
    lbpendiente->setToolTip(ui::ToQString(text));
    lbpendiente->setVisible(!text.empty());
}

void TFmain::RecordedRun(
    int prestamo, const std::string& name,
    const std::function<loans::RecordedUnit(const loans::ConfirmedUnit&)>& run) {
    loans::ConfirmedUnit confirmed;
    confirmed.database = IBDatabase1.DatabaseName();
    confirmed.member = looked_up_code_;
    confirmed.loan = prestamo;
    confirmed.repair = name;
    // The figures as shown, in case the repair fails before it reads.
    confirmed.documents_balance_before = sumas.DocumentsBalance();
    confirmed.receivable_balance_before = balanceprestamo;
    const loans::RecordedUnit unit = run(confirmed);
    if (unit.result == loans::RecordedUnit::Result::kFailed) {
        // Nothing of it remains; its record (even of a refusal) is written.
        if (!unit.record_failure.empty()) ui::ShowMessage(unit.record_failure);
        std::rethrow_exception(unit.failure);
    }

    // The one reload: what the commit left, in the window's own transaction.
    cargardatos(LoadMode::Loan);
    // One message: done, and what the analyst must know with it (a commit
    // confirmed only on a new connection; a record that could not be
    // written, so nothing can undo it from here).
    std::string shown = loans::kRepairDone;
    for (const std::string* note : {&unit.settled, &unit.record_failure}) {
        if (!note->empty()) shown += "\n\n" + *note;
    }
    ui::ShowMessage(shown);
}

}  // namespace main_window
