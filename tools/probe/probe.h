#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialog_responder.h"

namespace main_window {
class TFmain;
}

namespace probe {

struct Driver;

// Answers every box and confirmation from a script and remembers them for
// the next dump.
class RecordingResponder : public ui::DialogResponder {
  public:
    void Information(const std::string& text) override;
    int Confirmation(const std::string& text) override;
    void Error(const std::string& title, const std::string& text) override;
    // Answers with `text_answer`, once, then as cancelled.
    std::optional<std::string> TextInput(const std::string& title,
                                         const std::string& prompt) override;

    int answer = 7;  // No until told otherwise
    std::optional<std::string> text_answer;
    std::vector<std::pair<std::string, std::string>> messages;  // kind, text
};

// Drives the real main window from text commands, one per line, and writes
// one JSON line per dump, memory reading or refused command. While the modal search dialog
// or repair history is open, the commands keep coming from the same source;
// while the portfolio dialog is open beside the window, its commands go to
// it and the others to the window.
class Probe {
  public:
    using Source = std::function<bool(std::string& line)>;  // false at the end
    using Sink = std::function<void(const std::string& line)>;

    Probe(main_window::TFmain& window, RecordingResponder& responder, Source source, Sink sink);
    ~Probe();
    // Runs commands until quit, the window closes or the source ends.
    void RunAll();

  private:
    std::unique_ptr<Driver> driver_;
};

// {"messages": [...]} with the recorded boxes, which are then forgotten.
std::string MessagesJson(RecordingResponder& responder);

}  // namespace probe
