#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <optional>
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
    // The metrics of Font on the painter's device (or the screen without a
    // painter). Kept while font and resolution stay: a grid paints hundreds
    // of cells in a few fonts, and making metrics looks the font up anew.
    const QFontMetrics& Metrics() const;

  private:
    friend class TDBGrid;
    QPainter* painter_ = nullptr;
    mutable std::optional<QFontMetrics> metrics_;
    mutable QFont metrics_font_;
    mutable int metrics_dpi_ = -1;  // of the device the metrics were made for; 0: none
};

}  // namespace ui
