// The open requests for approval from the main window: F4 opens
// "Solicitudes pendientes", whose "Aprobar" makes the repair here, on the
// window's own connection, like the repair buttons.
#include <QKeySequence>
#include <QShortcut>

#include "loans/rules/repair_statements.h"
#include "main_window/main_window.h"
#include "pending_requests/requests_dialog.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/guard.h"
#include "ui/modal_result.h"

namespace main_window {

void TFmain::CreateRequestsShortcut() {
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_F4), this);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, this,
                     [this] { ui::Guard([this] { SolicitudesPendientes(); }); });
}

void TFmain::SolicitudesPendientes() {
    loans::Approvals approvals(IBDatabase1);
    if (!approvals.Kept()) {
        // Latin-1: "aprobación", "reparaciones".
        ui::ShowMessage(
            "Esta base de datos no pide aprobaci\xF3n para las reparaciones: no hay solicitudes "
            "(sql/aprobacion.sql).");
        return;
    }
    pending_requests::TFsolicitudes dialog(
        approvals,
        [this, &approvals](const loans::Request& request) {
            return ApproveRequest(approvals, request);
        },
        this);
    dialog.exec();
    // A rejection or another's approval meanwhile: the loan's line again.
    if (RepairableLoan() > 0) ShowPendingApproval();
}

bool TFmain::ApproveRequest(loans::Approvals& approvals, const loans::Request& request) {
    // Latin-1: "¿Aprobar", "préstamo".
    if (ui::MessageDlgConfirm("\xBF"
                              "Aprobar la solicitud " +
                              std::to_string(request.id) + ": " + request.repair +
                              " del pr\xE9stamo " + std::to_string(request.loan) + " del socio " +
                              request.member + "?") != ui::kModalYes) {
        throw runtime::EAbort();
    }
    loans::RecordStore records(IBDatabase1);
    records.ReadyToWrite();
    loans::ConfirmedUnit confirmed;
    confirmed.database = IBDatabase1.DatabaseName();
    const loans::RecordedUnit unit =
        approvals.Approve(repair_unit_, records, request.id, confirmed);
    if (unit.result == loans::RecordedUnit::Result::kFailed) {
        if (!unit.record_failure.empty()) ui::ShowMessage(unit.record_failure);
        std::rethrow_exception(unit.failure);
    }
    // The loan shown is the one repaired: what the commit left.
    if (request.member == looked_up_code_ && request.loan == RepairableLoan()) {
        cargardatos(LoadMode::Loan);
    }
    std::string shown =
        "Solicitud " + std::to_string(request.id) + " aprobada. " + loans::kRepairDone;
    for (const std::string* note : {&unit.settled, &unit.record_failure}) {
        if (!note->empty()) shown += "\n\n" + *note;
    }
    ui::ShowMessage(shown);
    return true;
}

}  // namespace main_window
