// Repairs under four eyes (sql/aprobacion.sql) on real demo databases,
// through the tests' own server with one analyst and two supervisors, as
// the server enforces it: requests that write nothing to the books, the
// approval that writes what the direct repair writes, and every refusal.
#include <gtest/gtest.h>

#include <memory>

#include "db/errors.h"
#include "loans/approval/approvals.h"
#include "loans/approval/request_table.h"
#include "loans/history/run_history.h"
#include "loans/records/record_table.h"
#include "loans/repairs/repair_plan.h"
#include "loans/reports/repair_preview.h"
#include "loans/rules/statements.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/table_checksums.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

using portfolio_test::Check;
using portfolio_test::NewDemo;
using portfolio_test::Routes;
using test_support::Route;

// A connection made as the program makes it, logged in as the user with
// the role.
class Connection {
  public:
    Connection(const std::string& name, const char* user, const char* role) {
        const test_support::AnalystLogin login(name, user, role);
        loans::ConfigureProgramConnection(database, unused_, name);
        database.Open();
    }
    // A statement sent by hand, in a transaction of its own, committed.
    void Execute(const std::string& sql) {
        db::TIBTransaction writing("Hand");
        writing.SetDefaultDatabase(&database);
        writing.Params().Assign({"write", "concurrency", "nowait"});
        db::TIBQuery query("HandQuery");
        query.SetDatabase(&database);
        query.SetTransaction(&writing);
        writing.StartTransaction();
        try {
            loans::SetStatement(query, sql);
            query.Execute();
            query.Close();
            writing.Commit();
        } catch (...) {
            if (writing.Active()) writing.Rollback();
            throw;
        }
    }
    db::TIBDatabase database{"IBDatabase1"};

  private:
    db::TIBTransaction unused_{"IBTransaction1"};
};

std::unique_ptr<Connection> Analyst(const std::string& name) {
    return std::make_unique<Connection>(name, test_support::kAnalystUser,
                                        test_support::kAnalystRole);
}
std::unique_ptr<Connection> Supervisor(const std::string& name, const char* user) {
    return std::make_unique<Connection>(name, user, test_support::kSupervisorRole);
}

// The server's words when it refuses a statement sent by hand.
std::string Refusal(Connection& connection, const std::string& sql) {
    try {
        connection.Execute(sql);
    } catch (const db::EIBError& error) {
        return error.Message();
    }
    return "accepted";
}

// Why a unit failed, in its words ("" when it did not).
std::string Refused(const loans::RecordedUnit& unit) {
    if (unit.result != loans::RecordedUnit::Result::kFailed) return "";
    try {
        std::rethrow_exception(unit.failure);
    } catch (const loans::ERequestRefused& refused) {
        return refused.Message();
    } catch (const std::exception& failure) {
        return std::string("not refused but failed: ") + failure.what();
    }
}

// A refusal before the unit comes back as a unit that failed with it.
loans::RecordedUnit Approve(Connection& connection, int32_t id) {
    loans::Approvals approvals(connection.database);
    loans::RecordStore records(connection.database);
    loans::RepairUnit unit(connection.database);
    loans::ConfirmedUnit confirmed;
    confirmed.database = connection.database.DatabaseName();
    try {
        return approvals.Approve(unit, records, id, confirmed);
    } catch (const loans::ERequestRefused&) {
        loans::RecordedUnit refused;
        refused.failure = std::current_exception();
        return refused;
    }
}

loans::Filed File(Connection& connection, loans::RepairKind kind, int32_t loan) {
    loans::Approvals approvals(connection.database);
    loans::RepairUnit unit(connection.database);
    return approvals.Request(unit, {kind}, demo::kMemberMismatch, loan);
}

std::string ChangeText(const loans::RepairOutcome& outcome) {
    std::string text;
    for (const std::string& line : loans::ChangeLines(outcome)) text += line + "\n";
    return text;
}

// The preview's lines of one loan, every cell, one line of text each.
std::string PreviewText(const loans::LoanRepair& entry) {
    std::string text;
    for (const loans::PreviewLine& line : loans::PreviewLines(entry)) {
        text += std::to_string(static_cast<int>(line.kind)) + "|" + line.member + "|" +
                std::to_string(line.loan) + "|" + line.subject + "|" + line.document + "|" +
                line.document_kind + "|" + line.date + "|" + line.amount + "|" + line.interest +
                "|" + line.text;
        for (const loans::PreviewChange& change : line.changes) {
            text += "|" + change.what + ":" + change.before + ">" + change.after;
        }
        text += "\n";
    }
    return text;
}

// A bulk run's every loan as told when it ended, its outcome kept (the run
// itself keeps only the refused, failed and unreached, without outcomes).
struct BulkRun {
    loans::BulkResult result;
    std::vector<loans::LoanRepair> loans;
};
template <typename Run>
BulkRun Told(loans::BulkOptions options, const Run& run) {
    BulkRun told;
    options.done = [&told](const loans::LoanRepair& entry, size_t, size_t) {
        told.loans.push_back(entry);
    };
    told.result = run(options);
    return told;
}

TEST(Approval, AnAnalystsRepairFilesARequestThatAnotherSupervisorsApprovalMakesAsTheRepairWould) {
    const std::string unavailable = test_support::ServerUnavailable();
    if (!unavailable.empty()) GTEST_SKIP() << unavailable;
    test_support::TempDir dir;
    const std::string name = NewDemo(dir, "approval.fdb", Route::kServer);
    const std::string direct = NewDemo(dir, "direct.fdb", Route::kServer);
    test_support::RunSqlScript(name, "aprobacion.sql");
    test_support::RawConnection owner(name);
    auto analyst = Analyst(name);
    auto first = Supervisor(name, test_support::kSupervisorUser);
    auto second = Supervisor(name, test_support::kSecondSupervisorUser);
    EXPECT_TRUE(loans::Approvals(analyst->database).Required());
    const auto untouched = test_support::ChecksumTables(name);
    const std::string records = "select count(*) from reparaciones";
    const long long records_before = owner.QueryCount(records);

    // The analyst's "Reindexar" writes nothing but the request, which holds
    // what the repair would change.
    const loans::Filed filed = File(*analyst, loans::RepairKind::kRebuild, 1070);
    ASSERT_EQ(filed.result, loans::Filed::Result::kFiled) << filed.message;
    const int32_t id = filed.request.id;
    EXPECT_EQ(test_support::ChecksumTables(name), untouched);
    EXPECT_EQ(owner.QueryCount(records), records_before);
    EXPECT_EQ(owner.QueryRows("select usuario, rol, socio, prestamo, accion from solicitudes"),
              (std::vector<std::string>{"ANALISTA_PRUEBA|ANALISTA_SOCIOS|00010|1070|Reindexar"}));
    std::string direct_change;
    {
        auto direct_analyst = Analyst(direct);
        loans::RepairUnit unit(direct_analyst->database);
        loans::RepairOptions simulate;
        simulate.simulate = true;
        direct_change = ChangeText(
            unit.Run({loans::RepairKind::kRebuild}, demo::kMemberMismatch, 1070, simulate));
    }
    const std::optional<loans::Request> kept = loans::Approvals(second->database).Find(id);
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(ChangeText(loans::OutcomeOf(*kept)), direct_change);
    EXPECT_EQ(loans::FateText(*kept), "Pendiente de aprobaci\xF3n");

    // The analyst's role may write the books no more, by the program's
    // repair or by hand.
    {
        loans::RepairUnit unit(analyst->database);
        EXPECT_THROW(unit.Run(loans::RepairKind::kRebuild, demo::kMemberMismatch, 1070),
                     db::EIBError);
        EXPECT_NE(Refusal(*analyst, "delete from cxctrx where aplica = 1070").find("no permission"),
                  std::string::npos);
    }
    // A second open request for the loan and repair, named by the first.
    const loans::Filed again = File(*analyst, loans::RepairKind::kRebuild, 1070);
    EXPECT_EQ(again.result, loans::Filed::Result::kRefused);
    EXPECT_NE(again.message.find("la " + std::to_string(id) + ", de ANALISTA_PRUEBA"),
              std::string::npos)
        << again.message;
    // The analyst cannot approve: the server refuses, through the program
    // and by hand.
    EXPECT_NE(Refused(Approve(*analyst, id)).find("Solo un supervisor"), std::string::npos);
    const std::string resolve = "insert into resoluciones (solicitud, decision) values (" +
                                std::to_string(id) + ", 'Aprobada')";
    EXPECT_NE(
        Refusal(*analyst, resolve).find("no permission for INSERT access to TABLE RESOLUCIONES"),
        std::string::npos);

    // A supervisor's own request: refused by the server's trigger, however
    // it is sent.
    const loans::Filed own = File(*first, loans::RepairKind::kRebuild, 1071);
    ASSERT_EQ(own.result, loans::Filed::Result::kFiled) << own.message;
    EXPECT_NE(Refused(Approve(*first, own.request.id)).find("propia solicitud"), std::string::npos);
    const std::string by_hand =
        Refusal(*first, "insert into resoluciones (solicitud, decision) values (" +
                            std::to_string(own.request.id) + ", 'Aprobada')");
    EXPECT_NE(by_hand.find("SOLICITUD_PROPIA"), std::string::npos) << by_hand;
    EXPECT_NE(Refusal(*first, "insert into resoluciones (solicitud, decision, motivo) values (" +
                                  std::to_string(own.request.id) + ", 'Rechazada', 'no')")
                  .find("Nadie puede aprobar ni rechazar su propia solicitud"),
              std::string::npos);
    EXPECT_THROW(loans::Approvals(first->database).Reject(own.request.id, "no"),
                 loans::ERequestRefused);
    // Nor does the supervisors' role write the books by hand: only in the
    // transaction that approves another's request for the loan.
    for (const char* sql :
         {"delete from cxctrx where aplica = 1070",
          "update renglones set ren_pagadocapital = 0 where ren_prestamono = 1070"}) {
        EXPECT_NE(Refusal(*second, sql).find("SIN_APROBACION"), std::string::npos) << sql;
    }
    EXPECT_EQ(test_support::ChecksumTables(name), untouched);
    EXPECT_EQ(owner.QueryCount("select count(*) from resoluciones"), 0);

    // The other supervisor's approval: one unit with its resolution and
    // its record, writing exactly what the analyst's direct repair writes.
    const loans::RecordedUnit approved = Approve(*second, id);
    ASSERT_EQ(approved.result, loans::RecordedUnit::Result::kDone) << approved.message;
    {
        auto direct_analyst = Analyst(direct);
        loans::RepairUnit(direct_analyst->database)
            .Run(loans::RepairKind::kRebuild, demo::kMemberMismatch, 1070);
    }
    EXPECT_EQ(test_support::ChecksumTables(name), test_support::ChecksumTables(direct));
    EXPECT_EQ(owner.QueryCount(records), records_before + 1);
    EXPECT_EQ(
        owner.QueryRows("select usuario, rol, accion, prestamo from reparaciones where id = '" +
                        approved.outcome.id + "'"),
        (std::vector<std::string>{"SUPERVISOR_DOS|SUPERVISOR_SOCIOS|Reindexar|1070"}));
    EXPECT_EQ(owner.QueryRows("select solicitud, usuario, decision, reparacion from resoluciones"),
              (std::vector<std::string>{std::to_string(id) + "|SUPERVISOR_DOS|Aprobada|" +
                                        approved.outcome.id}));
    const std::optional<loans::Request> done = loans::Approvals(analyst->database).Find(id);
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(loans::FateText(*done).rfind("Aprobada por SUPERVISOR_DOS el ", 0), 0u)
        << loans::FateText(*done);
    // Resolved once only.
    EXPECT_NE(Refused(Approve(*first, id)).find("ya est\xE1 resuelta"), std::string::npos);

    // A loan whose rows changed since the request: refused at approval, and
    // nothing written; then rejected with the reason, which frees the loan
    // for a new request.
    const loans::Filed stale = File(*analyst, loans::RepairKind::kRebuild, 1073);
    ASSERT_EQ(stale.result, loans::Filed::Result::kFiled) << stale.message;
    owner.Execute(
        "insert into cxctrx (cliente, tipo_doc, documento, aplica, valor) values "
        "('00010', 'R', 1, 1073, -10)");
    const auto changed = test_support::ChecksumTables(name);
    const long long resolutions = owner.QueryCount("select count(*) from resoluciones");
    EXPECT_NE(Refused(Approve(*second, stale.request.id)).find("cambiaron desde la solicitud"),
              std::string::npos);
    EXPECT_EQ(test_support::ChecksumTables(name), changed);
    EXPECT_EQ(owner.QueryCount("select count(*) from resoluciones"), resolutions);
    EXPECT_EQ(owner.QueryCount(records), records_before + 1);
    EXPECT_THROW(loans::Approvals(second->database).Reject(stale.request.id, "  "),
                 loans::ERequestRefused);
    loans::Approvals(second->database).Reject(stale.request.id, "El pr\xE9stamo cambi\xF3");
    EXPECT_EQ(
        owner.QueryRows("select usuario, decision, motivo from resoluciones where solicitud = " +
                        std::to_string(stale.request.id)),
        (std::vector<std::string>{"SUPERVISOR_DOS|Rechazada|El pr\xE9stamo cambi\xF3"}));
    const std::vector<loans::Request> history =
        loans::Approvals(analyst->database).Of(demo::kMemberMismatch, 1073);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_NE(loans::FateText(history[0]).find(": El pr\xE9stamo cambi\xF3"), std::string::npos);
    EXPECT_EQ(File(*analyst, loans::RepairKind::kRebuild, 1073).result,
              loans::Filed::Result::kFiled);
    EXPECT_EQ(test_support::ChecksumTables(name), changed);
}

// Undoing an approved repair is a request too; approved, the loan's rows are
// back as they were.
TEST(Approval, AnUndoIsRequestedAndApprovedLikeARepair) {
    for (const Route route : Routes()) {
        SCOPED_TRACE(test_support::RouteName(route));
        test_support::TempDir dir;
        const std::string name = NewDemo(dir, "approval.fdb", route);
        test_support::RunSqlScript(name, "aprobacion.sql");
        auto analyst = Analyst(name);
        auto supervisor = Supervisor(name, test_support::kSupervisorUser);
        const auto before = test_support::ChecksumTables(name);
        loans::Approvals approvals(analyst->database);
        loans::RepairUnit unit(analyst->database);
        const loans::Filed correction =
            approvals.Request(unit, {loans::RepairKind::kCorrect}, "00002", 1010);
        ASSERT_EQ(correction.result, loans::Filed::Result::kFiled) << correction.message;
        const loans::RecordedUnit made = Approve(*supervisor, correction.request.id);
        ASSERT_EQ(made.result, loans::RecordedUnit::Result::kDone) << made.message;
        ASSERT_NE(test_support::ChecksumTables(name), before);

        loans::RecordStore records(analyst->database);
        const loans::Filed undo = approvals.RequestUndo(unit, records, made.outcome.id);
        ASSERT_EQ(undo.result, loans::Filed::Result::kFiled) << undo.message;
        EXPECT_EQ(undo.request.repair, "Deshacer");
        EXPECT_EQ(undo.request.undoes, made.outcome.id);
        EXPECT_EQ(approvals.RequestUndo(unit, records, made.outcome.id).result,
                  loans::Filed::Result::kRefused);
        const loans::RecordedUnit undone = Approve(*supervisor, undo.request.id);
        ASSERT_EQ(undone.result, loans::RecordedUnit::Result::kDone) << undone.message;
        EXPECT_EQ(test_support::ChecksumTables(name), before);
        EXPECT_EQ(records.UndoneBy(*records.Find(made.outcome.id)), undone.outcome.id);
    }
}

// A bulk run files one request per flagged loan, each with what the loan's
// bulk repair would change; approved, the books are those of a direct bulk
// repair. Turned off again, repairs write the books directly, as before.
TEST(Approval, BulkRequestsAreApprovedIntoWhatABulkRepairWritesAndApprovalOffRepairsAsBefore) {
    for (const Route route : Routes()) {
        SCOPED_TRACE(test_support::RouteName(route));
        test_support::TempDir dir;
        const std::string name = NewDemo(dir, "approval.fdb", route);
        const std::string direct = NewDemo(dir, "direct.fdb", route);
        test_support::RunSqlScript(name, "aprobacion.sql");
        const std::vector<loans::LoanCheck> flagged = Check(name).Flagged();
        ASSERT_EQ(flagged.size(), 4u);
        const auto untouched = test_support::ChecksumTables(name);
        auto analyst = Analyst(name);
        loans::Approvals approvals(analyst->database);
        ASSERT_TRUE(approvals.Required());

        // Worked out without writing (the analyst may not write), the
        // preview is what the direct bulk repair's simulation shows.
        loans::BulkOptions preview;
        preview.simulate = true;
        preview.plan = true;
        const BulkRun planned = Told(preview, [&](const loans::BulkOptions& options) {
            return loans::RepairMany(analyst->database, flagged, options);
        });
        EXPECT_EQ(planned.result.repaired, 4);
        BulkRun simulated;
        {
            auto direct_analyst = Analyst(direct);
            loans::BulkOptions simulate;
            simulate.simulate = true;
            simulated = Told(simulate, [&](const loans::BulkOptions& options) {
                return loans::RepairMany(direct_analyst->database, flagged, options);
            });
        }
        const BulkRun requested = Told({}, [&](const loans::BulkOptions& options) {
            return loans::RequestMany(analyst->database, approvals, flagged, options);
        });
        EXPECT_EQ(requested.result.requested, 4);
        // Counted, not kept: nothing failed, was refused or left unreached.
        EXPECT_TRUE(requested.result.failures.empty());
        EXPECT_TRUE(requested.result.unreached.empty());
        EXPECT_EQ(test_support::ChecksumTables(name), untouched);
        ASSERT_EQ(planned.loans.size(), flagged.size());
        ASSERT_EQ(simulated.loans.size(), flagged.size());
        ASSERT_EQ(requested.loans.size(), flagged.size());
        for (size_t i = 0; i < flagged.size(); ++i) {
            EXPECT_EQ(ChangeText(planned.loans[i].outcome), ChangeText(simulated.loans[i].outcome));
            // The dialog's preview lines, as it makes them loan by loan.
            EXPECT_EQ(PreviewText(planned.loans[i]), PreviewText(simulated.loans[i]));
            const std::optional<loans::Request> request =
                approvals.Find(requested.loans[i].request);
            ASSERT_TRUE(request.has_value());
            EXPECT_EQ(ChangeText(loans::OutcomeOf(*request)),
                      ChangeText(simulated.loans[i].outcome));
        }
        EXPECT_EQ(approvals.Pending().size(), 4u);
        const loans::BulkResult twice =
            loans::RequestMany(analyst->database, approvals, flagged, {});
        EXPECT_EQ(twice.refused, 4);
        // The refused are kept to be named, without their outcomes.
        ASSERT_EQ(twice.failures.size(), 4u);
        for (const loans::LoanRepair& refused : twice.failures) {
            EXPECT_EQ(refused.result, loans::LoanResult::kRefused);
            EXPECT_NE(refused.message.find("Ya hay una solicitud abierta"), std::string::npos)
                << refused.message;
            EXPECT_TRUE(refused.outcome.after.movements.empty());
        }
        EXPECT_EQ(approvals.Pending().size(), 4u);

        auto supervisor = Supervisor(name, test_support::kSupervisorUser);
        for (const loans::Request& pending : approvals.Pending()) {
            const loans::RecordedUnit approved = Approve(*supervisor, pending.id);
            EXPECT_EQ(approved.result, loans::RecordedUnit::Result::kDone) << approved.message;
        }
        EXPECT_TRUE(approvals.Pending().empty());
        // The supervisors check the portfolio too: their runs are kept.
        loans::CheckRun run;
        run.finished = true;
        run.checked = 50;
        run.flagged = Check(name).Flagged();
        EXPECT_EQ(loans::RecordRun(supervisor->database, run, "prueba").stored.checked, 50);
        {
            auto direct_analyst = Analyst(direct);
            loans::RepairMany(direct_analyst->database, flagged, {});
        }
        EXPECT_EQ(test_support::ChecksumTables(name), test_support::ChecksumTables(direct));
        EXPECT_TRUE(Check(name).Flagged().empty());

        // Off again: the analyst's repairs write the books, no request.
        test_support::RunSqlScript(name, "sin_aprobacion.sql");
        test_support::RawConnection(name).Execute(
            "update cxctrx set valor = valor - 1 where aplica = 1070 and tipo_doc = 'F'");
        auto later = Analyst(name);
        loans::Approvals off(later->database);
        EXPECT_FALSE(off.Required());
        EXPECT_TRUE(off.Kept());
        const loans::BulkResult repaired =
            loans::RepairMany(later->database, Check(name).Flagged(), {});
        EXPECT_EQ(repaired.repaired, 1);
        EXPECT_TRUE(Check(name).Flagged().empty());
        EXPECT_TRUE(off.Pending().empty());
        // The supervisors too, and nobody files a request any more.
        test_support::RawConnection(name).Execute(
            "update cxctrx set valor = valor - 1 where aplica = 1070 and tipo_doc = 'F'");
        auto supervisor_later = Supervisor(name, test_support::kSecondSupervisorUser);
        EXPECT_EQ(loans::RepairMany(supervisor_later->database, Check(name).Flagged(), {}).repaired,
                  1);
        EXPECT_NE(Refusal(*later,
                          "insert into solicitudes (socio, prestamo, accion, huella, "
                          "balance_documentos_antes, balance_cxc_antes, "
                          "balance_documentos_despues, balance_cxc_despues, filas_borradas, "
                          "filas_insertadas, filas_actualizadas) values ('00010', 1070, "
                          "'Reindexar', 'x', 0, 0, 0, 0, 0, 0, 0)")
                      .find("no permission for INSERT access to TABLE SOLICITUDES"),
                  std::string::npos);
    }
}

// Without the script, nothing of it: no requests kept, none required.
TEST(Approval, ADatabaseWithoutTheScriptKeepsNoRequests) {
    test_support::TempDir dir;
    const std::string name = NewDemo(dir, "demo.fdb", Route::kEmbedded);
    auto analyst = Analyst(name);
    loans::Approvals approvals(analyst->database);
    EXPECT_FALSE(approvals.Kept());
    EXPECT_FALSE(approvals.Required());
    EXPECT_TRUE(approvals.Pending().empty());
    EXPECT_TRUE(approvals.Of(demo::kMemberMismatch, 1070).empty());
}

}  // namespace
