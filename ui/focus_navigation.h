#pragma once

class QWidget;

namespace ui {

// Moves the focus within `window` to the next (or previous) control that
// takes the Tab key, as Tab or Shift+Tab would, wrapping at the ends.
void MoveFocusInWindow(QWidget* window, bool forward);

// For the windows' key preview: Enter (13) and Down (40) queue a move to
// the next control, Up (38) to the previous one; other keys do nothing.
// Queued, so the focused control still handles the key first.
void QueueFocusMoveForKey(QWidget* window, int key);

// The key codes the windows' navigation rules are written in: 13 Enter,
// 38 Up, 40 Down (9 Tab, 27 Escape); other keys keep Qt's code.
int VirtualKey(int qt_key);

}  // namespace ui
