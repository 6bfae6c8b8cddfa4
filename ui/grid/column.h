#pragma once

#include <QColor>
#include <QFont>
#include <optional>
#include <string>

#include "db/fields.h"

namespace ui {

class TDBGrid;

// A column title. An invalid Color and a font with nothing set (QFont())
// stand for the grid's FixedColor and TitleFont.
struct TColumnTitle {
    std::string Caption;  // empty: the field's display name
    db::TAlignment Alignment = db::TAlignment::taLeftJustify;
    QColor Color;
    QFont Font;
};

// One column of a grid. Unset values follow the grid and the field.
class TColumn {
  public:
    std::string FieldName;
    int Width = -1;                           // -1: from the field's display width and the title
    std::optional<db::TAlignment> Alignment;  // default: the field's
    std::optional<QColor> Color;              // default: the grid's Color
    std::optional<QFont> Font;                // default: the grid's font
    bool Visible = true;
    TColumnTitle Title;

    // The field of that name in the shown query while the query is open.
    db::TField* Field() const;
    TDBGrid* Grid() const { return grid_; }

  private:
    friend class TDBGrid;
    TColumn(TDBGrid* grid, std::string field_name)
        : FieldName(std::move(field_name)), grid_(grid) {}
    TDBGrid* grid_ = nullptr;
    // The last default width measured and what it was measured from.
    struct WidthMemo {
        bool valid = false;
        int display_width = 0;
        std::string caption;
        QFont font;
        QFont title_font;
        int width = 0;
    };
    mutable WidthMemo width_memo_;
};

}  // namespace ui
