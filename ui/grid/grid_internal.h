#pragma once

// What the grid's own files share: the fixed measures of its layout, the
// link through which the dataset notifies it, and the scope that lends the
// canvas a painter. Not for use outside ui/grid/.

#include <QPainter>
#include <QRect>

#include "db/data_source.h"
#include "ui/grid/db_grid.h"

namespace ui {
namespace grid_detail {

inline constexpr int kIndicatorWidth = 11;
inline constexpr int kLineWidth = 1;

// The device's resolution as fonts are measured for it; 0 without one.
inline int DeviceDpi(const QPaintDevice* device) {
    return device != nullptr ? device->logicalDpiY() : 0;
}

// Hands the canvas a painter for one cell; the painter's state, and the
// canvas's previous painter, are put back whatever the hook did. What the
// canvas still holds is drawn before that.
class CanvasScope {
  public:
    CanvasScope(TCanvas& canvas, QPainter& painter, const QRect& clip)
        : canvas_(canvas),
          saved_(canvas.painter_),
          saved_dpi_(canvas.device_dpi_),
          painter_(painter) {
        painter_.save();
        painter_.setClipRect(clip);
        canvas_.painter_ = &painter_;
        canvas_.device_dpi_ = DeviceDpi(painter_.device());
    }
    ~CanvasScope() {
        try {
            canvas_.DrawHeldText();
        } catch (...) {
            // Out of memory while painting: the text is lost, not the program.
        }
        canvas_.painter_ = saved_;
        canvas_.device_dpi_ = saved_dpi_;
        painter_.restore();
    }
    CanvasScope(const CanvasScope&) = delete;
    CanvasScope& operator=(const CanvasScope&) = delete;

  private:
    TCanvas& canvas_;
    QPainter* saved_;
    int saved_dpi_;
    QPainter& painter_;
};

}  // namespace grid_detail

// The dataset's notifications reach the grid through this link.

class TDBGrid::GridLink : public db::TDataLink {
  public:
    explicit GridLink(TDBGrid* grid) : grid_(grid) {}
    // The grid is going away: no more notifications reach it.
    void Detach() {
        grid_ = nullptr;
        SetDataSource(nullptr);
    }

  protected:
    void ActiveChanged() override {
        if (grid_ != nullptr) grid_->LinkActiveChanged();
    }
    void DataSetChanged() override {
        if (grid_ != nullptr) grid_->LinkDataChanged();
    }
    void DataSetScrolled(int) override {
        if (grid_ != nullptr) grid_->LinkDataChanged();
    }
    void LayoutChanged() override {
        if (grid_ != nullptr) grid_->LinkActiveChanged();
    }
    void DisabledStateChanged(bool) override {
        if (grid_ != nullptr) grid_->LinkActiveChanged();
    }

  private:
    TDBGrid* grid_;
};

}  // namespace ui
