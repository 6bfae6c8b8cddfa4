#include "portfolio/preview_model.h"

#include <QFont>

#include "ui/latin1_text.h"
#include "ui/program_font.h"

namespace portfolio {
namespace {

const char* const kTitles[PreviewModel::kColumns] = {"SOCIO", "PRESTAMO", "CAMBIO", "DOCUMENTO",
                                                     "TIPO",  "FECHA",    "VALOR",  "INTERES"};

// Amounts read from the right.
bool RightAligned(int column) {
    return column >= 6;
}

// "pagado capital 0,00 → 3.000,00; pagado interés ..."
QString ChangesText(const std::vector<loans::PreviewChange>& changes) {
    QString text;
    for (const loans::PreviewChange& change : changes) {
        if (!text.isEmpty()) text += QStringLiteral("; ");
        if (!change.what.empty()) text += ui::ToQString(change.what) + QChar(' ');
        text +=
            ui::ToQString(change.before) + QStringLiteral(" \u2192 ") + ui::ToQString(change.after);
    }
    return text;
}

}  // namespace

PreviewModel::PreviewModel(QObject* parent) : QAbstractTableModel(parent) {}

void PreviewModel::SetLines(std::vector<loans::PreviewLine> lines) {
    beginResetModel();
    lines_.clear();
    lines_.reserve(lines.size());
    for (const loans::PreviewLine& from : lines) {
        Line line;
        line.cells[0] = ui::ToQString(from.member);
        line.cells[1] = QString::number(from.loan);
        line.cells[2] = ui::ToQString(from.subject);
        using Kind = loans::PreviewLine::Kind;
        switch (from.kind) {
            case Kind::kLedgerOut:
            case Kind::kLedgerIn:
                line.cells[3] = ui::ToQString(from.document);
                line.cells[4] = ui::ToQString(from.document_kind);
                line.cells[5] = ui::ToQString(from.date);
                line.cells[6] = ui::ToQString(from.amount);
                line.cells[7] = ui::ToQString(from.interest);
                break;
            case Kind::kInstalment:
            case Kind::kBalance:
                line.cells[kTextColumn] = ChangesText(from.changes);
                line.spanned = true;
                break;
            case Kind::kReason:
            case Kind::kOutcome:
                line.cells[kTextColumn] = ui::ToQString(from.text);
                line.spanned = true;
                line.emphasised = true;
                break;
        }
        lines_.push_back(std::move(line));
    }
    endResetModel();
}

bool PreviewModel::Spanned(int row) const {
    return row >= 0 && row < rowCount() && lines_[static_cast<size_t>(row)].spanned;
}

int PreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) return {};
    const Line& line = lines_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return line.cells[static_cast<size_t>(index.column())];
        case Qt::TextAlignmentRole:
            if (RightAligned(index.column()) && !line.spanned) {
                return int(Qt::AlignRight | Qt::AlignVCenter);
            }
            return {};
        case Qt::FontRole:
            if (line.emphasised) return ui::ProgramFont(11, true);
            return {};
        default:
            return {};
    }
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kColumns) {
        return QString::fromLatin1(kTitles[section]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PreviewModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

}  // namespace portfolio
