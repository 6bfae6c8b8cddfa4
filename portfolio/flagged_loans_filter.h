#pragma once

#include <QString>
#include <cstddef>

#include "ui/sorted_list.h"

namespace portfolio {

class FlaggedLoansModel;

// The rows of the flagged loans the list shows: those whose member code or
// name holds the filter's text (in either case, with or without accents:
// "perez" finds the accented name too) and that need the chosen repair;
// sorted as ui::SortedList sorts.
class FlaggedLoansFilter : public ui::SortedList {
  public:
    enum class Repair { kAny, kRebuild, kCorrect };

    FlaggedLoansFilter(FlaggedLoansModel& loans, QObject* parent = nullptr);

    void SetText(const QString& text);
    void SetRepair(Repair repair);
    // Whether the source's row `row` is listed.
    bool Listed(size_t row) const;

  protected:
    bool filterAcceptsRow(int source_row, const QModelIndex& source_parent) const override;

  private:
    FlaggedLoansModel& loans_;
    QString text_;  // folded
    Repair repair_ = Repair::kAny;
};

}  // namespace portfolio
