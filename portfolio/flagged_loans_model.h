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
// instalments that differ and the repair; and, once marked, whether it is
// new since the last finished run. Each cell's text is made once,
// when the rows come; each column sorts by its own key
// (ui::SortedList::kSortKeyRole), numbers as numbers.
class FlaggedLoansModel : public QAbstractTableModel {
  public:
    static constexpr int kColumns = 8;

    explicit FlaggedLoansModel(QObject* parent = nullptr);

    void SetRows(std::vector<loans::LoanCheck> rows);
    const std::vector<loans::LoanCheck>& Rows() const { return rows_; }
    // Marks the rows of these loans "nuevo": not flagged by the last
    // finished run, in a column NUEVO after the others, which comes with
    // the first marks for the rows (none before: nothing to compare with).
    void SetNewLoans(const std::vector<loans::LoanKey>& loans);
    bool IsNew(int row) const;

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
    std::vector<bool> new_;  // empty: nothing marked, not even as old
};

}  // namespace portfolio
