// Repairing many loans, previewing and undoing, on real demo databases
// through both routes.
#include "loans/repairs/bulk_repair.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

#include "db/call_watch.h"
#include "loans/records/journal_import.h"
#include "loans/records/record_table.h"
#include "loans/records/repair_journal.h"
#include "loans/repairs/recorded_unit.h"
#include "loans/repairs/repair_unit.h"
#include "runtime/scope_guard.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/server_process.h"
#include "tests/support/table_checksums.h"
#include "tests/support/tcp_relay.h"
#include "tools/demo_db/demo_catalogue.h"
#include "tools/demo_db/demo_database.h"
#include "tools/raw_client/raw_client.h"

namespace {

using portfolio_test::Check;
using portfolio_test::NewDemo;
using portfolio_test::Routes;
using portfolio_test::Summary;
using test_support::Route;

class Connection {
  public:
    explicit Connection(const std::string& name) {
        loans::ConfigureProgramConnection(database, unused_, name);
        database.Open();
    }
    db::TIBDatabase database{"IBDatabase1"};

  private:
    db::TIBTransaction unused_{"IBTransaction1"};
};

// A bulk run with every loan's entry as told when it ended (its outcome
// kept, which the run itself does not keep), then those not reached.
struct BulkRun {
    loans::BulkResult result;
    std::vector<loans::LoanRepair> loans;
};
BulkRun RepairEvery(db::TIBDatabase& database, const std::vector<loans::LoanCheck>& flagged,
                    loans::BulkOptions options) {
    BulkRun run;
    options.done = [&run](const loans::LoanRepair& entry, size_t, size_t) {
        run.loans.push_back(entry);
    };
    run.result = loans::RepairMany(database, flagged, options);
    run.loans.insert(run.loans.end(), run.result.unreached.begin(), run.result.unreached.end());
    return run;
}

// "member/loan result" per loan, with the failure's message.
std::vector<std::string> Outcomes(const BulkRun& run) {
    static const char* const kWords[] = {"repaired", "skipped", "failed", "not reached"};
    std::vector<std::string> out;
    for (const loans::LoanRepair& entry : run.loans) {
        std::string line = entry.check.member + "/" + std::to_string(entry.check.loan) + " " +
                           loans::RepairNames(entry.asked) + " " +
                           kWords[static_cast<int>(entry.result)];
        if (entry.result == loans::LoanResult::kFailed) {
            line += entry.message.find("falla de prueba") != std::string::npos
                        ? " (falla de prueba)"
                        : " (" + entry.message + ")";
        }
        out.push_back(line);
    }
    return out;
}

TEST(BulkRepair, WritesWhatOneUnitPerRepairWritesClearsTheListAndASimulationWritesNothing) {
    for (const Route route : Routes()) {
        SCOPED_TRACE(test_support::RouteName(route));
        test_support::TempDir dir;
        const std::string bulk = NewDemo(dir, "bulk.fdb", route);
        const std::string single = NewDemo(dir, "single.fdb", route);
        const test_support::AnalystLogin analyst(bulk);
        const test_support::AnalystLogin analyst_single(single);
        const std::vector<loans::LoanCheck> flagged = Check(bulk).Flagged();
        ASSERT_EQ(flagged.size(), 4u);
        const auto untouched = test_support::ChecksumTables(bulk);

        loans::BulkResult result;
        {
            Connection connection(bulk);
            loans::BulkOptions options;
            options.simulate = true;
            const BulkRun simulated = RepairEvery(connection.database, flagged, options);
            EXPECT_EQ(simulated.result.repaired, 4);
            EXPECT_EQ(test_support::ChecksumTables(bulk), untouched);
            // The preview is what the repair then does: the rows it leaves
            // fingerprint alike.
            const BulkRun repaired = RepairEvery(connection.database, flagged, {});
            ASSERT_EQ(repaired.loans.size(), simulated.loans.size());
            for (size_t i = 0; i < repaired.loans.size(); ++i) {
                EXPECT_EQ(simulated.loans[i].outcome.undo.after_fingerprint,
                          repaired.loans[i].outcome.undo.after_fingerprint);
            }
            result = repaired.result;
        }
        EXPECT_EQ(result.repaired, 4);
        EXPECT_EQ(result.skipped + result.failed + result.not_reached, 0);
        {
            Connection connection(single);
            loans::RepairUnit unit(connection.database);
            for (const loans::LoanCheck& loan : flagged) {
                for (const loans::RepairKind kind : loans::RepairsFor(loan)) {
                    unit.Run(kind, loan.member, loan.loan);
                }
            }
        }
        EXPECT_TRUE(Check(bulk).Flagged().empty());
        EXPECT_EQ(test_support::ChecksumTables(bulk), test_support::ChecksumTables(single));
    }
}

// A loan set right since the check is left alone; one whose writes fail is
// rolled back alone, journaled as such, and the run goes on; a stop asked
// for is honoured between loans.
TEST(BulkRepair, SkipsALoanThatAgreesNowAndRollsBackAFailingOneAlone) {
    test_support::TempDir dir;
    const std::string path = NewDemo(dir, "demo.fdb", Route::kEmbedded);
    test_support::DropRecordTables(path);
    const std::vector<loans::LoanCheck> flagged = Check(path).Flagged();
    {
        test_support::RawConnection raw(path);
        raw.Execute("update cxctrx set valor = -2500 where aplica = 1071 and valor < -2499.99");
        raw.Execute("create exception coop_test_failure 'falla de prueba'");
        raw.Execute(
            "create trigger cxctrx_fail for cxctrx before insert as begin "
            "if (new.aplica = 1070 and new.tipo_doc = 'N') then exception coop_test_failure; end");
    }
    const std::vector<std::string> movements_1070 = test_support::RawConnection(path).QueryRows(
        "select * from cxctrx where aplica = 1070 order by documento, valor");
    const std::string journal = dir.File("datos/reparaciones.jsonl");
    Connection connection(path);
    loans::RecordStore file(connection.database, journal);
    ASSERT_FALSE(file.InDatabase());
    loans::BulkOptions options;
    options.records = &file;
    BulkRun run = RepairEvery(connection.database, flagged, options);
    const loans::BulkResult* result = &run.result;
    EXPECT_EQ(Outcomes(run), (std::vector<std::string>{
                                 "00002/1010 Corregir Tabla repaired",
                                 "00010/1070 Reindexar failed (falla de prueba)",
                                 "00010/1071 Reindexar skipped",
                                 "00010/1073 Reindexar repaired",
                             }));
    EXPECT_EQ(result->repaired, 2);
    EXPECT_EQ(result->skipped, 1);
    EXPECT_EQ(result->failed, 1);
    EXPECT_EQ(test_support::RawConnection(path).QueryRows(
                  "select * from cxctrx where aplica = 1070 order by documento, valor"),
              movements_1070);
    EXPECT_EQ(Summary(Check(path).Flagged()), (std::vector<std::string>{"00010/1070 Reindexar 0"}));
    // Journaled: the two repairs and the rollback, not the loan left alone.
    const std::string lines = test_support::ReadFile(journal);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    EXPECT_NE(lines.find("\"loan\":1070,\"repair\":\"Reindexar\",\"outcome\":\"rolled back\""),
              std::string::npos)
        << lines;
    EXPECT_EQ(lines.find("\"loan\":1071"), std::string::npos) << lines;

    // Stopped after the first loan (repaired before, so left alone now):
    // the rest are not reached.
    int asked = 0;
    options.stop = [&asked] { return ++asked > 1; };
    run = RepairEvery(connection.database, flagged, options);
    EXPECT_EQ(run.result.skipped, 1);
    EXPECT_EQ(run.result.not_reached, 3);
    EXPECT_EQ(Outcomes(run), (std::vector<std::string>{
                                 "00002/1010 Corregir Tabla skipped",
                                 "00010/1070 Reindexar not reached",
                                 "00010/1071 Reindexar not reached",
                                 "00010/1073 Reindexar not reached",
                             }));
}

// Another analyst's transaction holding the loan's ledger rows: the unit is
// rolled back whole and says so in words an analyst understands, alone or
// in a bulk run, which goes on with the other loans.
TEST(BulkRepair, ALoanAnotherAnalystIsChangingIsLeftAsItWasWithASpanishMessage) {
    test_support::TempDir dir;
    const std::string path = NewDemo(dir, "demo.fdb", Route::kEmbedded);
    const std::vector<loans::LoanCheck> flagged = Check(path).Flagged();
    const auto before = test_support::ChecksumTables(path);
    demo::Attachment other(path);
    demo::Transaction holding(other);
    demo::ExecuteImmediate(holding, "update cxctrx set interes = interes where aplica = 1070");
    const std::string message =
        "Otro usuario est\xE1 modificando el pr\xE9stamo 1070; intente de nuevo.";

    Connection connection(path);
    loans::RepairUnit unit(connection.database);
    try {
        unit.Run(loans::RepairKind::kRebuild, demo::kMemberMismatch, 1070);
        ADD_FAILURE() << "repaired under another transaction's lock";
    } catch (const loans::EConcurrentRepair& refused) {
        EXPECT_EQ(refused.Message(), message);
    }
    EXPECT_EQ(test_support::ChecksumTables(path), before);

    loans::BulkOptions options;
    const loans::BulkResult result = loans::RepairMany(connection.database, flagged, options);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(result.repaired, 3);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].check.loan, 1070);
    EXPECT_EQ(result.failures[0].message, message);
    holding.Rollback();
}

// Undone, every column of every row is back as it was, through either
// route, for rows no key tells apart and for the columns a site added to
// its ledger; after a later change, the undo is refused and writes nothing.
TEST(BulkRepair, UndoPutsEveryRowBackExactlyAndRefusesOnceTheyChanged) {
    for (const Route route : Routes()) {
        SCOPED_TRACE(test_support::RouteName(route));
        test_support::TempDir dir;
        const std::string name = NewDemo(dir, "demo.fdb", route);
        test_support::RawConnection(name).Execute(
            "alter table cxctrx add nota varchar(20), add importe numeric(15,2), "
            "add cantidad numeric(9,3), add marca boolean, "
            "add texto blob sub_type text, add doble computed by (valor * 2)");
        {
            test_support::RawConnection(name).Execute(
                "update cxctrx set nota = 'Se\xF1"
                "al \"1\"', importe = 1234567890123.45, "
                "cantidad = -123456.789, marca = true, "
                "texto = 'linea uno' || ascii_char(10) || 'linea dos' "
                "where aplica in (1070, 1071)");
            // Fractions of a second, accents, nulls and an instalment
            // entered twice, differing only in its paid amounts.
            test_support::RawConnection raw(name);
            raw.Execute(
                "update cxctrx set fecha = '2024-01-05 13:14:15.1234', tipo_doc = '\xD1' "
                "where aplica = 1071 and valor < -2499.99");
            raw.Execute("update cxctrx set interes = null where aplica = 1070 and tipo_doc = 'F'");
            raw.Execute(
                "update renglones set ren_fechaecibo = '2023-02-03 01:02:03.0001', cartera = "
                "'\xC7', "
                "seguro = null where ren_prestamono = 1010 and ren_cuotano = 1");
            raw.Execute(
                "insert into renglones select ren_prestamono, ren_fechaprestamo, ren_fechavence, "
                "ren_cuotano, ren_recibono, ren_fechaecibo, ren_cuotacapital, ren_cuotainteres, "
                "ren_cuotamora, ren_totalcuota, ren_balance, ren_pagadocapital, "
                "ren_pagadointeres, 17.25, cartera, seguro, neto, gastoscierre from renglones "
                "where ren_prestamono = 1010 and ren_cuotano = 1");
        }
        const test_support::AnalystLogin analyst(name);
        const std::vector<loans::LoanCheck> flagged = Check(name).Flagged();
        ASSERT_EQ(flagged.size(), 4u);
        const auto before = test_support::ChecksumTables(name);
        // Kept in the database's records table: the images go there and
        // come back exactly.
        Connection connection(name);
        loans::RecordStore records(connection.database);
        ASSERT_TRUE(records.InDatabase());
        std::vector<std::string> ids;
        {
            loans::BulkOptions options;
            options.records = &records;
            const BulkRun run = RepairEvery(connection.database, flagged, options);
            ASSERT_EQ(run.result.repaired, 4);
            for (const loans::LoanRepair& entry : run.loans) ids.push_back(entry.outcome.id);
        }
        ASSERT_NE(test_support::ChecksumTables(name), before);
        loans::RepairUnit unit(connection.database);
        std::map<std::string, std::string> undo_of_undo;
        for (const std::string& id : ids) {
            loans::ConfirmedUnit confirmed;
            confirmed.database = connection.database.DatabaseName();
            const loans::RecordedUnit again = loans::UndoRecord(unit, records, id, confirmed);
            ASSERT_EQ(again.result, loans::RecordedUnit::Result::kDone) << again.message;
            undo_of_undo[id] = again.outcome.id;
        }
        EXPECT_EQ(test_support::ChecksumTables(name), before);
        // The second undo of one record: refused before it writes, and by
        // the database itself when sent anyway.
        EXPECT_THROW(loans::UndoRecord(unit, records, ids[0], {}), loans::EAlreadyUndone);
        const auto undone = test_support::ChecksumTables(name);
        {
            const std::optional<loans::RepairRecord> record = records.Find(ids[0]);
            loans::RepairRecord second = *record;
            second.id = loans::NewRepairId();
            second.undoes = ids[0];
            db::TIBTransaction writing("Writing");
            writing.SetDefaultDatabase(&connection.database);
            db::TIBQuery query("Query");
            query.SetDatabase(&connection.database);
            query.SetTransaction(&writing);
            writing.StartTransaction();
            EXPECT_THROW(loans::InsertRecord(query, second), loans::EAlreadyUndone);
            writing.Rollback();
        }
        EXPECT_EQ(test_support::ChecksumTables(name), undone);

        // Undone already: its rows are no longer what the repair left.
        const std::optional<loans::RepairRecord> first = records.Find(ids[0]);
        EXPECT_THROW(unit.Undo(first->undo, first->member, first->loan), loans::EUndoRefused);
        // Redone by undoing the undo, then changed by someone: refused.
        const std::optional<loans::RepairRecord> redo = records.Find(undo_of_undo[ids[0]]);
        unit.Undo(redo->undo, redo->member, redo->loan);
        // The correction leaves the ledger alone and keeps only its
        // fingerprint: a ledger row of the loan changed since is refused
        // all the same, and once it is as it was the undo may go on.
        ASSERT_FALSE(first->undo.movements_replaced);
        test_support::RawConnection(name).Execute(
            "update cxctrx set cuota = cuota + 1000 where aplica = 1010");
        const auto ledger_changed = test_support::ChecksumTables(name);
        EXPECT_THROW(unit.Undo(first->undo, first->member, first->loan), loans::EUndoRefused);
        EXPECT_EQ(test_support::ChecksumTables(name), ledger_changed);
        test_support::RawConnection(name).Execute(
            "update cxctrx set cuota = cuota - 1000 where aplica = 1010");
        test_support::RawConnection(name).Execute(
            "update renglones set neto = 1 where ren_prestamono = 1010 and ren_cuotano = 2");
        const auto changed = test_support::ChecksumTables(name);
        try {
            unit.Undo(first->undo, first->member, first->loan);
            ADD_FAILURE() << "undone over a later change";
        } catch (const loans::EUndoRefused& refused) {
            EXPECT_NE(refused.Message().find("cambiaron despu\xE9s de la reparaci\xF3n"),
                      std::string::npos);
        }
        EXPECT_EQ(test_support::ChecksumTables(name), changed);
        EXPECT_FALSE(records.Find("no-existe").has_value());

        // A ledger with a column more than when its rows were taken is not
        // rebuilt from them.
        test_support::RawConnection(name).Execute("alter table cxctrx add otra integer");
        const auto altered = test_support::ChecksumTables(name);
        int refused_for_columns = 0;
        for (size_t i = 1; i < ids.size(); ++i) {
            const std::optional<loans::RepairRecord> redo_other =
                records.Find(undo_of_undo[ids[i]]);
            if (!redo_other->undo.movements_replaced) continue;
            try {
                unit.Undo(redo_other->undo, redo_other->member, redo_other->loan);
                ADD_FAILURE() << "undone into a ledger with another column";
            } catch (const loans::EUndoRefused& refused) {
                EXPECT_EQ(refused.Message(),
                          "Las columnas de CXCTRX cambiaron despu\xE9s de la reparaci\xF3n; no se "
                          "deshace");
                ++refused_for_columns;
            }
        }
        EXPECT_GT(refused_for_columns, 0);
        EXPECT_EQ(test_support::ChecksumTables(name), altered);
    }
}

// Without the records table, the journal names each record's database: two
// copies of one database (a test copy and the live one) never list or undo
// each other's records, and a copy never repaired lists none. Once the
// table is made, the journal's records of that database are copied in,
// once.
TEST(BulkRepair, JournalRecordsOfAnotherDatabaseAreNeitherListedNorUndoneAndImportOnce) {
    test_support::TempDir dir;
    const std::string journal = dir.File("datos/reparaciones.jsonl");
    std::vector<std::string> paths;
    std::vector<std::string> ids;
    for (const char* file : {"a.fdb", "b.fdb", "c.fdb"}) {
        paths.push_back(NewDemo(dir, file, Route::kEmbedded));
        test_support::DropRecordTables(paths.back());
    }
    for (size_t i = 0; i < 2; ++i) {
        Connection connection(paths[i]);
        loans::RecordStore records(connection.database, journal);
        loans::RepairUnit unit(connection.database);
        loans::ConfirmedUnit confirmed;
        confirmed.member = demo::kMemberMismatch;
        confirmed.loan = demo::kLoanMismatchMissingDocs;
        const loans::RecordedUnit done =
            loans::RunRecorded(&records, confirmed, [&](const loans::BeforeCommit& record) {
                loans::RepairOptions options;
                options.before_commit = record;
                return unit.Run({loans::RepairKind::kRebuild}, confirmed.member, confirmed.loan,
                                options);
            });
        ASSERT_EQ(done.result, loans::RecordedUnit::Result::kDone) << done.message;
        ids.push_back(done.record.id);
    }
    {
        Connection b(paths[1]);
        loans::RecordStore records(b.database, journal);
        const std::vector<loans::RepairRecord> listed =
            records.RecordsOf(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].id, ids[1]);
        EXPECT_TRUE(listed[0].undo_kept);
        EXPECT_NE(records.Where().find(journal), std::string::npos);
        try {
            records.Find(ids[0]);
            ADD_FAILURE() << "another database's record was found";
        } catch (const runtime::Exception& refused) {
            EXPECT_NE(refused.Message().find("es de otra base de datos"), std::string::npos);
        }
        Connection c(paths[2]);
        EXPECT_TRUE(loans::RecordStore(c.database, journal)
                        .RecordsOf(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs)
                        .empty());
    }

    // The site runs the script on A: its record is copied in, by id, once.
    {
        demo::Attachment owner(paths[0]);
        for (const std::string& statement : demo::ReadSqlScript(demo::RecordTableFile())) {
            if (statement == "COMMIT") continue;
            demo::Transaction transaction(owner);
            demo::ExecuteImmediate(transaction, statement);
            transaction.Commit();
        }
    }
    Connection a(paths[0]);
    loans::ImportCounts counts = loans::ImportJournal(a.database, journal);
    EXPECT_EQ(counts.copied, 1);
    EXPECT_EQ(counts.other_database, 1);
    counts = loans::ImportJournal(a.database, journal);
    EXPECT_EQ(counts.copied, 0);
    EXPECT_EQ(counts.present, 1);
    loans::RecordStore records(a.database, journal);
    ASSERT_TRUE(records.InDatabase());
    const std::optional<loans::RepairRecord> imported = records.Find(ids[0]);
    ASSERT_TRUE(imported.has_value());
    EXPECT_EQ(imported->user, loans::CurrentUser());
    EXPECT_FALSE(imported->undo.after_fingerprint.empty());
}

// Records made before the rows were fingerprinted by their stored values
// carry a fingerprint of the rows' texts: such a record still undoes, and
// is still refused once the loan's rows changed.
TEST(BulkRepair, ARecordFingerprintedByItsRowsTextsAsOlderOnesWereStillUndoesOrIsRefused) {
    test_support::TempDir dir;
    const std::string path = NewDemo(dir, "demo.fdb", Route::kEmbedded);
    const auto before = test_support::ChecksumTables(path);
    Connection connection(path);
    loans::RepairUnit unit(connection.database);
    const loans::RepairOutcome outcome = unit.Run(
        loans::RepairKind::kRebuild, demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    loans::UndoImage older = outcome.undo;
    ASSERT_TRUE(loans::IsDigestFingerprint(older.after_fingerprint));
    {
        db::TIBTransaction reading("Reading");
        reading.SetDefaultDatabase(&connection.database);
        db::TIBQuery query("Query");
        query.SetDatabase(&connection.database);
        query.SetTransaction(&reading);
        reading.StartTransaction();
        older.after_fingerprint = loans::ImageFingerprint(
            loans::ReadLoanImage(query, loans::StoredColumns(query, "CXCTRX"),
                                 demo::kMemberMismatch, demo::kLoanMismatchMissingDocs));
        reading.Commit();
    }
    ASSERT_FALSE(loans::IsDigestFingerprint(older.after_fingerprint));
    test_support::RawConnection(path).Execute(
        "update cxctrx set cuota = cuota + 1000 where aplica = 1070");
    EXPECT_THROW(unit.Undo(older, demo::kMemberMismatch, demo::kLoanMismatchMissingDocs),
                 loans::EUndoRefused);
    test_support::RawConnection(path).Execute(
        "update cxctrx set cuota = cuota - 1000 where aplica = 1070");
    const loans::RepairOutcome undone =
        unit.Undo(older, demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    EXPECT_TRUE(loans::IsDigestFingerprint(undone.undo.after_fingerprint));
    EXPECT_EQ(test_support::ChecksumTables(path), before);
}

// The server dies in the middle of a bulk run: the loan under way fails,
// and the run stops there instead of failing every loan after it.
TEST(BulkRepair, ARunStopsAtTheFirstLostConnection) {
    if (const std::string missing = test_support::ServerProcess::Unavailable(); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    test_support::TempDir dir;
    const std::string path = portfolio_test::NewDemoDatabase(dir);
    test_support::ServerProcess server;
    const std::string name = server.DatabaseName(path);
    const std::vector<loans::LoanCheck> flagged = Check(name).Flagged();
    ASSERT_EQ(flagged.size(), 4u);
    Connection connection(name);
    loans::RecordStore records(connection.database);
    loans::BulkOptions options;
    options.records = &records;
    options.done = [&server](const loans::LoanRepair&, size_t done, size_t) {
        if (done == 1) server.Kill();
    };
    const loans::BulkResult result = loans::RepairMany(connection.database, flagged, options);
    EXPECT_EQ(result.repaired, 1);
    EXPECT_EQ(result.failed, 1);
    EXPECT_EQ(result.not_reached, 2);
    EXPECT_FALSE(result.connection_lost.empty());
}

// The link loses the commit's answer (the server committed) or the commit
// itself (it did not): the unit asks a new connection whether its record is
// in the table, and says which; the table holds its row exactly when the
// loan was repaired.
TEST(BulkRepair, ACommitWhoseAnswerIsLostIsAskedAgainOnANewConnection) {
    using namespace std::chrono_literals;
    if (const std::string missing = test_support::ServerProcess::Unavailable(); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    db::SetCallLimits({1000ms, 1000ms});
    const runtime::ScopeGuard limits([] { db::SetCallLimits(db::CallLimits{}); });
    for (const bool committed : {true, false}) {
        SCOPED_TRACE(committed ? "the answer lost" : "the commit lost");
        test_support::TempDir dir;
        const std::string path = portfolio_test::NewDemoDatabase(dir);
        test_support::ServerProcess server;
        test_support::TcpRelay relay(server.Port());
        const std::string direct = server.DatabaseName(path);
        const auto untouched = test_support::ChecksumTables(direct);
        Connection connection("127.0.0.1/" + std::to_string(relay.Port()) + ":" + path);
        loans::RecordStore records(connection.database);
        ASSERT_TRUE(records.InDatabase());
        loans::RepairUnit unit(connection.database);
        loans::ConfirmedUnit confirmed;
        confirmed.member = demo::kMemberMismatch;
        confirmed.loan = demo::kLoanMismatchMissingDocs;
        confirmed.repair = "Reindexar";
        const loans::RecordedUnit done =
            loans::RunRecorded(&records, confirmed, [&](const loans::BeforeCommit& record) {
                loans::RepairOptions options;
                options.before_commit = [&](db::TIBQuery& writer,
                                            const loans::RepairOutcome& outcome) {
                    record(writer, outcome);
                    // Its statement kept now, so that the commit is the
                    // next call through the link.
                    writer.Close();
                    writer.SQL().Clear();
                    if (committed) {
                        relay.LoseAnswersOfOpenConnections();
                    } else {
                        relay.LoseRequestsOfOpenConnections();
                    }
                };
                return unit.Run({loans::RepairKind::kRebuild}, confirmed.member, confirmed.loan,
                                options);
            });
        const std::string loan = std::to_string(demo::kLoanMismatchMissingDocs);
        test_support::RawConnection check(direct);
        if (committed) {
            EXPECT_EQ(done.result, loans::RecordedUnit::Result::kDone) << done.message;
            EXPECT_NE(done.settled.find("se comprob\xF3 que qued\xF3 hecho"), std::string::npos)
                << done.settled;
            EXPECT_EQ(check.QueryCount("select count(*) from reparaciones where id = '" +
                                       done.record.id + "'"),
                      1);
            EXPECT_NE(test_support::ChecksumTables(direct), untouched);
        } else {
            EXPECT_EQ(done.result, loans::RecordedUnit::Result::kFailed);
            EXPECT_NE(done.message.find("se comprob\xF3 que no se hizo"), std::string::npos)
                << done.message;
            EXPECT_FALSE(done.connection_lost);
            EXPECT_EQ(check.QueryCount("select count(*) from reparaciones"), 0);
            EXPECT_EQ(test_support::ChecksumTables(direct), untouched);
        }
    }
}

}  // namespace
