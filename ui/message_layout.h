#pragma once

#include <QRect>
#include <QSize>
#include <vector>

namespace ui {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRound(int a, int b, int c);

// What the message dialog's geometry depends on, all in pixels.
struct MessageMeasures {
    int char_width = 0;      // average width of the 52 ASCII letters
    int char_height = 0;     // height of those letters
    int widest_caption = 0;  // widest button caption, on one line
    int button_count = 1;
    QSize text;             // the message, word-wrapped
    bool has_icon = false;  // a 32 x 32 icon left of the text
};

struct MessageLayout {
    QSize client;
    QRect icon;  // null without an icon
    QRect text;
    std::vector<QRect> buttons;  // left to right
};

// Places icon, text and the button row from the dialog units of the font.
MessageLayout LayOutMessage(const MessageMeasures& measures);

}  // namespace ui
