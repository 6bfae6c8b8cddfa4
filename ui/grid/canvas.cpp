#include "ui/grid/canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <utility>

namespace ui {

void TCanvas::FillRect(const QRect& r) {
    if (painter_ == nullptr) return;
    if (held_ && FillCoversCell(r)) {
        held_.reset();
    } else {
        DrawHeldText();
    }
    painter_->fillRect(r, BrushColor);
}

QPainter* TCanvas::Painter() {
    DrawHeldText();
    return painter_;
}

bool TCanvas::FillCoversCell(const QRect& r) const {
    // Drawing is clipped to the cell, so a fill of the whole clip with an
    // opaque colour leaves nothing of what was drawn before it.
    return BrushColor.alpha() == 255 && painter_->hasClipping() &&
           painter_->compositionMode() == QPainter::CompositionMode_SourceOver &&
           r.contains(painter_->clipBoundingRect().toAlignedRect());
}

const QFontMetrics& TCanvas::Metrics() const {
    const QPaintDevice* device = painter_ != nullptr ? painter_->device() : nullptr;
    const int dpi = DeviceDpi();
    if (!metrics_ || dpi != metrics_dpi_ || !(Font == metrics_font_)) {
        metrics_.emplace(device != nullptr ? QFontMetrics(Font, device) : QFontMetrics(Font));
        metrics_font_ = Font;
        metrics_dpi_ = dpi;
    }
    return *metrics_;
}

const ShapedText& TCanvas::Shaped(const std::string& latin1) const {
    return shaped_.Get(Font, DeviceDpi(), latin1);
}

void TCanvas::TextOut(int x, int y, const std::string& latin1) {
    if (painter_ == nullptr) return;
    DrawHeldText();
    held_ = HeldText{x, y, latin1, Font, FontColor};
}

void TCanvas::DrawHeldText() {
    if (!held_ || painter_ == nullptr) return;
    const HeldText held = std::move(*held_);
    held_.reset();
    const ShapedText& shaped = shaped_.Get(held.font, DeviceDpi(), held.text);
    painter_->save();
    painter_->setFont(held.font);
    painter_->setPen(held.colour);
    painter_->drawStaticText(held.x, held.y, shaped.text);
    painter_->restore();
}

int TCanvas::TextWidth(const std::string& latin1) const {
    return Shaped(latin1).Advance(Metrics());
}

}  // namespace ui
