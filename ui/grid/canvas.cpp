#include "ui/grid/canvas.h"

#include <QFontMetrics>
#include <QPainter>

#include "ui/latin1_text.h"

namespace ui {

void TCanvas::FillRect(const QRect& r) {
    if (painter_ != nullptr) painter_->fillRect(r, BrushColor);
}

const QFontMetrics& TCanvas::Metrics() const {
    const QPaintDevice* device = painter_ != nullptr ? painter_->device() : nullptr;
    const int dpi = device != nullptr ? device->logicalDpiY() : 0;
    if (!metrics_ || dpi != metrics_dpi_ || !(Font == metrics_font_)) {
        metrics_.emplace(device != nullptr ? QFontMetrics(Font, device) : QFontMetrics(Font));
        metrics_font_ = Font;
        metrics_dpi_ = dpi;
    }
    return *metrics_;
}

void TCanvas::TextOut(int x, int y, const std::string& latin1) {
    if (painter_ == nullptr) return;
    const QFontMetrics& metrics = Metrics();
    painter_->save();
    painter_->setFont(Font);
    painter_->setPen(FontColor);
    painter_->drawText(x, y + metrics.ascent(), ToQString(latin1));
    painter_->restore();
}

int TCanvas::TextWidth(const std::string& latin1) const {
    return Metrics().horizontalAdvance(ToQString(latin1));
}

}  // namespace ui
