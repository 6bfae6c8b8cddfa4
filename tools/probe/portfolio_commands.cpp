// The portfolio dialog's commands.
#include "tools/probe/portfolio_commands.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <sstream>
#include <vector>

#include "portfolio/portfolio_access.h"
#include "tools/probe/driver.h"
#include "tools/probe/gestures.h"
#include "tools/probe/state_json.h"
#include "tools/probe/window_commands.h"

namespace probe {
namespace {

using portfolio::PortfolioAccess;
using portfolio::TFcartera;
// Returns false when the command ends the driver's run.
using PortfolioHandler = bool (*)(Driver&, TFcartera&, const std::string& rest);

// The window beside the dialog, and the dialog.
bool Dump(Driver& driver, TFcartera& dialog, const std::string&) {
    driver.Settle();
    QJsonObject out = WindowState(driver);
    out["portfolio"] = PortfolioState(dialog);
    driver.Write(out);
    return true;
}

// A double click on the row, as the analyst takes it: the main window
// shows the loan, the dialog stays open.
bool Choose(Driver& driver, TFcartera& dialog, const std::string& rest) {
    QTableView* list = PortfolioAccess(dialog).List();
    long row = 0;
    if (!ReadRow(rest, row) || row >= list->model()->rowCount()) {
        driver.Error("choose needs a row of the list: " + rest);
        return true;
    }
    const QPoint point = RowPoint(*list, static_cast<int>(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, point);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, point);
    driver.Settle();
    return true;
}

// Waits for the dialog's work (a repair run and the check after it, or a
// preview) to end, as the analyst would; not once the program, told to end
// (SIGTERM or SIGINT), has closed the dialog: the driver then ends as the
// program does, and the dialog waits for its work as it goes.
void AwaitWorker(Driver& driver, TFcartera& dialog) {
    // The window deletes the dialog once it is closed, maybe while this waits.
    const QPointer<TFcartera> open(&dialog);
    for (int waited = 0;
         open && PortfolioAccess(*open).Running() && open->isVisible() && waited < 600000;
         waited += 10) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    driver.Settle();
}

// "select all" (Ctrl+A), or rows by number: a click on the first and a
// Ctrl click on each other one, as the analyst picks them.
bool Select(Driver& driver, TFcartera& dialog, const std::string& rest) {
    QTableView* grid = PortfolioAccess(dialog).List();
    if (rest == "all") {
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_A, Qt::ControlModifier);
        driver.Settle();
        return true;
    }
    std::vector<int> rows;
    std::istringstream words(rest);
    for (std::string word; words >> word;) {
        long row = 0;
        if (!ReadRow(word, row) || row >= grid->model()->rowCount()) {
            driver.Error("select needs all or rows of the list: " + rest);
            return true;
        }
        rows.push_back(static_cast<int>(row));
    }
    if (rows.empty()) {
        driver.Error("select needs all or rows of the list");
        return true;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton,
                          i == 0 ? Qt::KeyboardModifiers() : Qt::ControlModifier,
                          RowPoint(*grid, rows[i]));
    }
    driver.Settle();
    return true;
}

// Presses "Reparar" (the confirmation answered as scripted) and waits for
// the run and the check after it.
bool Repair(Driver& driver, TFcartera& dialog, const std::string&) {
    QTest::mouseClick(PortfolioAccess(dialog).ButtonOf(PortfolioAccess::Button::Repair),
                      Qt::LeftButton);
    AwaitWorker(driver, dialog);
    return true;
}

// Presses "Vista previa" and waits for it.
bool Preview(Driver& driver, TFcartera& dialog, const std::string&) {
    QTest::mouseClick(PortfolioAccess(dialog).ButtonOf(PortfolioAccess::Button::Preview),
                      Qt::LeftButton);
    AwaitWorker(driver, dialog);
    return true;
}

bool Sort(Driver& driver, TFcartera& dialog, const std::string& rest) {
    QTableView* list = PortfolioAccess(dialog).List();
    long column = 0;
    const size_t space = rest.find(' ');
    const std::string order = space == std::string::npos ? "asc" : rest.substr(space + 1);
    if (!ReadRow(rest.substr(0, space), column) || column >= list->model()->columnCount()) {
        driver.Error("sort needs a column number: " + rest);
        return true;
    }
    list->sortByColumn(static_cast<int>(column),
                       order == "desc" ? Qt::DescendingOrder : Qt::AscendingOrder);
    driver.Settle();
    return true;
}

bool Enter(Driver& driver, TFcartera& dialog, const std::string&) {
    QTableView* list = PortfolioAccess(dialog).List();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    driver.Settle();
    return true;
}

bool Export(Driver& driver, TFcartera& dialog, const std::string& rest) {
    if (!PortfolioAccess(dialog).ExportTo(rest)) driver.Error("could not write " + rest);
    return true;
}

// Types into the filter box what follows (nothing: empties it).
bool Filter(Driver& driver, TFcartera& dialog, const std::string& rest) {
    QLineEdit* box = PortfolioAccess(dialog).Filter();
    box->setFocus();
    box->clear();
    TypeText(box, QString::fromUtf8(rest.c_str()));
    driver.Settle();
    return true;
}

// Picks the repair the list shows: todas, reindexar or corregir.
bool Repairs(Driver& driver, TFcartera& dialog, const std::string& rest) {
    const char* const kChoices[] = {"todas", "reindexar", "corregir"};
    for (int choice = 0; choice < 3; ++choice) {
        if (rest != kChoices[choice]) continue;
        PortfolioAccess(dialog).RepairFilter()->setCurrentIndex(choice);
        driver.Settle();
        return true;
    }
    driver.Error("repairs todas, reindexar or corregir: " + rest);
    return true;
}

// Closes the dialog (a repair run only stops; the dialog stays).
bool Leave(Driver& driver, TFcartera& dialog, const std::string&) {
    QTest::mouseClick(PortfolioAccess(dialog).ButtonOf(PortfolioAccess::Button::Cancel),
                      Qt::LeftButton);
    driver.Settle();
    return true;
}

// Not part of the test protocol: a picture of the dialog for a report.
bool Shot(Driver& driver, TFcartera& dialog, const std::string& rest) {
    driver.Settle();
    if (!dialog.grab().save(QString::fromUtf8(rest.c_str()), "PNG")) {
        driver.Error("could not write " + rest);
    }
    return true;
}

bool AsInWindow(Driver& driver, TFcartera&, const std::string& rest) {
    Answer(driver, rest);
    return true;
}

bool Quit(Driver& driver, TFcartera& dialog, const std::string&) {
    dialog.reject();
    driver.quit = true;
    return false;
}

constexpr Command<PortfolioHandler> kPortfolioCommands[] = {
    {"dump", Dump},       {"choose", Choose}, {"sort", Sort},         {"enter", Enter},
    {"export", Export},   {"leave", Leave},   {"answer", AsInWindow}, {"quit", Quit},
    {"select", Select},   {"repair", Repair}, {"preview", Preview},   {"filter", Filter},
    {"repairs", Repairs}, {"shot", Shot},
};

// The dialog's work under way (F2 over it checks again), then its check
// ended: the list as it shows then.
void AwaitList(Driver& driver, TFcartera& dialog) {
    const QPointer<TFcartera> open(&dialog);
    const auto busy = [&open] {
        const PortfolioAccess access(*open);
        return !access.Finished() || access.Running();
    };
    for (int waited = 0; open && busy() && open->isVisible() && waited < 600000; waited += 10) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
    driver.Settle();
}

}  // namespace

void ExecuteInPortfolio(Driver& driver, TFcartera& dialog, const std::string& line) {
    const CommandLine command(line);
    if (const PortfolioHandler* handler = FindCommand(kPortfolioCommands, command.name)) {
        (*handler)(driver, dialog, command.rest);
        return;
    }
    if (TryInWindow(driver, line)) return;
    driver.Error(
        "the portfolio dialog is open: use choose, enter, sort, select, repair, preview, "
        "filter, repairs, export, leave, dump or a command of the window");
}

void OpenPortfolio(Driver& driver, const std::string&) {
    // The shortcut belongs to the active window: a dialog closed earlier may
    // have left none active.
    driver.form.activateWindow();
    driver.Settle();
    QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &driver.form;
    QTest::keyClick(focus, Qt::Key_F2);
    driver.Settle();
    TFcartera* dialog = PortfolioAccess::OpenOn(driver.form);
    if (dialog == nullptr) return driver.Error("the portfolio dialog did not open");
    const QPointer<TFcartera> open(dialog);
    AwaitList(driver, *dialog);
    if (!open) return;  // closed meanwhile: the program is ending
    QJsonObject out;
    out["portfolio"] = PortfolioState(*open);
    driver.Write(out);
}

}  // namespace probe
