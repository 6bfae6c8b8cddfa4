// Window test driver: runs the real main window offscreen in the current
// directory and takes commands on standard input (see probe.h).
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "main_window/main_window.h"
#include "shell/application.h"
#include "shell/startup.h"
#include "tools/probe/probe.h"
#include "ui/application_title.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    shell::Application app(argc, argv);
    ui::SetApplicationTitle(shell::kApplicationTitle);
    // Installed before the window exists, so a start-up failure's box is
    // recorded and printed like any other.
    probe::RecordingResponder responder;
    ui::SetDialogResponder(&responder);
    std::unique_ptr<main_window::TFmain> window = shell::CreateMainWindow();
    if (!window) {
        std::cout << probe::MessagesJson(responder) << std::endl;
        return 1;
    }
    probe::Probe probe(*window, responder);
    window->show();
    window->activateWindow();
    QApplication::processEvents();

    std::string line;
    bool quit = false;
    while (!quit && std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::string answer = probe.Run(line, quit);
        if (!answer.empty()) std::cout << answer << std::endl;
        if (!window->isVisible()) break;  // Salir closed it
    }
    window.reset();
    return 0;
}
