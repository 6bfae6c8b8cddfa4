// Columns: what each one shows, and how wide it is when its width is not set.
#include <QFontMetrics>
#include <algorithm>

#include "db/ib_query.h"
#include "ui/grid/db_grid.h"
#include "ui/latin1_text.h"

namespace ui {
namespace {

constexpr int kNoFieldWidth = 64;  // a column whose field is not there (yet)

}  // namespace

db::TField* TColumn::Field() const {
    return grid_ != nullptr ? grid_->OpenField(FieldName) : nullptr;
}

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

const QFont& TDBGrid::ColumnTitleFont(const TColumn& column) const {
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

}  // namespace ui
