#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QKeyEvent;
class QPushButton;

namespace ui {

enum class MessageKind {
    kInformation,   // application title, "OK", no icon
    kConfirmation,  // "Confirm", "&Yes" / "&No", question-mark icon
};

// A message dialog built for one message: a fixed frame with only a close
// box, sized from the message font, centred on the screen. exec() returns
// kModalOk, kModalYes or kModalNo for a button and kModalCancel when it is
// closed from the title bar.
class MessageDialog : public QDialog {
  public:
    MessageDialog(MessageKind kind, std::string message, QWidget* parent = nullptr);

    // Closing from the title bar presses no button.
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    std::string title_;
    std::string message_;
    std::vector<std::string> captions_;
    QPushButton* cancel_button_ = nullptr;
};

// Shows the dialog modally and returns its result.
int ShowMessageDialog(MessageKind kind, const std::string& message);

}  // namespace ui
