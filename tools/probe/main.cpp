// Window test driver: runs the real main window offscreen in the current
// directory and takes commands on standard input (see probe.h).
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "main_window/main_window.h"
#include "runtime/termination_signals.h"
#include "shell/application.h"
#include "shell/qt_translations.h"
#include "shell/startup.h"
#include "shell/termination.h"
#include "tools/probe/probe.h"
#include "ui/application_title.h"

namespace {

// One line of standard input. The wait for it breaks off when SIGTERM or
// SIGINT has come, so the driver then ends as the program does.
bool ReadLine(std::string& line) {
    static std::string pending;
    for (;;) {
        if (shell::TerminationSignal() != 0) return false;
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return true;
        }
        pollfd input{STDIN_FILENO, POLLIN, 0};
        // A signal taken by another thread does not break the wait: a
        // bounded wait notices it all the same.
        if (::poll(&input, 1, 100) <= 0) continue;
        char chunk[4096];
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (pending.empty()) return false;
            line.swap(pending);  // the last line, without its line break
            pending.clear();
            return true;
        }
        pending.append(chunk, static_cast<size_t>(got));
    }
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    shell::Application app(argc, argv);
    ui::SetApplicationTitle(shell::kApplicationTitle);
    shell::LoadQtTranslations(app);  // as the program does
    // Installed before the window exists, so a start-up failure's box is
    // recorded and printed like any other.
    probe::RecordingResponder responder;
    ui::SetDialogResponder(&responder);
    std::unique_ptr<main_window::TFmain> window;
    std::unique_ptr<probe::Probe> probe;
    bool created = true;
    runtime::HoldingTerminationSignals([&] {
        window = shell::CreateMainWindow();
        if (!window) {
            created = false;
            return;
        }
        probe = std::make_unique<probe::Probe>(
            *window, responder, ReadLine,
            [](const std::string& line) { std::cout << line << std::endl; });
        window->show();
        window->activateWindow();
        QApplication::processEvents();
        // After the first connection, whose engine installs handlers of its own.
        shell::EndOnTerminationSignals(*window);
    });
    if (!created) {
        std::cout << probe::MessagesJson(responder) << std::endl;
        return 1;
    }
    probe->RunAll();
    probe.reset();
    if (const int signal_number = shell::TerminationSignal()) {
        // Ended as the program ends, with the shell's code for the signal.
        // Nothing is pending: the window only reads, and each repair has
        // committed or rolled back. The embedded engine's detach does not
        // return after a termination signal in a process that runs no event
        // loop (Firebird 3.0.11), so the driver leaves without it.
        std::cout.flush();
        ::_exit(128 + signal_number);
    }
    window.reset();
    return 0;
}
