#include "tools/probe/probe.h"

#include <sys/resource.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "customer_search/customer_search_dialog.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "portfolio/portfolio_dialog.h"
#include "tools/probe/process_memory.h"
#include "ui/latin1_text.h"
#include "ui/modal_result.h"

namespace probe {
namespace {

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

void RecordingResponder::Information(const std::string& text) {
    messages.emplace_back("info", text);
}

int RecordingResponder::Confirmation(const std::string& text) {
    messages.emplace_back("confirm", text);
    return answer;
}

void RecordingResponder::Error(const std::string&, const std::string& text) {
    messages.emplace_back("error", text);
}

Probe::Probe(main_window::TFmain& window, RecordingResponder& responder, Source source, Sink sink)
    : window_(window), responder_(responder), source_(std::move(source)), sink_(std::move(sink)) {}

namespace {
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

std::string Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

bool ReadRow(const std::string& text, long& row) {
    char* end = nullptr;
    row = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && row >= 0;
}

// Types text key by key, accented letters included (the test library's
// own typing knows only ASCII).
void TypeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// Clicks data row `row` (a cache index) of a grid, when it is in view.
bool ClickRow(ui::TDBGrid& grid, long row) {
    db::TIBQuery* query = grid.DataSet();
    if (query == nullptr || !query->Active()) return false;
    const int window_row = static_cast<int>(row) - query->WindowFirstRow();
    if (window_row < 0 || window_row >= query->WindowRecordCount()) return false;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellRect(window_row, 0).center());
    return true;
}
}  // namespace

std::string MessagesJson(RecordingResponder& responder) {
    QJsonObject out;
    out["messages"] = TakeMessages(responder);
    return Compact(out);
}

void Probe::Settle() {
    // Queued focus moves and repaints run before the next command.
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void Probe::Error(const std::string& text) {
    QJsonObject out;
    out["error"] = ui::ToQString(text);
    sink_(Compact(out));
}

void Probe::RunAll() {
    quit_ = false;
    std::string line;
    while (!quit_ && window_.isVisible() && source_(line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) Execute(line);
    }
}

void Probe::Execute(const std::string& line) {
    const size_t blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);

    if (command == "quit") {
        quit_ = true;
    } else if (command == "dump") {
        Settle();
        sink_(Compact(Dump()));
    } else if (command == "code") {
        window_.activateWindow();
        window_.edsocio->setFocus(Qt::OtherFocusReason);
        Settle();
        window_.edsocio->setText(QString::fromUtf8(rest.c_str()));
        QTest::keyClick(window_.edsocio, Qt::Key_Tab);
        Settle();
    } else if (command == "loan") {
        long row = 0;
        if (!ReadRow(rest, row)) return Error("loan needs a row number: " + rest);
        if (!ClickRow(*window_.DBGrid1, row)) return Error("loan row not in view: " + rest);
        Settle();
    } else if (command == "answer") {
        if (rest == "yes")
            responder_.answer = ui::kModalYes;
        else if (rest == "no")
            responder_.answer = ui::kModalNo;
        else if (rest == "close")
            responder_.answer = ui::kModalCancel;
        else
            Error("answer yes, no or close: " + rest);
    } else if (command == "press") {
        QPushButton* button = nullptr;
        for (QPushButton* b :
             {window_.btlimpiar, window_.btreindexar, window_.btcorregir, window_.btsalir}) {
            if (b->objectName().toStdString() == rest) button = b;
        }
        if (button == nullptr) return Error("no such button: " + rest);
        QTest::mouseClick(button, Qt::LeftButton);
        Settle();
    } else if (command == "memory") {
        Memory();
    } else if (command == "search") {
        Search();
    } else if (command == "portfolio") {
        Portfolio();
    } else if (command == "shot") {  // not part of the test protocol: a picture for a report
        Settle();
        if (!window_.grab().save(QString::fromUtf8(rest.c_str()), "PNG")) {
            Error("could not write " + rest);
        }
    } else if (command == "find" || command == "pick" || command == "leave") {
        Error("the search dialog is not open");
    } else if (command == "choose" || command == "export" || command == "sort") {
        Error("the portfolio dialog is not open");
    } else {
        Error("unknown command: " + line);
    }
}

// A long run reads its memory and clock between commands; the boxes shown
// are counted by kind and forgotten, so that the driver's own record does
// not grow with the run.
void Probe::Memory() {
    const ProcessMemory memory = ReadProcessMemory();
    QJsonObject out;
    out["rss_kb"] = static_cast<double>(memory.resident_kb);
    out["peak_kb"] = static_cast<double>(memory.peak_resident_kb);
    out["allocated_kb"] = static_cast<double>(memory.allocated_kb);
    out["ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started_)
            .count();
    // Processor time as well: on a busy machine the clock measures the
    // other processes too.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    out["cpu_ms"] = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    QJsonObject boxes{{"info", 0}, {"confirm", 0}, {"error", 0}};
    for (const auto& [kind, text] : responder_.messages) {
        const QString key = QString::fromLatin1(kind.c_str());
        boxes[key] = boxes[key].toInt() + 1;
    }
    responder_.messages.clear();
    out["boxes"] = boxes;
    sink_(Compact(QJsonObject{{"memory", out}}));
}

// Double-clicks the code box; the modal dialog's loop then runs the next
// commands until one of them closes it.
void Probe::Search() {
    QTimer::singleShot(0, [this] {
        auto* dialog = customer_search::Fclientes;
        if (dialog == nullptr) return Error("the search dialog did not open");
        Settle();
        std::string line;
        while (!quit_ && dialog->isVisible() && source_(line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            if (!ExecuteInDialog(*dialog, line)) break;
        }
        if (dialog->isVisible()) {
            // No more commands: leave the dialog so the run can end.
            QTest::mouseClick(dialog->btsalir, Qt::LeftButton);
            quit_ = true;
        }
    });
    QTest::mouseDClick(window_.edsocio, Qt::LeftButton);
    Settle();
}

bool Probe::ExecuteInDialog(customer_search::TFclientes& dialog, const std::string& line) {
    const size_t blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (command == "dump") {
        Settle();
        sink_(Compact(Dump()));
    } else if (command == "answer" || command == "memory") {
        Execute(line);
    } else if (command == "find") {
        const QJsonDocument criteria = QJsonDocument::fromJson(QByteArray::fromStdString(rest));
        if (!criteria.isObject()) {
            Error("find needs a JSON object: " + rest);
            return true;
        }
        const std::pair<const char*, QLineEdit*> boxes[] = {
            {"codigo", dialog.edcodigo},       {"nombres", dialog.ednombres},
            {"apellidos", dialog.edapellidos}, {"telefono", dialog.edtelefono},
            {"cedula", dialog.edcedula},       {"empresa", dialog.edempresa},
        };
        for (const QString& key : criteria.object().keys()) {
            QLineEdit* box = nullptr;
            for (const auto& [name, edit] : boxes) {
                if (key == QLatin1String(name)) box = edit;
            }
            if (box == nullptr) {
                Error("unknown search box: " + key.toStdString());
                return true;
            }
            box->setFocus();
            box->clear();
            TypeText(box, criteria.object()[key].toString());
        }
        QTest::mouseClick(dialog.btbuscar, Qt::LeftButton);
        Settle();
    } else if (command == "pick") {
        long row = 0;
        if (!ReadRow(rest, row)) {
            Error("pick needs a row number: " + rest);
            return true;
        }
        if (dialog.gridclt->DataSet()->Active() && !ClickRow(*dialog.gridclt, row)) {
            Error("member row not in view: " + rest);
            return true;
        }
        QTest::mouseClick(dialog.btescoger, Qt::LeftButton);
        Settle();
    } else if (command == "leave") {
        QTest::mouseClick(dialog.btsalir, Qt::LeftButton);
        Settle();
    } else if (command == "quit") {
        // Ends the run: the dialog is left with Salir first.
        QTest::mouseClick(dialog.btsalir, Qt::LeftButton);
        quit_ = true;
        return false;
    } else if (command == "code" || command == "loan" || command == "press" ||
               command == "search" || command == "shot") {
        Error("the search dialog is open: use find, pick, leave, answer or dump");
    } else {
        Error("unknown command: " + line);
    }
    return true;
}

namespace {
// The portfolio dialog's list as it shows it, its totals line and state.
QJsonObject PortfolioState(portfolio::TFcartera& dialog) {
    QJsonObject out;
    QJsonArray titles;
    for (int column = 0; column < dialog.gridcartera->columnCount(); ++column) {
        titles.append(dialog.gridcartera->horizontalHeaderItem(column)->text());
    }
    out["titles"] = titles;
    QJsonArray rows;
    for (int row = 0; row < dialog.gridcartera->rowCount(); ++row) {
        QJsonArray cells;
        for (int column = 0; column < dialog.gridcartera->columnCount(); ++column) {
            cells.append(dialog.gridcartera->item(row, column)->text());
        }
        rows.append(cells);
    }
    out["rows"] = rows;
    out["totals"] = dialog.lbtotales->text();
    out["finished"] = dialog.Finished();
    return out;
}
}  // namespace

// Presses F2; the modal dialog's loop waits for the check to end, writes
// its list, then runs the next commands until one of them closes it.
void Probe::Portfolio() {
    // The shortcut belongs to the active window: a dialog closed earlier may
    // have left none active.
    window_.activateWindow();
    Settle();
    QTimer::singleShot(0, [this] {
        auto* dialog = portfolio::Fcartera;
        if (dialog == nullptr) return Error("the portfolio dialog did not open");
        for (int waited = 0; !dialog->Finished() && waited < 600000; waited += 10) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(10);
        }
        Settle();
        QJsonObject out;
        out["portfolio"] = PortfolioState(*dialog);
        sink_(Compact(out));
        std::string line;
        while (!quit_ && dialog->isVisible() && source_(line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            if (!ExecuteInPortfolio(*dialog, line)) break;
        }
        if (dialog->isVisible()) {
            dialog->reject();
            quit_ = true;
        }
    });
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &window_;
    QTest::keyClick(focus, Qt::Key_F2);
    Settle();
}

bool Probe::ExecuteInPortfolio(portfolio::TFcartera& dialog, const std::string& line) {
    const size_t blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    if (command == "dump") {
        Settle();
        QJsonObject out;
        out["portfolio"] = PortfolioState(dialog);
        out["messages"] = TakeMessages(responder_);
        sink_(Compact(out));
    } else if (command == "choose") {
        long row = 0;
        if (!ReadRow(rest, row) || row >= dialog.gridcartera->rowCount()) {
            Error("choose needs a row of the list: " + rest);
            return true;
        }
        // A double click on the row, as the analyst takes it.
        QTableWidgetItem* item = dialog.gridcartera->item(static_cast<int>(row), 0);
        dialog.gridcartera->scrollToItem(item);
        const QPoint point = dialog.gridcartera->visualItemRect(item).center();
        QTest::mouseClick(dialog.gridcartera->viewport(), Qt::LeftButton, {}, point);
        QTest::mouseDClick(dialog.gridcartera->viewport(), Qt::LeftButton, {}, point);
        Settle();
    } else if (command == "sort") {
        long column = 0;
        const size_t space = rest.find(' ');
        const std::string order = space == std::string::npos ? "asc" : rest.substr(space + 1);
        if (!ReadRow(rest.substr(0, space), column) ||
            column >= dialog.gridcartera->columnCount()) {
            Error("sort needs a column number: " + rest);
            return true;
        }
        dialog.gridcartera->sortByColumn(
            static_cast<int>(column), order == "desc" ? Qt::DescendingOrder : Qt::AscendingOrder);
        Settle();
    } else if (command == "enter") {
        dialog.gridcartera->setFocus();
        QTest::keyClick(dialog.gridcartera, Qt::Key_Return);
        Settle();
    } else if (command == "export") {
        if (!dialog.ExportTo(rest)) Error("could not write " + rest);
    } else if (command == "leave") {
        QTest::mouseClick(dialog.btcancelar, Qt::LeftButton);
        Settle();
    } else if (command == "answer") {
        Execute(line);
    } else if (command == "quit") {
        dialog.reject();
        quit_ = true;
        return false;
    } else {
        Error("the portfolio dialog is open: use choose, enter, sort, export, leave or dump");
    }
    return true;
}

QJsonObject Probe::Dump() {
    QJsonObject out;
    out["edsocio"] = window_.edsocio->text();
    // The program's control: Qt's inner parts (a page control's tab bar)
    // stand for the control that holds them.
    QWidget* focus = QApplication::focusWidget();
    while (focus != nullptr &&
           (focus->objectName().isEmpty() || focus->objectName().startsWith("qt_"))) {
        focus = focus->parentWidget();
    }
    out["focus"] = focus ? QJsonValue(focus->objectName()) : QJsonValue(QJsonValue::Null);
    QJsonObject labels;
    for (QLabel* label : {window_.lbnombre, window_.lbcedula, window_.lbempresa, window_.lbbalance,
                          window_.lbtot1, window_.lbtot2, window_.lbtot3, window_.lbbal}) {
        labels[label->objectName()] = LabelText(label);
    }
    out["labels"] = labels;
    QJsonObject banner;
    banner["text"] = LabelText(window_.lbmensajes);
    banner["visible"] = window_.lbmensajes->isVisible();
    out["lbmensajes"] = banner;
    QJsonObject grids;
    grids["DBGrid1"] = GridState(*window_.DBGrid1, false);
    grids["DBGrid2"] = GridState(*window_.DBGrid2, false);
    grids["DBGrid3"] = GridState(*window_.DBGrid3, true);
    if (customer_search::Fclientes != nullptr && customer_search::Fclientes->isVisible()) {
        grids["gridclt"] = GridState(*customer_search::Fclientes->gridclt, false);
    }
    out["grids"] = grids;
    out["messages"] = TakeMessages(responder_);
    return out;
}

}  // namespace probe
