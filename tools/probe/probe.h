#pragma once

#include <QJsonObject>
#include <string>
#include <vector>

#include "ui/dialog_responder.h"

namespace main_window {
class TFmain;
}

namespace probe {

// Answers every box and confirmation from a script and remembers them for
// the next dump.
class RecordingResponder : public ui::DialogResponder {
public:
    void Information(const std::string& text) override;
    int Confirmation(const std::string& text) override;
    void Error(const std::string& title, const std::string& text) override;

    int answer = 7;  // No until told otherwise
    std::vector<std::pair<std::string, std::string>> messages;  // kind, text
};

// Drives the real main window from text commands; one JSON line per answer.
class Probe {
public:
    Probe(main_window::TFmain& window, RecordingResponder& responder);
    // Runs one command line; returns the line to print, or an empty text.
    // Sets `quit` for the quit command.
    std::string Run(const std::string& line, bool& quit);

private:
    QJsonObject Dump();
    void Settle();

    main_window::TFmain& window_;
    RecordingResponder& responder_;
};

// {"messages": [...]} with the recorded boxes, which are then forgotten.
std::string MessagesJson(RecordingResponder& responder);

}  // namespace probe
