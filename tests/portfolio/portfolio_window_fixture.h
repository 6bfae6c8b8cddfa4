#pragma once

// What the tests of the dialog on its own share: its access class, the
// databases they open it on, and the event loop run until its work gets
// somewhere.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <functional>
#include <string>

#include "loans/rules/connection_profile.h"
#include "portfolio/portfolio_access.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/test_database.h"

// Runs the event loop until `done`, for a minute at most.
inline void WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 6000 && !done(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}
