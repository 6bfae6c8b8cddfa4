// The portfolio check's runs kept in the database (sql/revisiones.sql):
// stored with their loans, compared with the last finished run, read
// back; as the analysts' role through a server, and the script run again.
#include "loans/history/run_history.h"

#include <gtest/gtest.h>

#include <optional>

#include "db/errors.h"
#include "tests/db/route_fixture.h"
#include "tests/portfolio/portfolio_support.h"
#include "tools/demo_db/demo_catalogue.h"
#include "tools/demo_db/demo_database.h"

namespace {

using loans::LoanKey;

// Runs a statement as the program's connection (the analyst, where one
// logs in) in a write transaction of its own.
void WriteAsTheProgram(const std::string& name, const std::string& statement) {
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction reading("IBTransaction1");
    loans::ConfigureProgramConnection(database, reading, name);
    db::TIBTransaction writing("Writing");
    writing.SetDefaultDatabase(&database);
    writing.Params().Assign({"write", "concurrency", "nowait"});
    db::TIBQuery query("Query");
    query.SetDatabase(&database);
    query.SetTransaction(&writing);
    database.Open();
    writing.StartTransaction();
    query.SQL().Add(statement);
    query.Execute();
    writing.Commit();
}

class RunHistory : public RouteTest {
  protected:
    // A copy of the demo, reached by this test's route; through the server
    // the program logs in as the analyst with the role.
    std::string Demo() {
        test_support::CopyDemoDatabase(dir_.File("demo.fdb"));
        const std::string name = Name("demo.fdb");
        if (GetParam() == test_support::Route::kServer) analyst_.emplace(name);
        return name;
    }
    std::optional<test_support::AnalystLogin> analyst_;
};

// The first run has nothing to compare with; a repair of 1070 and a new
// disagreement on 1001 later, the second names one new loan and one
// resolved, and both runs and their loans are stored as they were.
TEST_P(RunHistory, TwoRunsWithARepairBetweenGiveNewAndResolvedLoans) {
    const std::string name = Demo();
    const bool server = GetParam() == test_support::Route::kServer;
    ASSERT_TRUE([&] {
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction transaction("IBTransaction1");
        loans::ConfigureProgramConnection(database, transaction, name);
        return loans::HasRunHistory(database);
    }());

    const loans::RecordedRun first = portfolio_test::RecordCheckRun(name);
    EXPECT_FALSE(first.previous.has_value());
    EXPECT_TRUE(first.new_loans.empty());
    EXPECT_TRUE(first.resolved.empty());
    EXPECT_TRUE(first.stored.finished);
    EXPECT_EQ(first.stored.checked, 50);
    EXPECT_EQ(first.stored.flagged, 4);
    EXPECT_EQ(first.stored.reindex, 3);
    EXPECT_EQ(first.stored.fix_schedule, 1);
    EXPECT_DOUBLE_EQ(first.stored.amount, 13000.01);  // 10,000 + 0.01 + 3,000, 1010's 0
    EXPECT_EQ(first.stored.duration_ms, 1234);
    // Whoever the server knows, not what the client says.
    EXPECT_EQ(first.stored.user, server ? test_support::kAnalystUser : "SYSDBA");
    if (server) {
        EXPECT_FALSE(first.stored.workstation.empty());
        EXPECT_NE(first.stored.workstation, "puesto-de-prueba");
    } else {
        EXPECT_EQ(first.stored.workstation, "puesto-de-prueba");
    }

    portfolio_test::RepairOneFlaggedLoan(name, demo::kLoanMismatchMissingDocs);
    test_support::RawConnection(name).Execute(
        "update cxctrx set valor = valor + 100 where cliente = '00001' and aplica = 1001 and "
        "tipo_doc = 'F'");
    const loans::RecordedRun second = portfolio_test::RecordCheckRun(name);
    ASSERT_TRUE(second.previous.has_value());
    EXPECT_EQ(second.previous->id, first.stored.id);
    EXPECT_GT(second.stored.id, first.stored.id);
    EXPECT_EQ(second.new_loans, (std::vector<LoanKey>{{"00001", 1001}}));
    EXPECT_EQ(second.resolved,
              (std::vector<LoanKey>{{demo::kMemberMismatch, demo::kLoanMismatchMissingDocs}}));
    EXPECT_EQ(second.stored.flagged, 4);
    EXPECT_DOUBLE_EQ(second.stored.amount, 3100.01);

    const std::string rows_statement =
        "select revision, socio, prestamo, reparacion, diferencia, cuotas from "
        "revisiones_prestamos order by revision, socio, prestamo";
    const std::string a = std::to_string(first.stored.id) + "|";
    const std::string b = std::to_string(second.stored.id) + "|";
    EXPECT_EQ(test_support::RawConnection(name).QueryRows(rows_statement),
              (std::vector<std::string>{
                  a + "00002|1010|Corregir Tabla|0.000000|2",
                  a + "00010|1070|Reindexar|10000.000000|0",
                  a + "00010|1071|Reindexar|0.010000|0",
                  a + "00010|1073|Reindexar|-3000.000000|0",
                  b + "00001|1001|Reindexar|100.000000|0",
                  b + "00002|1010|Corregir Tabla|0.000000|2",
                  b + "00010|1071|Reindexar|0.010000|0",
                  b + "00010|1073|Reindexar|-3000.000000|0",
              }));

    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, name);
    const std::vector<loans::StoredRun> runs = loans::ReadRuns(database);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].id, first.stored.id);
    EXPECT_EQ(runs[1].id, second.stored.id);
    EXPECT_LE(runs[0].time, runs[1].time);
    EXPECT_EQ(loans::RunTimeText(runs[1].time), loans::RunTimeText(second.stored.time));
}

// An unfinished run keeps no loans and no counts, and is passed over: the
// next run is compared with the last run that finished.
TEST_P(RunHistory, AnUnfinishedRunIsStoredAsSuchAndPassedOver) {
    const std::string name = Demo();
    const loans::RecordedRun first = portfolio_test::RecordCheckRun(name);
    const loans::RecordedRun stopped = portfolio_test::RecordCheckRun(name, false);
    EXPECT_FALSE(stopped.stored.finished);
    EXPECT_FALSE(stopped.previous.has_value());
    EXPECT_EQ(stopped.stored.checked, 0);
    EXPECT_EQ(stopped.stored.flagged, 0);
    EXPECT_EQ(stopped.stored.amount, 0);
    EXPECT_EQ(test_support::RawConnection(name).QueryText(
                  "select count(*) from revisiones_prestamos where revision = " +
                  std::to_string(stopped.stored.id)),
              "0");
    portfolio_test::RepairOneFlaggedLoan(name, demo::kLoanWithoutMovements);
    const loans::RecordedRun third = portfolio_test::RecordCheckRun(name);
    ASSERT_TRUE(third.previous.has_value());
    EXPECT_EQ(third.previous->id, first.stored.id);
    EXPECT_TRUE(third.new_loans.empty());
    EXPECT_EQ(third.resolved,
              (std::vector<LoanKey>{{demo::kMemberMismatch, demo::kLoanWithoutMovements}}));
}

// The role adds runs and reads them; it changes or removes none, and
// numbers, times and users are the server's whatever the client sends.
TEST_P(RunHistory, StoredRunsStayAsTheServerStampedThem) {
    const std::string name = Demo();
    const loans::RecordedRun first = portfolio_test::RecordCheckRun(name);
    WriteAsTheProgram(name,
                      "insert into revisiones (id, fecha, usuario, prestamos_revisados, "
                      "con_diferencias, reindexar, corregir_tabla, suma_diferencias, duracion_ms, "
                      "terminada) values (1000, '2001-01-01', 'OTRO', 0, 0, 0, 0, 0, 0, 0)");
    const std::vector<std::string> rows = test_support::RawConnection(name).QueryRows(
        "select id, usuario, extract(year from fecha) from revisiones order by id");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].substr(0, rows[1].find('|')), std::to_string(first.stored.id + 1));
    EXPECT_EQ(rows[1].find("OTRO"), std::string::npos) << rows[1];
    EXPECT_EQ(rows[1].find("|2001"), std::string::npos) << rows[1];
    if (GetParam() != test_support::Route::kServer) return;  // the owner may do anything
    for (const char* statement :
         {"update revisiones set terminada = 1", "delete from revisiones_prestamos",
          "delete from revisiones", "update revisiones_prestamos set diferencia = 0"}) {
        EXPECT_THROW(WriteAsTheProgram(name, statement), db::EIBError) << statement;
    }
    EXPECT_EQ(test_support::RawConnection(name).QueryText("select count(*) from revisiones"), "2");
}

INSTANTIATE_ROUTES(RunHistory);

// The script runs again on a database that has it, through isql as a
// site runs it, and leaves the history as it was; without the tables the
// program knows there is no history.
TEST(RunHistoryScript, RunsAgainWithoutLosingTheHistory) {
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    portfolio_test::RecordCheckRun(path);
    for (int time = 0; time < 2; ++time) {
        const test_support::CommandRun run = test_support::RunCommand(
            dir, "isql-fb -user sysdba -q '" + path + "' -i '" + demo::RunHistoryFile() + "'");
        EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(test_support::RawConnection(path).QueryText("select count(*) from revisiones"), "1");
    EXPECT_EQ(
        test_support::RawConnection(path).QueryText("select count(*) from revisiones_prestamos"),
        "4");
    const loans::RecordedRun second = portfolio_test::RecordCheckRun(path);
    EXPECT_TRUE(second.previous.has_value());
    {
        test_support::RawConnection owner(path);
        owner.Execute("drop table revisiones_prestamos");
        owner.Execute("drop table revisiones");
    }
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, path);
    EXPECT_FALSE(loans::HasRunHistory(database));
}

}  // namespace
