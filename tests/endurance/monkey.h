#pragma once

#include <QString>
#include <cstdint>
#include <random>

class QEventLoop;
class QWidget;

namespace main_window {
class TFmain;
}

namespace test_support {

// Random key presses, clicks and double clicks on the main window and, while
// it is open, on the member search dialog: a seeded sequence, so that a
// seed that found a fault finds it again.
class Monkey {
  public:
    struct Counts {
        int keys = 0;
        int clicks = 0;
        int double_clicks = 0;
        int searches = 0;          // search dialogs opened
        int portfolio_checks = 0;  // portfolio dialogs, closed once their check ended
        int menus = 0;             // context menus opened
        int window_closes = 0;     // the main window closed by Salir, shown again
        int members_shown = 0;     // times another member's name came up
    };

    Monkey(main_window::TFmain& window, uint32_t seed);

    // Sends `events` events, then closes whatever dialog is open; returns
    // when the main window's event loop is back to where it started.
    void Run(int events);
    const Counts& counts() const { return counts_; }

  private:
    void Next();
    bool CloseADialog();
    void SendOne(QWidget* window);
    void PressKey(QWidget* window);
    void TypeMemberCode(QWidget* window);
    void Click(QWidget* window, bool twice);
    int Below(int limit);
    bool Chance(int percent) { return Below(100) < percent; }

    main_window::TFmain& window_;
    std::mt19937 random_;
    Counts counts_;
    int events_ = 0;
    int sent_ = 0;
    QWidget* shown_search_ = nullptr;
    QWidget* shown_menu_ = nullptr;
    QString shown_member_;
    QEventLoop* loop_ = nullptr;
};

}  // namespace test_support
