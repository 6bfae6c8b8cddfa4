// What the commands do with keys and the mouse.
#include "tools/probe/gestures.h"

#include <QTableView>
#include <QTest>
#include <cstdlib>

#include "db/ib_query.h"
#include "ui/grid/db_grid.h"

namespace probe {

bool ReadRow(const std::string& text, long& row) {
    char* end = nullptr;
    row = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && row >= 0;
}

void TypeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

bool ClickRow(ui::TDBGrid& grid, long row) {
    db::TIBQuery* query = grid.DataSet();
    if (query == nullptr || !query->Active()) return false;
    const int window_row = static_cast<int>(row) - query->WindowFirstRow();
    if (window_row < 0 || window_row >= query->WindowRecordCount()) return false;
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellRect(window_row, 0).center());
    return true;
}

QPoint RowPoint(QTableView& list, int row) {
    const QModelIndex cell = list.model()->index(row, 0);
    list.scrollTo(cell);
    return list.visualRect(cell).center();
}

}  // namespace probe
