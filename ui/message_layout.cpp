#include "ui/message_layout.h"

#include <algorithm>

namespace ui {

namespace {
constexpr int kIconSize = 32;
// A caption needs this much room besides its own width.
constexpr int kCaptionPadding = 8;
}  // namespace

int MulDivRound(int a, int b, int c) {
    const long long twice = 2LL * a * b;
    const long long rounded = twice >= 0 ? (twice + c) / (2LL * c) : (twice - c) / (2LL * c);
    return static_cast<int>(rounded);
}

MessageLayout LayOutMessage(const MessageMeasures& m) {
    const int w = m.char_width;
    const int h = m.char_height;
    const int margin_x = MulDivRound(8, w, 4);
    const int margin_y = MulDivRound(8, h, 8);
    const int spacing_x = MulDivRound(10, w, 4);
    const int spacing_y = MulDivRound(10, h, 8);
    const int button_height = MulDivRound(14, h, 8);
    const int button_spacing = MulDivRound(4, w, 4);
    const int button_width = std::max(MulDivRound(50, w, 4), m.widest_caption + kCaptionPadding);

    int body_width = m.text.width();
    int body_height = m.text.height();
    if (m.has_icon) {
        body_width += kIconSize + spacing_x;
        body_height = std::max(body_height, kIconSize);
    }
    const int n = std::max(m.button_count, 0);
    const int group_width = n * button_width + std::max(n - 1, 0) * button_spacing;

    MessageLayout layout;
    layout.client = QSize(std::max(body_width, group_width) + 2 * margin_x,
                          body_height + button_height + spacing_y + 2 * margin_y);
    int text_left = margin_x;
    if (m.has_icon) {
        layout.icon = QRect(margin_x, margin_y, kIconSize, kIconSize);
        text_left += kIconSize + spacing_x;
    }
    layout.text = QRect(QPoint(text_left, margin_y), m.text);
    const int top = body_height + margin_y + spacing_y;
    int left = (layout.client.width() - group_width) / 2;
    for (int i = 0; i < n; ++i) {
        layout.buttons.emplace_back(left, top, button_width, button_height);
        left += button_width + button_spacing;
    }
    return layout;
}

}  // namespace ui
