#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QRect>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "db/fields.h"
#include "ui/grid/canvas.h"
#include "ui/grid/column.h"

class QPainter;

namespace db {
class TIBQuery;
}

namespace ui {

// A read-only grid over a query reached through a data source: a title row,
// an indicator column with the current-row arrow, one row per record of the
// dataset's display window. The grid keeps no copy of the data: every cell
// reads its field with the dataset pointed at the row being painted. The
// dataset fetches only the rows the grid has room for (the data link's
// buffer count is the number of rows that fit).
//
// Geometry, in viewport coordinates: the indicator column is 11 pixels
// wide, each column as wide as ColumnWidth(); one grid line of 1 pixel
// follows every column and every row. DataRowHeight() and TitleRowHeight()
// include the line below the row.
class TDBGrid : public QAbstractScrollArea {
    Q_OBJECT

  public:
    using DrawColumnCellEvent = std::function<void(TDBGrid& sender, const QRect& rect, int data_col,
                                                   TColumn& column, TGridDrawState state)>;

    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    void SetDataSource(db::TDataSource* source);
    db::TDataSource* DataSource() const;
    // The shown query, or nullptr.
    db::TIBQuery* DataSet() const;

    TColumn& AddColumn(const std::string& field_name, const std::string& title = {},
                       int width = -1);
    // References to columns stay valid while columns are added.
    std::deque<TColumn>& Columns() { return columns_; }
    const std::deque<TColumn>& Columns() const { return columns_; }

    // Data cells take the widget's font(); these are read at every paint.
    QColor Color;       // data cell background; default: the palette's Base
    QColor FixedColor;  // title and indicator background; default: Button
    QFont TitleFont;
    bool DefaultDrawing = true;
    // Called for every data cell after the default drawing, with the canvas
    // prepared and the query's fields on the row being painted.
    DrawColumnCellEvent OnDrawColumnCell;
    std::function<void()> OnDblClick;
    // Told once the user has dragged a column's right edge in the title row
    // to a new width (the column's Width then holds it).
    std::function<void(int data_col)> OnColumnResized;

    TCanvas& Canvas() { return canvas_; }
    // Paints the column field's display text into `rect` with the canvas's
    // current font, font colour and brush (for a hook). Does nothing when no
    // cell is being painted.
    void DefaultDrawColumnCell(const QRect& rect, int data_col, TColumn& column,
                               TGridDrawState state);

    // The display texts of the visible columns for one fetched row (cache
    // index), and the font colour the cell painting, hook included, leaves
    // for its first visible column. Neither moves the current row nor fires
    // anything. Rows not fetched give {} and an invalid colour.
    std::vector<std::string> RowTexts(int cache_row) const;
    // The same with each field's text given by `text_of` (a printout's own
    // formats); a column without a field gives "".
    using FieldText = std::function<std::string(const db::TField&)>;
    std::vector<std::string> RowTexts(int cache_row, const FieldText& text_of) const;
    QColor RowTextColor(int cache_row);
    std::vector<std::string> TitleTexts() const;

    // Current row as a cache index; -1 when the query is closed or empty.
    int CurrentRow() const;
    // The current column as an index into Columns(); -1 without columns.
    int SelectedColumn() const;
    void SetSelectedColumn(int data_col);
    // The first column shown after the indicator (index into Columns()).
    int LeftColumn() const;

    int DataRowHeight() const;
    int TitleRowHeight() const;
    // Data rows that fit the viewport; what the grid asks the dataset for.
    int VisibleRowCount() const;
    int ColumnWidth(const TColumn& column) const;
    // Sets a column's Width (-1: from its field and title) and lays the
    // grid out again.
    void SetColumnWidth(int data_col, int width);
    // The narrowest a dragged column gets.
    static constexpr int kMinimumDraggedWidth = 8;
    // A cell in viewport coordinates, without its grid lines. window_row -1
    // is the title row and data_col -1 the indicator column. Empty for a
    // column not in view (hidden, or scrolled out).
    QRect CellRect(int window_row, int data_col) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    class GridLink;
    friend class GridLink;
    friend class TColumn;

    struct ShownColumn {
        int index;  // into columns_
        int left;   // cell's left edge
        int width;
    };

    // Column look with the grid's defaults filled in.
    QFont ColumnFont(const TColumn& column) const;
    QColor ColumnColor(const TColumn& column) const;
    db::TAlignment ColumnAlignment(const TColumn& column) const;
    const QFont& ColumnTitleFont(const TColumn& column) const;
    QColor ColumnTitleColor(const TColumn& column) const;
    std::string TitleCaption(const TColumn& column) const;
    // The field a column names, open or not (declared fields size columns
    // before the query opens).
    db::TField* LayoutField(const TColumn& column) const;
    db::TField* OpenField(const std::string& name) const;

    std::vector<int> VisibleColumns() const;
    std::vector<ShownColumn> ShownColumns() const;
    int MaxLeftColumn() const;
    void EnsureColumnShown(int data_col);
    int ShownRowCount() const;

    void PaintGrid(QPainter& painter);
    void PaintTitleCell(QPainter& painter, const QRect& rect, const TColumn* column);
    void PaintIndicatorCell(QPainter& painter, const QRect& rect, bool current);
    void PaintDataCell(QPainter& painter, const QRect& rect, int data_col, int window_row);
    // Canvas preparation, default drawing and hook for the row the fields
    // read now.
    void DrawCellContents(const QRect& rect, int data_col, TGridDrawState state);
    TGridDrawState CellState(int data_col, int window_row) const;
    void ReportPaintFailure(std::exception_ptr failure);

    // Data link notifications.
    void LinkActiveChanged();
    void LinkDataChanged();
    void UpdateLayout();
    void UpdateVerticalBar();
    void UpdateHorizontalBar();
    void VerticalAction(int action);

    // Moves of the current record asked for by the user.
    void MoveRows(int distance);
    void MoveToFirst();
    void MoveToLast();
    void ClickAt(const QPoint& pos);
    // The column whose right edge in the title row is under `pos` (a few
    // pixels either side), or -1.
    int ColumnEdgeAt(const QPoint& pos) const;

    std::unique_ptr<GridLink> link_;
    std::deque<TColumn> columns_;
    TCanvas canvas_;
    int selected_column_ = 0;  // into columns_
    int left_visible_ = 0;     // left column, as a position among the visible ones
    int top_record_ = 0;       // window row shown first
    int wheel_delta_ = 0;
    // A column being dragged wider or narrower by its title's right edge.
    struct ColumnDrag {
        int column = -1;  // into columns_; -1 when none is
        int start_x = 0;
        int start_width = 0;
        int original = -1;  // its Width before
    };
    ColumnDrag drag_;
    bool painting_ = false;
    bool failure_reported_ = false;  // since the data last changed
};

}  // namespace ui
