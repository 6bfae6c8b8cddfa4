// Window test driver: runs the real main window offscreen in the current
// directory and takes commands on standard input (see probe.h).
#include <QApplication>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "main_window/main_window.h"
#include "shell/application.h"
#include "shell/qt_translations.h"
#include "shell/startup.h"
#include "tools/probe/probe.h"
#include "ui/application_title.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    shell::Application app(argc, argv);
    ui::SetApplicationTitle(shell::kApplicationTitle);
    shell::LoadQtTranslations(app);  // as the program does
    // Installed before the window exists, so a start-up failure's box is
    // recorded and printed like any other.
    probe::RecordingResponder responder;
    ui::SetDialogResponder(&responder);
    std::unique_ptr<main_window::TFmain> window = shell::CreateMainWindow();
    if (!window) {
        std::cout << probe::MessagesJson(responder) << std::endl;
        return 1;
    }
    probe::Probe probe(
        *window, responder, [](std::string& line) { return bool(std::getline(std::cin, line)); },
        [](const std::string& line) { std::cout << line << std::endl; });
    window->show();
    window->activateWindow();
    QApplication::processEvents();
    probe.RunAll();
    window.reset();
    return 0;
}
