// Keys, clicks and the wheel: the moves the user asks for.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <vector>

#include "ui/grid/grid_internal.h"
#include "ui/guard.h"

namespace ui {
using namespace grid_detail;
namespace {

// One notch of a mouse wheel, in Qt's eighths of a degree: one row.
constexpr int kWheelNotch = 120;
// How near a title's right edge the pointer takes hold of it.
constexpr int kEdgeReach = 3;

}  // namespace

void TDBGrid::ClickAt(const QPoint& pos) {
    const int title_height = TitleRowHeight();
    if (pos.y() < title_height) return;
    const int window_row = top_record_ + (pos.y() - title_height) / DataRowHeight();
    if (!link_->Active() || window_row >= link_->RecordCount()) return;
    for (const ShownColumn& column : ShownColumns()) {
        if (pos.x() >= column.left && pos.x() <= column.left + column.width) {
            SetSelectedColumn(column.index);
            break;
        }
    }
    const int distance = window_row - link_->ActiveRecord();
    if (distance != 0) link_->MoveBy(distance);
}
void TDBGrid::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
    const std::vector<int> visible = VisibleColumns();
    const int selected = SelectedColumn();
    const int position =
        static_cast<int>(std::find(visible.begin(), visible.end(), selected) - visible.begin());
    auto select_at = [&](int p) {
        if (p >= 0 && p < static_cast<int>(visible.size())) {
            SetSelectedColumn(visible[static_cast<size_t>(p)]);
        }
    };
    const int last_column = static_cast<int>(visible.size()) - 1;
    const int top_distance = top_record_ - link_->ActiveRecord();
    const int bottom_distance =
        std::min(link_->RecordCount(), top_record_ + VisibleRowCount()) - 1 - link_->ActiveRecord();
    bool handled = true;
    Guard([&] {
        switch (event->key()) {
            case Qt::Key_Up:
                ctrl ? MoveRows(top_distance) : MoveRows(-1);
                break;
            case Qt::Key_Down:
                ctrl ? MoveRows(bottom_distance) : MoveRows(1);
                break;
            case Qt::Key_PageUp:
                MoveRows(ctrl ? top_distance : -VisibleRowCount());
                break;
            case Qt::Key_PageDown:
                MoveRows(ctrl ? bottom_distance : VisibleRowCount());
                break;
            case Qt::Key_Left:
                ctrl ? select_at(0) : select_at(position - 1);
                break;
            case Qt::Key_Right:
                ctrl ? select_at(last_column) : select_at(position + 1);
                break;
            case Qt::Key_Home:
                if (ctrl || visible.size() == 1) {
                    MoveToFirst();
                } else {
                    select_at(0);
                }
                break;
            case Qt::Key_End:
                if (ctrl || visible.size() == 1) {
                    MoveToLast();
                } else {
                    select_at(last_column);
                }
                break;
            default:
                handled = false;
                break;
        }
    });
    if (handled) {
        event->accept();
    } else {
        QWidget::keyPressEvent(event);  // not the scroll area's: it would scroll
    }
}

int TDBGrid::ColumnEdgeAt(const QPoint& pos) const {
    if (pos.y() < 0 || pos.y() >= TitleRowHeight()) return -1;
    for (const ShownColumn& column : ShownColumns()) {
        const int edge = column.left + column.width;
        if (pos.x() >= edge - kEdgeReach && pos.x() <= edge + kEdgeReach) return column.index;
    }
    return -1;
}

void TDBGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    if (const int edge = ColumnEdgeAt(pos); edge >= 0) {
        const TColumn& column = columns_[static_cast<size_t>(edge)];
        drag_ = {edge, pos.x(), ColumnWidth(column), column.Width};
        return;
    }
    Guard([&] { ClickAt(event->position().toPoint()); });
}

void TDBGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (drag_.column >= 0) {
        const int width =
            std::max(kMinimumDraggedWidth, drag_.start_width + pos.x() - drag_.start_x);
        if (width != columns_[static_cast<size_t>(drag_.column)].Width) {
            SetColumnWidth(drag_.column, width);
        }
        return;
    }
    if (ColumnEdgeAt(pos) >= 0) {
        viewport()->setCursor(Qt::SplitHCursor);
    } else {
        viewport()->unsetCursor();
    }
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_.column < 0) return;
    const int column = drag_.column;
    const bool moved = columns_[static_cast<size_t>(column)].Width != drag_.original;
    drag_ = {};
    if (moved && OnColumnResized) Guard([&] { OnColumnResized(column); });
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The second click of a title's edge takes hold of it again, nothing more.
    if (ColumnEdgeAt(event->position().toPoint()) >= 0) return mousePressEvent(event);
    Guard([&] {
        ClickAt(event->position().toPoint());
        if (OnDblClick) OnDblClick();
    });
}

void TDBGrid::wheelEvent(QWheelEvent* event) {
    wheel_delta_ += event->angleDelta().y();
    const int steps = wheel_delta_ / kWheelNotch;
    wheel_delta_ %= kWheelNotch;
    if (steps != 0) Guard([&] { MoveRows(-steps); });
    event->accept();
}

}  // namespace ui
