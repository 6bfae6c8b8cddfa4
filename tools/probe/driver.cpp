#include "tools/probe/driver.h"

#include <QApplication>
#include <QJsonDocument>
#include <QWidget>

#include "tools/probe/state_json.h"
#include "ui/latin1_text.h"

namespace probe {

Driver::Driver(main_window::TFmain& main, RecordingResponder& recording, Probe::Source input,
               Probe::Sink output)
    : form(main),
      window(main),
      responder(recording),
      source(std::move(input)),
      sink(std::move(output)) {}

bool Driver::NextCommand(const QWidget& shown, std::string& line) {
    while (!quit && shown.isVisible() && source(line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) return true;
    }
    return false;
}

void Driver::Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void Driver::Write(const QJsonObject& object) {
    sink(Compact(object));
}

void Driver::Error(const std::string& text) {
    QJsonObject out;
    out["error"] = ui::ToQString(text);
    Write(out);
}

CommandLine::CommandLine(const std::string& line) {
    const size_t blank = line.find(' ');
    name = line.substr(0, blank);
    rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
}

}  // namespace probe
