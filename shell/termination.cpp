#include "shell/termination.h"

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include "main_window/main_window.h"
#include "main_window/window_access.h"
#include "runtime/termination_signals.h"

namespace shell {
namespace {

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
    const bool watched = runtime::TerminationWakeDescriptor() >= 0;
    runtime::TakeTerminationSignals(runtime::OnTermination::kNote);
    if (watched || runtime::TerminationWakeDescriptor() < 0) return;
    auto* notifier =
        new QSocketNotifier(runtime::TerminationWakeDescriptor(), QSocketNotifier::Read, &window);
    QPointer<main_window::TFmain> target(&window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [target] {
        runtime::DrainTerminationWake();
        if (target) EndProgram(*target);
    });
}

int TerminationSignal() {
    return runtime::ReceivedTerminationSignal();
}

}  // namespace shell
