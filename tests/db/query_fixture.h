#pragma once

#include <memory>

#include "db/ib_database.h"
#include "db/ib_query.h"
#include "db/ib_transaction.h"
#include "loans/rules/connection_profile.h"
#include "tests/db/route_fixture.h"

// A connection configured as the main window's, on a fresh database with
// the tables a test creates through the raw client API.
class QueryTest : public RouteTest {
  protected:
    void SetUp() override {
        RouteTest::SetUp();
        if (IsSkipped()) return;
        name_ = NewDatabase();
        loans::ConfigureProgramConnection(database_, transaction_, name_);
        // These tests write through the window's kind of transaction; the
        // program's own only reads.
        transaction_.Params().Assign({"read_committed", "rec_version", "nowait"});
    }
    void Setup(std::initializer_list<std::string> statements) {
        test_support::RawConnection raw(name_);
        for (const std::string& sql : statements) raw.Execute(sql);
    }
    db::TIBQuery& Query(const std::string& name = "IBQuery1") {
        queries_.push_back(std::make_unique<db::TIBQuery>(name));
        queries_.back()->SetDatabase(&database_);
        queries_.back()->SetTransaction(&transaction_);
        return *queries_.back();
    }
    void SetSql(db::TIBQuery& query, const std::string& text) {
        query.Close();
        query.SQL().Clear();
        query.SQL().Add(text);
    }

    std::string name_;
    db::TIBDatabase database_{"IBDatabase1"};
    db::TIBTransaction transaction_{"IBTransaction1"};
    std::vector<std::unique_ptr<db::TIBQuery>> queries_;
};
