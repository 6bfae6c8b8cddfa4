#pragma once

// The grid tests' window, data and pixel counting, shared by the tests of
// the grid's look and of its navigation.

#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "tests/db/query_fixture.h"
#include "tests/ui/ui_test_support.h"
#include "ui/grid/db_grid.h"

namespace ui {

inline const QColor kRed(255, 0, 0);
inline const QColor kBlack(0, 0, 0);

inline int CountPixels(const QImage& image, const QRect& area,
                       const std::function<bool(QRgb)>& match) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (match(image.pixel(x, y))) ++count;
        }
    }
    return count;
}

inline int CountColour(const QImage& image, const QRect& area, const QColor& colour) {
    return CountPixels(image, area, [&](QRgb p) { return p == colour.rgb(); });
}

inline int CountDark(const QImage& image, const QRect& area) {
    return CountPixels(image, area, [](QRgb p) { return qGray(p) < 96; });
}

// The columns of `area` holding anything but the background.
inline std::vector<int> InkColumns(const QImage& image, const QRect& area,
                                   const QColor& background) {
    std::vector<int> columns;
    for (int x = area.left(); x <= area.right(); ++x) {
        if (CountPixels(image, QRect(x, area.top(), 1, area.height()),
                        [&](QRgb p) { return p != background.rgb(); }) > 0) {
            columns.push_back(x);
        }
    }
    return columns;
}

// A window with a grid over one query of a fresh database, and a second
// control to take the focus away.
class GridTest : public QueryTest {
  protected:
    void SetUp() override {
        QueryTest::SetUp();
        if (IsSkipped()) return;
        Setup(
            {"CREATE TABLE DOCS (TIPO CHAR(1), NUM INTEGER, FECHA DATE, "
             "VALOR DOUBLE PRECISION, NOTA VARCHAR(30))"});
        query_ = &Query("qcxc");
        source_.SetDataSet(query_);
        window_ = std::make_unique<QWidget>();
        window_->resize(420, 260);
        other_ = new QLineEdit(window_.get());
        other_->setGeometry(0, 0, 100, 20);
        grid_ = new TDBGrid(window_.get());
        grid_->setGeometry(0, 30, 420, 230);
        grid_->SetDataSource(&source_);
        window_->show();
        window_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        other_->setFocus();
    }
    // n rows: NUM = i, even rows charges ("P", positive), odd rows payments
    // ("R", negative), one day apart from 1 January 2024.
    void Fill(int n) {
        Setup({"EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(n) +
               ") DO BEGIN INSERT INTO DOCS (TIPO, NUM, FECHA, VALOR, NOTA) VALUES ("
               "IIF(MOD(:I, 2) = 0, 'P', 'R'), :I, CAST('2024-01-01' AS DATE) + :I, "
               "IIF(MOD(:I, 2) = 0, 1000.5 + :I, -100.25 - :I), 'nota ' || :I); "
               "I = I + 1; END END"});
    }
    void OpenDocs(const std::string& columns = "TIPO, NUM, FECHA, VALOR, NOTA") {
        SetSql(*query_, "select " + columns + " from DOCS order by NUM");
        query_->Open();
        query_->AfterScroll = [this](db::TIBQuery&) { ++scrolls_; };
    }
    QImage Render() { return grid_->viewport()->grab().toImage(); }
    // Pixels of the current-row arrow in a row's indicator cell.
    int ArrowPixels(const QImage& image, int window_row) {
        const QRect inside = grid_->CellRect(window_row, -1).adjusted(1, 1, -1, -1);
        return CountColour(image, inside, grid_->palette().color(QPalette::WindowText));
    }
    int RowsThatFit() {
        return (grid_->viewport()->height() - grid_->TitleRowHeight()) / grid_->DataRowHeight();
    }
    void UseCrispFont() {
        QFont font = grid_->font();
        font.setStyleStrategy(QFont::NoAntialias);
        grid_->setFont(font);
    }

    db::TDataSource source_{"sqcxc"};
    db::TIBQuery* query_ = nullptr;
    std::unique_ptr<QWidget> window_;
    TDBGrid* grid_ = nullptr;
    QLineEdit* other_ = nullptr;
    int scrolls_ = 0;
};

}  // namespace ui
