#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QStaticText>
#include <string>
#include <unordered_map>
#include <vector>

namespace ui {

// One line of text laid out in a font, ready to draw again.
struct ShapedText {
    QStaticText text;
    // Its width as QFontMetrics::horizontalAdvance measures it, which is
    // not the laid-out size; measured when a right or centred cell first
    // asks, since measuring lays the text out once more.
    int Advance(const QFontMetrics& metrics) const {
        if (advance_ < 0) advance_ = metrics.horizontalAdvance(text.text());
        return advance_;
    }

  private:
    mutable int advance_ = -1;
};

// Texts laid out once per font and kept: laying a cell's text out costs
// more than drawing it, and a grid paints the same texts (titles, dates,
// amounts, kinds) paint after paint. Bounded; a few fonts at a time.
class ShapedTextCache {
  public:
    // `latin1` laid out in `font` for a device of `dpi`.
    const ShapedText& Get(const QFont& font, int dpi, const std::string& latin1);

  private:
    struct InFont {
        QFont font;
        int dpi = 0;
        std::unordered_map<std::string, ShapedText> texts;
    };
    std::vector<InFont> fonts_;
};

}  // namespace ui
