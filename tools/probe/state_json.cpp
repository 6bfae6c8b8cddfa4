// The driver's JSON: what the window, the search dialog and the portfolio
// dialog show.
#include "tools/probe/state_json.h"

#include <QApplication>
#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>

#include "customer_search/customer_search_dialog.h"
#include "portfolio/portfolio_dialog.h"
#include "repair_history/repair_history_dialog.h"
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

// A dialog list's cell texts, row by row.
QJsonArray ListRows(const QTableWidget& list) {
    QJsonArray rows;
    for (int row = 0; row < list.rowCount(); ++row) {
        QJsonArray cells;
        for (int column = 0; column < list.columnCount(); ++column) {
            cells.append(list.item(row, column)->text());
        }
        rows.append(cells);
    }
    return rows;
}

}  // namespace

QJsonObject PortfolioState(portfolio::TFcartera& dialog) {
    QJsonObject out;
    QJsonArray titles;
    for (int column = 0; column < dialog.gridcartera->columnCount(); ++column) {
        titles.append(dialog.gridcartera->horizontalHeaderItem(column)->text());
    }
    out["titles"] = titles;
    out["rows"] = ListRows(*dialog.gridcartera);
    out["totals"] = dialog.lbtotales->text();
    out["finished"] = dialog.Finished();
    QJsonArray selected;
    for (int row = 0; row < dialog.gridcartera->rowCount(); ++row) {
        if (dialog.gridcartera->item(row, 0)->isSelected()) selected.append(row);
    }
    out["selected"] = selected;
    out["preview"] = !dialog.mmprevia->isHidden() ? dialog.mmprevia->toPlainText() : QString();
    return out;
}

QJsonObject HistoryState(repair_history::TFhistorial& dialog) {
    QJsonObject out;
    out["loan"] = dialog.lbprestamo->text();
    out["rows"] = ListRows(*dialog.gridhistorial);
    out["current"] = dialog.gridhistorial->currentRow();
    out["undo"] = dialog.btdeshacer->isEnabled();
    return out;
}

}  // namespace probe
