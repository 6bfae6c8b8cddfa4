#include "ui/sorted_list.h"

namespace ui {

SortedList::SortedList(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(kSortKeyRole);
}

QVariant SortedList::headerData(int section, Qt::Orientation orientation, int role) const {
    // The proxy would number each row as its source row: after a sort the
    // numbers would run out of order.
    if (orientation == Qt::Vertical && role == Qt::DisplayRole) return section + 1;
    return QSortFilterProxyModel::headerData(section, orientation, role);
}

bool SortedList::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    const QPartialOrdering order =
        QVariant::compare(left.data(kSortKeyRole), right.data(kSortKeyRole));
    if (order == QPartialOrdering::Less) return true;
    if (order == QPartialOrdering::Greater) return false;
    return left.row() < right.row();
}

}  // namespace ui
