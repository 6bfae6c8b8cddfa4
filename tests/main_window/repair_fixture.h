#pragma once

// The real window on a fresh demo database reached by either route, with
// what the repair tests read behind its back.
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/main_window/window_fixture.h"
#include "tools/demo_db/demo_catalogue.h"

using test_support::RawConnection;
using Rows = std::vector<std::string>;

constexpr const char* kRebuildQuestion =
    "Esta Seguro de Querer Ejecutar este proceso en el prestamo ";
constexpr const char* kCorrectQuestion =
    "Esta Seguro de Querer Corregir el plan de pagos (Tabla de amortizacion) en el prestamo ";

class RepairTest : public WindowTest, public ::testing::WithParamInterface<test_support::Route> {
  protected:
    void SetUp() override {
        if (GetParam() == test_support::Route::kServer) {
            if (const std::string why = test_support::ServerUnavailable(); !why.empty()) {
                GTEST_SKIP() << why;
            }
        }
        WindowTest::SetUp();
        name_ = test_support::DatabaseName(GetParam(), database_);
        WriteDbIni(name_ + "\n");
        // Every confirmed repair is journaled: into this test's own folder.
        journal_home_ = dir_.File("data");
        setenv("XDG_DATA_HOME", journal_home_.c_str(), 1);
        // Through a server the window logs in as a site would: a user of its
        // own with the analysts' role, not the owner.
        if (GetParam() == test_support::Route::kServer) {
            analyst_ = std::make_unique<test_support::AnalystLogin>(name_);
        }
    }
    void TearDown() override {
        WindowTest::TearDown();
        analyst_.reset();
        unsetenv("XDG_DATA_HOME");
    }

    QJsonObject Press(const char* button, const char* answer = "yes") {
        return Do({std::string("answer ") + answer, std::string("press ") + button});
    }

    // Seen from a connection of its own, every time.
    Rows Movements(const char* member, int loan) {
        return RawConnection(name_).QueryRows(
            "select cliente, tipo_doc, documento, fecha, aplica, valor, fechavenc, cuota, "
            "registrono, interes, tipo from cxctrx where cliente = '" +
            std::string(member) + "' and aplica = " + std::to_string(loan) +
            " order by tipo_doc, documento, valor");
    }
    Rows Schedule(int loan) {
        return RawConnection(name_).QueryRows(
            "select ren_cuotano, ren_pagadocapital, ren_pagadointeres, ren_totalpagado from "
            "renglones where ren_prestamono = " +
            std::to_string(loan) + " order by ren_cuotano");
    }
    // As the owner. An exception a test creates to make a repair fail is the
    // test's own: whoever the window logs in as may raise it.
    void Execute(const std::string& sql) {
        RawConnection raw(name_);
        raw.Execute(sql);
        const std::string create = "create exception ";
        if (sql.rfind(create, 0) == 0) {
            const size_t end = sql.find(' ', create.size());
            raw.Execute("grant usage on exception " +
                        sql.substr(create.size(), end - create.size()) + " to public");
        }
    }

    static std::vector<std::pair<std::string, std::string>> Boxes(const QJsonObject& state) {
        std::vector<std::pair<std::string, std::string>> boxes;
        for (const QJsonValue& box : state["messages"].toArray()) {
            boxes.emplace_back(Text(box.toObject()["kind"]), Text(box.toObject()["text"]));
        }
        return boxes;
    }
    using Boxes_t = std::vector<std::pair<std::string, std::string>>;

    std::string name_;
    std::string journal_home_;
    std::unique_ptr<test_support::AnalystLogin> analyst_;
};
