// The driver's JSON: what the window, the search dialog and the portfolio
// dialog show.
#include "tools/probe/state_json.h"

#include <QApplication>
#include <QJsonDocument>
#include <QLabel>
#include <QTableView>
#include <algorithm>

#include "customer_search/customer_search_dialog.h"
#include "pending_requests/requests_access.h"
#include "portfolio/portfolio_access.h"
#include "repair_history/history_access.h"
#include "tools/probe/driver.h"
#include "ui/latin1_text.h"

namespace probe {
namespace {

using main_window::WindowAccess;

QString Latin1(const std::string& text) {
    return ui::ToQString(text);
}

// A label's text as the program set it (a carriage return stays one).
QString LabelText(const QLabel* label) {
    const QVariant raw = label->property("latin1Text");
    if (raw.isValid()) {
        const QByteArray bytes = raw.toByteArray();
        return QString::fromLatin1(bytes.constData(), bytes.size());
    }
    return label->text();
}

QJsonObject GridState(ui::TDBGrid& grid, bool with_colours) {
    QJsonObject out;
    QJsonArray titles;
    for (const std::string& title : grid.TitleTexts()) titles.append(Latin1(title));
    out["titles"] = titles;
    QJsonArray rows;
    QJsonArray colours;
    db::TIBQuery* query = grid.DataSource() ? grid.DataSource()->DataSet() : nullptr;
    if (query != nullptr && query->Active()) {
        query->FetchAll();
        for (int row = 0; row < query->FetchedRowCount(); ++row) {
            QJsonArray cells;
            for (const std::string& cell : grid.RowTexts(row)) cells.append(Latin1(cell));
            rows.append(cells);
            if (with_colours) colours.append(grid.RowTextColor(row).name());
        }
    }
    out["rows"] = rows;
    const int current = grid.CurrentRow();
    out["current"] = current >= 0 ? QJsonValue(current) : QJsonValue(QJsonValue::Null);
    if (with_colours) out["colors"] = colours;
    return out;
}

}  // namespace

std::string Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

QJsonArray TakeMessages(RecordingResponder& responder) {
    QJsonArray messages;
    for (const auto& [kind, text] : responder.messages) {
        QJsonObject message;
        message["kind"] = QString::fromLatin1(kind.c_str());
        message["text"] = ui::ToQString(text);
        messages.append(message);
    }
    responder.messages.clear();
    return messages;
}

std::string MessagesJson(RecordingResponder& responder) {
    QJsonObject out;
    out["messages"] = TakeMessages(responder);
    return Compact(out);
}

QJsonObject WindowState(Driver& driver) {
    const WindowAccess& window = driver.window;
    QJsonObject out;
    out["edsocio"] = window.CodeBox()->text();
    // The program's control: Qt's inner parts (a page control's tab bar)
    // stand for the control that holds them.
    QWidget* focus = QApplication::focusWidget();
    while (focus != nullptr &&
           (focus->objectName().isEmpty() || focus->objectName().startsWith("qt_"))) {
        focus = focus->parentWidget();
    }
    out["focus"] = focus ? QJsonValue(focus->objectName()) : QJsonValue(QJsonValue::Null);
    QJsonObject labels;
    for (QLabel* label : window.FilledLabels()) labels[label->objectName()] = LabelText(label);
    out["labels"] = labels;
    QJsonObject banner;
    const QLabel* messages = window.LabelOf(WindowAccess::Label::Messages);
    banner["text"] = LabelText(messages);
    banner["visible"] = messages->isVisible();
    out["lbmensajes"] = banner;
    const QLabel* pending = window.PendingApproval();
    out["pendiente"] = pending->isHidden() ? QString() : pending->text();
    QJsonObject grids;
    grids["DBGrid1"] = GridState(*window.GridOf(WindowAccess::Grid::Loans), false);
    grids["DBGrid2"] = GridState(*window.GridOf(WindowAccess::Grid::Schedule), false);
    grids["DBGrid3"] = GridState(*window.GridOf(WindowAccess::Grid::Documents), true);
    if (customer_search::Fclientes != nullptr && customer_search::Fclientes->isVisible()) {
        grids["gridclt"] = GridState(*customer_search::Fclientes->gridclt, false);
    }
    out["grids"] = grids;
    out["messages"] = TakeMessages(driver.responder);
    return out;
}

namespace {

// A dialog list's cell texts, row by row, as it shows them.
QJsonArray ListRows(const QTableView& list) {
    const QAbstractItemModel& shown = *list.model();
    QJsonArray rows;
    for (int row = 0; row < shown.rowCount(); ++row) {
        QJsonArray cells;
        for (int column = 0; column < shown.columnCount(); ++column) {
            cells.append(shown.index(row, column).data().toString());
        }
        rows.append(cells);
    }
    return rows;
}

}  // namespace

QJsonObject PortfolioState(portfolio::TFcartera& dialog) {
    const portfolio::PortfolioAccess access(dialog);
    const QTableView& list = *access.List();
    QJsonObject out;
    QJsonArray titles;
    for (int column = 0; column < list.model()->columnCount(); ++column) {
        titles.append(list.model()->headerData(column, Qt::Horizontal).toString());
    }
    out["titles"] = titles;
    out["rows"] = ListRows(list);
    out["totals"] = access.Totals()->text();
    out["finished"] = access.Finished();
    QJsonArray selected;
    for (int row = 0; row < list.model()->rowCount(); ++row) {
        if (list.selectionModel()->isSelected(list.model()->index(row, 0))) selected.append(row);
    }
    out["selected"] = selected;
    out["current"] = list.currentIndex().row();
    out["listed"] = access.Listed()->text();
    out["filter"] = access.Filter()->text();
    out["repairs"] = access.RepairFilter()->currentText();
    out["progress"] = access.Progress()->value() * 100 / std::max(1, access.Progress()->maximum());
    // Shown once asked for: its lines, each as its cells.
    out["preview"] = !access.Preview()->isHidden() ? ListRows(*access.Preview()) : QJsonArray();
    return out;
}

QJsonObject HistoryState(repair_history::TFhistorial& dialog) {
    const repair_history::HistoryAccess access(dialog);
    QJsonObject out;
    out["loan"] = access.Loan()->text();
    out["origin"] = access.Origin()->text();
    out["rows"] = ListRows(*access.List());
    out["current"] = access.List()->currentIndex().row();
    out["undo"] = access.Undo()->isEnabled();
    out["requests"] = !access.Requests()->isHidden() ? ListRows(*access.Requests()) : QJsonArray();
    return out;
}

QJsonObject RequestsState(pending_requests::TFsolicitudes& dialog) {
    const pending_requests::RequestsAccess access(dialog);
    QJsonObject out;
    out["count"] = access.Count()->text();
    out["rows"] = ListRows(*access.List());
    out["current"] = access.List()->currentIndex().row();
    out["preview"] = ListRows(*access.Preview());
    out["approve"] = access.Approve()->isEnabled();
    out["reject"] = access.Reject()->isEnabled();
    return out;
}

}  // namespace probe
