// Where rows and columns are, and which cell is the current one.
#include <QFontMetrics>
#include <algorithm>
#include <vector>

#include "db/ib_query.h"
#include "ui/grid/grid_internal.h"

namespace ui {
using namespace grid_detail;
namespace {

// Height of a line of text in `font` as the grid measures it. Layout asks
// for it many times per notification; the few fonts in use are remembered.
int TextHeight(const QFont& font, const QPaintDevice* device, int dpi) {
    struct Known {
        QFont font;
        int dpi;
        int height;
    };
    static thread_local std::vector<Known> known;
    for (const Known& k : known) {
        if (k.dpi == dpi && k.font == font) return k.height;
    }
    const int height =
        QFontMetrics(font, device).size(Qt::TextSingleLine, QStringLiteral("Wg")).height();
    if (known.size() >= 32) known.erase(known.begin());
    known.push_back({font, dpi, height});
    return height;
}

}  // namespace

int TDBGrid::DataRowHeight() const {
    const QWidget* device = viewport();
    return TextHeight(font(), device, DeviceDpi(device)) + 3 + kLineWidth;
}

int TDBGrid::TitleRowHeight() const {
    // Asked for many times per change and per paint; the columns mostly
    // share the grid's title font, measured once per run of equal fonts.
    const QWidget* device = viewport();
    const int dpi = DeviceDpi(device);
    int tallest = 0;
    const QFont* measured = nullptr;
    for (const TColumn& column : columns_) {
        const QFont& font = ColumnTitleFont(column);
        if (measured != nullptr && (measured == &font || *measured == font)) continue;
        tallest = std::max(tallest, TextHeight(font, device, dpi));
        measured = &font;
    }
    if (columns_.empty()) tallest = TextHeight(TitleFont, device, dpi);
    return tallest + 4;
}

int TDBGrid::VisibleRowCount() const {
    return std::max(1, (viewport()->height() - TitleRowHeight()) / DataRowHeight());
}

std::vector<int> TDBGrid::VisibleColumns() const {
    std::vector<int> visible;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].Visible) visible.push_back(static_cast<int>(i));
    }
    return visible;
}

std::vector<TDBGrid::ShownColumn> TDBGrid::ShownColumns() const {
    std::vector<ShownColumn> shown;
    const std::vector<int> visible = VisibleColumns();
    const int view_width = viewport()->width();
    int x = kIndicatorWidth + kLineWidth;
    for (size_t p = static_cast<size_t>(std::max(left_visible_, 0)); p < visible.size(); ++p) {
        if (x >= view_width && !shown.empty()) break;
        const int width = ColumnWidth(columns_[static_cast<size_t>(visible[p])]);
        shown.push_back({visible[p], x, width});
        x += width + kLineWidth;
    }
    return shown;
}

int TDBGrid::MaxLeftColumn() const {
    const std::vector<int> visible = VisibleColumns();
    if (visible.empty()) return 0;
    const int room = viewport()->width() - (kIndicatorWidth + kLineWidth);
    int used = 0;
    int first = static_cast<int>(visible.size());
    while (first > 0) {
        used += ColumnWidth(columns_[static_cast<size_t>(visible[first - 1])]) + kLineWidth;
        if (used > room) break;
        --first;
    }
    return std::min(first, static_cast<int>(visible.size()) - 1);
}

void TDBGrid::EnsureColumnShown(int data_col) {
    const std::vector<int> visible = VisibleColumns();
    const auto found = std::find(visible.begin(), visible.end(), data_col);
    if (found == visible.end()) return;
    const int position = static_cast<int>(found - visible.begin());
    if (position < left_visible_) {
        left_visible_ = position;
    } else {
        const int view_width = viewport()->width();
        auto right_edge = [&] {
            int x = kIndicatorWidth + kLineWidth;
            for (int p = left_visible_; p <= position; ++p) {
                x += ColumnWidth(columns_[static_cast<size_t>(visible[static_cast<size_t>(p)])]) +
                     kLineWidth;
            }
            return x;
        };
        while (left_visible_ < position && right_edge() > view_width) ++left_visible_;
    }
    UpdateHorizontalBar();
    viewport()->update();
}

int TDBGrid::ShownRowCount() const {
    if (!link_->Active()) return 1;
    return std::max(1, std::min(link_->RecordCount() - top_record_, VisibleRowCount()));
}

QRect TDBGrid::CellRect(int window_row, int data_col) const {
    int top = 0;
    int height = TitleRowHeight() - kLineWidth;
    if (window_row >= 0) {
        top = TitleRowHeight() + (window_row - top_record_) * DataRowHeight();
        height = DataRowHeight() - kLineWidth;
    }
    if (data_col < 0) return QRect(0, top, kIndicatorWidth, height);
    for (const ShownColumn& shown : ShownColumns()) {
        if (shown.index == data_col) return QRect(shown.left, top, shown.width, height);
    }
    return {};
}

int TDBGrid::LeftColumn() const {
    const std::vector<int> visible = VisibleColumns();
    if (visible.empty()) return -1;
    return visible[static_cast<size_t>(std::clamp(left_visible_, 0, int(visible.size()) - 1))];
}

// --- current row and column ---

int TDBGrid::CurrentRow() const {
    const db::TIBQuery* query = DataSet();
    if (query == nullptr || !query->Active() || query->WindowRecordCount() == 0) return -1;
    return query->WindowFirstRow() + query->WindowActiveRecord();
}

int TDBGrid::SelectedColumn() const {
    const std::vector<int> visible = VisibleColumns();
    if (visible.empty()) return -1;
    if (std::find(visible.begin(), visible.end(), selected_column_) != visible.end()) {
        return selected_column_;
    }
    return visible.front();
}

void TDBGrid::SetSelectedColumn(int data_col) {
    if (data_col < 0 || data_col >= static_cast<int>(columns_.size())) return;
    if (!columns_[static_cast<size_t>(data_col)].Visible) return;
    selected_column_ = data_col;
    EnsureColumnShown(data_col);
    viewport()->update();
}

TGridDrawState TDBGrid::CellState(int data_col, int window_row) const {
    // A closed or empty set has no current record, so no current cell.
    if (!link_->Active() || link_->RecordCount() == 0) return 0;
    if (window_row != link_->ActiveRecord() || data_col != SelectedColumn()) return 0;
    return gdSelected | (hasFocus() ? gdFocused : 0);
}

}  // namespace ui
