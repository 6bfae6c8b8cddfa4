#include "main_window/code_box.h"

#include <QApplication>
#include <QFocusEvent>

namespace main_window {

void TEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    QWidget* next = QApplication::focusWidget();
    if (next == nullptr || next->window() != window()) return;
    if (OnExit) OnExit();
}

void TEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    if (OnDblClick) OnDblClick();
}

}  // namespace main_window
