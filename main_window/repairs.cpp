// The two repairs' handlers: each names its repair and its question and
// hands the loan and the documents its list holds to the rules that write.
#include "loans/repairs.h"

#include "loans/repair_statements.h"
#include "main_window/main_window.h"

namespace main_window {

void TFmain::btreindexarClick() {
    RepairLoan(
        loans::kRebuildRepair, loans::kRebuildConfirmation,
        [this](const loans::LoanRow& loan, const std::vector<loans::AppliedDocument>& documents) {
            return loans::RebuildMovements(IBQuery1, loan, documents);
        });
}

void TFmain::btcorregirClick() {
    RepairLoan(
        loans::kCorrectRepair, loans::kCorrectConfirmation,
        [this](const loans::LoanRow& loan, const std::vector<loans::AppliedDocument>& documents) {
            return loans::CorrectSchedule(IBQuery1, loan.loan, documents);
        });
}

}  // namespace main_window
