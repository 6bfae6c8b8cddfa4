#include "shell/termination.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <atomic>
#include <csignal>

#include "main_window/main_window.h"
#include "main_window/window_access.h"

namespace shell {
namespace {

int wake_pipe[2] = {-1, -1};
std::atomic<int> received{0};

extern "C" void NoteSignal(int signal_number) {
    received = signal_number;
    const char byte = static_cast<char>(signal_number);
    (void)!::write(wake_pipe[1], &byte, 1);  // async-signal-safe; a full pipe has news enough
}

void EndProgram(main_window::TFmain& window) {
    // Nothing half done is committed on the way out: a pending change is
    // rolled back before the connection closes.
    const main_window::WindowAccess access(window);
    try {
        if (access.Transaction().Active()) access.Transaction().Rollback();
    } catch (...) {
        access.Connection().ForcedClose();  // the connection is gone anyway
    }
    // A modal box or the search dialog would keep its own loop running.
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == &window) break;
        modal->close();
    }
    window.close();
    QApplication::quit();
}

}  // namespace

void EndOnTerminationSignals(main_window::TFmain& window) {
    if (wake_pipe[0] < 0) {
        if (::pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        auto* notifier = new QSocketNotifier(wake_pipe[0], QSocketNotifier::Read, &window);
        QPointer<main_window::TFmain> target(&window);
        QObject::connect(notifier, &QSocketNotifier::activated, &window, [target] {
            char drained[64];
            while (::read(wake_pipe[0], drained, sizeof drained) > 0) {
            }
            if (target) EndProgram(*target);
        });
    }
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

int TerminationSignal() {
    return received;
}

void HoldingTerminationSignals(const std::function<void()>& work) {
    sigset_t both;
    sigemptyset(&both);
    sigaddset(&both, SIGTERM);
    sigaddset(&both, SIGINT);
    sigset_t before;
    ::pthread_sigmask(SIG_BLOCK, &both, &before);
    struct Restore {
        const sigset_t& mask;
        ~Restore() { ::pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
    } restore{before};
    work();
}

}  // namespace shell
