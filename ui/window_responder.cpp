#include "ui/window_responder.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrintDialog>
#include <cstdio>

#include "ui/latin1_text.h"
#include "ui/message_dialog.h"

namespace ui {

void WindowResponder::Information(const std::string& text) {
    ShowMessageDialog(MessageKind::kInformation, text);
}

int WindowResponder::Confirmation(const std::string& text) {
    return ShowMessageDialog(MessageKind::kConfirmation, text);
}

void WindowResponder::Error(const std::string& title, const std::string& text) {
    // Before the application object exists (or after it is gone) there is
    // no window to show; the text must still reach someone.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
        return;
    }
    // Application-modal: the other windows take no input while it is open.
    QPointer<QWidget> had_focus = QApplication::focusWidget();
    QMessageBox box(QMessageBox::Critical, ToQString(title), ToQString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
    if (had_focus && had_focus->isVisible()) {
        had_focus->activateWindow();
        had_focus->setFocus(Qt::OtherFocusReason);
    }
}

bool WindowResponder::PrintSetup(QPrinter& printer) {
    // The platform's own dialog; "Print to File (PDF)" is one of its printers.
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::string> WindowResponder::TextInput(const std::string& title,
                                                      const std::string& prompt) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), ToQString(title), ToQString(prompt),
                              QLineEdit::Normal, QString(), &accepted);
    if (!accepted) return std::nullopt;
    return ToLatin1(text);
}

}  // namespace ui
