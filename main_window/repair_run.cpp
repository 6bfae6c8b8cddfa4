// What both repairs and an undo share: which loan may be repaired, the
// confirmation, and the journal of every confirmed repair.
#include <exception>
#include <functional>
#include <string>

#include "loans/records/repair_journal.h"
#include "loans/repairs/recorded_unit.h"
#include "loans/rules/repair_statements.h"
#include "main_window/main_window.h"
#include "runtime/exception.h"
#include "ui/dialog_responder.h"
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
    // The loan as it stands now, read inside the repair's transaction: a
    // receipt posted since the lookup is repaired in, not out.
    JournaledRun(prestamo, loans::RepairName(kind), {},
                 [&] { return repair_unit_.Run(kind, looked_up_code_, prestamo); });
}

bool TFmain::UndoRepair(const loans::RepairRecord& undone) {
    if (undone.member != looked_up_code_ || undone.loan != RepairableLoan()) return false;
    ConfirmOrAbort(loans::kUndoConfirmation, undone.loan);
    JournaledRun(undone.loan, loans::kUndoRepair, undone.id,
                 [&] { return repair_unit_.Undo(undone.undo, undone.member, undone.loan); });
    return true;
}

void TFmain::JournaledRun(int prestamo, const std::string& name, const std::string& undoes,
                          const std::function<loans::RepairOutcome()>& work) {
    // Before anything is written: a repair that could not be journaled is
    // not made (the failure names the file and the cause).
    loans::JournalFile journal;

    loans::ConfirmedUnit confirmed;
    confirmed.database = IBDatabase1.DatabaseName();
    confirmed.member = looked_up_code_;
    confirmed.loan = prestamo;
    confirmed.repair = name;
    confirmed.undoes = undoes;
    // The figures as shown, in case the repair fails before it reads.
    confirmed.documents_balance_before = sumas.DocumentsBalance();
    confirmed.receivable_balance_before = balanceprestamo;
    const loans::RecordedUnit unit = loans::RunRecorded(&journal, confirmed, work);
    if (unit.result == loans::RecordedUnit::Result::kFailed) {
        // Nothing of it remains; its record (even of a refusal) is written.
        if (!unit.record_failure.empty()) ui::ShowMessage(unit.record_failure);
        std::rethrow_exception(unit.failure);
    }

    // The one reload: what the commit left, in the window's own transaction.
    cargardatos(LoadMode::Loan);
    ui::ShowMessage(loans::kRepairDone);
    if (!unit.record_failure.empty()) throw runtime::EInOutError(unit.record_failure, 0);
}

}  // namespace main_window
