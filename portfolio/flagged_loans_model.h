#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <array>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "loans/history/run_history.h"

namespace portfolio {

// The check's flagged loans as the dialog's list shows them, in the check's
// own order: member, name, loan, both balances, their difference, the
// instalments that differ, the repair and why, in words; and, once marked,
// whether it is new since the last finished run. Each cell's text is made
// once, when the rows come; each column sorts by its own key
// (ui::SortedList::kSortKeyRole), numbers as numbers. A cell's tooltip is
// its whole text, for one too narrow to show it.
class FlaggedLoansModel : public QAbstractTableModel {
  public:
    static constexpr int kColumns = 9;
    static constexpr int kDifferenceColumn = 5;
    // After the others, and only while rows are marked.
    static constexpr int kNewColumn = kColumns;

    explicit FlaggedLoansModel(QObject* parent = nullptr);

    // With `new_loans` (those the last finished run did not flag), their
    // rows are marked "nuevo" in the column NUEVO; without (no run to
    // compare with) there is no such column. Rows and marks come in one
    // reset, so that a check again keeps the list's columns as they were.
    void SetRows(std::vector<loans::LoanCheck> rows,
                 const std::vector<loans::LoanKey>* new_loans = nullptr);
    const std::vector<loans::LoanCheck>& Rows() const { return rows_; }
    bool IsNew(int row) const;
    // The row's member code and name as a filter compares them.
    const QString& SearchText(size_t row) const { return search_[row]; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    QVariant NewMark(int row, int role) const;

    struct Cell {
        QString text;
        QVariant key;
    };
    using Line = std::array<Cell, kColumns>;

    std::vector<loans::LoanCheck> rows_;
    std::vector<Line> lines_;
    std::vector<QString> search_;
    std::vector<bool> new_;  // empty: nothing marked, not even as old
};

// A text as a filter compares it: lower case, without accents.
QString FoldedForFilter(const QString& text);

}  // namespace portfolio
