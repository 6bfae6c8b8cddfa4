#pragma once

#include <QPoint>
#include <QString>
#include <string>

class QTableView;
class QWidget;
namespace ui {
class TDBGrid;
}

namespace probe {

// A row or column number: digits only, 0 or more.
bool ReadRow(const std::string& text, long& row);
// Types text key by key, accented letters included (the test library's
// own typing knows only ASCII).
void TypeText(QWidget* widget, const QString& text);
// Clicks data row `row` (a cache index) of a grid, when it is in view.
bool ClickRow(ui::TDBGrid& grid, long row);
// Brings row `row` of a dialog's list into view; where to click on it.
QPoint RowPoint(QTableView& list, int row);

}  // namespace probe
