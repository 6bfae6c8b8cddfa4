#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <string>

namespace portfolio {
class TFcartera;
}
namespace repair_history {
class TFhistorial;
}
namespace pending_requests {
class TFsolicitudes;
}

namespace probe {

struct Driver;
class RecordingResponder;

std::string Compact(const QJsonObject& object);
// The boxes shown since the last call, which are then forgotten.
QJsonArray TakeMessages(RecordingResponder& responder);
// The code box, focus, labels, banner and grids (the search dialog's too
// while it shows), and the boxes shown since the last dump.
QJsonObject WindowState(Driver& driver);
// The portfolio dialog's list as it shows it, its totals line and state.
QJsonObject PortfolioState(portfolio::TFcartera& dialog);
// The repair history's list as it shows it, its current row and whether
// "Deshacer" is enabled.
QJsonObject HistoryState(repair_history::TFhistorial& dialog);
// "Solicitudes pendientes": its count line, list, current row, the current
// request's preview and whether its buttons are enabled.
QJsonObject RequestsState(pending_requests::TFsolicitudes& dialog);

}  // namespace probe
