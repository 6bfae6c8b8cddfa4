#include "tools/probe/probe.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "ui/latin1_text.h"
#include "ui/modal_result.h"

namespace probe {
namespace {

QString Latin1(const std::string& text) { return ui::ToQString(text); }

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

void RecordingResponder::Information(const std::string& text) { messages.emplace_back("info", text); }

int RecordingResponder::Confirmation(const std::string& text) {
    messages.emplace_back("confirm", text);
    return answer;
}

void RecordingResponder::Error(const std::string&, const std::string& text) {
    messages.emplace_back("error", text);
}

Probe::Probe(main_window::TFmain& window, RecordingResponder& responder)
    : window_(window), responder_(responder) {}

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
}  // namespace

std::string MessagesJson(RecordingResponder& responder) {
    QJsonObject out;
    out["messages"] = TakeMessages(responder);
    return QJsonDocument(out).toJson(QJsonDocument::Compact).toStdString();
}

void Probe::Settle() {
    // Queued focus moves and repaints run before the next command.
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

std::string Probe::Run(const std::string& line, bool& quit) {
    const size_t blank = line.find(' ');
    const std::string command = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
    auto error = [](const std::string& text) {
        QJsonObject out;
        out["error"] = Latin1(text);
        return QJsonDocument(out).toJson(QJsonDocument::Compact).toStdString();
    };

    if (command == "quit") {
        quit = true;
        return {};
    }
    if (command == "dump") {
        Settle();
        return QJsonDocument(Dump()).toJson(QJsonDocument::Compact).toStdString();
    }
    if (command == "code") {
        window_.activateWindow();
        window_.edsocio->setFocus(Qt::OtherFocusReason);
        Settle();
        window_.edsocio->setText(QString::fromUtf8(rest.c_str()));
        QTest::keyClick(window_.edsocio, Qt::Key_Tab);
        Settle();
        return {};
    }
    if (command == "loan") {
        char* end = nullptr;
        const long row = std::strtol(rest.c_str(), &end, 10);
        if (rest.empty() || *end != '\0' || row < 0) return error("loan needs a row number: " + rest);
        ui::TDBGrid& grid = *window_.DBGrid1;
        db::TIBQuery* query = grid.DataSource()->DataSet();
        if (!query->Active()) return error("the loan list is closed");
        const int window_row = static_cast<int>(row) - query->WindowFirstRow();
        if (window_row < 0 || window_row >= query->WindowRecordCount()) {
            return error("loan row not in view: " + rest);
        }
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellRect(window_row, 0).center());
        Settle();
        return {};
    }
    if (command == "answer") {
        if (rest == "yes") responder_.answer = ui::kModalYes;
        else if (rest == "no") responder_.answer = ui::kModalNo;
        else if (rest == "close") responder_.answer = ui::kModalCancel;
        else return error("answer yes, no or close: " + rest);
        return {};
    }
    if (command == "press") {
        QPushButton* button = nullptr;
        for (QPushButton* b : {window_.btlimpiar, window_.btreindexar, window_.btcorregir,
                               window_.btsalir}) {
            if (b->objectName().toStdString() == rest) button = b;
        }
        if (button == nullptr) return error("no such button: " + rest);
        QTest::mouseClick(button, Qt::LeftButton);
        Settle();
        return {};
    }
    if (command == "shot") {  // not part of the test protocol: a picture for a report
        Settle();
        if (!window_.grab().save(QString::fromUtf8(rest.c_str()), "PNG")) {
            return error("could not write " + rest);
        }
        return {};
    }
    if (command == "search" || command == "find" || command == "pick" || command == "leave") {
        return error("the search dialog is not available");
    }
    return error("unknown command: " + line);
}

QJsonObject Probe::Dump() {
    QJsonObject out;
    out["edsocio"] = window_.edsocio->text();
    QWidget* focus = QApplication::focusWidget();
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
    out["grids"] = grids;
    out["messages"] = TakeMessages(responder_);
    return out;
}

}  // namespace probe
