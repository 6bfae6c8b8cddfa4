#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <string>

class QPainter;

namespace ui {

class TDBGrid;

// How a cell is being drawn: the grid's current cell, the current cell of a
// focused grid, a title or indicator cell.
enum TGridDrawStateFlag { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = int;

// The drawing surface a cell hook paints on. It is valid only while the
// grid paints a cell; outside that its drawing calls do nothing. Drawing is
// clipped to the cell being painted.
class TCanvas {
  public:
    QFont Font;
    QColor FontColor;
    QColor BrushColor;

    // Fills `r` with BrushColor.
    void FillRect(const QRect& r);
    // Draws one line of text (ISO8859_1) with its top-left corner at (x, y)
    // in Font and FontColor, without a background.
    void TextOut(int x, int y, const std::string& latin1);
    int TextWidth(const std::string& latin1) const;
    // The painter of the cell being drawn, or nullptr.
    QPainter* Painter() { return painter_; }

  private:
    friend class TDBGrid;
    QPainter* painter_ = nullptr;
};

}  // namespace ui
