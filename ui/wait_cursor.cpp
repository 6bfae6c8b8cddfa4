#include "ui/wait_cursor.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QTimer>
#include <atomic>
#include <thread>

#include "db/call_watch.h"

namespace ui {
namespace {

// The one thread that may touch the cursor; set before the observer is.
std::atomic<std::thread::id> g_gui_thread;
bool g_shown = false;  // GUI thread only

void Restore() {
    if (!g_shown) return;
    g_shown = false;
    QGuiApplication::restoreOverrideCursor();
}

// Runs before every client call, so the common case (already shown, or
// another thread) returns at once.
void OnCallStart() {
    if (std::this_thread::get_id() != g_gui_thread.load(std::memory_order_relaxed)) return;
    if (g_shown) return;
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) return;
    g_shown = true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    // A posted call runs as soon as any event loop turns again, the one of
    // a message box included: the cursor never waits on the user.
    QTimer::singleShot(0, application, &Restore);
}

}  // namespace

void ShowWaitCursorDuringDatabaseCalls(bool on) {
    if (on) {
        g_gui_thread.store(std::this_thread::get_id());
        db::SetCallStartObserver(&OnCallStart);
    } else {
        db::SetCallStartObserver(nullptr);
        Restore();
    }
}

}  // namespace ui
