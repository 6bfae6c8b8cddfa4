#pragma once

#include <QSortFilterProxyModel>

namespace ui {

// What a dialog's list shows of its rows: sorted by a column's own key
// (kSortKeyRole: numbers as numbers, texts as texts), rows of equal keys in
// the rows' own order, so that a sorted list is always the same list. The
// row headers count the rows as shown, 1 at the top.
class SortedList : public QSortFilterProxyModel {
  public:
    static constexpr int kSortKeyRole = Qt::UserRole + 1;

    explicit SortedList(QObject* parent = nullptr);

    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace ui
