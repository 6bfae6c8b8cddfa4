#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <functional>
#include <memory>

#include "runtime/exception.h"
#include "tests/db/query_fixture.h"
#include "tests/ui/ui_test_support.h"
#include "ui/grid/db_grid.h"
#include "formats/amount_format.h"
#include "formats/date_format.h"
#include "formats/date_time.h"

namespace ui {
namespace {

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

int CountPixels(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& match) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (match(image.pixel(x, y))) ++count;
        }
    }
    return count;
}

int CountColour(const QImage& image, const QRect& area, const QColor& colour) {
    return CountPixels(image, area, [&](QRgb p) { return p == colour.rgb(); });
}

int CountDark(const QImage& image, const QRect& area) {
    return CountPixels(image, area, [](QRgb p) { return qGray(p) < 96; });
}

// The columns of `area` holding anything but the background.
std::vector<int> InkColumns(const QImage& image, const QRect& area, const QColor& background) {
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

TEST_P(GridTest, ArrowMarksTheCurrentRowOnlyWhileTheQueryIsOpen) {
    Fill(6);
    grid_->AddColumn("NOTA", "NOTA DEL DOCUMENTO");
    grid_->AddColumn("NUM", "NUMERO");

    // Closed: titles, one plain row, no arrow.
    QImage image = Render();
    EXPECT_EQ(grid_->TitleTexts(), (std::vector<std::string>{"NOTA DEL DOCUMENTO", "NUMERO"}));
    EXPECT_GT(CountDark(image, grid_->CellRect(-1, 0).adjusted(1, 1, -1, -1)), 0);
    EXPECT_EQ(ArrowPixels(image, 0), 0);
    const QRect closed_cell = grid_->CellRect(0, 0);
    EXPECT_EQ(CountColour(image, closed_cell, grid_->Color),
              closed_cell.width() * closed_cell.height());
    EXPECT_EQ(grid_->CurrentRow(), -1);

    OpenDocs();
    image = Render();
    EXPECT_GT(ArrowPixels(image, 0), 0);
    for (int row = 1; row < 6; ++row) EXPECT_EQ(ArrowPixels(image, row), 0) << row;
    EXPECT_EQ(grid_->RowTexts(0), (std::vector<std::string>{"nota 0", "0"}));

    // A move from code moves the arrow.
    query_->Next();
    query_->Next();
    EXPECT_EQ(grid_->CurrentRow(), 2);
    image = Render();
    EXPECT_EQ(ArrowPixels(image, 0), 0);
    EXPECT_GT(ArrowPixels(image, 2), 0);
    // Its right edge is 2 pixels inside the cell.
    const QRect indicator = grid_->CellRect(2, -1);
    const std::vector<int> arrow =
        InkColumns(image, indicator.adjusted(1, 1, -1, -1), grid_->FixedColor);
    ASSERT_FALSE(arrow.empty());
    EXPECT_EQ(arrow.back(), indicator.left() + indicator.width() - 3);

    query_->Close();
    image = Render();
    for (int row = 0; row < 3; ++row) EXPECT_EQ(ArrowPixels(image, row), 0) << row;
    EXPECT_EQ(grid_->CurrentRow(), -1);
    EXPECT_EQ(grid_->TitleTexts().size(), 2u);
}

TEST_P(GridTest, CurrentCellIsHighlightedOnlyWhileTheGridHasTheFocus) {
    Fill(3);
    grid_->AddColumn("NOTA", {}, 120);
    grid_->AddColumn("NUM");
    std::vector<TGridDrawState> states;
    grid_->OnDrawColumnCell = [&](TDBGrid&, const QRect&, int data_col, TColumn&,
                                  TGridDrawState state) {
        if (data_col == 0) states.push_back(state);
    };
    OpenDocs();
    const QRect current = grid_->CellRect(0, 0);
    const QPoint blank(current.right() - 3, current.center().y());  // past the short text
    const QColor highlight = grid_->palette().color(QPalette::Active, QPalette::Highlight);

    grid_->setFocus();
    ASSERT_TRUE(grid_->hasFocus());
    QImage image = Render();
    EXPECT_EQ(image.pixelColor(blank), highlight);
    EXPECT_EQ(image.pixelColor(blank + QPoint(0, grid_->DataRowHeight())), grid_->Color);
    EXPECT_EQ(states, (std::vector<TGridDrawState>{gdSelected | gdFocused, 0, 0}));

    other_->setFocus();
    states.clear();
    image = Render();
    EXPECT_EQ(image.pixelColor(blank), grid_->Color);
    EXPECT_EQ(states, (std::vector<TGridDrawState>{gdSelected, 0, 0}));
}

TEST_P(GridTest, RightAlignedNumberWiderThanItsColumnIsCutAtTheLeftEdge) {
    Setup({"INSERT INTO DOCS (NUM) VALUES (1234567890)",
           "INSERT INTO DOCS (NUM) VALUES (1234567890)"});
    UseCrispFont();
    grid_->AddColumn("NUM", {}, 30);
    OpenDocs();
    const QImage image = Render();

    const QRect cell = grid_->CellRect(1, 0);
    const std::vector<int> ink = InkColumns(image, cell, grid_->Color);
    ASSERT_FALSE(ink.empty());
    // The text starts left of the cell: there is ink at its very edge.
    EXPECT_LE(ink.front(), cell.left() + 2);
    // The last digit's advance ends 3 pixels before the right edge.
    const QFontMetrics metrics(grid_->font(), grid_->viewport());
    const int advance_end = cell.left() + cell.width() - 3;
    EXPECT_EQ(ink.back(), advance_end - 1 - metrics.rightBearing(QLatin1Char('0')));
    // Nothing spilled into the indicator cell on the left.
    const QRect indicator_inside = grid_->CellRect(1, -1).adjusted(1, 1, -1, -1);
    EXPECT_EQ(CountColour(image, indicator_inside, grid_->FixedColor),
              indicator_inside.width() * indicator_inside.height());
}

TEST_P(GridTest, HookDrawsTheDefaultTextInItsOwnColourOverWhateverItDrewFirst) {
    Fill(4);
    UseCrispFont();
    grid_->AddColumn("TIPO", {}, 40);
    grid_->AddColumn("VALOR", {}, 90);
    // What the applied-documents window does: the row's amount picks the
    // colour, then the default drawing paints the cell.
    std::vector<int> painted_rows;
    auto colour_of_row = [&](TDBGrid& grid, const QRect& rect, int data_col, TColumn& column,
                             TGridDrawState state) {
        db::TIBQuery& q = *grid.DataSet();
        if (data_col == 0) painted_rows.push_back(q.FieldNamed("NUM").GetInteger());
        grid.Canvas().FontColor = q.FieldNamed("VALOR").GetFloat() > 0 ? kBlack : kRed;
        grid.DefaultDrawColumnCell(rect, data_col, column, state);
    };
    grid_->OnDrawColumnCell = colour_of_row;
    OpenDocs();
    scrolls_ = 0;
    const QImage plain = Render();
    EXPECT_EQ(painted_rows, (std::vector<int>{0, 1, 2, 3}));  // the fields were on each row
    EXPECT_EQ(grid_->CurrentRow(), 0);
    EXPECT_EQ(query_->FieldNamed("NUM").GetInteger(), 0);
    EXPECT_EQ(scrolls_, 0);

    const QRect payment = grid_->CellRect(1, 1);
    EXPECT_GT(CountColour(plain, payment, kRed), 0);
    EXPECT_EQ(CountColour(plain, payment, kBlack), 0);
    EXPECT_GT(CountColour(plain, grid_->CellRect(2, 1), kBlack), 0);
    EXPECT_EQ(grid_->RowTextColor(0), kBlack);
    EXPECT_EQ(grid_->RowTextColor(1), kRed);

    // Text written first, in another colour, is covered by the default drawing.
    grid_->OnDrawColumnCell = [&](TDBGrid& grid, const QRect& rect, int data_col, TColumn& column,
                                  TGridDrawState state) {
        TCanvas& canvas = grid.Canvas();
        canvas.FillRect(rect);
        canvas.FontColor = QColor(0, 0, 255);
        canvas.TextOut(rect.left(), rect.top(), "WWWWWWWWWWWWWWWW");
        colour_of_row(grid, rect, data_col, column, state);
    };
    const QImage scribbled = Render();
    for (int row = 0; row < 4; ++row) {
        const QRect cell = grid_->CellRect(row, 1);
        EXPECT_EQ(scribbled.copy(cell), plain.copy(cell)) << row;
    }

    // The hook runs after the default drawing: what it paints stays on top.
    const QColor mark(0, 160, 0);
    grid_->OnDrawColumnCell = [&](TDBGrid& grid, const QRect& rect, int, TColumn&, TGridDrawState) {
        grid.Canvas().BrushColor = mark;
        grid.Canvas().FillRect(QRect(rect.topLeft(), QSize(3, 3)));
    };
    const QImage marked = Render();
    EXPECT_EQ(CountColour(marked, grid_->CellRect(2, 1), mark), 9);
    EXPECT_GT(CountColour(marked, grid_->CellRect(2, 1), kBlack), 0);
}

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

TEST_P(GridTest, DefaultWidthsComeFromTheFieldOrTheTitle) {
    Fill(1);
    QFont big_title = grid_->TitleFont;
    big_title.setPixelSize(24);
    grid_->AddColumn("NUM");                        // integer: 10 digits
    grid_->AddColumn("TIPO", "TIPO DE DOCUMENTO");  // one character, long title
    grid_->AddColumn("SIN_CAMPO");                  // not in the result
    grid_->AddColumn("NOTA", "NOTA", 50).Title.Font = big_title;
    OpenDocs();
    const QFontMetrics data(grid_->font(), grid_->viewport());
    const QFontMetrics title(grid_->TitleFont, grid_->viewport());
    const int digit = data.horizontalAdvance(QLatin1Char('0'));

    EXPECT_EQ(grid_->CellRect(0, 0).width(),
              std::max(digit * 10 + 4, title.horizontalAdvance("NUM") + 4));
    ASSERT_GT(title.horizontalAdvance("TIPO DE DOCUMENTO"), digit);
    EXPECT_EQ(grid_->CellRect(0, 1).width(), title.horizontalAdvance("TIPO DE DOCUMENTO") + 4);
    EXPECT_EQ(grid_->CellRect(0, 2).width(), 64);
    EXPECT_EQ(grid_->TitleTexts()[2], "SIN_CAMPO");
    EXPECT_EQ(grid_->RowTexts(0)[2], "");
    EXPECT_EQ(grid_->CellRect(0, 3).width(), 50);
    EXPECT_EQ(grid_->TitleRowHeight(), QFontMetrics(big_title, grid_->viewport()).height() + 4);
    EXPECT_EQ(grid_->DataRowHeight(), data.height() + 4);
}

TEST_P(GridTest, RowOutsideTheWindowIsReadWithoutMovingTheCurrentRow) {
    Fill(60);
    auto& valor = query_->AddField<db::TFloatField>("VALOR");
    valor.DisplayFormat = std::string(formats::kAmountPattern);
    auto& fecha = query_->AddField<db::TDateTimeField>("FECHA");
    fecha.DisplayFormat = "dd/mm/yyyy";
    query_->AddField<db::TIntegerField>("NUM");
    grid_->AddColumn("NUM");
    grid_->AddColumn("VALOR");
    grid_->AddColumn("FECHA");
    grid_->OnDrawColumnCell = [](TDBGrid& grid, const QRect& rect, int data_col, TColumn& column,
                                 TGridDrawState state) {
        grid.Canvas().FontColor =
            grid.DataSet()->FieldNamed("VALOR").GetFloat() > 0 ? kBlack : kRed;
        grid.DefaultDrawColumnCell(rect, data_col, column, state);
    };
    OpenDocs("NUM, VALOR, FECHA");
    query_->Next();
    query_->FetchAll();
    scrolls_ = 0;
    ASSERT_LT(query_->WindowFirstRow() + query_->WindowRecordCount(), 41);

    const std::vector<std::string> expected = {
        "41", formats::FormatFloat(formats::kAmountPattern, -141.25),
        formats::FormatDateTime("dd/mm/yyyy", formats::EncodeDateTime({2024, 2, 11, 0, 0, 0, 0}))};
    EXPECT_EQ(grid_->RowTexts(41), expected);
    EXPECT_EQ(grid_->RowTextColor(41), kRed);
    EXPECT_EQ(grid_->RowTextColor(40), kBlack);
    EXPECT_EQ(grid_->CurrentRow(), 1);
    EXPECT_EQ(query_->FieldNamed("NUM").GetInteger(), 1);
    EXPECT_EQ(scrolls_, 0);
    EXPECT_TRUE(grid_->RowTexts(60).empty());
    EXPECT_FALSE(grid_->RowTextColor(-1).isValid());
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

TEST_P(GridTest, FailingHookIsReportedOnceAndLeavesTheRowInPlace) {
    Fill(5);
    grid_->AddColumn("NUM");
    grid_->OnDrawColumnCell = [](TDBGrid&, const QRect&, int, TColumn&, TGridDrawState) {
        throw runtime::Exception("Fallo al dibujar");
    };
    OpenDocs();
    query_->Next();
    testing::RecordingResponder responder;
    Render();
    Render();
    QCoreApplication::processEvents();
    ASSERT_EQ(responder.shown.size(), 1u);
    EXPECT_EQ(responder.shown[0].kind, "error");
    EXPECT_EQ(responder.shown[0].text, "Fallo al dibujar.");
    EXPECT_EQ(grid_->CurrentRow(), 1);
    EXPECT_EQ(query_->FieldNamed("NUM").GetInteger(), 1);
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

INSTANTIATE_TEST_SUITE_P(Embedded, GridTest, ::testing::Values(test_support::Route::kEmbedded),
                         [](const auto& info) { return test_support::RouteName(info.param); });

}  // namespace
}  // namespace ui
