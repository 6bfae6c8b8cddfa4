#include "ui/exception_report.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>

#include "runtime/exception.h"
#include "ui/application_error.h"
#include "ui/application_title.h"
#include "ui/dialog_responder.h"

namespace ui {

namespace {

std::function<void(std::exception_ptr)>& FailureObserver() {
    static std::function<void(std::exception_ptr)> observer;
    return observer;
}

// An open drag or popup menu would keep the mouse from the report box.
void CancelMouseCapture() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    QWidget* closed = nullptr;
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (popup == closed) break;  // it refused to close
        popup->close();
        closed = popup;
    }
}

}  // namespace

std::string WithFullStop(std::string message) {
    // Compared as unsigned: accented ISO8859_1 letters are above 127.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}

void ReportException(std::exception_ptr failure) noexcept {
    if (!failure) return;
    const void* caller = __builtin_return_address(0);
    try {
        if (FailureObserver()) FailureObserver()(failure);
        CancelMouseCapture();
        std::string title;
        std::string text;
        try {
            std::rethrow_exception(failure);
        } catch (const runtime::EAbort&) {
            return;
        } catch (const runtime::Exception& e) {
            title = ApplicationTitle();
            text = WithFullStop(e.Message());
        } catch (...) {
            title = kApplicationErrorTitle;
            text = ApplicationErrorText(failure, caller);
        }
        // Shown outside the catch blocks: the box runs an event loop, and
        // the failure is no longer needed.
        CurrentDialogResponder().Error(title, text);
    } catch (...) {
        std::fputs("The failure of an event handler could not be reported\n", stderr);
    }
}

void SetFailureObserver(std::function<void(std::exception_ptr)> observer) {
    FailureObserver() = std::move(observer);
}

}  // namespace ui
