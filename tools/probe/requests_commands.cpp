// "Solicitudes pendientes" commands.
#include "tools/probe/requests_commands.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <memory>

#include "pending_requests/requests_access.h"
#include "tools/probe/driver.h"
#include "tools/probe/gestures.h"
#include "tools/probe/probe.h"
#include "tools/probe/state_json.h"
#include "tools/probe/window_commands.h"

namespace probe {
namespace {

using pending_requests::RequestsAccess;
using pending_requests::TFsolicitudes;
// Returns false when the command ends the dialog's loop.
using RequestsHandler = bool (*)(Driver&, TFsolicitudes&, const std::string& rest);

void WriteState(Driver& driver, TFsolicitudes& dialog) {
    driver.Settle();
    QJsonObject out;
    out["requests"] = RequestsState(dialog);
    out["messages"] = TakeMessages(driver.responder);
    driver.Write(out);
}

bool Dump(Driver& driver, TFsolicitudes& dialog, const std::string&) {
    WriteState(driver, dialog);
    return true;
}

// A click on the row, as the supervisor picks a request.
bool Select(Driver& driver, TFsolicitudes& dialog, const std::string& rest) {
    QTableView* list = RequestsAccess(dialog).List();
    long row = 0;
    if (!ReadRow(rest, row) || row >= list->model()->rowCount()) {
        driver.Error("select needs a row of the list: " + rest);
        return true;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowPoint(*list, static_cast<int>(row)));
    driver.Settle();
    return true;
}

// Presses "Aprobar" (the confirmation answered as scripted).
bool Approve(Driver& driver, TFsolicitudes& dialog, const std::string&) {
    QPushButton* approve = RequestsAccess(dialog).Approve();
    if (!approve->isEnabled()) {
        driver.Error("Aprobar is not enabled");
        return true;
    }
    QTest::mouseClick(approve, Qt::LeftButton);
    driver.Settle();
    return true;
}

// Presses "Rechazar" and gives the reason (none: the question cancelled).
bool Reject(Driver& driver, TFsolicitudes& dialog, const std::string& rest) {
    QPushButton* reject = RequestsAccess(dialog).Reject();
    if (!reject->isEnabled()) {
        driver.Error("Rechazar is not enabled");
        return true;
    }
    if (!rest.empty()) driver.responder.text_answer = rest;
    QTest::mouseClick(reject, Qt::LeftButton);
    driver.responder.text_answer.reset();
    driver.Settle();
    return true;
}

bool Leave(Driver& driver, TFsolicitudes& dialog, const std::string&) {
    QTest::mouseClick(RequestsAccess(dialog).Close(), Qt::LeftButton);
    driver.Settle();
    return false;
}

bool AsInWindow(Driver& driver, TFsolicitudes&, const std::string& rest) {
    Answer(driver, rest);
    return true;
}

bool Quit(Driver& driver, TFsolicitudes& dialog, const std::string&) {
    dialog.reject();
    driver.quit = true;
    return false;
}

constexpr Command<RequestsHandler> kRequestsCommands[] = {
    {"dump", Dump},   {"select", Select},     {"approve", Approve}, {"reject", Reject},
    {"leave", Leave}, {"answer", AsInWindow}, {"quit", Quit},
};

bool ExecuteInRequests(Driver& driver, TFsolicitudes& dialog, const std::string& line) {
    const CommandLine command(line);
    if (const RequestsHandler* handler = FindCommand(kRequestsCommands, command.name)) {
        return (*handler)(driver, dialog, command.rest);
    }
    driver.Error(
        "the pending requests are open: use select, approve, reject, answer, leave or dump");
    return true;
}

}  // namespace

void OpenRequests(Driver& driver, const std::string&) {
    driver.form.activateWindow();
    driver.Settle();
    // Shared: without a dialog the timer may fire after this returns.
    auto opened = std::make_shared<bool>(false);
    QTimer::singleShot(0, [&driver, opened] {
        TFsolicitudes* dialog = RequestsAccess::OpenOn(driver.form);
        if (dialog == nullptr) return;
        *opened = true;
        WriteState(driver, *dialog);
        std::string line;
        while (driver.NextCommand(*dialog, line)) {
            if (!ExecuteInRequests(driver, *dialog, line)) break;
        }
        // The commands ran out with the dialog open: the driver ends.
        if (dialog->isVisible()) {
            dialog->reject();
            driver.quit = true;
        }
    });
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &driver.form;
    QTest::keyClick(focus, Qt::Key_F4);
    driver.Settle();
    // A database that keeps no requests: a message instead of the dialog.
    if (!*opened) driver.Error("the pending requests did not open");
}

}  // namespace probe
