#pragma once

namespace ui {

// While the program works on the database the mouse shows the wait cursor:
// from the first client call of an action until the program waits for the
// user again (its event loop runs: the action ended, failed, or opened a
// message box or a dialog). Calls of worker threads do not count: the
// window is not waiting for them. Turned on by the main window for its
// lifetime; must be called on the GUI thread.
void ShowWaitCursorDuringDatabaseCalls(bool on);

}  // namespace ui
