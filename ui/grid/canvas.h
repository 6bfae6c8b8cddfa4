#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <optional>
#include <string>

#include "ui/grid/shaped_text.h"

class QPainter;

namespace ui {

class TDBGrid;
namespace grid_detail {
class CanvasScope;
}

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
    // The painter of the cell being drawn, or nullptr. Whatever the canvas
    // still holds is drawn first.
    QPainter* Painter();
    // The metrics of Font on the painter's device (or the screen without a
    // painter). Kept while font and resolution stay: a grid paints hundreds
    // of cells in a few fonts, and making metrics looks the font up anew.
    const QFontMetrics& Metrics() const;
    // The text laid out in Font for the painter's device, kept for the
    // next time it is drawn.
    const ShapedText& Shaped(const std::string& latin1) const;

  private:
    friend class TDBGrid;
    friend class grid_detail::CanvasScope;
    // Draws the text TextOut holds, if any.
    void DrawHeldText();
    // Text written by TextOut waits until something else is drawn in the
    // cell: the documents grid's hook writes each cell's text and then has
    // the default drawing fill the whole cell again, so an opaque fill of
    // the whole cell drops the waiting text unseen instead of drawing it to
    // be painted over.
    struct HeldText {
        int x = 0;
        int y = 0;
        std::string text;
        QFont font;
        QColor colour;
    };
    // Whether filling `r` now paints over everything drawn in the cell.
    bool FillCoversCell(const QRect& r) const;
    // The resolution of the painter's device; 0 without a painter.
    int DeviceDpi() const { return painter_ != nullptr ? device_dpi_ : 0; }

    QPainter* painter_ = nullptr;
    // Read once per cell: a widget answers through its screen, at a cost
    // paid several times per cell's text otherwise.
    int device_dpi_ = 0;
    std::optional<HeldText> held_;
    mutable std::optional<QFontMetrics> metrics_;
    mutable QFont metrics_font_;
    mutable int metrics_dpi_ = -1;  // of the device the metrics were made for; 0: none
    mutable ShapedTextCache shaped_;
};

}  // namespace ui
