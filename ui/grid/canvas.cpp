#include "ui/grid/canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include "ui/latin1_text.h"

namespace ui {

void TCanvas::FillRect(const QRect& r) {
    if (painter_ != nullptr) painter_->fillRect(r, BrushColor);
}

void TCanvas::TextOut(int x, int y, const std::string& latin1) {
    if (painter_ == nullptr) return;
    const QFontMetrics metrics(Font, painter_->device());
    painter_->save();
    painter_->setFont(Font);
    painter_->setPen(FontColor);
    painter_->drawText(x, y + metrics.ascent(), ToQString(latin1));
    painter_->restore();
}

int TCanvas::TextWidth(const std::string& latin1) const {
    const QFontMetrics metrics =
        painter_ != nullptr ? QFontMetrics(Font, painter_->device()) : QFontMetrics(Font);
    return metrics.horizontalAdvance(ToQString(latin1));
}

}  // namespace ui
