#pragma once

#include <QLineEdit>
#include <functional>

namespace main_window {

// An edit box whose on-exit event fires only when the focus moves to
// another control of the same window: a message box or another window
// taking activation is not an exit, so a lookup never runs twice because
// its own message box appeared.
class TEdit : public QLineEdit {
  public:
    explicit TEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

    std::function<void()> OnExit;
    std::function<void()> OnDblClick;

  protected:
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace main_window
