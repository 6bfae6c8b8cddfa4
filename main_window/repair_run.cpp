// What both repairs and an undo share: which loan may be repaired, the
// confirmation, and the journal of every confirmed repair.
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "loans/records/repair_journal.h"
#include "loans/repairs/bulk_repair.h"
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

// The journal's failure, when the record could not be added to the open
// journal (a full disk); a repair made stands whether or not its record does.
std::optional<std::string> Journal(loans::JournalFile& journal, const loans::RepairRecord& record) {
    try {
        journal.Append(record);
        return std::nullopt;
    } catch (const std::exception& failure) {
        return failure.what();
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

    loans::RepairRecord record;
    record.id = loans::NewRepairId();  // the unit's own, should it fail
    record.time = std::time(nullptr);
    record.user = loans::CurrentUser();
    record.database = IBDatabase1.DatabaseName();
    record.member = looked_up_code_;
    record.loan = prestamo;
    record.repair = name;
    record.undoes = undoes;
    // The figures as shown, in case the repair fails before it reads.
    record.documents_balance_before = sumas.DocumentsBalance();
    record.receivable_balance_before = balanceprestamo;

    loans::RepairOutcome outcome;
    try {
        outcome = work();
    } catch (const std::exception& failure) {
        // Nothing of it remains: the loan's figures are those from before.
        // A confirmed repair is journaled even when it failed (or was
        // refused) before its first write.
        record.rolled_back = true;
        record.message = failure.what();
        record.documents_balance_after = record.documents_balance_before;
        record.receivable_balance_after = record.receivable_balance_before;
        if (const std::optional<std::string> journal_failure = Journal(journal, record)) {
            ui::ShowMessage(*journal_failure);
        }
        throw;
    }
    const std::time_t confirmed = record.time;
    record = loans::RecordOf(outcome, name, record.database);
    record.time = confirmed;
    record.undoes = undoes;

    // The one reload: what the commit left, in the window's own transaction.
    cargardatos(LoadMode::Loan);
    const std::optional<std::string> journal_failure = Journal(journal, record);
    ui::ShowMessage(loans::kRepairDone);
    if (journal_failure) throw runtime::EInOutError(*journal_failure, 0);
}

}  // namespace main_window
