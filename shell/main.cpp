// The program: names itself, creates the main window (which loads the
// client library), shows it and runs the event loop until it closes.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "config/config_file.h"
#include "main_window/main_window.h"
#include "shell/application.h"
#include "shell/command_line.h"
#include "shell/qt_translations.h"
#include "shell/startup.h"
#include "shell/termination.h"
#include "ui/application_title.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    shell::CommandLine command_line;
    if (arguments.size() > 1) {
        // The usage's headings are Qt's: translated, they need an application
        // object, and one without a display, so that --help needs none. It
        // is given the program's bare name, which the usage line shows. A
        // plain start has nothing to print and makes none.
        std::string name = QFileInfo(arguments.first()).fileName().toStdString();
        int parsing_argc = 1;
        char* parsing_argv[] = {name.data(), nullptr};
        QCoreApplication parsing(parsing_argc, parsing_argv);
        shell::LoadQtTranslations(parsing);
        command_line = shell::ParseCommandLine(arguments);
    }
    if (!command_line.run) {
        std::fputs(command_line.output.c_str(), command_line.to_standard_error ? stderr : stdout);
        return command_line.exit_code;
    }
    config::SetDatabaseOverride(command_line.database);

    shell::Application app(argc, argv);
    shell::LoadQtTranslations(app);
    ui::SetApplicationTitle(shell::kApplicationTitle);
    Q_INIT_RESOURCE(resources);  // the pictures live in a static library
    QIcon icon;
    for (int size : {16, 32, 48, 64, 256}) icon.addFile(QString(":/icon/app-%1.png").arg(size));
    app.setWindowIcon(icon);

    std::unique_ptr<main_window::TFmain> Fmain = shell::CreateMainWindow();
    if (!Fmain) return 1;
    shell::EndOnTerminationSignals(*Fmain);
    // Shown from inside the loop, so that a failed first show can end it.
    QTimer::singleShot(0, Fmain.get(), [&Fmain] {
        Fmain->show();
        shell::EndOnTerminationSignals(*Fmain);  // the first connection loaded the engine
    });
    const int result = app.exec();
    Fmain.reset();  // commits pending work and detaches
    // The exit code tells a signal's end from a normal one, as a shell would.
    if (shell::TerminationSignal() != 0) return 128 + shell::TerminationSignal();
    return result;
}
