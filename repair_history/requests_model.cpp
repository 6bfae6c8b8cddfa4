#include "repair_history/requests_model.h"

#include <ctime>

#include "loans/approval/approvals.h"
#include "ui/latin1_text.h"

namespace repair_history {
namespace {

// Latin-1, as every program text: "PRÉSTAMO", "REPARACIÓN".
const char* const kTitles[RequestsModel::kColumns] = {"SOLICITUD",     "FECHA", "SOLICITANTE",
                                                      "EQUIPO",        "SOCIO", "PR\xC9STAMO",
                                                      "REPARACI\xD3N", "ESTADO"};

std::string LocalTime(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%d/%m/%Y %H:%M:%S", &parts);
    return text;
}

}  // namespace

RequestsModel::RequestsModel(QObject* parent) : QAbstractTableModel(parent) {}

void RequestsModel::SetRequests(std::vector<loans::Request> requests) {
    beginResetModel();
    requests_ = std::move(requests);
    lines_.clear();
    for (const loans::Request& request : requests_) {
        lines_.push_back({
            QString::number(request.id),
            ui::ToQString(LocalTime(request.time)),
            ui::ToQString(request.user),
            ui::ToQString(request.workstation),
            ui::ToQString(request.member),
            QString::number(request.loan),
            ui::ToQString(request.repair),
            ui::ToQString(loans::FateText(request)),
        });
    }
    endResetModel();
}

int RequestsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

int RequestsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant RequestsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumns) return {};
    const QString& text =
        lines_[static_cast<size_t>(index.row())][static_cast<size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return text;
        case Qt::TextAlignmentRole:
            // Numbers read from the right.
            if (index.column() == 0 || index.column() == 5) {
                return int(Qt::AlignRight | Qt::AlignVCenter);
            }
            return {};
        default:
            return {};
    }
}

QVariant RequestsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kColumns) {
        return QString::fromLatin1(kTitles[section]);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags RequestsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled;
}

}  // namespace repair_history
