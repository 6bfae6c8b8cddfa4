// revision-cartera as a user runs it: exit codes, CSV on standard output or
// in a file, messages on standard error.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/portfolio/portfolio_support.h"
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
    EXPECT_EQ(run.err, "50 prestamos revisados, 4 con diferencias\n") << run.err;
}

TEST(RevisionCartera, ReadsDbIniAndWritesTheFileNamedByCsv) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    std::ofstream(dir.File("db.ini"), std::ios::binary) << "[base]\n" << path << "\r\n";
    const ToolRun run = RunTool(dir, "--csv lista.csv");
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(test_support::ReadFile(dir.File("lista.csv")), kDemoCsv);
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
    for (const char* arguments : {"--desconocida", "--csv ''", "--csv"}) {
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
}

}  // namespace
