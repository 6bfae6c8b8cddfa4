#include "ui/grid/db_grid.h"
#include "ui/program_font.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "db/ib_query.h"
#include "ui/exception_report.h"
#include "ui/guard.h"
#include "ui/latin1_text.h"

namespace ui {
namespace {

constexpr int kIndicatorWidth = 11;
constexpr int kLineWidth = 1;
constexpr int kNoFieldWidth = 64;
constexpr int kDataTextOffset = 2;
constexpr int kTitleTextOffset = 1;  // inside the 3-D edge
const QColor kSilver(192, 192, 192);
const QColor kGray(128, 128, 128);

// Height of a line of text in `font` as the grid measures it. Layout asks
// for it many times per notification; the few fonts in use are remembered.
int TextHeight(const QFont& font, const QPaintDevice* device) {
    struct Known {
        QFont font;
        int dpi;
        int height;
    };
    static thread_local std::vector<Known> known;
    const int dpi = device != nullptr ? device->logicalDpiY() : 0;
    for (const Known& k : known) {
        if (k.dpi == dpi && k.font == font) return k.height;
    }
    const int height =
        QFontMetrics(font, device).size(Qt::TextSingleLine, QStringLiteral("Wg")).height();
    if (known.size() >= 32) known.erase(known.begin());
    known.push_back({font, dpi, height});
    return height;
}

// One line of text in a cell: the whole cell is filled first, so whatever
// was painted there before is covered; the text is clipped to the cell.
void PlaceText(TCanvas& canvas, const QRect& rect, const std::string& text,
               db::TAlignment alignment, int offset) {
    QPainter* painter = canvas.Painter();
    if (painter == nullptr) return;
    painter->fillRect(rect, canvas.BrushColor);
    if (text.empty()) return;
    const QString shown = ToQString(text);
    const QFontMetrics metrics(canvas.Font, painter->device());
    const int width = metrics.horizontalAdvance(shown);
    int x = rect.left() + offset;
    if (alignment == db::TAlignment::taRightJustify) {
        x = rect.left() + rect.width() - width - 3;
    } else if (alignment == db::TAlignment::taCenter) {
        x = rect.left() + rect.width() / 2 - width / 2;
    }
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->setFont(canvas.Font);
    painter->setPen(canvas.FontColor);
    painter->drawText(x, rect.top() + offset + metrics.ascent(), shown);
    painter->restore();
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

// Hands the canvas a painter for one cell; the painter's state, and the
// canvas's previous painter, are put back whatever the hook did.
class CanvasScope {
  public:
    CanvasScope(QPainter*& slot, QPainter& painter, const QRect& clip)
        : slot_(slot), saved_(slot), painter_(painter) {
        painter_.save();
        painter_.setClipRect(clip);
        slot_ = &painter_;
    }
    ~CanvasScope() {
        slot_ = saved_;
        painter_.restore();
    }
    CanvasScope(const CanvasScope&) = delete;
    CanvasScope& operator=(const CanvasScope&) = delete;

  private:
    QPainter*& slot_;
    QPainter* saved_;
    QPainter& painter_;
};

}  // namespace

// --- canvas ---

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

// --- columns ---

db::TField* TColumn::Field() const {
    return grid_ != nullptr ? grid_->OpenField(FieldName) : nullptr;
}

// --- the link to the data source ---

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

// --- the grid ---

TDBGrid::TDBGrid(QWidget* parent)
    : QAbstractScrollArea(parent), link_(std::make_unique<GridLink>(this)) {
    Color = palette().color(QPalette::Base);
    FixedColor = palette().color(QPalette::Button);
    TitleFont = ProgramFont();
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    // The vertical bar moves the current record, as the keys do; its value
    // then follows the dataset.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { Guard([&] { VerticalAction(action); }); });
    UpdateHorizontalBar();
    UpdateVerticalBar();
}

TDBGrid::~TDBGrid() {
    link_->Detach();
}

void TDBGrid::SetDataSource(db::TDataSource* source) {
    // Ask for the rows that fit before the dataset sizes its window.
    link_->SetBufferCount(VisibleRowCount());
    link_->SetDataSource(source);
    UpdateLayout();
}

db::TDataSource* TDBGrid::DataSource() const {
    return link_->DataSource();
}

db::TIBQuery* TDBGrid::DataSet() const {
    return link_->DataSet();
}

TColumn& TDBGrid::AddColumn(const std::string& field_name, const std::string& title, int width) {
    columns_.push_back(TColumn(this, field_name));
    TColumn& column = columns_.back();
    column.Title.Caption = title;
    column.Width = width;
    UpdateLayout();
    return column;
}

// --- column look ---

QFont TDBGrid::ColumnFont(const TColumn& column) const {
    return column.Font.value_or(font());
}

QColor TDBGrid::ColumnColor(const TColumn& column) const {
    return column.Color.value_or(Color);
}

db::TAlignment TDBGrid::ColumnAlignment(const TColumn& column) const {
    if (column.Alignment) return *column.Alignment;
    const db::TField* field = LayoutField(column);
    return field != nullptr ? field->Alignment() : db::TAlignment::taLeftJustify;
}

QFont TDBGrid::ColumnTitleFont(const TColumn& column) const {
    return column.Title.Font.resolveMask() == 0 ? TitleFont : column.Title.Font;
}

QColor TDBGrid::ColumnTitleColor(const TColumn& column) const {
    return column.Title.Color.isValid() ? column.Title.Color : FixedColor;
}

std::string TDBGrid::TitleCaption(const TColumn& column) const {
    if (!column.Title.Caption.empty()) return column.Title.Caption;
    const db::TField* field = LayoutField(column);
    return field != nullptr ? field->DisplayName() : column.FieldName;
}

db::TField* TDBGrid::LayoutField(const TColumn& column) const {
    db::TIBQuery* query = DataSet();
    return query != nullptr ? query->FindField(column.FieldName) : nullptr;
}

db::TField* TDBGrid::OpenField(const std::string& name) const {
    db::TIBQuery* query = DataSet();
    return query != nullptr && query->Active() ? query->FindField(name) : nullptr;
}

int TDBGrid::ColumnWidth(const TColumn& column) const {
    if (column.Width >= 0) return column.Width;
    const db::TField* field = LayoutField(column);
    if (field == nullptr) return kNoFieldWidth;
    // Measuring text is the costly part of laying out a wide grid, so the
    // result is kept until anything it depends on changes.
    const QFont font = ColumnFont(column);
    const QFont title_font = ColumnTitleFont(column);
    const std::string caption = TitleCaption(column);
    const int display_width = field->EffectiveDisplayWidth();
    TColumn::WidthMemo& memo = column.width_memo_;
    if (memo.valid && memo.display_width == display_width && memo.caption == caption &&
        memo.font == font && memo.title_font == title_font) {
        return memo.width;
    }
    // Qt reports no overhang, so the rule reduces to digit width times
    // display width plus 4, raised to fit the title.
    const QFontMetrics metrics(font, viewport());
    const int by_field = metrics.horizontalAdvance(QLatin1Char('0')) * display_width + 4;
    const QFontMetrics title_metrics(title_font, viewport());
    const int by_title = title_metrics.horizontalAdvance(ToQString(caption)) + 4;
    memo = {true, display_width, caption, font, title_font, std::max(by_field, by_title)};
    return memo.width;
}

// --- geometry ---

int TDBGrid::DataRowHeight() const {
    return TextHeight(font(), viewport()) + 3 + kLineWidth;
}

int TDBGrid::TitleRowHeight() const {
    int tallest = 0;
    for (const TColumn& column : columns_) {
        tallest = std::max(tallest, TextHeight(ColumnTitleFont(column), viewport()));
    }
    if (columns_.empty()) tallest = TextHeight(TitleFont, viewport());
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

// --- painting ---

void TDBGrid::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    PaintGrid(painter);
}

void TDBGrid::PaintGrid(QPainter& painter) {
    painting_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{painting_};

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
    CanvasScope scope(canvas_.painter_, painter, rect);
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
    CanvasScope scope(canvas_.painter_, painter, rect);
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
        if (DefaultDrawing && (state & gdFocused) != 0) DrawFocusRect(painter, rect);
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

// --- texts for the window test driver ---

std::vector<std::string> TDBGrid::RowTexts(int cache_row) const {
    db::TIBQuery* query = DataSet();
    if (query == nullptr || !query->Active() || cache_row < 0 ||
        cache_row >= query->FetchedRowCount()) {
        return {};
    }
    FieldsRowScope row(*query, cache_row);
    std::vector<std::string> texts;
    for (const int index : VisibleColumns()) {
        const db::TField* field = columns_[static_cast<size_t>(index)].Field();
        texts.push_back(field != nullptr ? field->DisplayText() : std::string());
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
        CanvasScope scope(canvas_.painter_, painter, rect);
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

// --- following the dataset ---

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
    if (distance > 0 && query->AtEnd()) return;
    if (distance < 0 && CurrentRow() <= 0) return;
    link_->MoveBy(distance);
}

void TDBGrid::MoveToFirst() {
    if (db::TIBQuery* query = DataSet(); query != nullptr && query->Active()) query->First();
}

void TDBGrid::MoveToLast() {
    if (db::TIBQuery* query = DataSet(); query != nullptr && query->Active()) query->Last();
}

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

// --- events ---

void TDBGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateLayout();
}

void TDBGrid::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    UpdateLayout();
}

void TDBGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    switch (event->type()) {
        case QEvent::FontChange:
            UpdateLayout();
            break;
        case QEvent::EnabledChange:
        case QEvent::PaletteChange:
        case QEvent::ActivationChange:
            viewport()->update();
            break;
        default:
            break;
    }
}

void TDBGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TDBGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
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

void TDBGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    setFocus(Qt::MouseFocusReason);
    Guard([&] { ClickAt(event->position().toPoint()); });
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    Guard([&] {
        ClickAt(event->position().toPoint());
        if (OnDblClick) OnDblClick();
    });
}

void TDBGrid::wheelEvent(QWheelEvent* event) {
    wheel_delta_ += event->angleDelta().y();
    const int steps = wheel_delta_ / 120;
    wheel_delta_ %= 120;
    if (steps != 0) Guard([&] { MoveRows(-steps); });
    event->accept();
}

}  // namespace ui
