// Faults found by using the window: keys that navigate when they should not,
// Enter on buttons, upper-casing, failed lookups and moves that cannot move.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "customer_search/customer_search_dialog.h"
#include "main_window/code_box.h"
#include "tests/main_window/window_fixture.h"
#include "tools/demo_db/demo_catalogue.h"
#include "ui/text_box_limits.h"

namespace {

std::string FocusName() {
    QWidget* w = QApplication::focusWidget();
    while (w != nullptr && (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))) {
        w = w->parentWidget();
    }
    return w ? w->objectName().toStdString() : std::string();
}

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

// Types characters as a keyboard outside the ASCII keys would: no key code.
void TypeCharacters(QWidget* widget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

// The search dialog, shown without its modal loop so keys can be sent to it.
struct OpenSearch {
    explicit OpenSearch(main_window::TFmain& window)
        : dialog(main_window::WindowAccess(window).SearchMembers(),
                 main_window::WindowAccess(window).SearchSource(),
                 main_window::WindowAccess(window).cancelado(), &window) {
        dialog.show();
        dialog.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog, 5000));
        Settle();
    }
    ~OpenSearch() { dialog.hide(); }
    customer_search::TFclientes dialog;
};

TEST_F(WindowTest, TypedCharactersWithTheCodesOfArrowKeysDoNotMoveTheFocus) {
    Start();
    Window().CodeBox()->setFocus();
    // "(" has the code of Down and "&" that of Up; so has Scroll Lock's low half.
    QTest::keyClicks(Window().CodeBox(), "00(0&");
    QTest::keyClick(Window().CodeBox(), Qt::Key_ScrollLock);
    Settle();
    EXPECT_EQ(FocusName(), "edsocio");
    EXPECT_EQ(Window().CodeBox()->text().toStdString(), "00(0&");
    EXPECT_TRUE(Do({})["messages"].toArray().isEmpty());  // nothing was looked up

    OpenSearch search(*window_);
    search.dialog.edempresa->setFocus();
    QTest::keyClicks(search.dialog.edempresa, "a&b(c");
    Settle();
    EXPECT_EQ(FocusName(), "edempresa");
    EXPECT_EQ(search.dialog.edempresa->text().toStdString(), "A&B(C");
    EXPECT_TRUE(search.dialog.edcodigo->text().isEmpty());
    // The real arrow keys still move on.
    QTest::keyClick(search.dialog.edempresa, Qt::Key_Down);
    Settle();
    EXPECT_EQ(FocusName(), "btbuscar");
}

TEST_F(WindowTest, EnterOnAFocusedButtonOfTheMainWindowPressesIt) {
    Start();
    Do({std::string("code ") + demo::kMemberActive});
    Window().Button("btlimpiar")->setFocus();
    QTest::keyClick(Window().Button("btlimpiar"), Qt::Key_Return);
    Settle();
    const QJsonObject cleared = Do({});
    EXPECT_EQ(Text(cleared["edsocio"]), "");
    EXPECT_EQ(Label(cleared, "lbnombre"), "");
    EXPECT_TRUE(Grid(cleared, "DBGrid1")["rows"].toArray().isEmpty());

    Window().Button("btsalir")->setFocus();
    QTest::keyClick(Window().Button("btsalir"), Qt::Key_Enter);
    Settle();
    EXPECT_FALSE(window_->isVisible());
}

TEST(UpperCase, OnlyCapitalsInsideTheCharacterSetAndNeverALongerText) {
    const struct {
        const char16_t* typed;
        const char16_t* shown;
    } rows[] = {
        {u"jos\u00e9 ram\u00f3n", u"JOS\u00c9 RAM\u00d3N"},
        {u"\u00dfa", u"\u00dfA"},              // sharp s has no one-letter capital
        {u"\u00ff\u00b5x", u"\u00ff\u00b5X"},  // their capitals lie outside ISO8859_1
        {u"\u00e0\u00f1\u00fe", u"\u00c0\u00d1\u00de"},
        {u"a&b(1)", u"A&B(1)"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ui::UpperCaseInCharacterSet(QString::fromUtf16(row.typed)),
                  QString::fromUtf16(row.shown));
    }
}

TEST_F(WindowTest, SearchBoxesUpperCaseAsTypedKeepTheCursorAndRefuseOtherCharacters) {
    Start();
    OpenSearch search(*window_);
    QLineEdit* names = search.dialog.ednombres;
    names->setFocus();
    TypeCharacters(names, QString::fromUtf16(u"\u00dfa"));
    EXPECT_EQ(names->text(), QString::fromUtf16(u"\u00dfA"));
    names->setCursorPosition(1);
    TypeCharacters(names, QString::fromUtf16(u"\u00ffz\u03a9\u20ac"));  // omega, euro: refused
    EXPECT_EQ(names->text(), QString::fromUtf16(u"\u00df\u00ffZA"));
    EXPECT_EQ(names->cursorPosition(), 3);

    // Each box holds what its column holds, typed or pasted.
    search.dialog.edcodigo->setFocus();
    QTest::keyClicks(search.dialog.edcodigo, "12345678901");
    EXPECT_EQ(search.dialog.edcodigo->text().toStdString(), "1234567890");
    EXPECT_EQ(search.dialog.edtelefono->maxLength(), 15);
    EXPECT_EQ(search.dialog.edcedula->maxLength(), 15);
    EXPECT_EQ(search.dialog.edempresa->maxLength(), 100);
    EXPECT_EQ(search.dialog.edapellidos->maxLength(), 250);
}

TEST_F(WindowTest, CodeBoxTakesTenCharactersOfTheCharacterSet) {
    Start();
    Window().CodeBox()->setFocus();
    QTest::keyClicks(Window().CodeBox(), "00001XXXXXX");
    TypeCharacters(Window().CodeBox(), QString::fromUtf16(u"\u0152"));
    EXPECT_EQ(Window().CodeBox()->text().toStdString(), "00001XXXXX");
    Window().CodeBox()->clear();
    TypeCharacters(Window().CodeBox(), QString::fromUtf16(u"\u00d1\u0152\u00e9"));
    EXPECT_EQ(Window().CodeBox()->text(), QString::fromUtf16(u"\u00d1\u00e9"));
}

// The lookup after the first fails on the server (its database cannot be
// opened): nothing of the member shown before may stay beside the new code.
TEST_F(WindowTest, AFailedLookupClearsThePreviousMemberAndReportsTheError) {
    Start();
    const QJsonObject shown = Do({std::string("code ") + demo::kMemberActive});
    ASSERT_EQ(Label(shown, "lbnombre"), demo::kMemberActiveName);
    Window().Connection().Close();
    Window().Connection().SetDatabaseName(dir_.File("gone.fdb"));

    const QJsonObject failed = Do({std::string("code ") + demo::kMemberMismatch});
    const QJsonArray messages = failed["messages"].toArray();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(Text(messages[0].toObject()["kind"]), "error");
    EXPECT_NE(Text(messages[0].toObject()["text"]).find("gone.fdb"), std::string::npos)
        << Text(messages[0].toObject()["text"]);
    EXPECT_EQ(Text(failed["edsocio"]), demo::kMemberMismatch);
    EXPECT_EQ(Label(failed, "lbnombre"), "");
    EXPECT_EQ(Label(failed, "lbcedula"), "");
    EXPECT_EQ(Label(failed, "lbtot3"), "");
    EXPECT_EQ(Label(failed, "lbbalance"), "0.00");
    for (const char* grid : {"DBGrid1", "DBGrid2", "DBGrid3"}) {
        EXPECT_TRUE(Grid(failed, grid)["rows"].toArray().isEmpty()) << grid;
    }
    // Nothing is left to repair: the repair buttons ask nothing.
    const QJsonObject pressed = Do({"answer yes", "press btreindexar", "press btcorregir"});
    EXPECT_TRUE(pressed["messages"].toArray().isEmpty());

    // Back on the right database, the same code loads normally.
    Window().Connection().SetDatabaseName(database_);
    const QJsonObject again = Do({std::string("code ") + demo::kMemberMismatch});
    EXPECT_FALSE(Label(again, "lbnombre").empty());
}

TEST_F(WindowTest, DownOnTheLastLoanDoesNotReloadTheLoanOrMoveItsGrids) {
    Start();
    const QJsonObject shown = Do({std::string("code ") + demo::kMemberActive, "loan 1"});
    ASSERT_EQ(Grid(shown, "DBGrid1")["rows"].toArray().size(), 2);
    ASSERT_EQ(Grid(shown, "DBGrid1")["current"].toInt(), 1);
    Window().GridOf(Access::Grid::Schedule)->setFocus();
    QTest::keyClick(Window().GridOf(Access::Grid::Schedule), Qt::Key_Down);
    QTest::keyClick(Window().GridOf(Access::Grid::Schedule), Qt::Key_Down);
    Window().GridOf(Access::Grid::Documents)->setFocus();
    QTest::keyClick(Window().GridOf(Access::Grid::Documents), Qt::Key_Down);
    Settle();
    const QJsonObject moved = Do({});
    ASSERT_EQ(Grid(moved, "DBGrid2")["current"].toInt(), 2);
    ASSERT_EQ(Grid(moved, "DBGrid3")["current"].toInt(), 1);

    Window().GridOf(Access::Grid::Loans)->setFocus();
    QTest::keyClick(Window().GridOf(Access::Grid::Loans), Qt::Key_Down);
    QTest::keyClick(Window().GridOf(Access::Grid::Loans), Qt::Key_PageDown);
    Settle();
    const QJsonObject after = Do({});
    EXPECT_EQ(Grid(after, "DBGrid1")["current"].toInt(), 1);
    EXPECT_EQ(Grid(after, "DBGrid2")["current"].toInt(), 2);
    EXPECT_EQ(Grid(after, "DBGrid3")["current"].toInt(), 1);
}

TEST_F(WindowTest, NotFoundAndLimpiarForgetTheMemberShownBefore) {
    Start();
    for (const char* forget : {"code 99999", "press btlimpiar"}) {
        Do({std::string("code ") + demo::kMemberActive, forget});
        // Leaving a search without choosing puts the member set back only on
        // a member the window still shows.
        Do({"search", "find {\"nombres\": \"\"}", "leave"});
        EXPECT_FALSE(Window().Query(Access::Set::Members).FetchedRowCount() == 1 &&
                     Window().Query(Access::Set::Members).FieldNamed("CLT_CODIGO").GetString() ==
                         demo::kMemberActive)
            << forget;
        const QJsonObject pressed = Do({"answer yes", "press btreindexar"});
        EXPECT_TRUE(pressed["messages"].toArray().isEmpty()) << forget;
    }
}

}  // namespace
