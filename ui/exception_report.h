#pragma once

#include <exception>
#include <functional>
#include <string>

namespace ui {

// The message as the report shows it: "." is appended when the last byte is
// above "." (so after a letter, digit, "?" or accented letter, but not after
// ".", ")", a blank or a line break). An empty message stays empty.
std::string WithFullStop(std::string message);

// The application's report of a failure that left an event handler. Any
// mouse capture is cancelled first; runtime::EAbort then shows nothing;
// another runtime::Exception shows its message in the report box; any other
// thrown object gets the "Application Error" box. Never throws.
void ReportException(std::exception_ptr failure) noexcept;

// Told of every failure the report receives, before it is shown (the main
// window closes a lost connection there). Empty: nobody is told.
void SetFailureObserver(std::function<void(std::exception_ptr)> observer);

}  // namespace ui
