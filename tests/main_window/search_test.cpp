#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "customer_search/customer_search_dialog.h"
#include "tests/main_window/repair_fixture.h"
#include "tests/main_window/window_fixture.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

QJsonObject State(const std::string& line) {
    return QJsonDocument::fromJson(line.c_str()).object();
}

QJsonArray Rows(const QJsonObject& state, const char* grid) {
    return state["grids"].toObject()[grid].toObject()["rows"].toArray();
}

TEST(SearchStatement, EachGivenCriterionAddsItsLineWithItsOwnMarker) {
    const customer_search::SearchStatement all =
        customer_search::BuildSearch("C", "T", "I", "N", "A", "E");
    const std::vector<std::string> lines = {
        "SELECT * FROM clientes WHERE  clt_codigo IS NOT NULL",
        " and clt_codigo =:co",
        " and clt_telres =:te",
        " and clt_cedula =:ce",
        " and clt_nombresyapellidos  containing :no",
        " and clt_nombresyapellidos containing :ap",
        " and empresa in (select codigo from empresas where nombre containing :em) ",
        " ORDER by clt_codigo",
    };
    EXPECT_EQ(all.lines, lines);
    EXPECT_EQ(all.values.size(), 6u);
    EXPECT_EQ(all.values.back(), (std::pair<std::string, std::string>{"em", "E"}));

    const customer_search::SearchStatement blanks =
        customer_search::BuildSearch("", " ", "", "", "", "");
    ASSERT_EQ(blanks.lines.size(), 3u);  // blanks are a criterion, empty texts are not
    EXPECT_EQ(blanks.lines[1], " and clt_telres =:te");
}

TEST_F(WindowTest, SearchFindsByNameInUpperCaseAndPicksTheMember) {
    Start();
    // Row 0 of a search by the first name is the one member called JOSE.
    const std::vector<std::string> out =
        Lines({"search", "find {\"nombres\": \"jos\u00e9 ram\"}", "dump", "pick 0"});
    ASSERT_EQ(out.size(), 2u);
    const QJsonObject grid = State(out[0])["grids"].toObject()["gridclt"].toObject();
    const QJsonArray titles = grid["titles"].toArray();
    ASSERT_EQ(titles.size(), 6);
    EXPECT_EQ(Text(titles[3]), "Balance  ");
    const QJsonArray rows = grid["rows"].toArray();
    ASSERT_EQ(rows.size(), 1) << out[0];
    EXPECT_EQ(Text(rows[0].toArray()[0]), demo::kMemberActive);
    EXPECT_EQ(Text(rows[0].toArray()[1]), demo::kMemberActiveSurnames);

    const QJsonObject picked = State(out[1]);
    EXPECT_EQ(Text(picked["edsocio"]), demo::kMemberActive);
    EXPECT_EQ(Label(picked, "lbnombre"), demo::kMemberActiveName);
    EXPECT_FALSE(Window().cancelado());
    EXPECT_FALSE(picked["grids"].toObject().contains("gridclt"));  // the dialog is gone
    EXPECT_EQ(Label(picked, "lbtot3"), AsShown("Balance= 32,250.00"));
}

TEST_F(WindowTest, LeavingTheSearchKeepsTheShownMember) {
    Start();
    Do({std::string("code ") + demo::kMemberMismatch});
    const QJsonObject left = Do({"search", "find {}", "leave"});
    EXPECT_TRUE(Window().cancelado());
    EXPECT_EQ(Text(left["edsocio"]), demo::kMemberMismatch);
    // The shared member set stands on the shown member again, so a move in
    // the loan grid reloads that member's labels, not the last search row.
    const QJsonObject moved = Do({"loan 1"});
    EXPECT_EQ(Label(moved, "lbnombre"), Label(left, "lbnombre"));
    EXPECT_EQ(Window().Query(Access::Set::Members).FieldNamed("CLT_CODIGO").GetString(),
              demo::kMemberMismatch);
}

TEST_F(WindowTest, EmptySearchListsEveryMemberAndNoMatchSaysSo) {
    Start();
    // The modal dialog takes the commands that follow "search" until it is
    // left, so one run holds the whole conversation and its dumps.
    const std::vector<std::string> out = Lines({
        "search",
        "find {}",
        "dump",
        "find {\"codigo\": \"00001\", \"telefono\": \"000\"}",
        "dump",
        "find {\"codigo\": \"00001\", \"telefono\": \"" +
            std::string(demo::kMemberActiveTelephone) + "\"}",
        "dump",
        "find {\"codigo\": \"\", \"telefono\": \"\", \"empresa\": \"ministerio\"}",
        "dump",
        "leave",
    });
    ASSERT_EQ(out.size(), 5u);
    const QJsonArray all = Rows(State(out[0]), "gridclt");
    ASSERT_EQ(all.size(), demo::kMemberCount);
    EXPECT_EQ(Text(all[0].toArray()[0]), "00001");  // ordered by code
    EXPECT_EQ(Text(all[all.size() - 1].toArray()[0]), "00044");

    const QJsonObject none = State(out[1]);
    const QJsonArray messages = none["messages"].toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(Text(messages[0].toObject()["text"]), "No existen clientes con este Criterio.");
    EXPECT_EQ(Text(none["focus"]), "btlimpiar");
    EXPECT_TRUE(Rows(none, "gridclt").isEmpty());

    EXPECT_EQ(Rows(State(out[2]), "gridclt").size(), 1);  // code and telephone together
    EXPECT_GE(Rows(State(out[3]), "gridclt").size(), 1);  // by part of the employer's name
    EXPECT_TRUE(Window().cancelado());
}

TEST_F(WindowTest, EverySearchStartsEmpty) {
    Start();
    const std::vector<std::string> out =
        Lines({"search", "find {}", "leave", "search", "dump", "leave"});
    ASSERT_EQ(out.size(), 2u);
    const QJsonObject grid = State(out[0])["grids"].toObject()["gridclt"].toObject();
    EXPECT_TRUE(grid["rows"].toArray().isEmpty());
    EXPECT_TRUE(grid["current"].isNull());
    EXPECT_EQ(Text(State(out[0])["focus"]), "edcodigo");
}

// Qt caches the drawn pictures of each icon under the icon's own key: new
// icons for every dialog made the memory grow with every search.
TEST_F(WindowTest, EverySearchDialogSharesTheSameButtonPictures) {
    Start();
    qint64 first_pictures[4];
    {
        customer_search::TFclientes dialog(Window().SearchMembers(), Window().SearchSource(),
                                           Window().cancelado());
        dialog.show();
        QApplication::processEvents();
        int i = 0;
        for (QPushButton* button :
             {dialog.btbuscar, dialog.btlimpiar, dialog.btsalir, dialog.btescoger}) {
            first_pictures[i++] = button->icon().cacheKey();
        }
    }
    customer_search::TFclientes again(Window().SearchMembers(), Window().SearchSource(),
                                      Window().cancelado());
    int i = 0;
    for (QPushButton* button : {again.btbuscar, again.btlimpiar, again.btsalir, again.btescoger}) {
        EXPECT_EQ(button->icon().cacheKey(), first_pictures[i++])
            << button->objectName().toStdString();
    }
}

// A column dragged wider in one search is as wide in the next search and
// after a restart; Ctrl+0 puts the first widths back. The dialog keeps its
// fixed size.
TEST_F(WindowTest, SearchColumnWidthsDraggedAreKeptUntilCtrlZero) {
    const ScopedVariable config("XDG_CONFIG_HOME", dir_.File("config"));
    Start();
    const auto widths = [this] {
        customer_search::TFclientes dialog(Window().SearchMembers(), Window().SearchSource(),
                                           Window().cancelado());
        std::vector<int> shown;
        for (const ui::TColumn& column : dialog.gridclt->Columns()) shown.push_back(column.Width);
        return shown;
    };
    const std::vector<int> first = widths();
    {
        customer_search::TFclientes dialog(Window().SearchMembers(), Window().SearchSource(),
                                           Window().cancelado());
        dialog.show();
        QApplication::processEvents();
        DragColumnEdge(*dialog.gridclt, 1, -50);  // Apellidos, 206 wide at first
        EXPECT_EQ(dialog.gridclt->Columns()[1].Width, 156);
        EXPECT_EQ(dialog.size(), QSize(800, 553));
    }
    std::vector<int> dragged = first;
    dragged[1] = 156;
    EXPECT_EQ(widths(), dragged);
    window_.reset();
    Start();
    EXPECT_EQ(widths(), dragged);
    {
        customer_search::TFclientes dialog(Window().SearchMembers(), Window().SearchSource(),
                                           Window().cancelado());
        dialog.show();
        QApplication::processEvents();
        QTest::keyClick(dialog.edcodigo, Qt::Key_0, Qt::ControlModifier);
        EXPECT_EQ(dialog.gridclt->Columns()[1].Width, 206);
    }
    EXPECT_EQ(widths(), first);
}

TEST_F(WindowTest, SearchDialogHasNoCloseByEscape) {
    Start();
    customer_search::TFclientes dialog(Window().SearchMembers(), Window().SearchSource(),
                                       Window().cancelado());
    dialog.show();
    QApplication::processEvents();
    QTest::keyClick(dialog.edcodigo, Qt::Key_Escape);
    for (const QChar ch : QString::fromLatin1("abc\xF1")) {
        QTest::sendKeyEvent(QTest::Click, dialog.edcodigo, Qt::Key_unknown, QString(ch),
                            Qt::NoModifier);
    }
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.edcodigo->text(), QString::fromLatin1("ABC\xD1"));  // held in upper case
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
}

}  // namespace

namespace {

// Whatever is typed reaches the server as a parameter value, never as SQL.
TEST_F(WindowTest, QuotesAndSqlInTheBoxesAreJustText) {
    Start();
    const std::vector<std::string> out = Lines({
        "search",
        "find {\"nombres\": \"O'BRIEN\\\"; DELETE FROM CLIENTES; --\", \"empresa\": \"') OR 1=1 "
        "--\"}",
        "dump",
        "find {\"nombres\": \"\", \"empresa\": \"\"}",
        "dump",
        "leave",
    });
    ASSERT_EQ(out.size(), 3u);
    const QJsonObject none = State(out[0]);
    EXPECT_TRUE(Rows(none, "gridclt").isEmpty());
    ASSERT_EQ(none["messages"].toArray().size(), 1);
    EXPECT_EQ(Text(none["messages"].toArray()[0].toObject()["text"]),
              "No existen clientes con este Criterio.");
    EXPECT_EQ(Rows(State(out[1]), "gridclt").size(), demo::kMemberCount);  // nothing was deleted
}

TEST_F(WindowTest, OverlongCodeIsCutToItsColumnInsteadOfFailingOnTheServer) {
    Start();
    Do({std::string("code ") + demo::kMemberActive});
    const QJsonObject state = Do({"code 00001XXXXXX"});
    const QJsonArray messages = state["messages"].toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(Text(messages[0].toObject()["kind"]), "info");
    EXPECT_EQ(Text(messages[0].toObject()["text"]),
              "No existen socios con este codigo: 00001XXXXX");
    EXPECT_EQ(Label(state, "lbnombre"), "");
    EXPECT_EQ(Label(state, "lbtot3"), "");
}

// Through a server the window logs in as a site's analyst with the
// analysts' role: the search's statements stay within its rights.
class SearchRouteTest : public RepairTest {};

TEST_P(SearchRouteTest, SearchByEmployerAndPickShowsTheMember) {
    Start();
    const std::vector<std::string> out =
        Lines({"search", "find {\"empresa\": \"ministerio\"}", "dump", "pick 0"});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_GE(Rows(State(out[0]), "gridclt").size(), 1) << out[0];
    const QJsonObject picked = State(out[1]);
    EXPECT_TRUE(picked["messages"].toArray().isEmpty()) << out[1];
    EXPECT_NE(Label(picked, "lbnombre"), "") << out[1];
    EXPECT_NE(Label(picked, "lbtot3"), "") << out[1];
}

INSTANTIATE_TEST_SUITE_P(Routes, SearchRouteTest,
                         ::testing::Values(test_support::Route::kEmbedded,
                                           test_support::Route::kServer),
                         [](const auto& route) { return test_support::RouteName(route.param); });

}  // namespace
