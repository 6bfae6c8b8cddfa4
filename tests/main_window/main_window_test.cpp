#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "main_window/code_box.h"
#include "tests/main_window/window_fixture.h"
#include "tools/demo_db/demo_catalogue.h"
#include "ui/grid/db_grid.h"

namespace {

QJsonArray Messages(const QJsonObject& state) {
    return state["messages"].toArray();
}

std::string FocusName() {
    QWidget* w = QApplication::focusWidget();
    while (w != nullptr && (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))) {
        w = w->parentWidget();
    }
    return w ? w->objectName().toStdString() : std::string();
}

TEST_F(WindowTest, StartsConnectedAndEmptyWithTheFocusInTheCodeBox) {
    const QJsonObject state = Start();
    EXPECT_TRUE(Window().Connection().Connected());
    EXPECT_EQ(Window().Connection().DatabaseName(), database_);
    EXPECT_EQ(Text(state["edsocio"]), "");
    EXPECT_EQ(Text(state["focus"]), "edsocio");
    EXPECT_EQ(Label(state, "lbnombre"), "");
    EXPECT_EQ(Label(state, "lbbalance"), "0.00");
    EXPECT_EQ(Label(state, "lbbal"), "Balance CXC");
    EXPECT_FALSE(state["lbmensajes"].toObject()["visible"].toBool());
    const QJsonObject loans = Grid(state, "DBGrid1");
    EXPECT_TRUE(loans["rows"].toArray().isEmpty());
    EXPECT_TRUE(loans["current"].isNull());
    const QJsonArray titles = loans["titles"].toArray();
    ASSERT_EQ(titles.size(), 55);
    EXPECT_EQ(Text(titles[0]), "EST.");
    EXPECT_EQ(Text(titles[3]), "PRESTAMO REF.");
    EXPECT_EQ(Text(titles[4]), "FECHA");  // untitled: the column name
    EXPECT_EQ(Grid(state, "DBGrid3")["titles"].toArray().size(), 6);
    EXPECT_TRUE(Messages(state).isEmpty());
}

TEST_F(WindowTest, MissingDbIniIsReportedAndLeavesTheWindowUnconnected) {
    std::filesystem::remove(dir_.File("db.ini"));
    const QJsonObject state = Start();
    ASSERT_EQ(Messages(state).size(), 1);
    EXPECT_EQ(Text(Messages(state)[0].toObject()["kind"]), "error");
    // The box names where db.ini was looked for, the working folder first.
    const std::string text = Text(Messages(state)[0].toObject()["text"]);
    EXPECT_EQ(text.rfind("File not found.\n", 0), 0u) << text;
    EXPECT_NE(text.find(dir_.File("db.ini")), std::string::npos) << text;
    EXPECT_NE(text.find("/etc/analisis-socios/db.ini"), std::string::npos) << text;
    EXPECT_FALSE(Window().Connection().Connected());
    EXPECT_EQ(Window().Connection().DatabaseName(), main_window::TFmain::kDefaultDatabaseName);
}

TEST_F(WindowTest, EmptyDatabaseNameEndsTheProgramWithTheConnectionMessageAndItsReason) {
    WriteDbIni("\n\n");
    const QJsonObject state = Start();
    ASSERT_EQ(Messages(state).size(), 1);
    EXPECT_EQ(Text(Messages(state)[0].toObject()["kind"]), "info");
    const std::string fixed =
        "Error de conexion a la base de datos \rLa aplicacion no podra ser ejecutada, "
        "contacte a soporte tecnico\r";
    const std::string text = Text(Messages(state)[0].toObject()["text"]);
    EXPECT_EQ(text.substr(0, fixed.size()), fixed);
    EXPECT_GT(text.size(), fixed.size()) << "the server's reason follows";
    EXPECT_FALSE(Window().Connection().Connected());
}

TEST_F(WindowTest, EnterAndDownMoveOnUpMovesBackGridsKeepTheirKeys) {
    Start();
    Window().CodeBox()->setFocus();
    QTest::keyClick(Window().CodeBox(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(FocusName(), "PageControl1");
    EXPECT_EQ(Text(Do({})["focus"]), "PageControl1");  // the driver names the control too
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(FocusName(), "DBGrid1");
    QTest::keyClick(Window().GridOf(Access::Grid::Loans), Qt::Key_Down);
    QTest::keyClick(Window().GridOf(Access::Grid::Loans), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(FocusName(), "DBGrid1");
    Window().Button("btsalir")->setFocus();
    QTest::keyClick(Window().Button("btsalir"), Qt::Key_Up);
    QApplication::processEvents();
    EXPECT_EQ(FocusName(), "btreindexar");
    Window().Button("btsalir")->setFocus();
    QTest::keyClick(Window().Button("btsalir"), Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(FocusName(), "btcorregir");  // tab order puts it after Salir
}

// --- member lookup ---

TEST_F(WindowTest, ActiveMemberShowsIdentityLoansAndAMatchingReconciliation) {
    Start();
    int detail_loads = 0;
    Window().Query(Access::Set::Documents).AfterOpen = [&](db::TIBQuery&) { ++detail_loads; };
    const QJsonObject state = Do({std::string("code ") + demo::kMemberActive});
    EXPECT_EQ(detail_loads, 1);  // the loan list's own events load nothing more
    EXPECT_EQ(Label(state, "lbnombre"), demo::kMemberActiveName);
    EXPECT_EQ(Label(state, "lbcedula"), demo::kMemberActiveCedula);
    EXPECT_EQ(Label(state, "lbempresa"), demo::kEmployerMinisterioName);
    EXPECT_FALSE(state["lbmensajes"].toObject()["visible"].toBool());

    const QJsonArray loans = Grid(state, "DBGrid1")["rows"].toArray();
    ASSERT_EQ(loans.size(), 2);  // "C" and "X" loans are never listed
    EXPECT_EQ(Grid(state, "DBGrid1")["current"].toInt(), 0);
    const std::string first_loan = Text(loans[0].toArray()[1]);
    ASSERT_EQ(first_loan, std::to_string(demo::kLoanActive)) << "newest loan first";

    EXPECT_EQ(Label(state, "lbtot1"),
              AsShown("Total Cargos: Prestamo= 60,000.00 Notas Debito= 250.00"));
    EXPECT_EQ(Label(state, "lbtot2"),
              AsShown("Total Pagos: Recibos Ingreso= -20,000.00 Notas Credito= -1,000.00 "
                      "Nominas= -5,000.00 Compensacion= -2,000.00"));
    EXPECT_EQ(Label(state, "lbtot3"), AsShown("Balance= 32,250.00"));
    EXPECT_EQ(Label(state, "lbbal"), AsShown("Balance prestamo CXC: 32,250.00"));
    EXPECT_EQ(Label(state, "lbbalance"), AsShown("50,100.00"));

    const QJsonObject documents = Grid(state, "DBGrid3");
    const QJsonArray rows = documents["rows"].toArray();
    const QJsonArray colours = documents["colors"].toArray();
    ASSERT_EQ(rows.size(), 20);
    ASSERT_EQ(colours.size(), 20);
    for (int i = 0; i < rows.size(); ++i) {
        const std::string kind = Text(rows[i].toArray()[0]);
        const bool charge = kind == "P" || kind == "D";
        EXPECT_EQ(Text(colours[i]), charge ? "#000000" : "#ff0000") << "row " << i << " " << kind;
    }
    EXPECT_EQ(documents["current"].toInt(), 0);
}

TEST_F(WindowTest, OnlyTheExactStatusAShowsAnActiveMember) {
    Start();
    for (const char* code : {demo::kMemberInactive, demo::kMemberInactiveEmptyStatus,
                             demo::kMemberInactiveLowercaseStatus, demo::kMemberNullStatus}) {
        const QJsonObject state = Do({std::string("code ") + code});
        const QJsonObject banner = state["lbmensajes"].toObject();
        EXPECT_TRUE(banner["visible"].toBool()) << code;
        EXPECT_EQ(Text(banner["text"]).substr(0, 24), " *** SOCIO INACTIVO *** ") << code;
    }
    const QJsonObject active = Do({std::string("code ") + demo::kMemberActive});
    EXPECT_FALSE(active["lbmensajes"].toObject()["visible"].toBool());
}

TEST_F(WindowTest, MemberWithoutLoansShowsNoLoanDetailsButItsOwnBalance) {
    Start();
    Do({std::string("code ") + demo::kMemberActive});  // figures that must not linger
    QApplication::processEvents();
    // Every grid now holds other rows: the rows and the vertical bars are
    // repainted, never the horizontal bars (a relayout of the scroll areas
    // that cost as much as painting the rows).
    struct Paints : QObject {
        int count = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            count += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } horizontal_bars;
    for (ui::TDBGrid* grid : window_->findChildren<ui::TDBGrid*>())
        grid->horizontalScrollBar()->installEventFilter(&horizontal_bars);
    const QJsonObject state = Do({std::string("code ") + demo::kMemberWithoutLoans});
    QApplication::processEvents();
    EXPECT_EQ(horizontal_bars.count, 0);
    for (ui::TDBGrid* grid : window_->findChildren<ui::TDBGrid*>())
        grid->horizontalScrollBar()->removeEventFilter(&horizontal_bars);
    EXPECT_TRUE(Grid(state, "DBGrid1")["rows"].toArray().isEmpty());
    EXPECT_TRUE(Grid(state, "DBGrid2")["rows"].toArray().isEmpty());
    EXPECT_TRUE(Grid(state, "DBGrid3")["rows"].toArray().isEmpty());
    EXPECT_EQ(Label(state, "lbtot1"), "");
    EXPECT_EQ(Label(state, "lbtot3"), "");
    EXPECT_EQ(Label(state, "lbbal"), "Balance CXC");
    EXPECT_EQ(Label(state, "lbbalance"), AsShown("0.00"));
    EXPECT_EQ(Label(state, "lbnombre").empty(), false);

    const QJsonObject unknown = Do({std::string("code ") + demo::kMemberUnknownEmployer});
    EXPECT_EQ(Label(unknown, "lbempresa"), "");
}

TEST_F(WindowTest, LoanNumberedZeroLoadsNothingUntilAPositiveLoanIsChosen) {
    Start();
    const QJsonObject state = Do({std::string("code ") + demo::kMemberLoanZeroFirst});
    const QJsonArray loans = Grid(state, "DBGrid1")["rows"].toArray();
    ASSERT_EQ(loans.size(), 3);
    EXPECT_EQ(Text(loans[0].toArray()[1]), "0");
    EXPECT_TRUE(Grid(state, "DBGrid3")["rows"].toArray().isEmpty());
    EXPECT_EQ(Label(state, "lbtot3"), "");
    EXPECT_EQ(Label(state, "lbbalance"), AsShown("12,000.00"));

    const QJsonObject chosen = Do({"loan 1"});
    EXPECT_EQ(Grid(chosen, "DBGrid1")["current"].toInt(), 1);
    EXPECT_EQ(Label(chosen, "lbtot3"), AsShown("Balance= 12,000.00"));
    EXPECT_EQ(Label(chosen, "lbbal"), AsShown("Balance prestamo CXC: 12,000.00"));
    EXPECT_EQ(Grid(chosen, "DBGrid3")["rows"].toArray().size(), 8);
}

// Row of a loan number in the loan grid's dump.
int LoanRow(const QJsonObject& state, int loan) {
    const QJsonArray rows = state["grids"].toObject()["DBGrid1"].toObject()["rows"].toArray();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].toArray()[1].toString() == QString::number(loan)) return i;
    }
    return -1;
}

TEST_F(WindowTest, BalancesDisagreeOnlyWhenTheirTextsDiffer) {
    Start();
    const QJsonObject member = Do({std::string("code ") + demo::kMemberMismatch});
    const int over = LoanRow(member, demo::kLoanMismatchOverHalfCent);
    const int under = LoanRow(member, demo::kLoanMismatchUnderHalfCent);
    ASSERT_GE(over, 0);
    ASSERT_GE(under, 0);

    const QJsonObject mismatch = Do({"loan " + std::to_string(over)});
    const QJsonObject banner = mismatch["lbmensajes"].toObject();
    EXPECT_TRUE(banner["visible"].toBool());
    EXPECT_EQ(
        Text(banner["text"]),
        AsShown("ERROR!! El balance del prestamo segun documentos es de 7,500.00\r mientras que el "
                "balance segun cxc es de 7,500.01 para una diferencia de 0.01"));
    EXPECT_EQ(Label(mismatch, "lbbal"), AsShown("Balance prestamo CXC: 7,500.01"));
    EXPECT_EQ(Label(mismatch, "lbtot3"), AsShown("Balance= 7,500.00"));
    EXPECT_EQ(Label(mismatch, "lbbalance"), AsShown("41,500.01"));

    const QJsonObject agree = Do({"loan " + std::to_string(under)});
    EXPECT_FALSE(agree["lbmensajes"].toObject()["visible"].toBool());
    EXPECT_EQ(Label(agree, "lbbal"), AsShown("Balance prestamo CXC: 4,000.00"));
}

TEST_F(WindowTest, DocumentKindsFollowTheirRules) {
    Start();
    const QJsonObject member = Do({std::string("code ") + demo::kMemberNullsAndNotes});
    const QJsonObject notes = Do({"loan " + std::to_string(LoanRow(member, demo::kLoanNoteKinds))});
    EXPECT_EQ(Label(notes, "lbtot1"),
              AsShown("Total Cargos: Prestamo= 9,000.00 Notas Debito= 700.00"));
    EXPECT_EQ(Label(notes, "lbtot2"),
              AsShown("Total Pagos: Notas Credito= -1,800.00 Nominas= -1,500.00"));
    EXPECT_EQ(Label(notes, "lbtot3"), AsShown("Balance= 6,400.00"));

    const QJsonObject nulls =
        Do({"loan " + std::to_string(LoanRow(member, demo::kLoanNullAmounts))});
    EXPECT_EQ(Label(nulls, "lbtot3"), AsShown("Balance= 9,000.00"));
    const QJsonArray rows = Grid(nulls, "DBGrid3")["rows"].toArray();
    const QJsonArray colours = Grid(nulls, "DBGrid3")["colors"].toArray();
    bool saw_null_amount = false;
    for (int i = 0; i < rows.size(); ++i) {
        if (Text(rows[i].toArray()[4]).empty()) {
            saw_null_amount = true;
            EXPECT_EQ(Text(colours[i]), "#ff0000");
        }
    }
    EXPECT_TRUE(saw_null_amount);

    const QJsonObject duplicates = Do({std::string("code ") + demo::kMemberDuplicateReceipts});
    EXPECT_EQ(Grid(duplicates, "DBGrid3")["rows"].toArray().size(), 6);
    EXPECT_EQ(Label(duplicates, "lbtot3"), AsShown("Balance= 10,000.00"));
}

TEST_F(WindowTest, UnknownCodeIsReportedAndClearsTheWindow) {
    Start();
    Do({std::string("code ") + demo::kMemberActive});
    const QJsonObject state = Do({"code 99999"});
    const QJsonArray messages = Messages(state);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(Text(messages[0].toObject()["kind"]), "info");
    EXPECT_EQ(Text(messages[0].toObject()["text"]), "No existen socios con este codigo: 99999");
    EXPECT_EQ(Text(state["edsocio"]), "");
    EXPECT_EQ(Text(state["focus"]), "edsocio");
    EXPECT_EQ(Label(state, "lbnombre"), "");
    EXPECT_TRUE(Grid(state, "DBGrid1")["rows"].toArray().isEmpty());

    // Blanks are a code like any other; an empty box looks nothing up.
    const QJsonObject blanks = Do({"code   "});
    ASSERT_EQ(Messages(blanks).size(), 1);
    EXPECT_EQ(Text(Messages(blanks)[0].toObject()["text"]),
              "No existen socios con este codigo:   ");
    EXPECT_TRUE(Messages(Do({"code "})).isEmpty());
}

TEST_F(WindowTest, LimpiarPutsEverythingBack) {
    Start();
    Do({std::string("code ") + demo::kMemberMismatch});
    const QJsonObject state = Do({"press btlimpiar"});
    EXPECT_EQ(Text(state["edsocio"]), "");
    EXPECT_EQ(Label(state, "lbnombre"), "");
    EXPECT_EQ(Label(state, "lbbalance"), "0.00");
    EXPECT_EQ(Label(state, "lbbal"), "Balance CXC");
    EXPECT_EQ(Label(state, "lbtot1"), "");
    EXPECT_FALSE(state["lbmensajes"].toObject()["visible"].toBool());
    EXPECT_TRUE(Grid(state, "DBGrid1")["current"].isNull());
    EXPECT_TRUE(Messages(state).isEmpty());
}

TEST_F(WindowTest, ManyDocumentsAreAllListedAndSummed) {
    Start();
    const QJsonObject state = Do({std::string("code ") + demo::kMemberManyDocuments});
    EXPECT_EQ(Grid(state, "DBGrid3")["rows"].toArray().size(), 1160);
    EXPECT_EQ(Label(state, "lbtot3"), AsShown("Balance= 40,000.00"));
}

TEST_F(WindowTest, SalirClosesTheWindow) {
    Start();
    Do({"press btsalir"});
    EXPECT_FALSE(window_->isVisible());
}

// A width dragged in any grid is there at the next start (the file in the
// user's configuration folder); Ctrl+0 puts the first-start widths back
// for this run and the next. Neither a click on a title nor a drag of a
// title's edge moves the current row.
TEST_F(WindowTest, DraggedColumnWidthsAreThereAfterARestartUntilCtrlZero) {
    const ScopedVariable config("XDG_CONFIG_HOME", dir_.File("config"));
    Start();
    Do({std::string("code ") + demo::kMemberMismatch});
    const auto widths = [this] {
        std::vector<int> all;
        for (Access::Grid grid :
             {Access::Grid::Loans, Access::Grid::Schedule, Access::Grid::Documents}) {
            for (const ui::TColumn& column : Window().GridOf(grid)->Columns()) {
                all.push_back(Window().GridOf(grid)->ColumnWidth(column));
            }
        }
        return all;
    };
    const std::vector<int> first_start = widths();
    ui::TDBGrid& schedule = *Window().GridOf(Access::Grid::Schedule);
    ui::TDBGrid& documents = *Window().GridOf(Access::Grid::Documents);
    const int current = schedule.CurrentRow();
    DragColumnEdge(schedule, 2, 40);  // CAPITAL, 73 wide at first
    DragColumnEdge(documents, 0, -500);
    EXPECT_EQ(schedule.Columns()[2].Width, 113);
    EXPECT_EQ(documents.Columns()[0].Width, ui::TDBGrid::kMinimumDraggedWidth);
    EXPECT_EQ(schedule.CurrentRow(), current);
    std::vector<int> dragged = first_start;
    dragged[Window().GridOf(Access::Grid::Loans)->Columns().size() + 2] = 113;
    dragged[dragged.size() - documents.Columns().size()] = ui::TDBGrid::kMinimumDraggedWidth;
    EXPECT_EQ(widths(), dragged);
    EXPECT_TRUE(std::filesystem::exists(dir_.File("config/analisis-socios/ventanas.ini")));

    window_.reset();
    Start();
    Do({std::string("code ") + demo::kMemberMismatch});
    EXPECT_EQ(widths(), dragged);
    QTest::keyClick(window_.get(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(widths(), first_start);
    window_.reset();
    Start();
    Do({std::string("code ") + demo::kMemberMismatch});
    EXPECT_EQ(widths(), first_start);
}

}  // namespace

namespace {

// Every declared column exists in the demo schema with a compatible type,
// and every stored value fits its declared size.
TEST_F(WindowTest, DeclaredFieldsOpenAgainstTheSchemaAndReadEveryValue) {
    Start();
    const struct {
        db::TIBQuery* query;
        const char* statement;
        int fields;
    } sets[] = {
        {&Window().Query(Access::Set::Members), "select * from clientes", 182},
        {&Window().Query(Access::Set::Loans), "select * from solicitudpres", 61},
        {&Window().Query(Access::Set::Schedule), "select * from renglones", 18},
    };
    for (const auto& set : sets) {
        set.query->Close();
        set.query->SQL().Clear();
        set.query->SQL().Add(set.statement);
        set.query->Open();
        ASSERT_EQ(set.query->FieldCount(), set.fields) << set.statement;
        int rows = 0;
        for (set.query->First(); !set.query->AtEnd(); set.query->Next(), ++rows) {
            for (int i = 0; i < set.query->FieldCount(); ++i) {
                db::TField& field = set.query->Field(i);
                if (field.DataType() != db::TFieldType::ftMemo) field.DisplayText();
            }
        }
        EXPECT_GT(rows, 0) << set.statement;
        set.query->Close();
    }
}

}  // namespace

namespace {

// The statements reach the server exactly as written, spacing and
// dialect-1 double quotes included (the texts below are written out again
// on purpose, so a slip in the program's copy shows).
TEST_F(WindowTest, LookupSendsItsStatementsExactly) {
    Start();
    Do({std::string("code ") + demo::kMemberActive});
    EXPECT_EQ(Window().Query(Access::Set::Members).SQL().Text(),
              "select * from clientes where clt_codigo = :c\r\n");
    EXPECT_EQ(Window().Query(Access::Set::Loans).SQL().Text(),
              "select * from solicitudpres where socio = :c and estatus in (\"A\",\"L\") order by "
              "fecha desc,no_documento\r\n");
    EXPECT_EQ(Window().Query(Access::Set::Schedule).SQL().Text(),
              "select * from renglones where ren_prestamono = :p order by ren_cuotano\r\n");
    EXPECT_EQ(
        Window().Query(Access::Set::Documents).SQL().Text(),
        "select \"P\" tipo,ren_prestamono,ren_fechavence,ren_cuotano,ren_cuotacapital,"
        "ren_cuotainteres from RENGLONES where ren_prestamono = :p union  select \"R\",recibo,"
        "fecharecibo,cuota,-pagocapital,-pagointeres from INGRESOSDET where prestamo = :p union  "
        "select \"C\",documento,fecharecibo,cuota,-pagocapital,-pagointeres from ccnotasdet where "
        "prestamo = :p and tipo_doc containing \"C\" union  select \"D\",documento,fecharecibo,"
        "cuota,pagocapital,pagointeres from ccnotasdet where prestamo = :p  and tipo_doc "
        "containing \"D\" union  select \"N\",numero,fecha,cuota_no,-valor,-interes from nomina "
        "where prestamo_no = :p and estatus = \"A\" union  select \"M\",documento,fecha,"
        "serviciono,-capital,-interes from COMPENSACIONDET where aplica = :p order by 4,3\r\n");
    EXPECT_EQ(Window().Query(Access::Set::Documents).Params().Count(), 6);
    // The last statement of a lookup: the member's whole receivable balance.
    EXPECT_EQ(Window().Query(Access::Set::Employer).SQL().Text(),
              "select sum(valor) from cxctrx where cliente = :c \r\n");
    window_->balancecxc(demo::kLoanActive);
    EXPECT_EQ(Window().Query(Access::Set::Employer).SQL().Text(),
              "select sum(valor) from cxctrx where cliente = :c \r\nand aplica = :a\r\n");
    window_->nombreempresa(demo::kEmployerMinisterio);
    EXPECT_EQ(Window().Query(Access::Set::Employer).SQL().Text(),
              "select * from empresas where codigo = :c\r\n");
}

}  // namespace

#include <QDialog>

namespace {

// Leaving the code box for another window is no exit: the lookup runs only
// when the focus moves to another control of the main window.
TEST_F(WindowTest, CodeBoxExitsOnlyToAnotherControlOfTheWindow) {
    Start();
    int lookups = 0;
    Window().Query(Access::Set::Members).AfterOpen = [&](db::TIBQuery&) { ++lookups; };
    Window().CodeBox()->setFocus();
    Window().CodeBox()->setText(demo::kMemberActive);
    QApplication::processEvents();

    QDialog other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(Window().CodeBox(), &away);
    EXPECT_EQ(lookups, 0);
    other.close();

    window_->activateWindow();
    Window().CodeBox()->setFocus();
    QApplication::processEvents();
    Window().Button("btlimpiar")->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(lookups, 1);
}

}  // namespace
