#include "ui/grid/db_grid.h"

#include <QFocusEvent>
#include <QScrollBar>

#include "ui/grid/grid_internal.h"
#include "ui/guard.h"
#include "ui/program_font.h"

namespace ui {

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
    // The pointer changes over a title's right edge, where a drag sizes
    // the column.
    viewport()->setMouseTracking(true);
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

void TDBGrid::SetColumnWidth(int data_col, int width) {
    if (data_col < 0 || data_col >= static_cast<int>(columns_.size())) return;
    columns_[static_cast<size_t>(data_col)].Width = width;
    UpdateLayout();
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

}  // namespace ui
