#include "portfolio/flagged_loans_model.h"

#include <algorithm>

#include "loans/reports/portfolio_report.h"
#include "loans/reports/repair_preview.h"
#include "loans/rules/reconciliation.h"
#include "ui/latin1_text.h"
#include "ui/sorted_list.h"

namespace portfolio {
namespace {

const char* const kTitles[FlaggedLoansModel::kColumns] = {
    "SOCIO",  "NOMBRE",     "PRESTAMO", "BALANCE DOCUMENTOS", "BALANCE CXC", "DIFERENCIA",
    "CUOTAS", "REPARACION", "MOTIVO"};

// Member, name and repair read from the left; the figures from the right.
bool RightAligned(int column) {
    return column >= 2 && column <= 6;
}

}  // namespace

QString FoldedForFilter(const QString& text) {
    // Decomposed, an accented letter is its letter and a mark to leave out.
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar ch : decomposed) {
        if (ch.category() != QChar::Mark_NonSpacing) folded.append(ch.toLower());
    }
    return folded;
}

FlaggedLoansModel::FlaggedLoansModel(QObject* parent) : QAbstractTableModel(parent) {}

void FlaggedLoansModel::SetRows(std::vector<loans::LoanCheck> rows,
                                const std::vector<loans::LoanKey>* new_loans) {
    beginResetModel();
    rows_ = std::move(rows);
    new_.clear();
    if (new_loans != nullptr) {
        new_.reserve(rows_.size());
        for (const loans::LoanCheck& loan : rows_) {
            const loans::LoanKey key = loans::KeyOf(loan.member, loan.loan);
            new_.push_back(std::find(new_loans->begin(), new_loans->end(), key) !=
                           new_loans->end());
        }
    }
    lines_.clear();
    lines_.reserve(rows_.size());
    search_.clear();
    search_.reserve(rows_.size());
    for (const loans::LoanCheck& loan : rows_) {
        const long double difference = loans::Difference(loan);
        const QString member = ui::ToQString(loan.member);
        const QString name = ui::ToQString(loan.name);
        const QString repair = ui::ToQString(loans::RepairName(loan));
        const QString reason = ui::ToQString(loans::FlaggedReason(loan));
        // Apart, so that a text never matches across the two.
        search_.push_back(FoldedForFilter(member) + QChar('\n') + FoldedForFilter(name));
        lines_.push_back(Line{{
            {member, member},
            {name, name},
            {QString::number(loan.loan), loan.loan},
            {ui::ToQString(loans::ShownAmount(loan.documents_balance)),
             static_cast<double>(loan.documents_balance)},
            {ui::ToQString(loans::ShownAmount(loan.receivable_balance)), loan.receivable_balance},
            {ui::ToQString(loans::ShownAmount(difference)), static_cast<double>(difference)},
            {QString::number(loan.differing_instalments), loan.differing_instalments},
            {repair, repair},
            {reason, reason},
        }});
    }
    endResetModel();
}

bool FlaggedLoansModel::IsNew(int row) const {
    return row >= 0 && static_cast<size_t>(row) < new_.size() && new_[static_cast<size_t>(row)];
}

int FlaggedLoansModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int FlaggedLoansModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return new_.empty() ? kColumns : kColumns + 1;
}

QVariant FlaggedLoansModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
    if (index.column() == kNewColumn) return NewMark(index.row(), role);
    const Cell& cell =
        lines_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return cell.text;
        case ui::SortedList::kSortKeyRole:
            return cell.key;
        case Qt::TextAlignmentRole:
            if (RightAligned(index.column())) return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        default:
            return {};
    }
}

QVariant FlaggedLoansModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kColumns) {
        return QString::fromLatin1(kTitles[section]);
    }
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section == kNewColumn &&
        !new_.empty()) {
        return QString("NUEVO");
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant FlaggedLoansModel::NewMark(int row, int role) const {
    switch (role) {
        case Qt::DisplayRole:
            return IsNew(row) ? QString("nuevo") : QString();
        case ui::SortedList::kSortKeyRole:
            return IsNew(row) ? 1 : 0;
        case Qt::ToolTipRole:
            return IsNew(row)
                       ? QString::fromLatin1("No estaba en la \xFAltima revisi\xF3n terminada")
                       : QVariant();
        default:
            return {};
    }
}

Qt::ItemFlags FlaggedLoansModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

}  // namespace portfolio
