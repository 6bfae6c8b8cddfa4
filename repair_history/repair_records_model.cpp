#include "repair_history/repair_records_model.h"

#include <ctime>
#include <map>

#include "loans/rules/reconciliation.h"
#include "ui/latin1_text.h"

namespace repair_history {
namespace {

const char* const kTitles[RepairRecordsModel::kColumns] = {"FECHA",
                                                           "USUARIO",
                                                           "EQUIPO",
                                                           "REPARACION",
                                                           "RESULTADO",
                                                           "BALANCE CXC ANTES",
                                                           "BALANCE CXC DESPUES",
                                                           "FILAS"};

constexpr int kOutcomeColumn = 4;

// The balances read from the right.
bool RightAligned(int column) {
    return column == 5 || column == 6;
}

// Records keep UTC; people read their own clock, with the whole year.
std::string LocalTime(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &parts);
    return text;
}

// What became of the record: rolled back (the server's words in the
// tooltip), undone later by another record, or standing.
std::string Outcome(const loans::RepairRecord& record,
                    const std::map<std::string, const loans::RepairRecord*>& undone_by) {
    if (record.rolled_back) return "Revertida";
    if (record.unconfirmed) return "Sin confirmar";
    const auto undo = undone_by.find(record.id);
    if (undo != undone_by.end()) return "Deshecha el " + LocalTime(undo->second->time);
    return "Realizada";
}

}  // namespace

RepairRecordsModel::RepairRecordsModel(QObject* parent) : QAbstractTableModel(parent) {}

void RepairRecordsModel::SetRecords(const std::vector<loans::RepairRecord>& oldest_first) {
    std::map<std::string, const loans::RepairRecord*> undone_by;
    for (const loans::RepairRecord& record : oldest_first) {
        if (!record.undoes.empty() && !record.rolled_back && !record.unconfirmed) {
            undone_by[record.undoes] = &record;
        }
    }
    beginResetModel();
    lines_.clear();
    // Newest first: the last repair is the one an analyst looks for.
    for (auto record = oldest_first.rbegin(); record != oldest_first.rend(); ++record) {
        Line line;
        line.texts = {
            ui::ToQString(LocalTime(record->time)),
            ui::ToQString(record->user),
            ui::ToQString(record->workstation),
            ui::ToQString(record->repair),
            ui::ToQString(Outcome(*record, undone_by)),
            ui::ToQString(loans::ShownAmount(record->receivable_balance_before)),
            ui::ToQString(loans::ShownAmount(record->receivable_balance_after)),
            ui::ToQString(std::to_string(record->rows_deleted) + " borradas, " +
                          std::to_string(record->rows_inserted) + " insertadas, " +
                          std::to_string(record->rows_updated) + " actualizadas"),
        };
        if (record->rolled_back || record->unconfirmed) {
            line.outcome_tip = ui::ToQString(record->message);
        }
        line.undone = undone_by.count(record->id) > 0;
        lines_.push_back(std::move(line));
    }
    records_.assign(oldest_first.rbegin(), oldest_first.rend());
    endResetModel();
}

int RepairRecordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int RepairRecordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant RepairRecordsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) return {};
    const Line& line = lines_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return line.texts[static_cast<size_t>(index.column())];
        case Qt::ToolTipRole:
            // The whole text, for a column narrower than it.
            if (index.column() == kOutcomeColumn && !line.outcome_tip.isNull()) {
                return line.texts[static_cast<size_t>(index.column())] + ": " + line.outcome_tip;
            }
            return line.texts[static_cast<size_t>(index.column())];
        case Qt::TextAlignmentRole:
            if (RightAligned(index.column())) return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        default:
            return {};
    }
}

QVariant RepairRecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kColumns) {
        return QString::fromLatin1(kTitles[section]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags RepairRecordsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

}  // namespace repair_history
