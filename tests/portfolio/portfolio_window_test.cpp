// The check seen from the window: F2, the list, choosing a loan, and the
// check's balances against the texts the window shows for the same loans.
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QXmlStreamReader>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <tuple>

#include "db/call_watch.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/reports/portfolio_workbook.h"
#include "loans/rules/repair_statements.h"
#include "portfolio/portfolio_access.h"
#include "runtime/number_text.h"
#include "tests/main_window/repair_fixture.h"
#include "tests/main_window/server_fault_fixture.h"
#include "tests/main_window/window_fixture.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/table_checksums.h"
#include "tools/bench_db/bench_database.h"
#include "tools/demo_db/demo_catalogue.h"
#include "ui/dialog_responder.h"
#include "ui/modal_result.h"

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

TEST_F(PortfolioWindowTest, F2ListsTheMismatchedLoansAndChoosingOneShowsIt) {
    Start();
    const std::vector<QJsonObject> out = Objects({"portfolio", "choose 2"});
    ASSERT_EQ(out.size(), 2u);
    const QJsonObject list = out[0]["portfolio"].toObject();
    EXPECT_TRUE(list["finished"].toBool());
    ASSERT_EQ(RowCount(list), 4);
    EXPECT_EQ(Row(list, 0), (std::vector<std::string>{"00002", Row(list, 0)[1], "1010",
                                                      AsShown("12,000.00"), AsShown("12,000.00"),
                                                      AsShown("0.00"), "2", "Corregir Tabla"}));
    EXPECT_EQ(Row(list, 1), (std::vector<std::string>{"00010", Row(list, 1)[1], "1070",
                                                      AsShown("20,000.00"), AsShown("30,000.00"),
                                                      AsShown("10,000.00"), "0", "Reindexar"}));
    EXPECT_EQ(Row(list, 2)[2], "1071");
    EXPECT_EQ(Row(list, 3)[5], AsShown("-3,000.00"));
    EXPECT_EQ(Text(list["totals"]),
              "Prestamos revisados: 50   Con diferencias: 4   Reindexar: 3   Corregir Tabla: 1");

    // The chosen loan is current in the window, looked up like a typed code.
    const QJsonObject state = out[1];
    EXPECT_EQ(Text(state["edsocio"]), "00010");
    const QJsonObject loans = Grid(state, "DBGrid1");
    const int current = loans["current"].toInt();
    EXPECT_EQ(Text(loans["rows"].toArray()[current].toArray()[1]), "1071");
    EXPECT_EQ(Label(state, "lbtot3"), AsShown("Balance= 7,500.00"));
    EXPECT_EQ(Label(state, "lbbal"), AsShown("Balance prestamo CXC: 7,500.01"));
    EXPECT_TRUE(state["messages"].toArray().isEmpty());
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
    std::ostringstream expected;
    loans::WriteCsv(expected, portfolio_test::Check(database_).Flagged());
    EXPECT_EQ(csv, expected.str());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 5);
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
            const size_t comma = line.find(',', at);
            fields.push_back(line.substr(at, comma == std::string::npos ? comma : comma - at));
            at = comma == std::string::npos ? comma : comma + 1;
        }
        ASSERT_GE(fields.size(), 6u) << line;
        for (size_t column = 0; column < 5; ++column) {  // loan, amounts, instalments
            const std::string& text = fields[fields.size() - 6 + column];
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

// Repairs and previews from the dialog, through either route, with the
// journal in the test's own folder.
class PortfolioRepairTest : public RepairTest {
  protected:
    // "loan repair" per listed row.
    static std::vector<std::string> Listed(const QJsonObject& state) {
        std::vector<std::string> shown;
        for (const QJsonValue& row : state["portfolio"].toObject()["rows"].toArray()) {
            shown.push_back(Text(row.toArray()[2]) + " " + Text(row.toArray()[7]));
        }
        return shown;
    }
    std::vector<std::string> JournalLines() const {
        std::ifstream in(journal_home_ + "/analisis-socios/reparaciones.jsonl");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    static constexpr const char* kAllQuestion =
        "Se reparar\xE1n 4 pr\xE9stamos: 3 con Reindexar, 1 con Corregir Tabla. "
        "\xBF"
        "Desea continuar?";
};

// No writes nothing; a selection repairs only its loans; what the dialog
// writes in all is what one unit per loan writes on a second copy.
TEST_P(PortfolioRepairTest, RepairingTheSelectedLoansWritesWhatOneUnitPerLoanWrites) {
    const std::vector<loans::LoanCheck> flagged = portfolio_test::Check(name_).Flagged();
    ASSERT_EQ(flagged.size(), 4u);
    const auto untouched = test_support::ChecksumTables(name_);
    Start();

    std::vector<QJsonObject> out =
        Objects({"portfolio", "select all", "answer no", "repair", "dump", "leave"});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(Boxes(out[1]), (Boxes_t{{"confirm", kAllQuestion}}));
    EXPECT_EQ(Listed(out[1]).size(), 4u);
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
    EXPECT_TRUE(JournalLines().empty());

    // Rows as listed: 1010 Corregir Tabla, 1070, 1071, 1073 Reindexar.
    out = Objects({"portfolio", "select 1 3", "dump", "answer yes", "repair", "dump", "leave"});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[1]["portfolio"].toObject()["selected"].toArray(), (QJsonArray{1, 3}));
    EXPECT_EQ(
        Boxes(out[2]),
        (Boxes_t{
            {"confirm",
             "Se reparar\xE1n 2 pr\xE9stamos: 2 con Reindexar, 0 con Corregir Tabla. "
             "\xBF"
             "Desea continuar?"},
            {"info",
             "Reparados: 2\nOmitidos (ya sin diferencias): 0\nFallidos: 0\nNo alcanzados: 0"}}));
    EXPECT_EQ(Listed(out[2]), (std::vector<std::string>{"1010 Corregir Tabla", "1071 Reindexar"}));
    EXPECT_EQ(JournalLines().size(), 2u);

    out = Objects({"portfolio", "select all", "answer yes", "repair", "dump", "leave"});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_TRUE(Listed(out[1]).empty());
    EXPECT_EQ(Text(out[1]["portfolio"].toObject()["totals"]),
              "Prestamos revisados: 50   Con diferencias: 0   Reindexar: 0   Corregir Tabla: 0");
    EXPECT_EQ(JournalLines().size(), 4u);

    // The same loans, one unit each, on a copy of their own.
    const std::string copy = dir_.File("reference.fdb");
    test_support::CopyDemoDatabase(copy);
    const std::string reference = test_support::DatabaseName(GetParam(), copy);
    {
        std::unique_ptr<test_support::AnalystLogin> analyst;
        if (GetParam() == test_support::Route::kServer) {
            analyst = std::make_unique<test_support::AnalystLogin>(reference);
        }
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction transaction("IBTransaction1");
        loans::ConfigureProgramConnection(database, transaction, reference);
        database.Open();
        loans::RepairUnit unit(database);
        for (const loans::LoanCheck& loan : flagged) {
            unit.Run(loans::RepairsFor(loan), loan.member, loan.loan, {});
        }
    }
    EXPECT_EQ(test_support::ChecksumTables(name_), test_support::ChecksumTables(reference));
}

// The preview says what the repair would write, and writes nothing.
TEST_P(PortfolioRepairTest, PreviewShowsTheChangesAndWritesNothing) {
    const auto untouched = test_support::ChecksumTables(name_);
    Start();
    const std::vector<QJsonObject> out =
        Objects({"portfolio", "preview", "dump", "select 1", "preview", "dump", "select 2",
                 "preview", "dump", "leave"});
    ASSERT_EQ(out.size(), 5u);
    const auto preview = [](const QJsonObject& state) {
        return Text(state["portfolio"].toObject()["preview"]);
    };
    // 1010's schedule: instalments old -> new, balances unchanged.
    const std::string correction = preview(out[1]);
    EXPECT_EQ(correction.rfind(
                  "Vista previa: socio 00002, prestamo 1010, Corregir Tabla (no se ha escrito "
                  "nada)\ncuota 1: pagado capital 0.00 -> 3000.00, pagado interes 0.00 -> "
                  "270.00, total pagado 0.00 -> 3270.00\ncuota 2: ",
                  0),
              0u)
        << correction;
    EXPECT_NE(correction.find("\nbalance documentos 12000.00 -> 12000.00, balance cxc 12000.00 -> "
                              "12000.00"),
              std::string::npos)
        << correction;
    EXPECT_EQ(correction.find("CXCTRX"), std::string::npos) << correction;
    // 1070's ledger: two documents' rows missing, the receivable balance moved.
    const std::string rebuild = preview(out[2]);
    EXPECT_EQ(rebuild.rfind("Vista previa: socio 00010, prestamo 1070, Reindexar (no se ha "
                            "escrito nada)\n+ CXCTRX CLIENTE=00010, TIPO_DOC=R, DOCUMENTO=50485, ",
                            0),
              0u)
        << rebuild;
    EXPECT_NE(rebuild.find("\n+ CXCTRX CLIENTE=00010, TIPO_DOC=N, DOCUMENTO=2024071, "),
              std::string::npos)
        << rebuild;
    EXPECT_EQ(rebuild.find("- CXCTRX"), std::string::npos) << rebuild;
    EXPECT_NE(rebuild.find("\nbalance documentos 20000.00 -> 20000.00, balance cxc 30000.00 -> "
                           "20000.00\n"),
              std::string::npos)
        << rebuild;
    // 1071's ledger is off by under a cent: a row out, its right one in.
    const std::string off = preview(out[3]);
    EXPECT_NE(off.find("\n- CXCTRX CLIENTE=00010, "), std::string::npos) << off;
    EXPECT_NE(off.find("\n+ CXCTRX CLIENTE=00010, "), std::string::npos) << off;
    EXPECT_EQ(Listed(out[3]).size(), 4u);
    EXPECT_TRUE(out[3]["messages"].toArray().isEmpty());
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
    EXPECT_TRUE(JournalLines().empty());
}

// A journal that cannot be opened stops the run before any write; a loan
// that fails is rolled back alone and named, with the server's words, in
// the summary, and stays listed.
TEST_P(PortfolioRepairTest, SummaryNamesTheFailedLoanAndAnUnopenableJournalStopsEverything) {
    const std::string journal = journal_home_ + "/analisis-socios/reparaciones.jsonl";
    std::filesystem::create_directories(journal);  // a folder where the file should be
    const auto untouched = test_support::ChecksumTables(name_);
    Start();
    std::vector<QJsonObject> out =
        Objects({"portfolio", "select all", "answer yes", "repair", "dump", "leave"});
    ASSERT_EQ(out.size(), 3u);
    ASSERT_EQ(Boxes(out[1]).size(), 2u);
    EXPECT_EQ(Boxes(out[1])[0], (std::pair<std::string, std::string>{"confirm", kAllQuestion}));
    EXPECT_EQ(Boxes(out[1])[1].second.rfind("No se puede abrir el registro de reparaciones: ", 0),
              0u)
        << Boxes(out[1])[1].second;
    EXPECT_NE(Boxes(out[1])[1].second.find(journal), std::string::npos);
    EXPECT_EQ(Listed(out[1]).size(), 4u);
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);

    std::filesystem::remove(journal);
    Execute("create exception coop_test_failure 'falla de prueba'");
    Execute(
        "create trigger cxctrx_fail for cxctrx before insert as begin "
        "if (new.aplica = 1071) then exception coop_test_failure; end");
    out = Objects({"portfolio", "select all", "answer yes", "repair", "dump", "leave"});
    ASSERT_EQ(out.size(), 3u);
    const Boxes_t boxes = Boxes(out[1]);
    ASSERT_EQ(boxes.size(), 2u);
    const std::string& summary = boxes[1].second;
    EXPECT_EQ(summary.rfind("Reparados: 3\nOmitidos (ya sin diferencias): 0\nFallidos: 1\n"
                            "  00010 prestamo 1071: ",
                            0),
              0u)
        << summary;
    EXPECT_NE(summary.find("falla de prueba"), std::string::npos) << summary;
    EXPECT_EQ(summary.substr(summary.rfind('\n')), "\nNo alcanzados: 0");
    EXPECT_EQ(Listed(out[1]), (std::vector<std::string>{"1071 Reindexar"}));
    const std::vector<std::string> lines = JournalLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("\"loan\":1071,") != std::string::npos &&
                                       line.find("\"outcome\":\"rolled back\"") !=
                                           std::string::npos;
                            }),
              1);
}

// F3 lists the current loan's records, newest first; "Deshacer" puts the
// loan back as it was and is journaled; a record whose rows changed since
// is refused, changing nothing; the undo itself can be undone.
TEST_P(PortfolioRepairTest, HistoryUndoesARepairAndRefusesOnceItsRowsChanged) {
    const auto untouched = test_support::ChecksumTables(name_);
    Start();
    Objects({"portfolio", "choose 1"});  // 1070, which needs a rebuild
    Press("btreindexar");
    const auto repaired = test_support::ChecksumTables(name_);
    ASSERT_NE(repaired, untouched);

    const auto rows = [](const QJsonObject& state) {
        std::vector<std::string> shown;
        for (const QJsonValue& row : state["history"].toObject()["rows"].toArray()) {
            const QJsonArray cells = row.toArray();
            shown.push_back(Text(cells[2]) + " " + Text(cells[3]).substr(0, 9) + " " +
                            Text(cells[4]) + " -> " + Text(cells[5]) + " " + Text(cells[6]));
        }
        return shown;
    };
    std::vector<QJsonObject> out = Objects({"history", "answer yes", "undo", "dump", "select 1",
                                            "answer yes", "undo", "dump", "leave"});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(Text(out[0]["history"].toObject()["loan"]), "Socio: 00010   Prestamo: 1070");
    EXPECT_EQ(rows(out[0]),
              (std::vector<std::string>{AsShown("Reindexar Realizada 30,000.00 -> 20,000.00 "
                                                "3 borradas, 5 insertadas, 0 actualizadas")}));
    EXPECT_TRUE(out[0]["history"].toObject()["undo"].toBool());
    EXPECT_EQ(Boxes(out[1]), (Boxes_t{{"confirm", std::string(loans::kUndoConfirmation) + "1070?"},
                                      {"info", "Proceso Ejecutado"}}));
    EXPECT_EQ(rows(out[1]),
              (std::vector<std::string>{AsShown("Deshacer Realizada 20,000.00 -> 30,000.00 "
                                                "5 borradas, 3 insertadas, 0 actualizadas"),
                                        AsShown("Reindexar Deshecha  30,000.00 -> 20,000.00 "
                                                "3 borradas, 5 insertadas, 0 actualizadas")}));
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
    // Undone already: refused, and the refusal journaled.
    ASSERT_EQ(Boxes(out[2]).size(), 2u) << QJsonDocument(out[2]).toJson().toStdString();
    EXPECT_EQ(Boxes(out[2])[1].second,
              "Los movimientos o la tabla del prestamo 1070 cambiaron despues de la "
              "reparacion; no se deshace.");
    EXPECT_EQ(rows(out[2]).size(), 3u);
    EXPECT_EQ(rows(out[2])[0].rfind("Deshacer Revertida", 0), 0u) << rows(out[2])[0];
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
    // The window shows the loan as the undo left it.
    EXPECT_EQ(Label(out[3], "lbbal"), AsShown("Balance prestamo CXC: 30,000.00"));

    // Undoing the undo makes the repair again.
    out = Objects({"history", "select 1", "answer yes", "undo", "leave"});
    EXPECT_EQ(test_support::ChecksumTables(name_), repaired);
    EXPECT_EQ(JournalLines().size(), 4u);
}

// Amounts with three decimals come back exactly when a repair is undone,
// made from the window or from the dialog's list, and the preview and the
// history show their cents. The C library of a process on a Spanish desktop
// reads "1234.567" as 1234, so this proves something there (window.es_ES).
TEST_P(PortfolioRepairTest, UndoPutsBackAmountsOfThreeDecimalsExactly) {
    // The demo's receipts of 1071 and 1072 hold -2499.994 and -1999.997.
    Execute(
        "update renglones set ren_pagadocapital = 1234.567, ren_pagadointeres = 0.125, "
        "ren_totalpagado = 1234.692 where ren_prestamono = 1010 and ren_cuotano = 1");
    const auto untouched = test_support::ChecksumTables(name_);
    const Rows ledger = Movements(demo::kMemberMismatch, demo::kLoanMismatchOverHalfCent);
    const Rows schedule = Schedule(demo::kLoanAfterZero);
    Start();
    const auto history = [](const QJsonObject& state) {
        const QJsonArray cells = state["history"].toObject()["rows"].toArray()[0].toArray();
        return Text(cells[2]) + " " + Text(cells[4]) + " -> " + Text(cells[5]);
    };

    std::vector<QJsonObject> out = Objects({"portfolio", "select 0", "preview", "dump", "leave"});
    ASSERT_EQ(out.size(), 3u);
    const std::string preview = Text(out[1]["portfolio"].toObject()["preview"]);
    EXPECT_NE(preview.find("\ncuota 1: pagado capital 1234.57 -> 3000.00, "), std::string::npos)
        << preview;

    // From the window: each loan repaired, then undone from the history.
    for (const auto& [member, row, button] :
         {std::tuple{demo::kMemberMismatch, 1, "btreindexar"},
          std::tuple{demo::kMemberMismatch, 2, "btreindexar"},
          std::tuple{demo::kMemberLoanZeroFirst, 1, "btcorregir"}}) {
        Do({std::string("code ") + member, "loan " + std::to_string(row)});
        Press(button);
        out = Objects({"history", "answer yes", "undo", "dump", "leave"});
        ASSERT_EQ(out.size(), 3u);
        if (row == 1 && std::string(member) == demo::kMemberMismatch) {
            EXPECT_EQ(history(out[0]), AsShown("Reindexar 7,500.01 -> 7,500.00"));
        }
        EXPECT_EQ(history(out[1]).rfind("Deshacer ", 0), 0u) << history(out[1]);
        EXPECT_EQ(test_support::ChecksumTables(name_), untouched) << member << " row " << row;
    }

    // From the dialog's list (1010 and 1071), then undone from the history.
    out = Objects({"portfolio", "select 0 2", "answer yes", "repair", "leave"});
    ASSERT_NE(Movements(demo::kMemberMismatch, demo::kLoanMismatchOverHalfCent), ledger);
    ASSERT_NE(Schedule(demo::kLoanAfterZero), schedule);
    for (const auto& [member, row] :
         {std::pair{demo::kMemberMismatch, 1}, std::pair{demo::kMemberLoanZeroFirst, 1}}) {
        Do({std::string("code ") + member, "loan " + std::to_string(row)});
        Objects({"history", "answer yes", "undo", "leave"});
    }
    EXPECT_EQ(Movements(demo::kMemberMismatch, demo::kLoanMismatchOverHalfCent), ledger);
    EXPECT_EQ(Schedule(demo::kLoanAfterZero), schedule);
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
}

INSTANTIATE_TEST_SUITE_P(Routes, PortfolioRepairTest,
                         ::testing::Values(test_support::Route::kEmbedded,
                                           test_support::Route::kServer),
                         [](const auto& route) { return test_support::RouteName(route.param); });

}  // namespace

namespace {

using portfolio::PortfolioAccess;

// Runs the event loop until `done`, for a minute at most.
void WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 6000 && !done(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

// Cancel while the check is still under way: the dialog answers at once,
// and closes without a choice when the worker has let go of its connection.
TEST(PortfolioDialog, CancelStopsTheRunningCheckAndClosesWithoutAChoice) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        released.wait();
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    dialog.show();
    QApplication::processEvents();
    EXPECT_TRUE(access.Running());
    QTest::mouseClick(access.ButtonOf(PortfolioAccess::Button::Cancel), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible());  // still waiting for the worker
    EXPECT_EQ(access.Totals()->text(), "Cancelando...");
    release.set_value();
    WaitFor([&] { return !dialog.isVisible(); });
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(access.Running());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(access.Chosen().has_value());
    EXPECT_TRUE(access.Failure().empty());
}

// A database whose check takes well over a second, statements included,
// so that a cancel comes mid-check.
class PortfolioCancel : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new test_support::TempDir;
        path_ = new std::string(dir_->File("bench.fdb"));
        bench::BenchDatabaseSize size;
        size.members = kMembers;
        bench::BuildBenchDatabase(*path_, size, [](const std::string&, double) {});
    }
    static void TearDownTestSuite() {
        delete path_;
        path_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }
    // Every client call counted: a check that has made this many is
    // reading its rows, in the middle of a statement.
    void SetUp() override {
        calls_ = 0;
        db::SetCallStartObserver([] { ++calls_; });
    }
    void TearDown() override { db::SetCallStartObserver(nullptr); }
    static bool Reading() { return calls_ >= 1000; }

    static constexpr int kMembers = 6000;
    static inline test_support::TempDir* dir_ = nullptr;
    static inline std::string* path_ = nullptr;
    static inline std::atomic<long> calls_{0};
};

// The cancel ends the check where it is: it raises "cancelled", short of
// its end, instead of reading on.
TEST_F(PortfolioCancel, RunCheckEndsCancelledShortOfItsEnd) {
    using namespace std::chrono_literals;
    db::CallCanceller canceller;
    loans::CheckOptions options;
    options.canceller = &canceller;
    std::atomic<double> reached{0};
    auto run = std::async(std::launch::async, [&] {
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction transaction("IBTransaction1");
        loans::ConfigureProgramConnection(database, transaction, *path_);
        try {
            loans::RunCheck(
                database,
                [&](double done) {
                    reached = done;
                    return true;
                },
                options);
            return std::string("finished");
        } catch (const loans::ECheckCancelled&) {
            return std::string("cancelled");
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
    });
    while (!Reading() && run.wait_for(0s) != std::future_status::ready) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_NE(run.wait_for(0s), std::future_status::ready) << "the check ended before the cancel";
    canceller.Cancel();
    ASSERT_EQ(run.wait_for(60s), std::future_status::ready);
    EXPECT_EQ(run.get(), "cancelled");
    EXPECT_LT(reached.load(), 1.0);
}

// The click returns at once, the work still running: the window never
// waits for the statement under way. The dialog closes once the work has
// ended, without a list.
TEST_F(PortfolioCancel, DialogClosesOnceTheCancelledCheckHasEndedAndTheWindowNeverWaits) {
    const std::string path = *path_;
    portfolio::TFcartera dialog([path](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    dialog.show();
    WaitFor([&] { return Reading() || access.Finished(); });
    ASSERT_FALSE(access.Finished()) << "the check ended before the cancel";
    QTest::mouseClick(access.ButtonOf(PortfolioAccess::Button::Cancel), Qt::LeftButton);
    EXPECT_TRUE(access.Running());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(access.Totals()->text(), "Cancelando...");
    // Closed only once its work has ended.
    bool closed_while_running = false;
    WaitFor([&] {
        closed_while_running = closed_while_running || (!dialog.isVisible() && access.Running());
        return !dialog.isVisible();
    });
    EXPECT_FALSE(closed_while_running);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(access.Finished());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(access.Chosen().has_value());
    EXPECT_EQ(access.Failure(), "");
    EXPECT_EQ(access.List()->model()->rowCount(), 0);
}

// A dialog destroyed mid-check (the program ending) leaves nothing
// running: its destructor returns once its work has ended and let go of
// everything it held, the connection's setup included.
TEST_F(PortfolioCancel, DestroyingTheDialogMidCheckWaitsForItsWork) {
    const std::string path = *path_;
    const auto held = std::make_shared<int>(0);  // counts the setup's copies
    auto dialog = std::make_unique<portfolio::TFcartera>(
        [path, held](db::TIBDatabase& database, db::TIBTransaction& transaction) {
            loans::ConfigureProgramConnection(database, transaction, path);
        });
    const PortfolioAccess access(*dialog);
    dialog->show();
    WaitFor([&] { return Reading() || access.Finished(); });
    ASSERT_FALSE(access.Finished()) << "the check ended before the dialog went";
    ASSERT_TRUE(access.Running());
    EXPECT_GT(held.use_count(), 2);  // here, the dialog's, the worker thread's
    dialog.reset();
    EXPECT_EQ(held.use_count(), 1);
}

// Cancel during a repair run stops it before its next loan: what is done
// stays done, the rest is counted as not reached, and the dialog stays
// open on a fresh check.
TEST(PortfolioDialog, CancelDuringRepairsStopsBeforeTheNextLoanAndStaysOpen) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    const auto untouched = test_support::ChecksumTables(path);
    // The repair run's connection (the second the dialog sets up) waits
    // until Cancel has been pressed.
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> setups{0};
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        if (++setups == 2) released.wait();
        loans::ConfigureProgramConnection(database, transaction, path);
    });
    const PortfolioAccess access(dialog);
    struct Answers : ui::DialogResponder {
        void Information(const std::string& text) override { shown.push_back(text); }
        int Confirmation(const std::string&) override { return ui::kModalYes; }
        void Error(const std::string&, const std::string& text) override { shown.push_back(text); }
        std::vector<std::string> shown;
    } answers;
    ui::SetDialogResponder(&answers);
    dialog.show();
    WaitFor([&] { return access.Finished(); });
    access.List()->selectAll();
    EXPECT_TRUE(access.RepairSelected());
    QTest::mouseClick(access.ButtonOf(PortfolioAccess::Button::Cancel), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(access.Totals()->text(), "Deteniendo las reparaciones...");
    release.set_value();
    WaitFor([&] { return access.LastRepair().has_value() && !access.Running(); });
    ui::SetDialogResponder(nullptr);
    unsetenv("XDG_DATA_HOME");

    ASSERT_TRUE(access.LastRepair().has_value());
    EXPECT_EQ(access.LastRepair()->repaired, 0);
    EXPECT_EQ(access.LastRepair()->not_reached, 4);
    EXPECT_EQ(answers.shown,
              (std::vector<std::string>{"Reparados: 0\nOmitidos (ya sin diferencias): 0\n"
                                        "Fallidos: 0\nNo alcanzados: 4"}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(access.List()->model()->rowCount(), 4);
    EXPECT_EQ(test_support::ChecksumTables(path), untouched);
    dialog.reject();
}

// The application told to quit while the dialog repairs, its loop running
// as in the program: the dialog lets the quit through (a window that stays
// open would refuse it), and once gone it has finished the loan under way
// (the one with 1,100 receipts, caught in the middle of its writes) as one
// unit and started no other.
TEST(PortfolioDialog, QuitDuringRepairsGoesThroughAndTheLoanUnderWayIsFinishedWhole) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    UnsettleManyDocumentsLoan(path);
    const std::string reference = dir.File("reference.fdb");
    std::filesystem::copy_file(path, reference);
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    static std::atomic<long> calls{0};
    QWidget window;  // the main window it shows over
    window.show();
    auto dialog = std::make_unique<portfolio::TFcartera>(
        [&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
            loans::ConfigureProgramConnection(database, transaction, path);
        },
        &window);
    const PortfolioAccess access(*dialog);
    struct Answers : ui::DialogResponder {
        void Information(const std::string&) override {}
        int Confirmation(const std::string&) override { return ui::kModalYes; }
        void Error(const std::string&, const std::string&) override {}
    } answers;
    ui::SetDialogResponder(&answers);
    dialog->show();
    WaitFor([&] { return access.Finished(); });
    access.List()->sortByColumn(0, Qt::DescendingOrder);  // the large loan first
    access.List()->selectAll();
    ASSERT_EQ(access.SelectedRows().size(), 5u);
    ASSERT_EQ(access.SelectedRows()[0].loan, demo::kLoanManyDocuments);
    db::SetCallStartObserver([] { ++calls; });
    ASSERT_TRUE(access.RepairSelected());
    WaitFor([&] { return calls >= 500 || !access.Running(); });
    db::SetCallStartObserver(nullptr);
    ASSERT_TRUE(access.Running()) << "the run ended before the quit";
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    // A quit refused would leave the loop running: it is ended here instead.
    QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(dialog->isVisible());
    dialog.reset();
    ui::SetDialogResponder(nullptr);

    std::vector<std::string> lines;
    std::ifstream journal(dir.File("data") + "/analisis-socios/reparaciones.jsonl");
    for (std::string line; std::getline(journal, line);) lines.push_back(line);
    unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"loan\":" + std::to_string(demo::kLoanManyDocuments) + ","),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[0].find("\"outcome\":\"done\""), std::string::npos) << lines[0];
    {
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction transaction("IBTransaction1");
        loans::ConfigureProgramConnection(database, transaction, reference);
        database.Open();
        for (const loans::LoanCheck& loan : loans::RunCheck(database).Flagged()) {
            if (loan.loan != demo::kLoanManyDocuments) continue;
            loans::RepairUnit(database).Run(loans::RepairsFor(loan), loan.member, loan.loan, {});
        }
    }
    EXPECT_EQ(test_support::ChecksumTables(path), test_support::ChecksumTables(reference));
}

TEST(PortfolioDialog, FailureIsShownInTheDialog) {
    test_support::TempDir dir;
    portfolio::TFcartera dialog([&](db::TIBDatabase& database, db::TIBTransaction& transaction) {
        loans::ConfigureProgramConnection(database, transaction, dir.File("no-existe.fdb"));
    });
    const PortfolioAccess access(dialog);
    dialog.show();
    WaitFor([&] { return access.Finished(); });
    ASSERT_TRUE(access.Finished());
    EXPECT_FALSE(access.Failure().empty());
    EXPECT_TRUE(access.Totals()->text().startsWith("No se pudo revisar la cartera: "));
    EXPECT_EQ(access.List()->model()->rowCount(), 0);
    EXPECT_FALSE(access.ButtonOf(PortfolioAccess::Button::Export)->isEnabled());
    EXPECT_EQ(access.ButtonOf(PortfolioAccess::Button::Cancel)->text(), "&Cerrar");
}

}  // namespace
