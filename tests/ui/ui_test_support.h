#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialog_responder.h"
#include "ui/modal_result.h"

namespace ui::testing {

// Stands in for the windows while it lives: records every box as
// {kind, title, text} and answers confirmations from a script.
class RecordingResponder : public DialogResponder {
  public:
    struct Shown {
        std::string kind, title, text;
    };
    explicit RecordingResponder(std::deque<int> answers = {}) : answers_(std::move(answers)) {
        SetDialogResponder(this);
    }
    ~RecordingResponder() override { SetDialogResponder(nullptr); }

    void Information(const std::string& text) override {
        shown.push_back({"information", "", text});
    }
    int Confirmation(const std::string& text) override {
        shown.push_back({"confirmation", "", text});
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected confirmation: " << text;
            return kModalNo;
        }
        const int answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    void Error(const std::string& title, const std::string& text) override {
        shown.push_back({"error", title, text});
    }

    std::vector<Shown> shown;

  private:
    std::deque<int> answers_;
};

// Hands the modal window the code under test is about to open to `answer`,
// once it is active. A window that never opens, or that the answer leaves
// open, fails the test instead of waiting for a person.
inline void WhenModalOpens(std::function<void(QWidget*)> answer, int tries_left = 300) {
    QTimer::singleShot(10, [answer = std::move(answer), tries_left] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (tries_left > 0) return WhenModalOpens(answer, tries_left - 1);
            ADD_FAILURE() << "no modal window opened";
            return;
        }
        if (!QTest::qWaitForWindowActive(modal)) ADD_FAILURE() << "modal window not active";
        QPointer<QWidget> opened = modal;
        answer(modal);
        QTimer::singleShot(3000, [opened] {
            if (!opened || !opened->isVisible()) return;
            ADD_FAILURE() << "the answer left the modal window open";
            if (auto* dialog = qobject_cast<QDialog*>(opened.data())) dialog->done(-1);
        });
    });
}

// Where a key press of the user lands first.
inline QWidget* KeyTarget(QWidget* modal) {
    return modal->focusWidget() ? modal->focusWidget() : modal;
}

}  // namespace ui::testing
