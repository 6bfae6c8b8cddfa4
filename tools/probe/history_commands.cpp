// The repair history dialog's commands.
#include "tools/probe/history_commands.h"

#include <QApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <memory>

#include "repair_history/history_access.h"
#include "tools/probe/driver.h"
#include "tools/probe/gestures.h"
#include "tools/probe/state_json.h"
#include "tools/probe/window_commands.h"

namespace probe {
namespace {

using repair_history::HistoryAccess;
using repair_history::TFhistorial;
// Returns false when the command ends the dialog's loop.
using HistoryHandler = bool (*)(Driver&, TFhistorial&, const std::string& rest);

bool Dump(Driver& driver, TFhistorial& dialog, const std::string&) {
    driver.Settle();
    QJsonObject out;
    out["history"] = HistoryState(dialog);
    out["messages"] = TakeMessages(driver.responder);
    driver.Write(out);
    return true;
}

// A click on the row, as the analyst picks a record.
bool Select(Driver& driver, TFhistorial& dialog, const std::string& rest) {
    QTableView* list = HistoryAccess(dialog).List();
    long row = 0;
    if (!ReadRow(rest, row) || row >= list->model()->rowCount()) {
        driver.Error("select needs a row of the list: " + rest);
        return true;
    }
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowPoint(*list, static_cast<int>(row)));
    driver.Settle();
    return true;
}

// Presses "Deshacer" (the confirmation answered as scripted).
bool Undo(Driver& driver, TFhistorial& dialog, const std::string&) {
    QPushButton* undo = HistoryAccess(dialog).Undo();
    if (!undo->isEnabled()) {
        driver.Error("Deshacer is not enabled for the current row");
        return true;
    }
    QTest::mouseClick(undo, Qt::LeftButton);
    driver.Settle();
    return true;
}

bool Leave(Driver& driver, TFhistorial& dialog, const std::string&) {
    QTest::mouseClick(HistoryAccess(dialog).Close(), Qt::LeftButton);
    driver.Settle();
    return false;
}

bool AsInWindow(Driver& driver, TFhistorial&, const std::string& rest) {
    Answer(driver, rest);
    return true;
}

bool Quit(Driver& driver, TFhistorial& dialog, const std::string&) {
    dialog.reject();
    driver.quit = true;
    return false;
}

constexpr Command<HistoryHandler> kHistoryCommands[] = {
    {"dump", Dump},   {"select", Select},     {"undo", Undo},
    {"leave", Leave}, {"answer", AsInWindow}, {"quit", Quit},
};

bool ExecuteInHistory(Driver& driver, TFhistorial& dialog, const std::string& line) {
    const CommandLine command(line);
    if (const HistoryHandler* handler = FindCommand(kHistoryCommands, command.name)) {
        return (*handler)(driver, dialog, command.rest);
    }
    driver.Error("the repair history is open: use select, undo, answer, leave or dump");
    return true;
}

}  // namespace

void OpenHistory(Driver& driver, const std::string&) {
    driver.form.activateWindow();
    driver.Settle();
    // Shared: without a dialog the timer may fire after this returns.
    auto opened = std::make_shared<bool>(false);
    QTimer::singleShot(0, [&driver, opened] {
        TFhistorial* dialog = HistoryAccess::OpenOn(driver.form);
        if (dialog == nullptr) return;
        *opened = true;
        driver.Settle();
        QJsonObject out;
        out["history"] = HistoryState(*dialog);
        out["messages"] = TakeMessages(driver.responder);
        driver.Write(out);
        std::string line;
        while (driver.NextCommand(*dialog, line)) {
            if (!ExecuteInHistory(driver, *dialog, line)) break;
        }
        // The commands ran out with the dialog open: the driver ends.
        if (dialog->isVisible()) {
            dialog->reject();
            driver.quit = true;
        }
    });
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &driver.form;
    QTest::keyClick(focus, Qt::Key_F3);
    driver.Settle();
    // No loan to show a history of: F3 does nothing.
    if (!*opened) driver.Error("the repair history did not open");
}

}  // namespace probe
