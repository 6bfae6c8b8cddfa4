// Moving through the grid: clicks, keys, fetching only what fits,
// scrolling sideways, and tearing down in either order.
#include <QScrollBar>
#include <QTest>

#include "tests/ui/grid_fixture.h"

namespace ui {
namespace {

TEST_P(GridTest, ClickMakesItsRowCurrentWithOneScroll) {
    Fill(8);
    grid_->AddColumn("NUM");
    grid_->AddColumn("NOTA");
    int double_clicks = 0;
    grid_->OnDblClick = [&] { ++double_clicks; };
    OpenDocs();
    scrolls_ = 0;

    QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, grid_->CellRect(3, 1).center());
    EXPECT_EQ(grid_->CurrentRow(), 3);
    EXPECT_EQ(query_->FieldNamed("NUM").GetInteger(), 3);
    EXPECT_EQ(grid_->SelectedColumn(), 1);
    EXPECT_EQ(scrolls_, 1);
    EXPECT_TRUE(grid_->hasFocus());

    // Clicking the current row again is no move; a double click reports.
    QTest::mouseDClick(grid_->viewport(), Qt::LeftButton, {}, grid_->CellRect(3, 0).center());
    EXPECT_EQ(scrolls_, 1);
    EXPECT_EQ(double_clicks, 1);
    EXPECT_EQ(grid_->SelectedColumn(), 0);

    // Below the last row and on the titles nothing moves.
    QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, grid_->CellRect(9, 0).center());
    QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, grid_->CellRect(-1, 0).center());
    EXPECT_EQ(grid_->CurrentRow(), 3);
    EXPECT_EQ(scrolls_, 1);
}

TEST_P(GridTest, KeysMoveAmongRowsAndColumns) {
    Fill(100);
    grid_->AddColumn("NUM");
    grid_->AddColumn("TIPO");
    grid_->AddColumn("NOTA");
    OpenDocs();
    grid_->setFocus();
    const int page = grid_->VisibleRowCount();
    ASSERT_GT(page, 2);
    auto key = [&](int k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(grid_, Qt::Key(k), mods);
    };

    key(Qt::Key_Down);
    EXPECT_EQ(grid_->CurrentRow(), 1);
    key(Qt::Key_PageDown);
    EXPECT_EQ(grid_->CurrentRow(), 1 + page);
    EXPECT_EQ(query_->FetchedRowCount(), 2 + page);  // one row past the first window
    key(Qt::Key_Up, Qt::ControlModifier);            // top shown row
    const int top = query_->WindowFirstRow();
    EXPECT_EQ(grid_->CurrentRow(), top);
    key(Qt::Key_PageDown, Qt::ControlModifier);  // bottom shown row
    EXPECT_EQ(grid_->CurrentRow(), top + page - 1);
    key(Qt::Key_PageUp);
    EXPECT_EQ(grid_->CurrentRow(), top - 1);
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(grid_->CurrentRow(), 99);
    EXPECT_EQ(query_->FetchedRowCount(), 100);
    scrolls_ = 0;
    key(Qt::Key_Down);  // no row after the last
    key(Qt::Key_Down);
    EXPECT_EQ(grid_->CurrentRow(), 99);
    EXPECT_EQ(scrolls_, 0);
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(grid_->CurrentRow(), 0);
    EXPECT_EQ(query_->FieldNamed("NUM").GetInteger(), 0);

    // The scroll bar moves the record too, and shows where it is.
    grid_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(grid_->CurrentRow(), 1);
    EXPECT_EQ(grid_->verticalScrollBar()->value(), 1);

    key(Qt::Key_Right);
    EXPECT_EQ(grid_->SelectedColumn(), 1);
    key(Qt::Key_End);
    EXPECT_EQ(grid_->SelectedColumn(), 2);
    key(Qt::Key_Right);
    EXPECT_EQ(grid_->SelectedColumn(), 2);
    key(Qt::Key_Home);
    EXPECT_EQ(grid_->SelectedColumn(), 0);
    key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(grid_->SelectedColumn(), 2);
    key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(grid_->SelectedColumn(), 0);
    EXPECT_EQ(grid_->CurrentRow(), 1);  // column keys leave the row

    // With a single column, Home and End go to the first and last record.
    grid_->Columns()[1].Visible = false;
    grid_->Columns()[2].Visible = false;
    key(Qt::Key_End);
    EXPECT_EQ(grid_->CurrentRow(), 99);
    key(Qt::Key_Home);
    EXPECT_EQ(grid_->CurrentRow(), 0);
}

TEST_P(GridTest, LargeResultFetchesOnlyTheRowsThatFit) {
    Fill(10000);
    grid_->AddColumn("NUM");
    const int fit = RowsThatFit();
    ASSERT_GT(fit, 3);
    EXPECT_EQ(grid_->VisibleRowCount(), fit);
    OpenDocs();
    EXPECT_EQ(query_->FetchedRowCount(), fit);
    EXPECT_EQ(grid_->verticalScrollBar()->maximum(), fit - 1);
    EXPECT_EQ(grid_->RowTexts(fit - 1), std::vector<std::string>{std::to_string(fit - 1)});

    // A taller grid shows, and fetches, more.
    grid_->resize(grid_->width(), grid_->height() + 5 * grid_->DataRowHeight());
    QCoreApplication::processEvents();
    EXPECT_EQ(RowsThatFit(), fit + 5);
    EXPECT_EQ(query_->FetchedRowCount(), fit + 5);
    EXPECT_EQ(grid_->CurrentRow(), 0);
}
TEST_P(GridTest, FiftyFiveColumnsScrollSideways) {
    Fill(2);
    std::string columns;
    for (int i = 1; i <= 55; ++i) {
        columns += (i > 1 ? ", NUM AS C" : "NUM AS C") + std::to_string(i);
        grid_->AddColumn("C" + std::to_string(i));
    }
    OpenDocs(columns);
    grid_->setFocus();
    EXPECT_GT(grid_->horizontalScrollBar()->maximum(), 0);
    EXPECT_TRUE(grid_->CellRect(0, 54).isEmpty());

    QTest::keyClick(grid_, Qt::Key_End);
    EXPECT_EQ(grid_->SelectedColumn(), 54);
    const QRect last = grid_->CellRect(0, 54);
    ASSERT_FALSE(last.isEmpty());
    EXPECT_LE(last.right(), grid_->viewport()->width() - 1);
    EXPECT_GT(grid_->LeftColumn(), 0);
    EXPECT_TRUE(grid_->CellRect(0, 0).isEmpty());
    EXPECT_EQ(grid_->RowTexts(1).size(), 55u);

    QTest::keyClick(grid_, Qt::Key_Home);
    EXPECT_EQ(grid_->LeftColumn(), 0);
    EXPECT_EQ(grid_->horizontalScrollBar()->value(), 0);
}
TEST_P(GridTest, GridAndDataSourceMayGoInEitherOrder) {
    Fill(3);
    grid_->AddColumn("NUM");
    OpenDocs();
    {
        db::TDataSource short_lived;
        short_lived.SetDataSet(query_);
        grid_->SetDataSource(&short_lived);
    }
    EXPECT_EQ(grid_->DataSource(), nullptr);
    EXPECT_EQ(grid_->CurrentRow(), -1);
    Render();

    grid_->SetDataSource(&source_);
    EXPECT_EQ(grid_->CurrentRow(), 0);
    delete grid_;
    grid_ = nullptr;
    EXPECT_TRUE(source_.Links().empty());
    query_->Next();  // no grid left to tell
    EXPECT_EQ(query_->FieldNamed("NUM").GetInteger(), 1);
}

}  // namespace
}  // namespace ui
