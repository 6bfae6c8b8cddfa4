#include "portfolio/flagged_loans_filter.h"

#include "portfolio/flagged_loans_model.h"

namespace portfolio {

FlaggedLoansFilter::FlaggedLoansFilter(FlaggedLoansModel& loans, QObject* parent)
    : ui::SortedList(parent), loans_(loans) {
    setSourceModel(&loans);
}

void FlaggedLoansFilter::SetText(const QString& text) {
    const QString folded = FoldedForFilter(text.trimmed());
    if (folded == text_) return;
    text_ = folded;
    invalidateFilter();
}

void FlaggedLoansFilter::SetRepair(Repair repair) {
    if (repair == repair_) return;
    repair_ = repair;
    invalidateFilter();
}

bool FlaggedLoansFilter::Listed(size_t row) const {
    if (row >= loans_.Rows().size()) return false;
    const loans::LoanCheck& loan = loans_.Rows()[row];
    if (repair_ == Repair::kRebuild && !loan.reindex) return false;
    if (repair_ == Repair::kCorrect && !loan.fix_schedule) return false;
    return text_.isEmpty() || loans_.SearchText(row).contains(text_);
}

bool FlaggedLoansFilter::filterAcceptsRow(int source_row, const QModelIndex& source_parent) const {
    return !source_parent.isValid() && source_row >= 0 && Listed(static_cast<size_t>(source_row));
}

}  // namespace portfolio
