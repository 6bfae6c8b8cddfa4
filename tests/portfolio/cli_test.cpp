// revision-cartera as a user runs it: exit codes, CSV on standard output or
// in a file, messages on standard error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "loans/history/run_report.h"
#include "loans/records/repair_journal.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/table_checksums.h"
#include "tools/bench_db/bench_database.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

using ToolRun = test_support::CommandRun;

// Runs the tool in `dir` with the given arguments (already quoted).
ToolRun RunTool(const test_support::TempDir& dir, const std::string& arguments) {
    return test_support::RunCommand(dir, "'" COOP_REVISION_CARTERA "' " + arguments);
}

const char* const kDemoCsv =
    "socio,nombre,prestamo,balance_documentos,balance_cxc,diferencia,cuotas_distintas,reparacion\n"
    "00002,MAR\xC3\x8D"
    "A ALTAGRACIA RODR\xC3\x8DGUEZ DE LA CRUZ,1010,12000.00,12000.00,0.00,2,"
    "Corregir Tabla\n"
    "00010,JUAN BAUTISTA HERN\xC3\x81NDEZ "
    "RAM\xC3\x8DREZ,1070,20000.00,30000.00,10000.00,0,Reindexar\n"
    "00010,JUAN BAUTISTA HERN\xC3\x81NDEZ RAM\xC3\x8DREZ,1071,7500.00,7500.01,0.01,0,Reindexar\n"
    "00010,JUAN BAUTISTA HERN\xC3\x81NDEZ RAM\xC3\x8DREZ,1073,3000.00,0.00,-3000.00,0,Reindexar\n";

TEST(RevisionCartera, FlaggedLoansGoToStandardOutputWithExitCodeOne) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    const ToolRun run = RunTool(dir, "'" + path + "'");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, kDemoCsv);
    // Not a terminal: no progress bar, only the closing count.
    EXPECT_EQ(run.err, "50 pr\xC3\xA9stamos revisados, 4 con diferencias\n") << run.err;
}

TEST(RevisionCartera, ReadsDbIniAndWritesTheFileNamedByCsv) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    std::ofstream(dir.File("db.ini"), std::ios::binary) << "[base]\n" << path << "\r\n";
    ToolRun run = RunTool(dir, "--csv lista.csv --xlsx lista.xlsx");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(test_support::ReadFile(dir.File("lista.csv")), kDemoCsv);
    // The workbook beside it: the same rows, codes as text, amounts as numbers.
    const std::string sheet =
        portfolio_test::WorkbookPart(dir, dir.File("lista.xlsx"), "xl/worksheets/sheet1.xml");
    const std::string strings =
        portfolio_test::WorkbookPart(dir, dir.File("lista.xlsx"), "xl/sharedStrings.xml");
    for (const char* cell :
         {"<c r=\"A2\" t=\"s\">", "<c r=\"C2\"><v>1010</v></c>",
          "<c r=\"D2\" s=\"2\"><v>12000</v></c>", "<c r=\"G2\"><v>2</v></c>",
          "<c r=\"F4\" s=\"2\"><v>0.01</v></c>", "<c r=\"F5\" s=\"2\"><v>-3000</v></c>",
          "<autoFilter ref=\"A1:H5\"/>"}) {
        EXPECT_NE(sheet.find(cell), std::string::npos) << cell << "\n" << sheet;
    }
    for (const char* text : {"<t>00002</t>", "<t>00010</t>",
                             "<t>MAR\xC3\x8D"
                             "A ALTAGRACIA RODR\xC3\x8DGUEZ DE LA CRUZ</t>"}) {
        EXPECT_NE(strings.find(text), std::string::npos) << text << "\n" << strings;
    }
    // With the CSV on standard output.
    run = RunTool(dir, "--xlsx otra.xlsx");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, kDemoCsv);
    EXPECT_EQ(portfolio_test::WorkbookPart(dir, dir.File("otra.xlsx"), "xl/worksheets/sheet1.xml"),
              sheet);
}

// The program's db.ini search and login: db.ini from the user's
// configuration folder, a conexion.ini others can read refused.
TEST(RevisionCartera, FindsDbIniAndLogsInAsTheProgramDoes) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    ASSERT_NE(config_home, nullptr);  // the tests' own (private_home.cpp)
    const std::string folder = std::string(config_home) + "/analisis-socios";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/db.ini") << path << "\n";
    ToolRun run = RunTool(dir, "");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, kDemoCsv);

    std::ofstream(dir.File("conexion.ini")) << "user_name=sysdba\npassword=plumbrid\n";
    std::filesystem::permissions(dir.File("conexion.ini"), std::filesystem::perms(0644));
    run = RunTool(dir, "");
    std::filesystem::remove_all(folder);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("chmod 600 " + dir.File("conexion.ini")), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("contrase\xC3\xB1"
                           "a"),
              std::string::npos)
        << "UTF-8: " << run.err;
    EXPECT_EQ(run.err.find("plumbrid"), std::string::npos) << run.err;
}

TEST(RevisionCartera, ServerRouteLogsInAsTheEnvironmentsAnalyst) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    const std::string name = test_support::DatabaseName(test_support::Route::kServer, path);
    const test_support::AnalystLogin analyst(name);
    ToolRun run = RunTool(dir, "'" + name + "'");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, kDemoCsv);
    // The same user with a wrong password is turned away.
    setenv("ISC_PASSWORD", "otra", 1);
    run = RunTool(dir, "'" + name + "'");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err.find("otra"), std::string::npos) << run.err;
}

TEST(RevisionCartera, BooksThatAgreeGiveTheHeaderAloneAndExitCodeZero) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    portfolio_test::CorrectSchedule(path, demo::kLoanAfterZero);
    for (int32_t loan : {demo::kLoanMismatchMissingDocs, demo::kLoanMismatchOverHalfCent,
                         demo::kLoanWithoutMovements}) {
        portfolio_test::Reindex(path, demo::kMemberMismatch, loan);
    }
    const ToolRun run = RunTool(dir, "'" + path + "'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, std::string(loans::kCsvHeader) + "\n");
}

TEST(RevisionCartera, HelpAndVersionAnswerWithoutADatabase) {
    test_support::TempDir dir;
    ToolRun run = RunTool(dir, "--version");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "revision-cartera " COOP_VERSION "\n");
    run = RunTool(dir, "--help");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out.rfind("uso: revision-cartera", 0), 0u) << run.out;
    // In Spanish as it is written, UTF-8.
    for (const char* word : {"pr\xC3\xA9stamo", "due\xC3\xB1o",
                             "se\xC3\xB1"
                             "al",
                             "est\xC3\xA1ndar", "revisi\xC3\xB3n", "\xC3\xBAltima"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word << "\n" << run.out;
    }
    for (const char* word : {"dueno", "senal", "prestamo", "estandar", "revision ", "ultima"}) {
        EXPECT_EQ(run.out.find(word), std::string::npos) << word << "\n" << run.out;
    }
}

TEST(RevisionCartera, ErrorsGiveExitCodeTwoAndAMessage) {
    test_support::TempDir dir;
    ToolRun run = RunTool(dir, "'" + dir.File("no-existe.fdb") + "'");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("revision-cartera: ", 0), 0u) << run.err;

    run = RunTool(dir, "");  // no db.ini here, nor in the configuration folders
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err.rfind("revision-cartera: db.ini: File not found.\n", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("/analisis-socios/db.ini"), std::string::npos) << run.err;

    // An option it does not know, and a report file named by nothing (once
    // written silently to standard output).
    for (const char* arguments : {"--desconocida", "--csv ''", "--csv", "--xlsx ''", "--xlsx"}) {
        run = RunTool(dir, arguments);
        EXPECT_EQ(run.exit_code, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_NE(run.err.find("uso: revision-cartera"), std::string::npos) << arguments;
    }

    const std::string path = portfolio_test::NewDemoDatabase(dir);
    run = RunTool(dir, "--csv '" + dir.File("falta/lista.csv") + "' '" + path + "'");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.err.find(dir.File("falta/lista.csv") + ": " + std::strerror(ENOENT)),
              std::string::npos)
        << run.err;
    // A workbook that cannot be written: nothing else is, not even the CSV.
    run = RunTool(dir,
                  "--xlsx '" + dir.File("falta/lista.xlsx") + "' --csv lista.csv '" + path + "'");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(dir.File("falta/lista.xlsx") + ": " + std::strerror(ENOENT)),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("lista.csv")));
}

// --reparar: a preview that writes nothing, the repairs one line per loan,
// a second run with nothing left; --deshacer of one of them, refused the
// second time; and the option mistakes.
TEST(RevisionCartera, RepairsPreviewsAndUndoesFromTheCommandLine) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    const auto before = test_support::ChecksumTables(path);
    ToolRun run = RunTool(dir, "--reparar --simular '" + path + "'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out.rfind("00002 1010 Corregir Tabla: se reparar\xC3\xAD"
                            "a\n"
                            "  cuota 1: pagado capital 0.00 -> 3000.00, pagado interes 0.00 -> "
                            "270.00, total pagado 0.00 -> 3270.00\n",
                            0),
              0u)
        << run.out;
    EXPECT_NE(run.out.find("00010 1073 Reindexar: se reparar\xC3\xAD"
                           "a\n"
                           "  + CXCTRX CLIENTE=00010, TIPO_DOC=F, DOCUMENTO=1073, "),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  balance documentos 3000.00 -> 3000.00, balance cxc 0.00 -> 3000.00"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(test_support::ChecksumTables(path), before);

    run = RunTool(dir, "--reparar '" + path + "'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out,
              "00002 1010 Corregir Tabla: reparado\n00010 1070 Reindexar: reparado\n"
              "00010 1071 Reindexar: reparado\n00010 1073 Reindexar: reparado\n");
    EXPECT_EQ(run.err,
              "50 pr\xC3\xA9stamos revisados, 4 con diferencias\n"
              "4 reparados, 0 omitidos, 0 fallidos, 0 no alcanzados\n");
    run = RunTool(dir, "--reparar '" + path + "'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "");

    // Recorded in the database, with the repair; nothing on this computer.
    EXPECT_EQ(test_support::ReadFile(loans::JournalPath()), "");
    const auto record_of = [&path](int loan) {
        return test_support::RawConnection(path).QueryText(
            "select id from reparaciones where deshace is null and prestamo = " +
            std::to_string(loan));
    };
    const std::string id = record_of(1073);
    run = RunTool(dir, "--deshacer " + id + " '" + path + "'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out.rfind("00010 1073 Deshacer: deshecho (", 0), 0u) << run.out;
    run = RunTool(dir, "--deshacer " + id + " '" + path + "'");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, "Deshacer: rechazado: La reparaci\xC3\xB3n " + id +
                           " ya se deshizo; no se deshace otra vez\n");
    run = RunTool(dir, "--deshacer no-existe '" + path + "'");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.err.find("No hay ninguna reparaci\xC3\xB3n no-existe"), std::string::npos)
        << run.err;

    // A database that keeps no requests has none to list or resolve.
    run = RunTool(dir, "--solicitudes '" + path + "'");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.err.find("no lleva solicitudes"), std::string::npos) << run.err;

    // An undo that fails leaves no record: it rolled back with the undo.
    const std::string failing = record_of(1070);
    {
        test_support::RawConnection owner(path);  // closed before the tool opens the file
        owner.Execute("create exception coop_test_failure 'falla de prueba'");
        owner.Execute(
            "create trigger cxctrx_fail for cxctrx before insert as begin "
            "if (new.aplica = 1070) then exception coop_test_failure; end");
    }
    run = RunTool(dir, "--deshacer " + failing + " '" + path + "'");
    EXPECT_EQ(run.exit_code, 2) << run.out;
    EXPECT_NE(run.err.find("falla de prueba"), std::string::npos) << run.err;
    EXPECT_EQ(test_support::RawConnection(path).QueryCount(
                  "select count(*) from reparaciones where deshace = '" + failing + "'"),
              0);

    for (const std::string& arguments :
         {"--simular '" + path + "'", std::string("--deshacer"), std::string("--deshacer ''"),
          "--deshacer x --reparar '" + path + "'", "--deshacer x --csv lista.csv '" + path + "'",
          "--deshacer x --xlsx lista.xlsx '" + path + "'",
          "--importar-diario --reparar '" + path + "'",
          std::string("--deshacer x --importar-diario")}) {
        run = RunTool(dir, arguments);
        EXPECT_EQ(run.exit_code, 2) << arguments;
        EXPECT_NE(run.err.find("uso: revision-cartera"), std::string::npos) << arguments;
    }
}

// --registrar twice with a repair and a new disagreement between: the
// list as always, then what is new and what was resolved; --historial
// lists both runs as a table and as CSV. On the route given, as the
// program logs in there.
void RecordTwoRunsAndListThem(const test_support::TempDir& dir, const std::string& name,
                              const std::string& user) {
    ToolRun run = RunTool(dir, "--registrar '" + name + "'");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, kDemoCsv);
    EXPECT_EQ(run.err,
              "50 pr\xC3\xA9stamos revisados, 4 con diferencias\n"
              "Revisi\xC3\xB3n 1 registrada; no hay una revisi\xC3\xB3n terminada anterior con "
              "qu\xC3\xA9 compararla\n");

    portfolio_test::RepairOneFlaggedLoan(name, demo::kLoanMismatchMissingDocs);
    test_support::RawConnection(name).Execute(
        "update cxctrx set valor = valor + 100 where cliente = '00001' and aplica = 1001 and "
        "tipo_doc = 'F'");
    run = RunTool(dir, "--registrar --csv lista.csv '" + name + "'");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(test_support::ReadFile(dir.File("lista.csv")).find("\n00001,"), std::string::npos);
    EXPECT_TRUE(std::regex_match(
        run.err, std::regex("50 pr\xC3\xA9stamos revisados, 4 con diferencias\n"
                            "Revisi\xC3\xB3n 2 registrada: 1 nuevos y 1 resueltos desde la "
                            "revisi\xC3\xB3n 1 "
                            "\\(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\)\n"
                            "  nuevo: 00001 1001\n"
                            "  resuelto: 00010 1070\n")))
        << run.err;

    run = RunTool(dir, "--historial '" + name + "'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    const std::string when = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d";
    EXPECT_TRUE(std::regex_match(
        run.out,
        std::regex("REVISION  FECHA                REVISADOS  CON DIFERENCIAS           MONTO   "
                   "DURACION  TERMINADA  USUARIO\n"
                   "       1  " +
                   when +
                   "         50                4        13000.01 +\\d+\\.\\d s  si         " +
                   user + " \\(.+\\)\n       2  " + when +
                   "         50                4         3100.01 +\\d+\\.\\d s  si         " +
                   user + " \\(.+\\)\n")))
        << run.out;
    run = RunTool(dir, "--historial --csv historial.csv '" + name + "'");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(
        std::regex_match(test_support::ReadFile(dir.File("historial.csv")),
                         std::regex(std::string(loans::kRunsCsvHeader) + "\n1," + when + "," +
                                    user + ",[^,]+,50,4,3,1,13000.01,\\d+,1\n2," + when + "," +
                                    user + ",[^,]+,50,4,3,1,3100.01,\\d+,1\n")))
        << test_support::ReadFile(dir.File("historial.csv"));
}

TEST(RevisionCartera, RegistrarSaysWhatIsNewAndResolvedAndHistorialListsTheRuns) {
    test_support::TempDir dir;
    RecordTwoRunsAndListThem(dir, portfolio_test::NewDemoDatabase(dir), "SYSDBA");
}

TEST(RevisionCartera, ServerRouteRegistrarAndHistorialAsTheAnalyst) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test_support::TempDir dir;
    const std::string name = test_support::DatabaseName(test_support::Route::kServer,
                                                        portfolio_test::NewDemoDatabase(dir));
    const test_support::AnalystLogin analyst(name);
    RecordTwoRunsAndListThem(dir, name, test_support::kAnalystUser);
    // A run the analyst may no longer store: the list is written, and the
    // exit code says the run was not kept.
    test_support::RawConnection(name).Execute(
        "revoke insert on revisiones from role analista_socios");
    const ToolRun run = RunTool(dir, "--registrar '" + name + "'");
    EXPECT_EQ(run.exit_code, 2) << run.err;
    EXPECT_EQ(run.out.rfind(std::string(loans::kCsvHeader) + "\n00001,", 0), 0u) << run.out;
    EXPECT_NE(run.err.find("revision-cartera: "), std::string::npos) << run.err;
    EXPECT_EQ(test_support::RawConnection(name).QueryText("select count(*) from revisiones"), "2");
}

// Without the history's tables both options say how to make them; they
// go with the plain check only.
TEST(RevisionCartera, RegistrarAndHistorialNeedTheTablesAndTheirOwnOptions) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    for (const std::string& arguments :
         {"--registrar --reparar '" + path + "'", "--registrar --historial '" + path + "'",
          "--registrar --deshacer x '" + path + "'", "--historial --xlsx h.xlsx '" + path + "'",
          "--historial --reparar '" + path + "'", "--historial --simular '" + path + "'",
          "--registrar --importar-diario '" + path + "'",
          "--historial --importar-diario '" + path + "'"}) {
        const ToolRun run = RunTool(dir, arguments);
        EXPECT_EQ(run.exit_code, 2) << arguments;
        EXPECT_NE(run.err.find("uso: revision-cartera"), std::string::npos) << arguments;
    }
    {
        test_support::RawConnection owner(path);
        owner.Execute("drop table revisiones_prestamos");
        owner.Execute("drop table revisiones");
    }
    for (const char* option : {"--registrar", "--historial"}) {
        const ToolRun run = RunTool(dir, std::string(option) + " '" + path + "'");
        EXPECT_EQ(run.exit_code, 2) << option;
        EXPECT_EQ(run.out, "") << option;
        EXPECT_NE(run.err.find("sql/revisiones.sql"), std::string::npos) << run.err;
    }
}

// Where repairs need approval: the analyst's --reparar and --deshacer file
// requests, writing nothing to the books; --solicitudes lists them with what
// they would change; --aprobar and --rechazar resolve them, as the server
// allows: never the analyst, never the request's own user.
TEST(RevisionCartera, ServerRouteRequestsAreFiledListedApprovedAndRejected) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    const std::string name = test_support::DatabaseName(test_support::Route::kServer, path);
    test_support::RunSqlScript(name, "aprobacion.sql");
    const auto before = test_support::ChecksumTables(name);
    const std::string quoted = " '" + name + "'";
    ToolRun run;
    {
        const test_support::AnalystLogin analyst(name);
        run = RunTool(dir, "--reparar --simular" + quoted);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_NE(run.out.find("00010 1073 Reindexar: se reparar\xC3\xAD"
                               "a\n"
                               "  + CXCTRX CLIENTE=00010, TIPO_DOC=F, DOCUMENTO=1073, "),
                  std::string::npos)
            << run.out;
        run = RunTool(dir, "--reparar" + quoted);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out,
                  "00002 1010 Corregir Tabla: solicitud registrada: requiere aprobaci\xC3\xB3n "
                  "(solicitud 1)\n"
                  "00010 1070 Reindexar: solicitud registrada: requiere aprobaci\xC3\xB3n "
                  "(solicitud 2)\n"
                  "00010 1071 Reindexar: solicitud registrada: requiere aprobaci\xC3\xB3n "
                  "(solicitud 3)\n"
                  "00010 1073 Reindexar: solicitud registrada: requiere aprobaci\xC3\xB3n "
                  "(solicitud 4)\n");
        EXPECT_NE(
            run.err.find("4 solicitudes registradas: requieren aprobaci\xC3\xB3n, 0 omitidos, "
                         "0 rechazados, 0 fallidos, 0 no alcanzados\n"),
            std::string::npos)
            << run.err;
        EXPECT_EQ(test_support::ChecksumTables(name), before);
        run = RunTool(dir, "--reparar" + quoted);
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_NE(
            run.out.find("00010 1070 Reindexar: rechazado: Ya hay una solicitud abierta de "
                         "Reindexar para el pr\xC3\xA9stamo 1070: la 2, de ANALISTA_PRUEBA el "),
            std::string::npos)
            << run.out;
        run = RunTool(dir, "--solicitudes" + quoted);
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_NE(run.out.find(" ANALISTA_PRUEBA 00010 1073 Reindexar\n"
                               "  + CXCTRX CLIENTE=00010, TIPO_DOC=F, DOCUMENTO=1073, "),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(run.err, "4 solicitudes abiertas\n");
        run = RunTool(dir, "--aprobar 2" + quoted);
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_EQ(run.out.rfind("Aprobar 2: rechazado: Solo un supervisor", 0), 0u) << run.out;
    }
    EXPECT_EQ(test_support::ChecksumTables(name), before);
    std::string record;
    {
        const test_support::AnalystLogin supervisor(name, test_support::kSupervisorUser,
                                                    test_support::kSupervisorRole);
        run = RunTool(dir, "--aprobar 2" + quoted);
        EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
        EXPECT_EQ(run.out.rfind("00010 1070 Reindexar: aprobada (solicitud 2, registro ", 0), 0u)
            << run.out;
        EXPECT_NE(test_support::ChecksumTables(name), before);
        run = RunTool(dir, "--rechazar 3 --motivo 'Lo revisa contabilidad, a\xC3\xBAn'" + quoted);
        EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
        EXPECT_EQ(run.out, "Solicitud 3 rechazada: Lo revisa contabilidad, a\xC3\xBAn\n");
        run = RunTool(dir, "--rechazar 3 --motivo otra" + quoted);
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_NE(run.out.find("ya est\xC3\xA1 resuelta (Rechazada por SUPERVISOR_UNO el "),
                  std::string::npos)
            << run.out;
        run = RunTool(dir, "--aprobar 99" + quoted);
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_EQ(run.out, "Aprobar 99: rechazado: No hay ninguna solicitud 99\n");
        // The supervisor's own request to undo the approved repair.
        record = test_support::RawConnection(name).QueryText(
            "select reparacion from resoluciones where solicitud = 2");
        run = RunTool(dir, "--deshacer " + record + quoted);
        EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
        EXPECT_EQ(run.out,
                  "00010 1070 Deshacer: solicitud registrada: requiere aprobaci\xC3\xB3n "
                  "(solicitud 5)\n");
        run = RunTool(dir, "--aprobar 5" + quoted);
        EXPECT_EQ(run.exit_code, 1) << run.err;
        EXPECT_NE(run.out.find("propia solicitud"), std::string::npos) << run.out;
    }
    {
        const test_support::AnalystLogin other(name, test_support::kSecondSupervisorUser,
                                               test_support::kSupervisorRole);
        run = RunTool(dir, "--aprobar 5" + quoted);
        EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
        EXPECT_EQ(run.out.rfind("00010 1070 Deshacer: aprobada (solicitud 5, registro ", 0), 0u)
            << run.out;
    }
    EXPECT_EQ(test_support::ChecksumTables(name), before);
    for (const std::string& arguments :
         {"--rechazar 1" + quoted, "--motivo x" + quoted, "--aprobar x" + quoted,
          "--aprobar 1 --rechazar 1 --motivo x" + quoted, "--solicitudes --reparar" + quoted,
          "--aprobar 1 --csv lista.csv" + quoted}) {
        run = RunTool(dir, arguments);
        EXPECT_EQ(run.exit_code, 2) << arguments;
        EXPECT_NE(run.err.find("uso: revision-cartera"), std::string::npos) << arguments;
    }
}

// Amounts with three decimals: --simular shows their cents and --deshacer
// puts every column back exactly, on a Spanish desktop too (portfolio.es_ES).
TEST(RevisionCartera, UndoPutsBackAmountsOfThreeDecimalsExactly) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    test_support::RawConnection(path).Execute(
        "update renglones set ren_pagadocapital = 1234.567, ren_pagadointeres = 0.125, "
        "ren_totalpagado = 1234.692 where ren_prestamono = 1010 and ren_cuotano = 1");
    const auto before = test_support::ChecksumTables(path);  // 1071's receipt: -2499.994
    ToolRun run = RunTool(dir, "--reparar --simular '" + path + "'");
    EXPECT_NE(run.out.find("\n  cuota 1: pagado capital 1234.57 -> 3000.00, "), std::string::npos)
        << run.out;
    run = RunTool(dir, "--reparar '" + path + "'");
    ASSERT_EQ(run.exit_code, 0) << run.err;
    ASSERT_NE(test_support::ChecksumTables(path), before);

    // This database's records, newest first.
    const std::vector<std::string> ids =
        test_support::RawConnection(path).QueryRows("select id from reparaciones order by id desc");
    ASSERT_EQ(ids.size(), 4u);
    for (const std::string& id : ids) {
        run = RunTool(dir, "--deshacer " + id + " '" + path + "'");
        EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    }
    EXPECT_EQ(test_support::ChecksumTables(path), before);
}

}  // namespace
