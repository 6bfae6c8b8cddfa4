#pragma once

class QWidget;

namespace ui {

// Moves the focus within `window` to the next (or previous) control that
// takes the Tab key, as Tab or Shift+Tab would, wrapping at the ends.
void MoveFocusInWindow(QWidget* window, bool forward);

// The key codes the windows' navigation rules are written in.
inline constexpr int kVkNone = 0;
inline constexpr int kVkTab = 9;
inline constexpr int kVkReturn = 13;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkUp = 38;
inline constexpr int kVkDown = 40;

// For the windows' key preview: Enter and Down queue a move to the next
// control, Up to the previous one; other keys do nothing. Queued, so the
// focused control still handles the key first.
void QueueFocusMoveForKey(QWidget* window, int key);

// The navigation code of a Qt key: Enter, Up, Down, Tab and Escape map to
// the codes above; every other key is kVkNone.
int VirtualKey(int qt_key);

}  // namespace ui
