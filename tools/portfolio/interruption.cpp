#include "tools/portfolio/interruption.h"

#include <signal.h>
#include <unistd.h>

namespace revision {
namespace {

volatile sig_atomic_t writing = 0;
volatile sig_atomic_t noted = 0;
volatile sig_atomic_t progress_on_screen = 0;

extern "C" void EndNow(int signal_number) {
    if (writing != 0) {
        noted = signal_number;
        return;
    }
    // Only what a signal handler may call: the line the bar was drawing on
    // is ended so that the shell's prompt starts on a line of its own.
    static const char kEnded[] = "revision-cartera: interrumpida\n";
    if (progress_on_screen != 0) (void)!::write(STDERR_FILENO, "\n", 1);
    (void)!::write(STDERR_FILENO, kEnded, sizeof kEnded - 1);
    ::_exit(128 + signal_number);
}

void Install() {
    struct sigaction action {};
    action.sa_handler = EndNow;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

sigset_t BothSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void EndOnSignals(bool progress_shown) {
    progress_on_screen = progress_shown ? 1 : 0;
    Install();
}

void ConnectHoldingSignals(const std::function<void()>& connect) {
    const sigset_t both = BothSignals();
    sigset_t before;
    ::pthread_sigmask(SIG_BLOCK, &both, &before);
    // Threads the library starts meanwhile keep both signals blocked, so
    // only this program's threads ever take them.
    struct Restore {
        const sigset_t& mask;
        ~Restore() {
            Install();
            ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
        }
    } restore{before};
    connect();
}

WritingReport::WritingReport() {
    writing = 1;
}

WritingReport::~WritingReport() {
    writing = 0;
}

int WritingReport::Noted() {
    return noted;
}

RepairingLoans::RepairingLoans() {
    writing = 1;
}

RepairingLoans::~RepairingLoans() {
    writing = 0;
}

bool RepairingLoans::StopAsked() {
    return noted != 0;
}

}  // namespace revision
