#pragma once

#include <QJsonObject>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialog_responder.h"

namespace main_window {
class TFmain;
}
namespace customer_search {
class TFclientes;
}
namespace portfolio {
class TFcartera;
}

namespace probe {

// Answers every box and confirmation from a script and remembers them for
// the next dump.
class RecordingResponder : public ui::DialogResponder {
  public:
    void Information(const std::string& text) override;
    int Confirmation(const std::string& text) override;
    void Error(const std::string& title, const std::string& text) override;

    int answer = 7;                                             // No until told otherwise
    std::vector<std::pair<std::string, std::string>> messages;  // kind, text
};

// Drives the real main window from text commands, one per line, and writes
// one JSON line per dump, memory reading or refused command. While the modal search dialog
// is open, the commands keep coming from the same source.
class Probe {
  public:
    using Source = std::function<bool(std::string& line)>;  // false at the end
    using Sink = std::function<void(const std::string& line)>;

    Probe(main_window::TFmain& window, RecordingResponder& responder, Source source, Sink sink);
    // Runs commands until quit, the window closes or the source ends.
    void RunAll();

  private:
    void Execute(const std::string& line);
    void Memory();
    void Search();
    bool ExecuteInDialog(customer_search::TFclientes& dialog, const std::string& line);
    void Portfolio();
    bool ExecuteInPortfolio(portfolio::TFcartera& dialog, const std::string& line);
    QJsonObject Dump();
    void Error(const std::string& text);
    void Settle();

    main_window::TFmain& window_;
    RecordingResponder& responder_;
    Source source_;
    Sink sink_;
    bool quit_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

// {"messages": [...]} with the recorded boxes, which are then forgotten.
std::string MessagesJson(RecordingResponder& responder);

}  // namespace probe
