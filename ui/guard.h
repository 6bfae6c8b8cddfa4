#pragma once

#include <exception>
#include <utility>

#include "ui/exception_report.h"

namespace ui {

// Runs an event handler so that no failure reaches Qt: whatever it throws
// ends the handler and goes to the exception report (runtime::EAbort
// silently). What the handler did before the failure stays done.
template <class Handler>
void Guard(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

}  // namespace ui
