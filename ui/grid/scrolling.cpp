// Following the dataset: which rows are shown, the scroll bars, and the
// moves of the current record that the user asks for.
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

#include "db/ib_query.h"
#include "ui/grid/grid_internal.h"

namespace ui {
using namespace grid_detail;

void TDBGrid::LinkActiveChanged() {
    failure_reported_ = false;
    top_record_ = 0;
    UpdateLayout();
}

void TDBGrid::LinkDataChanged() {
    if (!painting_) {
        // Keep the current row among the shown ones when another grid on
        // the same data source makes the window taller than this grid.
        const int records = link_->RecordCount();
        const int rows = VisibleRowCount();
        const int active = link_->ActiveRecord();
        if (records <= rows) {
            top_record_ = 0;
        } else {
            if (active < top_record_) top_record_ = active;
            if (active >= top_record_ + rows) top_record_ = active - rows + 1;
            top_record_ = std::clamp(top_record_, 0, records - rows);
        }
        UpdateVerticalBar();
    }
    viewport()->update();
}

void TDBGrid::UpdateLayout() {
    if (painting_) {
        viewport()->update();
        return;
    }
    // The dataset follows this: rows coming into view get fetched.
    link_->SetBufferCount(VisibleRowCount());
    const int columns = static_cast<int>(VisibleColumns().size());
    left_visible_ = std::clamp(left_visible_, 0, std::max(0, columns - 1));
    UpdateHorizontalBar();
    LinkDataChanged();
}

// The vertical bar stands for the fetched rows, its value the current one;
// the horizontal bar counts columns.
void TDBGrid::UpdateVerticalBar() {
    const int fetched = link_->Active() ? DataSet()->FetchedRowCount() : 0;
    QScrollBar* vertical = verticalScrollBar();
    // The bar is always shown, so a new range leaves the scroll area
    // nothing to lay out; told of it, the area lays its bars out again and
    // repaints the whole grid, frame and both bars, at every reopen (twice
    // the rows' own painting after a lookup). The bar repaints itself, the
    // rows follow the data link, and the bar's moves are the user's alone
    // (actionTriggered).
    const QSignalBlocker quiet(vertical);
    vertical->setRange(0, std::max(0, fetched - 1));
    vertical->setPageStep(VisibleRowCount());
    vertical->setSingleStep(1);
    vertical->setValue(std::max(0, CurrentRow()));
}

void TDBGrid::UpdateHorizontalBar() {
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, MaxLeftColumn());
    horizontal->setPageStep(1);
    horizontal->setSingleStep(1);
    horizontal->setValue(left_visible_);
}

void TDBGrid::scrollContentsBy(int, int) {
    left_visible_ = horizontalScrollBar()->value();
    viewport()->update();
}

void TDBGrid::VerticalAction(int action) {
    QScrollBar* bar = verticalScrollBar();
    const int current = std::max(0, CurrentRow());
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            MoveRows(1);
            break;
        case QAbstractSlider::SliderSingleStepSub:
            MoveRows(-1);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            MoveRows(VisibleRowCount());
            break;
        case QAbstractSlider::SliderPageStepSub:
            MoveRows(-VisibleRowCount());
            break;
        case QAbstractSlider::SliderToMinimum:
            MoveToFirst();
            break;
        case QAbstractSlider::SliderToMaximum:
        case QAbstractSlider::SliderMove:
            MoveRows(bar->sliderPosition() - current);
            break;
        default:
            break;
    }
    // The slider ends where the dataset is, not where it was dragged.
    bar->setSliderPosition(std::max(0, CurrentRow()));
}

// --- moving ---

void TDBGrid::MoveRows(int distance) {
    db::TIBQuery* query = DataSet();
    if (query == nullptr || !query->Active() || distance == 0) return;
    // A key that cannot move does not move: no scroll event for nothing.
    if (distance > 0 && !query->HasFollowingRow()) return;
    if (distance < 0 && CurrentRow() <= 0) return;
    link_->MoveBy(distance);
}

void TDBGrid::MoveToFirst() {
    if (db::TIBQuery* query = DataSet(); query != nullptr && query->Active()) query->First();
}

void TDBGrid::MoveToLast() {
    if (db::TIBQuery* query = DataSet(); query != nullptr && query->Active()) query->Last();
}

}  // namespace ui
