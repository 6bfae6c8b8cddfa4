// Painting: titles, indicator, data cells through the canvas and the hook,
// grid lines; a failure while painting is reported after the paint.
#include <QFontMetrics>
#include <QPainter>
#include <QTimer>

#include "db/ib_query.h"
#include "runtime/scope_guard.h"
#include "ui/exception_report.h"
#include "ui/grid/grid_internal.h"
#include "ui/latin1_text.h"

namespace ui {
using namespace grid_detail;
namespace {

constexpr int kDataTextOffset = 2;
constexpr int kTitleTextOffset = 1;  // inside the 3-D edge
const QColor kSilver(192, 192, 192);
const QColor kGray(128, 128, 128);

// One line of text in a cell: the whole cell is filled first, so whatever
// was painted there before is covered. The cell's own clip (the canvas
// scope) keeps the text inside the cell; a title's edge is drawn over it.
void PlaceText(TCanvas& canvas, const QRect& rect, const std::string& text,
               db::TAlignment alignment, int offset) {
    canvas.FillRect(rect);
    QPainter* painter = canvas.Painter();
    if (painter == nullptr || text.empty()) return;
    const ShapedText& shaped = canvas.Shaped(text);
    int x = rect.left() + offset;
    if (alignment == db::TAlignment::taRightJustify) {
        x = rect.left() + rect.width() - shaped.Advance(canvas.Metrics()) - 3;
    } else if (alignment == db::TAlignment::taCenter) {
        x = rect.left() + rect.width() / 2 - shaped.Advance(canvas.Metrics()) / 2;
    }
    painter->setFont(canvas.Font);
    painter->setPen(canvas.FontColor);
    painter->drawStaticText(x, rect.top() + offset, shaped.text);
}

// Raised edge of a fixed cell: bottom and right first, then top and left.
void DrawRaisedEdge(QPainter& painter, const QRect& r, const QPalette& palette) {
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor light = palette.color(QPalette::Light);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), shadow);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), shadow);
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), light);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), light);
}

// A dotted rectangle that inverts what it crosses, so it shows on any colour.
void DrawFocusRect(QPainter& painter, const QRect& r) {
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    QPen pen(Qt::white, 0);
    pen.setDashPattern({1.0, 1.0});
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    painter.restore();
}

// Points the fields at another row of the window and back.
class ActiveRecordScope {
  public:
    ActiveRecordScope(db::TDataLink& link, int row) : link_(link), saved_(link.ActiveRecord()) {
        link_.SetActiveRecord(row);
    }
    ~ActiveRecordScope() { link_.SetActiveRecord(saved_); }
    ActiveRecordScope(const ActiveRecordScope&) = delete;
    ActiveRecordScope& operator=(const ActiveRecordScope&) = delete;

  private:
    db::TDataLink& link_;
    int saved_;
};

}  // namespace

void TDBGrid::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    PaintGrid(painter);
}

void TDBGrid::PaintGrid(QPainter& painter) {
    painting_ = true;
    runtime::ScopeGuard done([this] { painting_ = false; });

    painter.fillRect(viewport()->rect(), Color);
    const int title_height = TitleRowHeight();
    const int row_height = DataRowHeight();
    const std::vector<ShownColumn> shown = ShownColumns();
    const int rows = ShownRowCount();
    const bool has_records = link_->Active() && link_->RecordCount() > 0;
    const int lines_end =
        shown.empty() ? kIndicatorWidth + kLineWidth : shown.back().left + shown.back().width + 1;
    const int rows_end = title_height + rows * row_height;

    PaintTitleCell(painter, QRect(0, 0, kIndicatorWidth, title_height - kLineWidth), nullptr);
    for (const ShownColumn& column : shown) {
        PaintTitleCell(painter, QRect(column.left, 0, column.width, title_height - kLineWidth),
                       &columns_[static_cast<size_t>(column.index)]);
    }
    for (int r = 0; r < rows; ++r) {
        const int top = title_height + r * row_height;
        const int window_row = top_record_ + r;
        PaintIndicatorCell(painter, QRect(0, top, kIndicatorWidth, row_height - kLineWidth),
                           has_records && window_row == link_->ActiveRecord());
        for (const ShownColumn& column : shown) {
            PaintDataCell(painter, QRect(column.left, top, column.width, row_height - kLineWidth),
                          column.index, window_row);
        }
    }

    // Black between fixed cells; between data cells silver, or grey when
    // the cells themselves are silver.
    const QColor fixed_line = Qt::black;
    const QColor data_line = Color == kSilver ? kGray : kSilver;
    painter.fillRect(QRect(0, title_height - 1, lines_end, 1), fixed_line);
    painter.fillRect(QRect(kIndicatorWidth, 0, 1, rows_end), fixed_line);
    for (const ShownColumn& column : shown) {
        painter.fillRect(QRect(column.left + column.width, 0, 1, title_height - 1), fixed_line);
        painter.fillRect(
            QRect(column.left + column.width, title_height, 1, rows_end - title_height), data_line);
    }
    for (int r = 0; r < rows; ++r) {
        const int line = title_height + (r + 1) * row_height - 1;
        painter.fillRect(QRect(0, line, kIndicatorWidth, 1), fixed_line);
        painter.fillRect(QRect(kIndicatorWidth + 1, line, lines_end - kIndicatorWidth - 1, 1),
                         data_line);
    }
}

void TDBGrid::PaintTitleCell(QPainter& painter, const QRect& rect, const TColumn* column) {
    CanvasScope scope(canvas_, painter, rect);
    canvas_.Font = column != nullptr ? ColumnTitleFont(*column) : TitleFont;
    canvas_.BrushColor = column != nullptr ? ColumnTitleColor(*column) : FixedColor;
    canvas_.FontColor = palette().color(QPalette::WindowText);
    const QRect text_area = rect.adjusted(1, 1, -1, -1);
    if (column != nullptr) {
        PlaceText(canvas_, text_area, TitleCaption(*column), column->Title.Alignment,
                  kTitleTextOffset);
    } else {
        canvas_.FillRect(text_area);
    }
    DrawRaisedEdge(painter, rect, palette());
}

void TDBGrid::PaintIndicatorCell(QPainter& painter, const QRect& rect, bool current) {
    painter.fillRect(rect.adjusted(1, 1, -1, -1), FixedColor);
    if (current) {
        // A solid arrow 4 wide and 7 high, its right edge 2 pixels inside
        // the cell, centred vertically.
        const int right = rect.left() + rect.width() - 2;
        const int top = rect.top() + (rect.height() - 7) / 2;
        for (int i = 0; i < 4; ++i) {
            painter.fillRect(QRect(right - 4 + i, top + i, 1, 7 - 2 * i),
                             palette().color(QPalette::WindowText));
        }
    }
    DrawRaisedEdge(painter, rect, palette());
}

void TDBGrid::PaintDataCell(QPainter& painter, const QRect& rect, int data_col, int window_row) {
    const TGridDrawState state = CellState(data_col, window_row);
    CanvasScope scope(canvas_, painter, rect);
    try {
        if (!link_->Active()) {
            const TColumn& column = columns_[static_cast<size_t>(data_col)];
            canvas_.BrushColor = ColumnColor(column);
            canvas_.FillRect(rect);
            return;
        }
        {
            ActiveRecordScope row(*link_, window_row);
            DrawCellContents(rect, data_col, state);
        }
        if (DefaultDrawing && (state & gdFocused) != 0) {
            canvas_.DrawHeldText();  // the focus frame inverts what is under it
            DrawFocusRect(painter, rect);
        }
    } catch (...) {
        ReportPaintFailure(std::current_exception());
    }
}

void TDBGrid::DrawCellContents(const QRect& rect, int data_col, TGridDrawState state) {
    TColumn& column = columns_[static_cast<size_t>(data_col)];
    canvas_.Font = ColumnFont(column);
    canvas_.BrushColor = ColumnColor(column);
    canvas_.FontColor = palette().color(QPalette::Text);
    if ((state & gdFocused) != 0) {
        canvas_.BrushColor = palette().color(QPalette::Active, QPalette::Highlight);
        canvas_.FontColor = palette().color(QPalette::Active, QPalette::HighlightedText);
    }
    if (!isEnabled()) canvas_.FontColor = palette().color(QPalette::Disabled, QPalette::Text);
    if (DefaultDrawing) DefaultDrawColumnCell(rect, data_col, column, state);
    if (OnDrawColumnCell) OnDrawColumnCell(*this, rect, data_col, column, state);
}

void TDBGrid::DefaultDrawColumnCell(const QRect& rect, int, TColumn& column, TGridDrawState) {
    if (canvas_.painter_ == nullptr) return;
    const db::TField* field = column.Field();
    PlaceText(canvas_, rect, field != nullptr ? field->DisplayText() : std::string(),
              ColumnAlignment(column), kDataTextOffset);
}

// A failure while painting (a field that cannot be read, a failing hook)
// is reported once per opening of the query, after the paint: a box shown
// from inside painting would be painted over and over.
void TDBGrid::ReportPaintFailure(std::exception_ptr failure) {
    if (failure_reported_) return;
    failure_reported_ = true;
    QTimer::singleShot(0, this, [failure] { ReportException(failure); });
}

}  // namespace ui
