#pragma once

// A fresh demo database served by a Firebird server of the test's own,
// which the test may kill, pause and restart; the program (the window in
// this process, or driver programs) reaches it through db.ini. The loan
// with many documents is put out of order first, so that "as before" and
// "repaired" are different rows.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/main_window/window_fixture.h"
#include "tests/support/server_process.h"
#include "tools/demo_db/demo_catalogue.h"

using Rows = std::vector<std::string>;

// Whether a message is the client library's for a server that is gone:
// the connection broken while in use, or refused when opened again.
inline bool IsNetworkFailure(const std::string& message) {
    for (const char* known :
         {"Error reading data from the connection", "Error writing data to the connection",
          "Unable to complete network request to host", "connection shutdown"}) {
        if (message.find(known) != std::string::npos) return true;
    }
    return false;
}

// Both repairs of the loan with 1,100 receipts.
inline constexpr const char* kRepairButtons[] = {"btreindexar", "btcorregir"};
// A repair is struck once it has written rows and committed none: the
// rebuild after its delete of about 1,000 movements, with its 1,101
// inserts to go, the correction after its reset of 60 instalments, with its
// 1,100 additions to go. The earliest such moment leaves a slow machine the
// most time to strike before the commit.
inline constexpr long long kStrikeAfterWrites = 1;

// The text of the last box a state shows ("" when none).
inline std::string LastBoxText(const QJsonObject& state) {
    const QJsonArray boxes = state["messages"].toArray();
    if (boxes.isEmpty()) return "";
    return boxes.last().toObject()["text"].toString().toLatin1().toStdString();
}

// Receivable rows off by one, some missing, and a third of the schedule's
// paid amounts gone: both repairs of the loan with 1,100 receipts have work
// to do.
inline void UnsettleManyDocumentsLoan(const std::string& database) {
    test_support::RawConnection raw(database);
    raw.Execute(
        "update cxctrx set valor = valor - 1 where aplica = 1110 and tipo_doc = 'R' "
        "and documento <= 80100");
    raw.Execute("delete from cxctrx where aplica = 1110 and documento > 81000");
    raw.Execute(
        "update renglones set ren_pagadocapital = 0, ren_pagadointeres = 0 "
        "where ren_prestamono = 1110 and ren_cuotano > 30");
}

// What the rebuild writes: the member's movements applied to the loan, read
// on a connection of their own.
inline Rows MovementRows(const std::string& database, const std::string& member, int loan) {
    return test_support::RawConnection(database).QueryRows(
        "select cliente, tipo_doc, documento, fecha, aplica, valor, fechavenc, cuota, "
        "registrono, interes, tipo from cxctrx where cliente = '" +
        member + "' and aplica = " + std::to_string(loan) + " order by tipo_doc, documento, valor");
}

// What the correction writes: the loan's schedule with its paid amounts.
inline Rows ScheduleRows(const std::string& database, int loan) {
    return test_support::RawConnection(database).QueryRows(
        "select ren_cuotano, ren_pagadocapital, ren_pagadointeres, ren_totalpagado "
        "from renglones where ren_prestamono = " +
        std::to_string(loan) + " order by ren_cuotano");
}

class ServerFaultTest : public WindowTest {
  protected:
    void SetUp() override {
        const std::string missing = test_support::ServerProcess::Unavailable();
        if (!missing.empty()) GTEST_SKIP() << missing;
        WindowTest::SetUp();
        server_ = std::make_unique<test_support::ServerProcess>();
        name_ = server_->DatabaseName(database_);
        WriteDbIni(name_ + "\n");
        journal_home_ = dir_.File("data");
        setenv("XDG_DATA_HOME", journal_home_.c_str(), 1);
        UnsettleManyDocumentsLoan(name_);
        // Records in the user's journal unless the test reads them in the
        // database's table.
        if (!keep_records_table_) test_support::DropRecordTables(name_);
    }
    void TearDown() override {
        if (IsSkipped()) return;
        WindowTest::TearDown();
        server_.reset();
        unsetenv("XDG_DATA_HOME");
    }

    Rows LoanRows(const std::string& member, int loan) {
        Rows rows = MovementRows(name_, member, loan);
        const Rows schedule = ScheduleRows(name_, loan);
        rows.insert(rows.end(), schedule.begin(), schedule.end());
        return rows;
    }

    QJsonObject Press(const char* button) {
        return Do({"answer yes", std::string("press ") + button});
    }

    // The journal's lines, oldest first.
    Rows JournalLines() {
        Rows lines;
        std::ifstream in(journal_home_ + "/analisis-socios/reparaciones.jsonl");
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // The boxes shown since the previous state, as kind and text.
    static std::vector<std::pair<std::string, std::string>> Boxes(const QJsonObject& state) {
        std::vector<std::pair<std::string, std::string>> boxes;
        for (const QJsonValue& box : state["messages"].toArray()) {
            boxes.emplace_back(Text(box.toObject()["kind"]), Text(box.toObject()["text"]));
        }
        return boxes;
    }
    // The text of the one error box shown ("" after recording a failure
    // when there is none or more).
    static std::string OnlyError(const QJsonObject& state) {
        const auto boxes = Boxes(state);
        EXPECT_EQ(boxes.size(), 1u);
        if (boxes.size() != 1) return "";
        EXPECT_EQ(boxes[0].first, "error");
        return boxes[0].second;
    }

    // One box shown: the client library's message for a server gone.
    static void ExpectOnlyNetworkFailure(const QJsonObject& state) {
        const std::string message = OnlyError(state);
        EXPECT_TRUE(IsNetworkFailure(message)) << message;
    }

    std::unique_ptr<test_support::ServerProcess> server_;
    std::string name_;
    std::string journal_home_;
    bool keep_records_table_ = false;
};
