#pragma once

#include <QJsonObject>
#include <chrono>
#include <string>

#include "main_window/window_access.h"
#include "tools/probe/probe.h"

class QWidget;

namespace probe {

// What every command works with: the window, the recorded boxes, where the
// commands come from and where the answers go.
struct Driver {
    Driver(main_window::TFmain& window, RecordingResponder& responder, Probe::Source source,
           Probe::Sink sink);

    // The next non-empty command while `shown` is visible and the run goes
    // on; false when there is none.
    bool NextCommand(const QWidget& shown, std::string& line);
    // Queued focus moves and repaints run before the next command.
    void Settle();
    void Write(const QJsonObject& object);
    // A refused command: {"error": text}.
    void Error(const std::string& text);

    main_window::TFmain& form;
    main_window::WindowAccess window;
    RecordingResponder& responder;
    Probe::Source source;
    Probe::Sink sink;
    bool quit = false;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

// A command line cut at its first blank: the command's name and the rest.
struct CommandLine {
    explicit CommandLine(const std::string& line);
    std::string name;
    std::string rest;
};

// One context's commands: a name and its handler.
template <typename Handler>
struct Command {
    const char* name;
    Handler handler;
};

template <typename Handler, size_t N>
const Handler* FindCommand(const Command<Handler> (&table)[N], const std::string& name) {
    for (const Command<Handler>& command : table) {
        if (name == command.name) return &command.handler;
    }
    return nullptr;
}

}  // namespace probe
