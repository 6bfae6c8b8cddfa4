// Texts and colours for the window test driver: read from any fetched row
// without moving the current one or firing anything.
#include <QImage>
#include <QPainter>
#include <algorithm>

#include "db/ib_query.h"
#include "ui/grid/grid_internal.h"

namespace ui {
using namespace grid_detail;
namespace {

// Points the fields at any fetched row and back at the current one.
class FieldsRowScope {
  public:
    FieldsRowScope(db::TIBQuery& query, int row) : query_(query) { query_.SetFieldsRow(row); }
    ~FieldsRowScope() { query_.SetFieldsRow(-1); }
    FieldsRowScope(const FieldsRowScope&) = delete;
    FieldsRowScope& operator=(const FieldsRowScope&) = delete;

  private:
    db::TIBQuery& query_;
};

}  // namespace

std::vector<std::string> TDBGrid::RowTexts(int cache_row) const {
    return RowTexts(cache_row, [](const db::TField& field) { return field.DisplayText(); });
}

std::vector<std::string> TDBGrid::RowTexts(int cache_row, const FieldText& text_of) const {
    db::TIBQuery* query = DataSet();
    if (query == nullptr || !query->Active() || cache_row < 0 ||
        cache_row >= query->FetchedRowCount()) {
        return {};
    }
    FieldsRowScope row(*query, cache_row);
    std::vector<std::string> texts;
    for (const int index : VisibleColumns()) {
        const db::TField* field = columns_[static_cast<size_t>(index)].Field();
        texts.push_back(field != nullptr ? text_of(*field) : std::string());
    }
    return texts;
}

QColor TDBGrid::RowTextColor(int cache_row) {
    db::TIBQuery* query = DataSet();
    const std::vector<int> visible = VisibleColumns();
    if (query == nullptr || !query->Active() || visible.empty() || cache_row < 0 ||
        cache_row >= query->FetchedRowCount()) {
        return {};
    }
    const int data_col = visible.front();
    const int window_row = cache_row - query->WindowFirstRow();
    const bool in_window = window_row >= 0 && window_row < link_->RecordCount();
    const TGridDrawState state = in_window ? CellState(data_col, window_row) : 0;
    QRect rect = in_window ? CellRect(window_row, data_col) : QRect();
    if (rect.isEmpty()) {
        rect = QRect(0, 0, std::max(1, ColumnWidth(columns_[static_cast<size_t>(data_col)])),
                     DataRowHeight() - kLineWidth);
    }
    // Painted on a scratch image: only the canvas's state is wanted.
    QImage scratch(rect.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    painter.translate(-rect.topLeft());
    {
        CanvasScope scope(canvas_, painter, rect);
        FieldsRowScope row(*query, cache_row);
        DrawCellContents(rect, data_col, state);
    }
    return canvas_.FontColor;
}

std::vector<std::string> TDBGrid::TitleTexts() const {
    std::vector<std::string> titles;
    for (const int index : VisibleColumns()) {
        titles.push_back(TitleCaption(columns_[static_cast<size_t>(index)]));
    }
    return titles;
}

}  // namespace ui
