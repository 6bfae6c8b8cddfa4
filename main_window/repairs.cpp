// The two repairs' handlers: each names its repair and its question.
#include "loans/repairs/repair_unit.h"
#include "loans/rules/repair_statements.h"
#include "main_window/main_window.h"

namespace main_window {

void TFmain::btreindexarClick() {
    RepairLoan(loans::RepairKind::kRebuild, loans::kRebuildConfirmation);
}

void TFmain::btcorregirClick() {
    RepairLoan(loans::RepairKind::kCorrect, loans::kCorrectConfirmation);
}

}  // namespace main_window
