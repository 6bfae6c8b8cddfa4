#include "ui/focus_navigation.h"

#include <QApplication>
#include <QMetaObject>
#include <QWidget>

namespace ui {

void MoveFocusInWindow(QWidget* window, bool forward) {
    QWidget* start = QApplication::focusWidget();
    if (start == nullptr || start->window() != window) return;
    auto takes_tab = [window](const QWidget* w) {
        return w->window() == window && w->isVisible() && w->isEnabled() &&
               (w->focusPolicy() & Qt::TabFocus) != 0;
    };
    QWidget* w = start;
    do {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
    } while (w != start && !takes_tab(w));
    if (w != start) w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void QueueFocusMoveForKey(QWidget* window, int key) {
    if (key != kVkReturn && key != kVkDown && key != kVkUp) return;
    const bool forward = key != kVkUp;
    QMetaObject::invokeMethod(
        window, [window, forward] { MoveFocusInWindow(window, forward); }, Qt::QueuedConnection);
}

int VirtualKey(int qt_key) {
    switch (qt_key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kVkReturn;
        case Qt::Key_Up:
            return kVkUp;
        case Qt::Key_Down:
            return kVkDown;
        case Qt::Key_Tab:
            return kVkTab;
        case Qt::Key_Escape:
            return kVkEscape;
        default:
            // Qt's codes of typed characters overlap the navigation codes
            // ("(" is 40, "&" is 38, Scroll Lock ends in 38): no other key
            // may navigate.
            return kVkNone;
    }
}

}  // namespace ui
