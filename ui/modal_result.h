#pragma once

namespace ui {

// What the message dialogs return; callers compare against these values.
inline constexpr int kModalOk = 1;
inline constexpr int kModalCancel = 2;  // closed from the title bar
inline constexpr int kModalYes = 6;
inline constexpr int kModalNo = 7;

}  // namespace ui
