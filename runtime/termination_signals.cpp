#include "runtime/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace runtime {
namespace {

// Read by the handler: set before it is installed, or lock-free atomics.
std::atomic<bool> installed{false};
std::atomic<bool> end_now{false};
std::atomic<bool> break_line{false};
std::atomic<int> deferring{0};
std::atomic<int> received{0};
int wake[2] = {-1, -1};
char farewell_line[256];
std::size_t farewell_size = 0;

extern "C" void OnSignal(int signal_number) {
    if (end_now.load() && deferring.load() == 0) {
        // Only what a signal handler may call.
        if (break_line.load()) (void)!::write(STDERR_FILENO, "\n", 1);
        (void)!::write(STDERR_FILENO, farewell_line, farewell_size);
        ::_exit(128 + signal_number);
    }
    received = signal_number;
    if (wake[1] >= 0) {
        const char byte = static_cast<char>(signal_number);
        (void)!::write(wake[1], &byte, 1);  // a full pipe has news enough
    }
}

void Install() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

void TakeTerminationSignals(OnTermination on, const std::string& farewell, bool break_line_first) {
    farewell_size = std::min(farewell.size(), sizeof farewell_line);
    std::memcpy(farewell_line, farewell.data(), farewell_size);
    break_line = break_line_first;
    end_now = on == OnTermination::kEndNow;
    if (on == OnTermination::kNote && wake[0] < 0) {
        if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) wake[0] = wake[1] = -1;
    }
    installed = true;
    Install();
}

int ReceivedTerminationSignal() {
    return received;
}

int TerminationWakeDescriptor() {
    return wake[0];
}

void DrainTerminationWake() {
    char drained[64];
    while (wake[0] >= 0 && ::read(wake[0], drained, sizeof drained) > 0) {
    }
}

void HoldingTerminationSignals(const std::function<void()>& work) {
    sigset_t both;
    sigemptyset(&both);
    sigaddset(&both, SIGINT);
    sigaddset(&both, SIGTERM);
    sigset_t before;
    ::pthread_sigmask(SIG_BLOCK, &both, &before);
    struct Restore {
        const sigset_t& mask;
        ~Restore() {
            if (installed) Install();
            ::pthread_sigmask(SIG_SETMASK, &mask, nullptr);
        }
    } restore{before};
    work();
}

DeferredTermination::DeferredTermination() {
    ++deferring;
}

DeferredTermination::~DeferredTermination() {
    --deferring;
}

}  // namespace runtime
