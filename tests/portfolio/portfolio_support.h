#pragma once

// Demo databases for the portfolio tests, the check run the program's way,
// and the two repairs' effects written with plain statements, step by step
// as the window's repairs write them.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/history/run_history.h"
#include "loans/repairs/bulk_repair.h"
#include "loans/repairs/repair_unit.h"
#include "loans/reports/portfolio_report.h"
#include "loans/rules/connection_profile.h"
#include "loans/rules/reconciliation.h"
#include "tests/support/test_database.h"
#include "tools/demo_db/demo_database.h"
#include "tools/raw_client/raw_client.h"

namespace portfolio_test {

inline std::string NewDemoDatabase(const test_support::TempDir& dir,
                                   const std::string& file = "demo.fdb") {
    const std::string path = dir.File(file);
    test_support::CopyDemoDatabase(path);
    return path;
}

// The routes a test runs on: embedded, and through the tests' server when
// there is one.
inline std::vector<test_support::Route> Routes() {
    std::vector<test_support::Route> routes = {test_support::Route::kEmbedded};
    if (test_support::ServerUnavailable().empty()) routes.push_back(test_support::Route::kServer);
    return routes;
}

// A demo copy reached by the route; through the server, the copy and its
// folder opened to the server's account.
inline std::string NewDemo(const test_support::TempDir& dir, const std::string& file,
                           test_support::Route route) {
    const std::string path = NewDemoDatabase(dir, file);
    if (route == test_support::Route::kEmbedded) return path;
    for (const std::filesystem::path& open : {dir.Path(), std::filesystem::path(path)}) {
        std::filesystem::permissions(open, std::filesystem::perms::all,
                                     std::filesystem::perm_options::add);
    }
    return test_support::DatabaseName(route, path);
}

// The check run with its sums worked out here and by the server, which
// must agree loan by loan; the list worked out here.
inline loans::CheckResult Check(const std::string& name) {
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, name);
    loans::CheckOptions options;
    options.sums = loans::SumsWorked::kByServer;
    const loans::CheckResult by_server = loans::RunCheck(database, {}, options);
    options.sums = loans::SumsWorked::kHere;
    loans::CheckResult here = loans::RunCheck(database, {}, options);
    const auto figures = [](const loans::LoanCheck& loan) {
        return loan.member + "/" + std::to_string(loan.loan) + " " + loan.name + " " +
               loans::ShownAmount(loan.documents_balance) + " " +
               loans::ShownAmount(loan.receivable_balance) + " " +
               std::to_string(loan.differing_instalments) + " " + loans::RepairName(loan);
    };
    EXPECT_EQ(here.loans.size(), by_server.loans.size());
    for (size_t i = 0; i < std::min(here.loans.size(), by_server.loans.size()); ++i) {
        EXPECT_EQ(figures(here.loans[i]), figures(by_server.loans[i]));
    }
    return here;
}

// Checks the database the program's way and stores the run in its
// history, as finished or not, as a run of 1.234 s from "puesto-de-prueba".
inline loans::RecordedRun RecordCheckRun(const std::string& name, bool finished = true) {
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, name);
    const loans::CheckResult result = loans::RunCheck(database);
    loans::CheckRun run;
    run.finished = finished;
    run.checked = result.loans.size();
    run.flagged = result.Flagged();
    run.duration = std::chrono::milliseconds(1234);
    return loans::RecordRun(database, run, "puesto-de-prueba");
}

// Repairs the flagged loan `loan` alone, as one unit on a connection of the
// program's own: what a run stopped after that loan must leave.
inline void RepairOneFlaggedLoan(const std::string& name, int32_t loan) {
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, name);
    database.Open();
    for (const loans::LoanCheck& flagged : loans::RunCheck(database).Flagged()) {
        if (flagged.loan != loan) continue;
        loans::RepairUnit(database).Run(loans::RepairsFor(flagged), flagged.member, flagged.loan,
                                        {});
    }
}

// One part of an .xlsx workbook (a zip), as unzip reads it ("" when there
// is no such part).
inline std::string WorkbookPart(const test_support::TempDir& dir, const std::string& file,
                                const std::string& part) {
    return test_support::RunCommand(dir, "unzip -p '" + file + "' " + part).out;
}

// The parts of an .xlsx workbook, by name.
inline std::vector<std::string> WorkbookParts(const test_support::TempDir& dir,
                                              const std::string& file) {
    std::istringstream names(test_support::RunCommand(dir, "unzip -Z1 '" + file + "'").out);
    std::vector<std::string> parts;
    for (std::string name; std::getline(names, name);) parts.push_back(name);
    return parts;
}

// "reference=number" for each number cell of a worksheet's XML, in order.
inline std::vector<std::string> NumberCells(const std::string& sheet) {
    static const std::regex cell("<c r=\"([A-Z]+[0-9]+)\"(?: s=\"[0-9]+\")?><v>([^<]*)</v></c>");
    std::vector<std::string> cells;
    for (auto it = std::sregex_iterator(sheet.begin(), sheet.end(), cell);
         it != std::sregex_iterator(); ++it) {
        cells.push_back((*it)[1].str() + "=" + (*it)[2].str());
    }
    return cells;
}

// "member/loan repair instalments" per flagged loan, in the check's order.
inline std::vector<std::string> Summary(const std::vector<loans::LoanCheck>& loans) {
    std::vector<std::string> out;
    for (const loans::LoanCheck& loan : loans) {
        out.push_back(loan.member + "/" + std::to_string(loan.loan) + " " +
                      loans::RepairName(loan) + " " + std::to_string(loan.differing_instalments));
    }
    return out;
}

// The applied documents of one loan, as the window lists them.
inline std::vector<demo::Row> AppliedDocuments(demo::Transaction& transaction, int32_t loan) {
    return demo::SelectRows(transaction, demo::AppliedDocumentsSql(),
                            {loan, loan, loan, loan, loan, loan});
}

// "Reindexar": the loan's movements become its opening row plus one row per
// applied document.
inline void Reindex(const std::string& path, const std::string& member, int32_t loan) {
    demo::Attachment attachment(path);
    demo::Transaction transaction(attachment);
    const demo::Row head =
        demo::SelectRows(
            transaction,
            "select fecha, valor, registro_no, tipo from solicitudpres where socio = ? and "
            "no_documento = ?",
            {member, loan})
            .at(0);
    const int32_t type = demo::AsInt(head[3]) >= 1 ? static_cast<int32_t>(demo::AsInt(head[3])) : 2;
    demo::Statement(transaction, "delete from cxctrx where cliente = ? and aplica = ?")
        .Execute({member, loan});
    demo::Statement insert(
        transaction,
        "insert into cxctrx(cliente,tipo_doc,documento,fecha,aplica,valor,"
        "fechavenc,cuota,registrono,interes,tipo) values (?,?,?,?,?,?,?,?,?,?,?)");
    const int32_t registro = static_cast<int32_t>(demo::AsInt(head[2]));
    insert.Execute({member, std::string("F"), loan, head[0], loan, demo::AsDouble(head[1]), head[0],
                    int32_t{0}, registro, 0.0, type});
    for (const demo::Row& row : AppliedDocuments(transaction, loan)) {
        if (demo::AsText(row[0]) == "P") continue;
        insert.Execute({member, demo::AsText(row[0]), static_cast<int32_t>(demo::AsInt(row[1])),
                        row[2], loan, demo::AsDouble(row[4]), head[0],
                        static_cast<int32_t>(demo::AsInt(row[3])), registro, demo::AsDouble(row[5]),
                        type});
    }
    transaction.Commit();
}

// "Corregir Tabla": paid columns reset, then each document's amounts
// negated and added to its instalment, then each total paid moved by what
// its paid amounts moved. (The demo has no instalment entered twice, so
// the instalment number names the row.)
inline void CorrectSchedule(const std::string& path, int32_t loan) {
    demo::Attachment attachment(path);
    demo::Transaction transaction(attachment);
    const std::vector<demo::Row> before = demo::SelectRows(
        transaction,
        "select ren_cuotano, ren_pagadocapital, ren_pagadointeres, ren_totalpagado "
        "from renglones where ren_prestamono = ?",
        {loan});
    demo::Statement(transaction,
                    "UPDATE RENGLONES SET  REN_PAGADOCAPITAL = 0, REN_PAGADOINTERES = 0, "
                    "REN_TOTALPAGADO = 0  WHERE REN_PRESTAMONO = ?")
        .Execute({loan});
    demo::Statement add(transaction,
                        " UPDATE renglones SET ren_pagadocapital = ren_pagadocapital + ?, "
                        "ren_pagadointeres = ren_pagadointeres +  ?  where ren_prestamono = ? and "
                        "ren_cuotano = ?");
    for (const demo::Row& row : AppliedDocuments(transaction, loan)) {
        if (demo::AsText(row[0]) == "P") continue;
        // The instalment bound as an integer: a null one as 0.
        add.Execute(
            {demo::IsNull(row[4]) ? 0.0 : -demo::AsDouble(row[4]),
             demo::IsNull(row[5]) ? 0.0 : -demo::AsDouble(row[5]), loan,
             demo::IsNull(row[3]) ? int32_t{0} : static_cast<int32_t>(demo::AsInt(row[3]))});
    }
    demo::Statement total(transaction,
                          "update renglones set ren_totalpagado = ? + ((ren_pagadocapital - ?) + "
                          "(ren_pagadointeres - ?)) where ren_prestamono = ? and ren_cuotano = ?");
    for (const demo::Row& row : before) {
        total.Execute({row[3], demo::IsNull(row[1]) ? 0.0 : demo::AsDouble(row[1]),
                       demo::IsNull(row[2]) ? 0.0 : demo::AsDouble(row[2]), loan, row[0]});
    }
    transaction.Commit();
}

}  // namespace portfolio_test
