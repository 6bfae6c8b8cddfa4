// The check seen from the window: F2, the list, choosing a loan, and the
// check's balances against the texts the window shows for the same loans.
#include <signal.h>
#include <unistd.h>

#include <QFileDialog>
#include <QJsonArray>
#include <QLabel>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "db/call_watch.h"
#include "formats/format_settings.h"
#include "loans/reports/portfolio_workbook.h"
#include "portfolio/portfolio_access.h"
#include "runtime/number_text.h"
#include "shell/termination.h"
#include "tests/main_window/window_fixture.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/table_checksums.h"
#include "tools/bench_db/bench_database.h"
#include "ui/message_dialog.h"
#include "ui/wait_cursor.h"

namespace {

class PortfolioWindowTest : public WindowTest {
  protected:
    static std::vector<std::string> Row(const QJsonObject& portfolio, int row) {
        std::vector<std::string> cells;
        for (const QJsonValue& cell : portfolio["rows"].toArray()[row].toArray()) {
            cells.push_back(Text(cell));
        }
        return cells;
    }
    static int RowCount(const QJsonObject& portfolio) { return portfolio["rows"].toArray().size(); }
    bool PortfolioOpen() const { return portfolio::PortfolioAccess::OpenOn(*window_) != nullptr; }
    // Runs the event loop until the test's own handlers end it; an end
    // that never comes ends it after a minute, with 1.
    static int ExecWithinAMinute() {
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        limit.start(60000);
        return QApplication::exec();
    }

    // Looks the member up by typing, takes the loan in the loan grid, and
    // returns the window's documents balance and receivable balance texts.
    std::pair<std::string, std::string> WindowBalances(const std::string& member, int32_t loan) {
        const QJsonObject state = Do({"code " + member});
        const QJsonArray rows = Grid(state, "DBGrid1")["rows"].toArray();
        int row = -1;
        for (int i = 0; i < rows.size() && row < 0; ++i) {
            if (Text(rows[i].toArray()[1]) == std::to_string(loan)) row = i;
        }
        if (row < 0) {
            ADD_FAILURE() << member << "/" << loan << " is not in the loan list";
            return {};
        }
        const QJsonObject shown = Do({"loan " + std::to_string(row)});
        return {Label(shown, "lbtot3"), Label(shown, "lbbal")};
    }

    void ExpectWindowAgrees(const loans::LoanCheck& loan) {
        const auto [documents, receivable] = WindowBalances(loan.member, loan.loan);
        EXPECT_EQ(documents, "Balance= " + loans::ShownAmount(loan.documents_balance))
            << loan.member << "/" << loan.loan;
        EXPECT_EQ(receivable,
                  "Balance prestamo CXC: " + loans::ShownAmount(loan.receivable_balance))
            << loan.member << "/" << loan.loan;
    }
};

// Each loan chosen (double click) shows in the main window, and the list
// stays open beside it, where it was: the analyst goes down the list.
TEST_F(PortfolioWindowTest, F2ListsTheMismatchedLoansAndChoosingOneShowsItWithTheListStillOpen) {
    Start();
    const std::vector<QJsonObject> out = Objects({"portfolio", "choose 2", "dump", "choose 0"});
    ASSERT_EQ(out.size(), 3u);
    const QJsonObject list = out[0]["portfolio"].toObject();
    EXPECT_TRUE(list["finished"].toBool());
    EXPECT_EQ(list["progress"].toInt(), 100);
    ASSERT_EQ(RowCount(list), 4);
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{
                                "00002", Row(list, 0)[1], "1010", AsShown("12,000.00"),
                                AsShown("12,000.00"), AsShown("0.00"), "2", "Corregir Tabla",
                                "2 cuotas con lo pagado distinto de los documentos"}));
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{
                                "00010", Row(list, 1)[1], "1070", AsShown("20,000.00"),
                                AsShown("30,000.00"), AsShown("10,000.00"), "0", "Reindexar",
                                AsShown("CXC tiene 10,000.00 m\xE1s que los documentos")}));
    EXPECT_EQ(Row(list, 2)[2], "1071");
    EXPECT_EQ(Row(list, 2)[8], AsShown("CXC tiene 0.01 m\xE1s que los documentos"));
    EXPECT_EQ(Row(list, 3)[5], AsShown("-3,000.00"));
    EXPECT_EQ(Row(list, 3)[8], AsShown("CXC tiene 3,000.00 menos que los documentos"));
    EXPECT_EQ(Text(list["totals"]),
              "Pr\xE9stamos revisados: 50   Con diferencias: 4   Reindexar: 3   Corregir Tabla: 1");
    EXPECT_EQ(Text(list["listed"]),
              AsShown("Listados: 4 de 4   Suma de las diferencias absolutas: 13,000.01"));

    // The chosen loan is current in the window, looked up like a typed code,
    // and the list is still open, on the row chosen.
    for (const auto& [state, member, loan, documents, receivable] :
         {std::tuple{out[1], "00010", "1071", "Balance= 7,500.00",
                     "Balance prestamo CXC: 7,500.01"},
          std::tuple{out[2], "00002", "1010", "Balance= 12,000.00",
                     "Balance prestamo CXC: 12,000.00"}}) {
        EXPECT_EQ(Text(state["edsocio"]), member);
        const QJsonObject loans = Grid(state, "DBGrid1");
        const int current = loans["current"].toInt();
        EXPECT_EQ(Text(loans["rows"].toArray()[current].toArray()[1]), loan);
        EXPECT_EQ(Label(state, "lbtot3"), AsShown(documents));
        EXPECT_EQ(Label(state, "lbbal"), AsShown(receivable));
        EXPECT_TRUE(state["messages"].toArray().isEmpty());
        ASSERT_TRUE(state.contains("portfolio")) << "the list closed after a choice";
        EXPECT_EQ(RowCount(state["portfolio"].toObject()), 4);
    }
    EXPECT_EQ(out[1]["portfolio"].toObject()["current"].toInt(), 2);
    EXPECT_EQ(out[2]["portfolio"].toObject()["current"].toInt(), 0);
    EXPECT_TRUE(PortfolioOpen());
    // Back in the main window, the loan chosen stays current: no lookup
    // again on leaving the code box.
    window_->activateWindow();
    QApplication::processEvents();
    QTest::mouseClick(Window().GridOf(Access::Grid::Schedule)->viewport(), Qt::LeftButton);
    const QJsonObject after = Do({});
    const QJsonObject loans = Grid(after, "DBGrid1");
    EXPECT_EQ(Text(loans["rows"].toArray()[loans["current"].toInt()].toArray()[1]), "1010");
    // F2 over the open list brings it up, checked again (1070 was repaired
    // meanwhile); leaving closes it.
    portfolio_test::RepairOneFlaggedLoan(database_, 1070);
    EXPECT_EQ(RowCount(Do({"portfolio"})["portfolio"].toObject()), 3);
    Do({"leave"});
    EXPECT_FALSE(PortfolioOpen());
}

// The check's own connection sees what the window's repairs committed.
TEST_F(PortfolioWindowTest, ALoanRepairedFromTheListDropsOffIt) {
    setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);  // the repairs' journal
    Start();
    const auto loans = [](const QJsonObject& list) {
        std::vector<std::string> shown;
        for (const QJsonValue& row : list["rows"].toArray()) {
            shown.push_back(Text(row.toArray()[2]) + " " + Text(row.toArray()[7]));
        }
        return shown;
    };
    Objects({"portfolio", "choose 1"});  // 1070, which needs a rebuild
    EXPECT_EQ(Text(Do({"answer yes", "press btreindexar"})["messages"].toArray().last()["text"]),
              "Proceso Ejecutado");
    const std::vector<QJsonObject> after_rebuild = Objects({"portfolio", "choose 0"});
    EXPECT_EQ(
        loans(after_rebuild[0]["portfolio"].toObject()),
        (std::vector<std::string>{"1010 Corregir Tabla", "1071 Reindexar", "1073 Reindexar"}));
    Do({"answer yes", "press btcorregir"});  // 1010, whose schedule was never updated
    const std::vector<QJsonObject> after_correction = Objects({"portfolio", "leave"});
    EXPECT_EQ(loans(after_correction[0]["portfolio"].toObject()),
              (std::vector<std::string>{"1071 Reindexar", "1073 Reindexar"}));
    unsetenv("XDG_DATA_HOME");
}

TEST_F(PortfolioWindowTest, ListSortsByAnyColumnAndEnterTakesTheCurrentRow) {
    Start();
    const std::vector<QJsonObject> out =
        Objects({"portfolio", "sort 5 desc", "dump", "sort 6", "dump", "enter"});
    ASSERT_EQ(out.size(), 4u);
    auto loans_in_order = [](const QJsonObject& object) {
        std::vector<std::string> loans;
        const QJsonObject list = object["portfolio"].toObject();
        for (int row = 0; row < RowCount(list); ++row) loans.push_back(Row(list, row)[2]);
        return loans;
    };
    // Differences as numbers, largest first; then instalments, ties in list order.
    EXPECT_EQ(loans_in_order(out[1]), (std::vector<std::string>{"1070", "1071", "1010", "1073"}));
    EXPECT_EQ(loans_in_order(out[2]), (std::vector<std::string>{"1070", "1071", "1073", "1010"}));
    // Enter takes the current row, which sorting moved with its loan.
    EXPECT_EQ(Text(out[3]["edsocio"]), "00002");
    const QJsonObject grid = Grid(out[3], "DBGrid1");
    EXPECT_EQ(Text(grid["rows"].toArray()[grid["current"].toInt()].toArray()[1]), "1010");
}

// The filter box finds members by code or name, with or without accents,
// in either case; the repair filter keeps the loans of one repair; the
// line under the list counts and adds up what is listed, and an export
// writes only that.
TEST_F(PortfolioWindowTest, FiltersByMemberAndRepairCountAndAddUpWhatIsListed) {
    Start();
    const std::string file = dir_.File("filtrada.csv");
    const std::vector<QJsonObject> out =
        Objects({"portfolio", "filter hernandez", "dump", "filter 000", "dump",
                 "filter Mar\xC3\xAD"
                 "a",
                 "dump", "filter", "repairs corregir", "dump", "repairs reindexar", "filter 00010",
                 "export " + file, "dump", "filter zzz", "dump", "repairs todas", "filter"});
    ASSERT_EQ(out.size(), 8u);
    const auto listed = [](const QJsonObject& state) {
        std::vector<std::string> loans;
        const QJsonObject list = state["portfolio"].toObject();
        for (int row = 0; row < RowCount(list); ++row) loans.push_back(Row(list, row)[2]);
        return std::pair{loans, Text(list["listed"])};
    };
    using Listed = std::pair<std::vector<std::string>, std::string>;
    const auto line = [](int shown, const char* sum) {
        return AsShown("Listados: " + std::to_string(shown) +
                       " de 4   Suma de las diferencias absolutas: " + sum);
    };
    EXPECT_EQ(listed(out[1]), (Listed{{"1070", "1071", "1073"}, line(3, "13,000.01")}));
    EXPECT_EQ(listed(out[2]), (Listed{{"1010", "1070", "1071", "1073"}, line(4, "13,000.01")}));
    EXPECT_EQ(listed(out[3]), (Listed{{"1010"}, line(1, "0.00")}));
    EXPECT_EQ(listed(out[4]), (Listed{{"1010"}, line(1, "0.00")}));
    EXPECT_EQ(listed(out[5]), (Listed{{"1070", "1071", "1073"}, line(3, "13,000.01")}));
    EXPECT_EQ(listed(out[6]), (Listed{{}, line(0, "0.00")}));
    EXPECT_EQ(Text(out[6]["portfolio"].toObject()["repairs"]), "Reindexar");
    EXPECT_EQ(listed(out[7]), (Listed{{"1010", "1070", "1071", "1073"}, line(4, "13,000.01")}));
    std::ifstream in(file, std::ios::binary);
    std::string header;
    std::getline(in, header);
    std::vector<std::string> exported;
    for (std::string row; std::getline(in, row);) exported.push_back(row.substr(0, 5));
    EXPECT_EQ(exported, (std::vector<std::string>{"00010", "00010", "00010"}));
}

TEST_F(PortfolioWindowTest, ExportWritesTheListAndLeavingChangesNothing) {
    Start();
    const std::string file = dir_.File("lista.csv");
    const std::string workbook = dir_.File("lista.xlsx");
    const std::vector<QJsonObject> out =
        Objects({"portfolio", "export " + file, "export " + workbook, "leave"});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(Text(out[1]["edsocio"]), "");
    EXPECT_TRUE(Grid(out[1], "DBGrid1")["rows"].toArray().isEmpty());
    std::ifstream in(file, std::ios::binary);
    std::stringstream read;
    read << in.rdbuf();
    const std::string csv = read.str();
    // For the desktop's spreadsheet: on a Spanish desktop ";" between fields
    // and a decimal comma, else the machines' way.
    const bool decimal_comma = formats::DefaultFormatSettings().decimal_separator == ',';
    const loans::CsvStyle style = decimal_comma ? loans::kDecimalCommaCsv : loans::kMachineCsv;
    std::ostringstream expected;
    loans::WriteCsv(expected, portfolio_test::Check(database_).Flagged(), loans::CsvTarget::kFile,
                    style);
    EXPECT_EQ(csv, expected.str());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5);
    EXPECT_EQ(csv.rfind(decimal_comma ? "socio;nombre;prestamo;" : "socio,nombre,prestamo,", 0),
              0u);
    // Each time the dialog says where it wrote.
    const QJsonArray said = out[1]["messages"].toArray();
    ASSERT_EQ(said.size(), 2);
    EXPECT_EQ(Text(said[0].toObject()["text"]),
              "Se guard\xF3 la lista (4 pr\xE9stamos) en:\n" + file +
                  (decimal_comma ? "\nCampos separados por \";\" y decimales con coma, como los "
                                   "lee una hoja de c\xE1lculo en espa\xF1ol."
                                 : ""));
    EXPECT_EQ(Text(said[1].toObject()["text"]),
              "Se guard\xF3 la lista (4 pr\xE9stamos) en:\n" + workbook);
    // A .xlsx name: the same list as a workbook.
    const std::string written = dir_.File("expected.xlsx");
    loans::WriteWorkbook(written, portfolio_test::Check(database_).Flagged());
    for (const auto& [part, seen] : {std::pair{"xl/worksheets/sheet1.xml", "<c r=\"A5\" t=\"s\">"},
                                     std::pair{"xl/sharedStrings.xml", "<t>00010</t>"}}) {
        const std::string exported = portfolio_test::WorkbookPart(dir_, workbook, part);
        EXPECT_NE(exported.find(seen), std::string::npos) << part << "\n" << exported;
        EXPECT_EQ(exported, portfolio_test::WorkbookPart(dir_, written, part)) << part;
    }
    // Its numbers are the CSV's, and every number in its XML is written
    // with a point, whatever the desktop's language (a reader refuses
    // width="10,7109375").
    std::vector<std::string> from_csv;
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);  // the titles
    for (int row = 2; std::getline(lines, line); ++row) {
        std::vector<std::string> fields;
        for (size_t at = 0; at != std::string::npos;) {
            const size_t comma = line.find(style.separator, at);
            fields.push_back(line.substr(at, comma == std::string::npos ? comma : comma - at));
            at = comma == std::string::npos ? comma : comma + 1;
        }
        ASSERT_GE(fields.size(), 6u) << line;
        for (size_t column = 0; column < 5; ++column) {  // loan, amounts, instalments
            std::string text = fields[fields.size() - 6 + column];
            std::replace(text.begin(), text.end(), style.decimal, '.');
            from_csv.push_back(std::string(1, static_cast<char>('C' + column)) +
                               std::to_string(row) + "=" +
                               runtime::FixedText(runtime::ParseReal(text).value_or(-1e300), 2));
        }
    }
    std::vector<std::string> from_sheet;
    for (const std::string& cell : portfolio_test::NumberCells(
             portfolio_test::WorkbookPart(dir_, workbook, "xl/worksheets/sheet1.xml"))) {
        const size_t equals = cell.find('=');
        const std::optional<double> number = runtime::ParseReal(cell.substr(equals + 1));
        from_sheet.push_back(cell.substr(0, equals + 1) +
                             (number ? runtime::FixedText(*number, 2) : cell.substr(equals + 1)));
    }
    EXPECT_EQ(from_sheet, from_csv);
    const QRegularExpression numeric("^[-+]?[0-9][0-9.,eE+-]*$");
    const QRegularExpression decimal("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$");
    const std::vector<std::string> parts = portfolio_test::WorkbookParts(dir_, workbook);
    EXPECT_GE(parts.size(), 5u);
    for (const std::string& part : parts) {
        std::string quoted = "'";  // unzip reads brackets as a wildcard
        for (const char ch : part) {
            if (ch == '[' || ch == ']') quoted += '\\';
            quoted += ch;
        }
        QXmlStreamReader xml(
            QByteArray::fromStdString(portfolio_test::WorkbookPart(dir_, workbook, quoted + "'")));
        while (!xml.atEnd()) {
            xml.readNext();
            for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                const QString value = attribute.value().toString();
                if (numeric.match(value).hasMatch()) {
                    EXPECT_TRUE(decimal.match(value).hasMatch())
                        << part << ": " << attribute.name().toString().toStdString() << "=\""
                        << value.toStdString() << "\"";
                }
            }
        }
        EXPECT_FALSE(xml.hasError()) << part << ": " << xml.errorString().toStdString();
    }
}

// Told to end (SIGTERM) while the list's repair question is open, its loop
// running as in the program: the question goes unanswered, the list closes
// with the window, the loop ends without a crash and nothing is written.
TEST_F(PortfolioWindowTest, ToldToEndWhileTheRepairQuestionIsOpenEndsWritingNothing) {
    Start();
    Objects({"portfolio"});
    portfolio::TFcartera* dialog = portfolio::PortfolioAccess::OpenOn(*window_);
    ASSERT_NE(dialog, nullptr);
    const portfolio::PortfolioAccess access(*dialog);
    access.List()->selectAll();
    ASSERT_EQ(access.SelectedRows().size(), 4u);
    const auto untouched = test_support::ChecksumTables(database_);
    // The signal taken as the program takes it; it stays noted for the
    // rest of this process, which ctest runs for this test alone.
    shell::EndOnTerminationSignals(*window_);
    ui::SetDialogResponder(nullptr);  // the boxes shown, as the analyst sees them
    std::string asked;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&asked] {
        auto* box = dynamic_cast<ui::MessageDialog*>(QApplication::activeModalWidget());
        if (box == nullptr || !asked.empty()) return;
        asked = box->findChild<QLabel*>("message")->text().toLatin1().toStdString();
        ::kill(::getpid(), SIGTERM);
    });
    watch.start(10);
    QPushButton* repair = access.ButtonOf(portfolio::PortfolioAccess::Button::Repair);
    QTimer::singleShot(0, [repair] { QTest::mouseClick(repair, Qt::LeftButton); });
    EXPECT_EQ(ExecWithinAMinute(), 0);
    watch.stop();
    EXPECT_EQ(shell::TerminationSignal(), SIGTERM);
    EXPECT_EQ(asked,
              "Se reparar\xE1n 4 pr\xE9stamos: 3 con Reindexar, 1 con Corregir Tabla. \xBF"
              "Desea continuar?");
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(portfolio::PortfolioAccess::OpenOn(*window_), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(test_support::ChecksumTables(database_), untouched);
}

// Cancel while the list is checked again, then "Exportar" before the check
// has let go: the list closes once the check ends, with the file dialog
// still open over it, and is gone only once that dialog and the export's
// handler have returned. The window goes on, and F2 opens the list again.
TEST_F(PortfolioWindowTest, ClosedUnderItsOwnFileDialogTheListGoesOnceThatDialogReturns) {
    Start();
    // The check's calls (not the window's) wait while held.
    static std::atomic<bool> held{false};
    held = false;
    db::SetCallStartObserver([] {
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) return;
        while (held) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    });
    QPointer<portfolio::TFcartera> kept;
    bool cancelling = false;
    // The analyst takes a while over the file dialog: the list has closed
    // under it some ticks before it is cancelled.
    int closed_for = 0;
    bool gone_under_it = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (files != nullptr && held) {
            held = false;  // the check ends
        } else if (files != nullptr && (!kept || !kept->isVisible())) {
            gone_under_it = gone_under_it || kept.isNull();
            if (++closed_for == 20) files->reject();
        } else if (files == nullptr && !held && !kept) {
            QCoreApplication::exit(0);
        }
    });
    // F2 and the rest from inside the loop, as the program runs them.
    QTimer::singleShot(0, [&] {
        Objects({"portfolio"});
        kept = portfolio::PortfolioAccess::OpenOn(*window_);
        if (kept == nullptr) {
            QCoreApplication::exit(2);
            return;
        }
        const portfolio::PortfolioAccess access(*kept);
        held = true;
        kept->Recheck();
        QTest::mouseClick(access.ButtonOf(portfolio::PortfolioAccess::Button::Cancel),
                          Qt::LeftButton);
        cancelling = access.Totals()->text() == "Cancelando...";
        watch.start(10);
        QTest::mouseClick(access.ButtonOf(portfolio::PortfolioAccess::Button::Export),
                          Qt::LeftButton);
    });
    EXPECT_EQ(ExecWithinAMinute(), 0);
    watch.stop();
    held = false;
    ui::ShowWaitCursorDuringDatabaseCalls(true);  // the window's own observer back
    EXPECT_TRUE(cancelling);
    EXPECT_GE(closed_for, 20) << "the list did not close under the file dialog";
    EXPECT_FALSE(gone_under_it);
    EXPECT_TRUE(kept.isNull());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(RowCount(Do({"portfolio"})["portfolio"].toObject()), 4);
}

TEST_F(PortfolioWindowTest, CheckBalancesAreTheWindowsTextsOnTheDemo) {
    const loans::CheckResult result = portfolio_test::Check(database_);
    Start();
    ASSERT_EQ(result.loans.size(), 50u);
    for (const loans::LoanCheck& loan : result.loans) ExpectWindowAgrees(loan);
}

TEST_F(PortfolioWindowTest, CheckBalancesAreTheWindowsTextsOnABenchSlice) {
    const std::string slice = dir_.File("bench-slice.fdb");
    bench::BenchDatabaseSize size;
    size.members = 120;
    bench::BuildBenchDatabase(slice, size, [](const std::string&, double) {});
    const loans::CheckResult result = portfolio_test::Check(slice);
    WriteDbIni(slice + "\n");
    Start();
    ASSERT_GT(result.loans.size(), 100u);
    // Every flagged loan of either kind and a spread of the others.
    int picked = 0;
    for (size_t i = 0; i < result.loans.size(); ++i) {
        const loans::LoanCheck& loan = result.loans[i];
        if (!loan.Flagged() && i % 9 != 0) continue;
        ExpectWindowAgrees(loan);
        ++picked;
    }
    EXPECT_GT(picked, 20);
    const auto flagged = result.Flagged();
    EXPECT_TRUE(std::any_of(flagged.begin(), flagged.end(), [](auto& l) { return l.reindex; }));
    EXPECT_TRUE(
        std::any_of(flagged.begin(), flagged.end(), [](auto& l) { return l.fix_schedule; }));
}

}  // namespace
