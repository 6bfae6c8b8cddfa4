// The grid's look: arrow, highlight, alignment, the drawing hook, widths,
// the driver's texts and a failing hook.
#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include "formats/amount_format.h"
#include "formats/date_format.h"
#include "formats/date_time.h"
#include "runtime/exception.h"
#include "tests/ui/grid_fixture.h"

namespace ui {
namespace {

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
    // The same text in a bold font is placed by its own width, not by the
    // width kept for it in the font it was first drawn in.
    QFont bold = grid_->font();
    bold.setBold(true);
    grid_->setFont(bold);
    const QImage bold_image = Render();
    const QRect bold_cell = grid_->CellRect(1, 0);
    const QFontMetrics bold_metrics(bold, grid_->viewport());
    ASSERT_NE(bold_metrics.horizontalAdvance("1234567890"),
              metrics.horizontalAdvance("1234567890"));
    const std::vector<int> bold_ink = InkColumns(bold_image, bold_cell, grid_->Color);
    ASSERT_FALSE(bold_ink.empty());
    EXPECT_EQ(bold_ink.back(), bold_cell.left() + bold_cell.width() - 3 - 1 -
                                   bold_metrics.rightBearing(QLatin1Char('0')));
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

    // Text written and then partly filled over keeps the part not filled,
    // and the fill stays on top of the text.
    const QColor blue(0, 0, 255);
    grid_->OnDrawColumnCell = [&](TDBGrid& grid, const QRect& rect, int, TColumn&, TGridDrawState) {
        TCanvas& canvas = grid.Canvas();
        canvas.FontColor = blue;
        canvas.TextOut(rect.left(), rect.top(), "WWWWWWWWWWWWWWWW");
        canvas.BrushColor = mark;
        canvas.FillRect(QRect(rect.left(), rect.top(), rect.width() / 2, rect.height()));
    };
    const QImage half = Render();
    const QRect cell = grid_->CellRect(2, 1);
    const QRect left_half(cell.left(), cell.top(), cell.width() / 2, cell.height());
    EXPECT_EQ(CountColour(half, left_half, mark), left_half.width() * left_half.height());
    EXPECT_GT(CountColour(half, cell, blue), 0);
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

INSTANTIATE_TEST_SUITE_P(Embedded, GridTest, ::testing::Values(test_support::Route::kEmbedded),
                         [](const auto& route) { return test_support::RouteName(route.param); });

}  // namespace
}  // namespace ui
