// The dialog's repairs, previews, history and undo through the window, on
// either route.
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>

#include "loans/repairs/bulk_repair.h"
#include "loans/rules/repair_statements.h"
#include "repair_history/history_access.h"
#include "tests/main_window/repair_fixture.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/table_checksums.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

// Repairs and previews from the dialog, through either route, with the
// journal in the test's own folder.
class PortfolioRepairTest : public RepairTest {
  protected:
    void SetUp() override {
        RepairTest::SetUp();
        if (!IsSkipped() && !records_in_database_) test_support::DropRecordTables(name_);
    }
    bool records_in_database_ = false;
    // "loan repair" per listed row.
    static std::vector<std::string> Listed(const QJsonObject& state) {
        std::vector<std::string> shown;
        for (const QJsonValue& row : state["portfolio"].toObject()["rows"].toArray()) {
            shown.push_back(Text(row.toArray()[2]) + " " + Text(row.toArray()[7]));
        }
        return shown;
    }
    // The preview's lines, each as its cells (UTF-8: the old -> new arrow
    // is no Latin-1 character).
    static std::vector<std::vector<std::string>> PreviewLines(const QJsonObject& state) {
        std::vector<std::vector<std::string>> lines;
        for (const QJsonValue& row : state["portfolio"].toObject()["preview"].toArray()) {
            std::vector<std::string> cells;
            for (const QJsonValue& cell : row.toArray()) {
                cells.push_back(cell.toString().toUtf8().toStdString());
            }
            lines.push_back(cells);
        }
        return lines;
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
              "Pr\xE9stamos revisados: 50   Con diferencias: 0   Reindexar: 0   Corregir Tabla: 0");
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

// The preview says, as a table and for every loan selected, why each loan
// is listed, what its repair would write (ledger rows out and in, paid
// amounts old -> new, both balances), and writes nothing.
TEST_P(PortfolioRepairTest, PreviewShowsTheChangesOfEachSelectedLoanAndWritesNothing) {
    const auto untouched = test_support::ChecksumTables(name_);
    Start();
    const std::vector<QJsonObject> out =
        Objects({"portfolio", "preview", "dump", "select 1", "preview", "dump", "select 2 3",
                 "preview", "dump", "leave"});
    ASSERT_EQ(out.size(), 5u);
    using Lines = std::vector<std::vector<std::string>>;
    const std::string arrow = " \xE2\x86\x92 ";  // UTF-8, as each cell below
    const auto change = [&arrow](const char* before, const char* after) {
        return AsShown(before) + arrow + AsShown(after);
    };
    const auto words = [](const char* member, const char* loan, const char* subject,
                          const std::string& text) {
        return std::vector<std::string>{member, loan, subject, text, "", "", "", ""};
    };
    // Nothing selected: the current row, 1010, whose schedule's paid
    // amounts were never written.
    EXPECT_EQ(
        PreviewLines(out[1]),
        (Lines{words("00002", "1010", "Motivo",
                     AsShown("Cuota 1: la tabla dice pagado 0.00, los documentos 3,270.00")),
               words("00002", "1010", "Motivo",
                     AsShown("Cuota 2: la tabla dice pagado 0.00, los documentos 3,225.00")),
               words("00002", "1010", "Cuota 1",
                     "pagado capital " + change("0.00", "3,000.00") + "; pagado inter\xC3\xA9s " +
                         change("0.00", "270.00") + "; total pagado " + change("0.00", "3,270.00")),
               words("00002", "1010", "Cuota 2",
                     "pagado capital " + change("0.00", "3,000.00") + "; pagado inter\xC3\xA9s " +
                         change("0.00", "225.00") + "; total pagado " + change("0.00", "3,225.00")),
               words("00002", "1010", "Balance documentos", change("12,000.00", "12,000.00")),
               words("00002", "1010", "Balance CXC", change("12,000.00", "12,000.00"))}));
    // 1070's ledger lacks two documents' rows: they come, the balance moves.
    EXPECT_EQ(PreviewLines(out[2]),
              (Lines{words("00010", "1070", "Motivo",
                           AsShown("CXC dice 30,000.00 y los documentos 20,000.00: difieren en "
                                   "10,000.00")),
                     {"00010", "1070", "Entra en CXC", "50485", "R Recibos Ingreso", "04/06/2024",
                      AsShown("-5,000.00"), AsShown("-450.00")},
                     {"00010", "1070", "Entra en CXC", "2024071", "N Nominas", "01/07/2024",
                      AsShown("-5,000.00"), AsShown("-375.00")},
                     words("00010", "1070", "Balance documentos", change("20,000.00", "20,000.00")),
                     words("00010", "1070", "Balance CXC", change("30,000.00", "20,000.00"))}));
    // Two loans at once: 1071's ledger is off by under a cent (a row goes,
    // its right one comes); 1073 has no ledger rows at all.
    EXPECT_EQ(
        PreviewLines(out[3]),
        (Lines{words("00010", "1071", "Motivo",
                     AsShown("CXC dice 7,500.01 y los documentos 7,500.00: difieren en 0.01")),
               {"00010", "1071", "Sale de CXC", "50486", "R Recibos Ingreso", "16/12/2023",
                AsShown("-2,499.99"), AsShown("-150.00")},
               {"00010", "1071", "Entra en CXC", "50486", "R Recibos Ingreso", "16/12/2023",
                AsShown("-2,500.00"), AsShown("-150.00")},
               words("00010", "1071", "Balance documentos", change("7,500.00", "7,500.00")),
               words("00010", "1071", "Balance CXC", change("7,500.01", "7,500.00")),
               words("00010", "1073", "Motivo",
                     AsShown("CXC dice 0.00 y los documentos 3,000.00: difieren en 3,000.00")),
               {"00010", "1073", "Entra en CXC", "1073", "F Prestamo", "01/12/2022",
                AsShown("3,000.00"), AsShown("0.00")},
               words("00010", "1073", "Balance documentos", change("3,000.00", "3,000.00")),
               words("00010", "1073", "Balance CXC", change("0.00", "3,000.00"))}));
    EXPECT_EQ(out[3]["portfolio"].toObject()["progress"].toInt(), 100);
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
    EXPECT_EQ(Boxes(out[1])[1].second.rfind(
                  "No se pudo reparar: No se pudo escribir el registro de reparaciones ", 0),
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
                            "  00010 pr\xE9stamo 1071: ",
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
            shown.push_back(Text(cells[3]) + " " + Text(cells[4]).substr(0, 9) + " " +
                            Text(cells[5]) + " -> " + Text(cells[6]) + " " + Text(cells[7]));
        }
        return shown;
    };
    std::vector<QJsonObject> out =
        Objects({"history", "answer yes", "undo", "dump", "select 1", "dump", "leave"});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(Text(out[0]["history"].toObject()["loan"]), "Socio: 00010   Pr\xE9stamo: 1070");
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
    // Undone already: "Deshacer" is not offered for it.
    EXPECT_FALSE(out[2]["history"].toObject()["undo"].toBool());
    EXPECT_EQ(Boxes(out[2]).size(), 0u);
    // The window shows the loan as the undo left it.
    EXPECT_EQ(Label(out[3], "lbbal"), AsShown("Balance prestamo CXC: 30,000.00"));

    // Undoing the undo makes the repair again; the repair itself, undone
    // once, is still not offered (it would revert it a second time).
    out = Objects({"history", "select 0", "answer yes", "undo", "select 2", "dump", "leave"});
    EXPECT_EQ(test_support::ChecksumTables(name_), repaired);
    EXPECT_EQ(rows(out[1]).size(), 3u);
    EXPECT_FALSE(out[1]["history"].toObject()["undo"].toBool());
    EXPECT_EQ(JournalLines().size(), 3u);
}

// F3 shows every title and text whole, and opens again at the size and
// widths the analyst left it with, until Ctrl+0 (pressed in the dialog,
// owned by the main window as F3 makes it: the window's own Ctrl+0 must not
// take the key).
TEST_P(PortfolioRepairTest, HistoryOpensWithWholeTitlesAndAsTheAnalystLeftIt) {
    Start();
    Objects({"portfolio", "choose 1"});
    Press("btreindexar");
    // The list beside the window would be the active window.
    for (QDialog* open : window_->findChildren<QDialog*>()) open->close();
    loans::RecordStore records(Window().Connection());
    const auto open = [&] {
        return std::make_unique<repair_history::TFhistorial>(
            demo::kMemberMismatch, 1070, records, [](const loans::RepairRecord&) { return false; },
            window_.get());
    };
    const auto widths = [](repair_history::TFhistorial& dialog) {
        const QTableView& list = *repair_history::HistoryAccess(dialog).List();
        std::vector<int> all;
        for (int column = 0; column < list.model()->columnCount(); ++column) {
            all.push_back(list.columnWidth(column));
        }
        return all;
    };
    auto dialog = open();
    dialog->show();
    const QTableView& list = *repair_history::HistoryAccess(*dialog).List();
    ASSERT_EQ(list.model()->rowCount(), 1);
    for (int column = 0; column < list.model()->columnCount(); ++column) {
        EXPECT_GE(list.columnWidth(column), list.horizontalHeader()->sectionSizeHint(column))
            << column;
        EXPECT_GE(list.columnWidth(column),
                  static_cast<const QAbstractItemView&>(list).sizeHintForColumn(column))
            << column;
    }
    const QSize first_size = dialog->size();
    const std::vector<int> first_widths = widths(*dialog);
    dialog->resize(first_size + QSize(60, 40));
    repair_history::HistoryAccess(*dialog).List()->setColumnWidth(3, 250);
    std::vector<int> left = widths(*dialog);
    dialog->reject();

    dialog = open();
    EXPECT_EQ(dialog->size(), first_size + QSize(60, 40));
    dialog->show();
    EXPECT_EQ(widths(*dialog)[3], 250);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClick(repair_history::HistoryAccess(*dialog).List(), Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(dialog->size(), first_size);
    EXPECT_EQ(widths(*dialog)[3], first_widths[3]);
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
        return Text(cells[3]) + " " + Text(cells[5]) + " -> " + Text(cells[6]);
    };

    std::vector<QJsonObject> out = Objects({"portfolio", "select 0", "preview", "dump", "leave"});
    ASSERT_EQ(out.size(), 3u);
    const std::vector<std::vector<std::string>> preview = PreviewLines(out[1]);
    ASSERT_GE(preview.size(), 3u);
    EXPECT_EQ(preview[0][3],
              AsShown("Cuota 1: la tabla dice pagado 1,234.69, los documentos 3,270.00"));
    EXPECT_EQ(preview[2][3].rfind(AsShown("pagado capital 1,234.57 \xE2\x86\x92 3,000.00; "
                                          "pagado inter\xC3\xA9s 0.13 \xE2\x86\x92 270.00; "),
                                  0),
              0u)
        << preview[2][3];

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

// Kept in the database's table: a repair by one analyst is listed in a
// colleague's history, with who made it and from where, and can be undone
// there, once; nothing goes to either computer's journal.
class RecordsTableTest : public PortfolioRepairTest {
  protected:
    RecordsTableTest() { records_in_database_ = true; }
};

TEST_P(RecordsTableTest, AColleaguesRepairIsListedWithItsUserAndUndoneThereOnce) {
    const auto untouched = test_support::ChecksumTables(name_);
    analyst_.reset();
    auto login = std::make_unique<test_support::AnalystLogin>(name_);
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    Press("btreindexar");
    const auto repaired = test_support::ChecksumTables(name_);
    ASSERT_NE(repaired, untouched);
    const std::string repair = RawConnection(name_).QueryText("select id from reparaciones");
    EXPECT_EQ(RawConnection(name_).QueryRows(
                  "select usuario, rol, socio, prestamo, accion, deshace, filas_borradas, "
                  "filas_insertadas from reparaciones"),
              (Rows{"ANALISTA_PRUEBA|ANALISTA_SOCIOS|00010|1070|Reindexar|<null>|3|5"}));
    EXPECT_GT(RawConnection(name_).QueryCount("select count(*) from reparaciones_imagenes"), 0);
    CloseWindow();

    // The colleague, on a window of their own.
    login.reset();
    login = std::make_unique<test_support::AnalystLogin>(name_, test_support::kSecondAnalystUser);
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    std::vector<QJsonObject> out =
        Objects({"history", "answer yes", "undo", "dump", "select 1", "dump", "leave"});
    ASSERT_EQ(out.size(), 4u);
    const QJsonObject listed = out[0]["history"].toObject();
    EXPECT_EQ(Text(listed["origin"]), "Registros de la base de datos (todos los usuarios)");
    ASSERT_EQ(listed["rows"].toArray().size(), 1);
    const QJsonArray first = listed["rows"].toArray()[0].toArray();
    EXPECT_EQ(Text(first[1]), "ANALISTA_PRUEBA");
    EXPECT_FALSE(Text(first[2]).empty());  // the computer it was made from
    EXPECT_EQ(Text(first[3]), "Reindexar");
    EXPECT_EQ(Boxes(out[1]), (Boxes_t{{"confirm", std::string(loans::kUndoConfirmation) + "1070?"},
                                      {"info", "Proceso Ejecutado"}}));
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
    EXPECT_EQ(RawConnection(name_).QueryRows(
                  "select usuario, accion, deshace from reparaciones where deshace is not null"),
              (Rows{"ANALISTA_DOS|Deshacer|" + repair}));
    EXPECT_FALSE(out[2]["history"].toObject()["undo"].toBool());
    EXPECT_FALSE(std::filesystem::exists(journal_home_ + "/analisis-socios/reparaciones.jsonl"));
}

// Where repairs need approval: the analyst's "Reindexar", the dialog's
// "Reparar" and its preview write nothing to the books; the loan shows its
// pending request in the status bar, F3 lists what became of each request,
// and F4 approves or rejects, as the server allows: a supervisor, never the
// analyst.
class ApprovalWindowTest : public PortfolioRepairTest {
  protected:
    ApprovalWindowTest() { records_in_database_ = true; }
    void SetUp() override {
        PortfolioRepairTest::SetUp();
        if (IsSkipped()) return;
        test_support::RunSqlScript(name_, "aprobacion.sql");
        analyst_.reset();
    }
    // The request's row of F3's or F4's list: number, user, member, loan,
    // repair, state.
    static std::string Request(const QJsonArray& row) {
        return Text(row[0]) + " " + Text(row[2]) + " " + Text(row[4]) + " " + Text(row[5]) + " " +
               Text(row[6]) + " " + Text(row[7]);
    }
    static std::vector<std::string> Requests(const QJsonObject& list) {
        std::vector<std::string> rows;
        for (const QJsonValue& row : list["rows"].toArray()) rows.push_back(Request(row.toArray()));
        return rows;
    }
    static std::vector<std::string> HistoryRequests(const QJsonObject& state) {
        std::vector<std::string> rows;
        for (const QJsonValue& row : state["history"].toObject()["requests"].toArray()) {
            rows.push_back(Request(row.toArray()));
        }
        return rows;
    }
};

TEST_P(ApprovalWindowTest, RepairsBecomeRequestsThatASupervisorApprovesOrRejects) {
    const auto untouched = test_support::ChecksumTables(name_);
    auto login = std::make_unique<test_support::AnalystLogin>(name_);
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    QJsonObject state = Press("btreindexar");
    Boxes_t boxes = Boxes(state);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], (std::pair<std::string, std::string>{
                            "confirm", std::string(kRebuildQuestion) + "1070?"}));
    EXPECT_EQ(boxes[1].second.rfind("Solicitud registrada: requiere aprobaci\xF3n.\n\nSolicitud 1: "
                                    "Reindexar del pr\xE9stamo 1070 del socio 00010.",
                                    0),
              0u)
        << boxes[1].second;
    EXPECT_EQ(Text(state["pendiente"]),
              "Pendiente de aprobaci\xF3n: Reindexar (solicitud 1 de ANALISTA_PRUEBA)");
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
    // Asked again: refused, naming the first.
    boxes = Boxes(Press("btreindexar"));
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].first, "error");
    EXPECT_NE(boxes[1].second.find("Ya hay una solicitud abierta de Reindexar para el pr\xE9stamo "
                                   "1070: la 1, de ANALISTA_PRUEBA"),
              std::string::npos)
        << boxes[1].second;
    // Another loan of the member shows none pending.
    state = Show(demo::kMemberMismatch, demo::kLoanMismatchOverHalfCent);
    EXPECT_EQ(Text(state["pendiente"]), "");

    // The dialog's preview, worked out without writing, and its "Reparar":
    // the other three loans filed, 1070 refused.
    std::vector<QJsonObject> out = Objects(
        {"portfolio", "select all", "preview", "dump", "answer yes", "repair", "dump", "leave"});
    ASSERT_EQ(out.size(), 4u);
    EXPECT_FALSE(PreviewLines(out[1]).empty());
    boxes = Boxes(out[2]);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].second,
              "Se registrar\xE1n solicitudes de reparaci\xF3n, que requieren aprobaci\xF3n, para 4 "
              "pr\xE9stamos: 3 con Reindexar, 1 con Corregir Tabla. \xBF"
              "Desea continuar?");
    EXPECT_EQ(boxes[1].second.rfind("3 solicitudes registradas: requieren aprobaci\xF3n\n"
                                    "Omitidos (ya sin diferencias): 0\nRechazados: 1\n"
                                    "  00010 pr\xE9stamo 1070: Ya hay una solicitud abierta",
                                    0),
              0u)
        << boxes[1].second;
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);

    // The analyst may look at the requests, not approve them.
    out = Objects({"requests", "select 0", "answer yes", "approve", "dump", "leave"});
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(Requests(out[0]["requests"].toObject()),
              (std::vector<std::string>{
                  "1 ANALISTA_PRUEBA 00010 1070 Reindexar Pendiente de aprobaci\xF3n",
                  "2 ANALISTA_PRUEBA 00002 1010 Corregir Tabla Pendiente de aprobaci\xF3n",
                  "3 ANALISTA_PRUEBA 00010 1071 Reindexar Pendiente de aprobaci\xF3n",
                  "4 ANALISTA_PRUEBA 00010 1073 Reindexar Pendiente de aprobaci\xF3n"}));
    EXPECT_FALSE(out[0]["requests"].toObject()["preview"].toArray().isEmpty());
    boxes = Boxes(out[1]);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].first, "error");
    EXPECT_NE(boxes[1].second.find("Solo un supervisor"), std::string::npos) << boxes[1].second;
    EXPECT_EQ(test_support::ChecksumTables(name_), untouched);
    CloseWindow();

    // A supervisor approves 1070's and rejects 1071's, with the reason.
    login.reset();
    login = std::make_unique<test_support::AnalystLogin>(name_, test_support::kSupervisorUser,
                                                         test_support::kSupervisorRole);
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    out = Objects({"requests", "select 0", "answer yes", "approve", "dump", "select 1",
                   "reject No corresponde", "dump", "leave"});
    ASSERT_EQ(out.size(), 4u);
    boxes = Boxes(out[1]);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].second,
              "\xBF"
              "Aprobar la solicitud 1: Reindexar del pr\xE9stamo 1070 del socio 00010?");
    EXPECT_EQ(boxes[1], (std::pair<std::string, std::string>{
                            "info", "Solicitud 1 aprobada. Proceso Ejecutado"}));
    EXPECT_EQ(Requests(out[1]["requests"].toObject()).size(), 3u);
    EXPECT_EQ(Boxes(out[2]),
              (Boxes_t{{"input",
                        "Motivo del rechazo de la solicitud 3 (Reindexar del pr\xE9stamo "
                        "1071):"},
                       {"info", "Solicitud 3 rechazada."}}));
    EXPECT_EQ(Requests(out[2]["requests"].toObject()).size(), 2u);
    // The loan shown was read again: its books agree now.
    state = Do({});
    EXPECT_EQ(Text(state["pendiente"]), "");
    EXPECT_EQ(Text(state["lbmensajes"].toObject()["text"]), "");
    EXPECT_EQ(RawConnection(name_).QueryRows("select usuario, accion from reparaciones"),
              (Rows{"SUPERVISOR_UNO|Reindexar"}));
    CloseWindow();

    // The analyst's history says what became of each.
    login.reset();
    login = std::make_unique<test_support::AnalystLogin>(name_);
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    out = Objects({"history", "leave"});
    ASSERT_EQ(out.size(), 2u);
    const std::vector<std::string> approved = HistoryRequests(out[0]);
    ASSERT_EQ(approved.size(), 1u);
    EXPECT_EQ(approved[0].rfind("1 ANALISTA_PRUEBA 00010 1070 Reindexar Aprobada por "
                                "SUPERVISOR_UNO el ",
                                0),
              0u)
        << approved[0];
    Show(demo::kMemberMismatch, demo::kLoanMismatchOverHalfCent);
    out = Objects({"history", "leave"});
    const std::vector<std::string> rejected = HistoryRequests(out[0]);
    ASSERT_EQ(rejected.size(), 1u);
    EXPECT_EQ(rejected[0].rfind("3 ANALISTA_PRUEBA 00010 1071 Reindexar Rechazada por "
                                "SUPERVISOR_UNO el ",
                                0),
              0u)
        << rejected[0];
    EXPECT_NE(rejected[0].find(": No corresponde"), std::string::npos) << rejected[0];
    CloseWindow();

    // A site's role that may not read the requests still sees its loans.
    RawConnection(name_).Execute("revoke select on solicitudes from role analista_socios");
    Start();
    state = Show(demo::kMemberMismatch, demo::kLoanWithoutMovements);
    EXPECT_TRUE(Boxes(state).empty());
    EXPECT_EQ(Text(state["pendiente"]), "");
    EXPECT_FALSE(Grid(state, "DBGrid2")["rows"].toArray().isEmpty() &&
                 Grid(state, "DBGrid3")["rows"].toArray().isEmpty());
    EXPECT_EQ(Label(state, "lbbal").empty(), false);
}

INSTANTIATE_TEST_SUITE_P(Routes, ApprovalWindowTest,
                         ::testing::Values(test_support::Route::kEmbedded,
                                           test_support::Route::kServer),
                         [](const auto& route) { return test_support::RouteName(route.param); });

INSTANTIATE_TEST_SUITE_P(Routes, RecordsTableTest,
                         ::testing::Values(test_support::Route::kEmbedded,
                                           test_support::Route::kServer),
                         [](const auto& route) { return test_support::RouteName(route.param); });

INSTANTIATE_TEST_SUITE_P(Routes, PortfolioRepairTest,
                         ::testing::Values(test_support::Route::kEmbedded,
                                           test_support::Route::kServer),
                         [](const auto& route) { return test_support::RouteName(route.param); });

}  // namespace
