#include "tests/endurance/monkey.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <iterator>

#include "customer_search/customer_search_dialog.h"
#include "main_window/code_box.h"
#include "main_window/main_window.h"
#include "main_window/window_access.h"
#include "pending_requests/requests_access.h"
#include "portfolio/portfolio_access.h"
#include "repair_history/history_access.h"

namespace test_support {
namespace {

// Keys besides letters and digits: moves, edits, the dialog keys and every
// function key (F2 opens the portfolio check, which the monkey lets run).
const Qt::Key kKeys[] = {
    Qt::Key_Left,   Qt::Key_Right,  Qt::Key_Up,       Qt::Key_Down,      Qt::Key_Home,
    Qt::Key_End,    Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Tab,       Qt::Key_Backtab,
    Qt::Key_Return, Qt::Key_Enter,  Qt::Key_Escape,   Qt::Key_Backspace, Qt::Key_Delete,
    Qt::Key_Space,  Qt::Key_Insert, Qt::Key_F1,       Qt::Key_F2,        Qt::Key_F3,
    Qt::Key_F4,     Qt::Key_F5,     Qt::Key_F6,       Qt::Key_F7,        Qt::Key_F8,
    Qt::Key_F9,     Qt::Key_F10,    Qt::Key_F11,      Qt::Key_F12,
};
// The buttons' Alt shortcuts: Limpiar, Reindexar, Corregir, Salir in the
// main window; Buscar, Limpiar, Salir, Escoger in the search dialog.
const char kMnemonics[] = "LRCSBE";
// Ctrl keys the program binds (print) or a text box knows (copy, paste,
// cut, undo, select all).
const Qt::Key kControlKeys[] = {Qt::Key_P, Qt::Key_C, Qt::Key_V, Qt::Key_X, Qt::Key_Z, Qt::Key_A};
// Letters an analyst types beyond ASCII (Latin-1: what the boxes hold).
const char16_t kAccented[] = u"\u00e1\u00e9\u00ed\u00f3\u00fa\u00f1\u00d1\u00fc";

// Where a key goes: the focused control of the window, or the window.
QWidget* KeyTarget(QWidget* window) {
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr && focus->window() == window ? focus : window;
}

// The window that takes input now: an open menu, else the search dialog
// the repair history or the pending requests while open, else the main
// window.
QWidget* InputWindow(QWidget* main) {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    auto* search = customer_search::Fclientes;
    if (search != nullptr && search->isVisible()) return search;
    auto* history = repair_history::HistoryAccess::OpenOn(*main);
    if (history != nullptr && history->isVisible()) return history;
    auto* requests = pending_requests::RequestsAccess::OpenOn(*main);
    if (requests != nullptr && requests->isVisible()) return requests;
    return main;
}

}  // namespace

Monkey::Monkey(main_window::TFmain& window, uint32_t seed) : window_(window), random_(seed) {}

int Monkey::Below(int limit) {
    return std::uniform_int_distribution<int>(0, limit - 1)(random_);
}

void Monkey::Run(int events) {
    events_ = events;
    sent_ = 0;
    QEventLoop loop;
    loop_ = &loop;
    QTimer::singleShot(0, [this] { Next(); });
    loop.exec();
    loop_ = nullptr;
}

void Monkey::Next() {
    // The portfolio check runs on a thread of its own; its dialog is closed
    // once the check has ended (its export would open a file dialog, which
    // is not one of the program's boxes the responder answers).
    if (auto* check = portfolio::PortfolioAccess::OpenOn(window_)) {
        if (portfolio::PortfolioAccess(*check).Finished() && check->isVisible()) {
            check->reject();
            ++counts_.portfolio_checks;
        }
        QTimer::singleShot(5, [this] { Next(); });
        return;
    }
    if (sent_ >= events_) {
        if (CloseADialog()) {
            QTimer::singleShot(0, [this] { Next(); });
        } else {
            loop_->quit();
        }
        return;
    }
    // "&Salir" closes the main window; the session goes on in it, as it
    // would after the program is started again.
    if (!window_.isVisible()) {
        window_.show();
        window_.activateWindow();
        ++counts_.window_closes;
    }
    const QLabel* member =
        main_window::WindowAccess(window_).LabelOf(main_window::WindowAccess::Label::Member);
    if (member->text() != shown_member_) {
        shown_member_ = member->text();
        if (!shown_member_.isEmpty()) ++counts_.members_shown;
    }
    QWidget* window = InputWindow(&window_);
    if (window != shown_menu_ && QApplication::activePopupWidget() == window) ++counts_.menus;
    shown_menu_ = QApplication::activePopupWidget();
    auto* search = customer_search::Fclientes;
    const bool searching = search != nullptr && search->isVisible();
    if (searching && shown_search_ == nullptr) ++counts_.searches;
    shown_search_ = searching ? search : nullptr;
    if (window != shown_menu_ && QApplication::activeWindow() != window) window->activateWindow();

    // Queued before the event: when it opens a modal dialog, the dialog's
    // own loop runs the steps that follow.
    QTimer::singleShot(0, [this] { Next(); });
    SendOne(window);
}

// Leaves an open menu, search dialog, repair history or pending requests as
// a user would; false when none is.
bool Monkey::CloseADialog() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        return true;
    }
    auto* search = customer_search::Fclientes;
    if (search != nullptr && search->isVisible()) {
        QTest::mouseClick(search->btsalir, Qt::LeftButton);
        return true;
    }
    auto* history = repair_history::HistoryAccess::OpenOn(window_);
    if (history != nullptr && history->isVisible()) {
        QTest::mouseClick(repair_history::HistoryAccess(*history).Close(), Qt::LeftButton);
        return true;
    }
    auto* requests = pending_requests::RequestsAccess::OpenOn(window_);
    if (requests != nullptr && requests->isVisible()) {
        QTest::mouseClick(pending_requests::RequestsAccess(*requests).Close(), Qt::LeftButton);
        return true;
    }
    return false;
}

void Monkey::SendOne(QWidget* window) {
    const int roll = Below(100);
    if (roll < 4) {
        TypeMemberCode(window);
    } else if (roll < 6 && window == &window_) {
        // How an analyst opens the search; a random double click seldom
        // lands on the code box.
        QTest::mouseDClick(main_window::WindowAccess(window_).CodeBox(), Qt::LeftButton);
        ++counts_.double_clicks;
        ++sent_;
    } else if (roll < 58) {
        PressKey(window);
    } else if (roll < 86) {
        Click(window, false);
    } else {
        Click(window, true);
    }
}

void Monkey::PressKey(QWidget* window) {
    QWidget* target = KeyTarget(window);
    const int roll = Below(100);
    if (roll < 25) {
        const char letter = static_cast<char>((Chance(20) ? 'A' : 'a') + Below(26));
        QTest::keyClick(target, letter);
    } else if (roll < 30) {
        const QChar accented(kAccented[Below(static_cast<int>(std::size(kAccented)) - 1)]);
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(accented),
                            Qt::NoModifier);
    } else if (roll < 40) {
        QTest::keyClick(target, static_cast<char>('0' + Below(10)));
    } else if (roll < 85) {
        const Qt::Key key = kKeys[Below(static_cast<int>(std::size(kKeys)))];
        QTest::keyClick(target, key, Chance(10) ? Qt::ShiftModifier : Qt::NoModifier);
    } else if (roll < 93) {
        const char letter = kMnemonics[Below(static_cast<int>(std::size(kMnemonics)) - 1)];
        QTest::keyClick(target, static_cast<Qt::Key>(Qt::Key_A + (letter - 'A')), Qt::AltModifier);
    } else {
        const Qt::Key key = kControlKeys[Below(static_cast<int>(std::size(kControlKeys)))];
        QTest::keyClick(target, key, Qt::ControlModifier);
    }
    ++counts_.keys;
    ++sent_;
}

// A member code typed into the code box (of the window, or of the search
// dialog) and left with Tab or Enter: most random keys never make a code
// that exists.
void Monkey::TypeMemberCode(QWidget* window) {
    auto* search = customer_search::Fclientes;
    QWidget* box = window == &window_
                       ? static_cast<QWidget*>(main_window::WindowAccess(window_).CodeBox())
                   : window == search ? static_cast<QWidget*>(search->edcodigo)
                                      : nullptr;
    if (box != nullptr) {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);  // typed over what is there
        ++counts_.clicks;
        ++counts_.keys;
        sent_ += 2;
    }
    char code[16];
    std::snprintf(code, sizeof code, "%05d", 1 + Below(50));  // some past the last member
    for (const char* digit = code; *digit != '\0'; ++digit) {
        QTest::keyClick(KeyTarget(window), *digit);
    }
    QTest::keyClick(KeyTarget(window), Chance(50) ? Qt::Key_Tab : Qt::Key_Return);
    counts_.keys += 6;
    sent_ += 6;
}

void Monkey::Click(QWidget* window, bool twice) {
    // Half the clicks land on some visible control, half anywhere.
    QPoint point(Below(std::max(1, window->width())), Below(std::max(1, window->height())));
    if (Chance(50)) {
        QList<QWidget*> shown;
        for (QWidget* child : window->findChildren<QWidget*>()) {
            if (child->isVisible() && child->width() > 0 && child->height() > 0) {
                shown.append(child);
            }
        }
        if (!shown.isEmpty()) {
            QWidget* child = shown[Below(static_cast<int>(shown.size()))];
            point = child->mapTo(window, QPoint(Below(child->width()), Below(child->height())));
        }
    }
    QWidget* target = window->childAt(point);
    if (target == nullptr) target = window;
    const QPoint local = target->mapFrom(window, point);
    const int roll = Below(100);
    const Qt::MouseButton button =
        roll < 85 ? Qt::LeftButton : (roll < 97 ? Qt::RightButton : Qt::MiddleButton);
    const Qt::KeyboardModifiers modifiers =
        Chance(90) ? Qt::NoModifier : (Chance(50) ? Qt::ShiftModifier : Qt::ControlModifier);
    if (twice) {
        QTest::mouseDClick(target, button, modifiers, local);
        ++counts_.double_clicks;
    } else {
        QTest::mouseClick(target, button, modifiers, local);
        ++counts_.clicks;
    }
    if (button == Qt::RightButton) {
        // The window system asks for a context menu after a right click;
        // QTest's clicks go straight to the control and do not.
        QContextMenuEvent menu(QContextMenuEvent::Mouse, local, target->mapToGlobal(local),
                               modifiers);
        QApplication::sendEvent(target, &menu);
    }
    ++sent_;
}

}  // namespace test_support
