#pragma once

// The real window reaching the process's test server through a relay of the
// tests' own: the link a test can stall, cut and restore, while the test reads the
// database past it.
#include <memory>
#include <string>

#include "tests/main_window/window_fixture.h"
#include "tests/support/tcp_relay.h"

class RelayedWindowTest : public WindowTest {
  protected:
    void SetUp() override {
        if (const std::string why = test_support::ServerUnavailable(); !why.empty()) {
            GTEST_SKIP() << why;
        }
        WindowTest::SetUp();
        relay_ = std::make_unique<test_support::TcpRelay>(test_support::ServerPort());
        WriteDbIni("127.0.0.1/" + std::to_string(relay_->Port()) + ":" + database_ + "\n");
        direct_ = test_support::DatabaseName(test_support::Route::kServer, database_);
    }
    void TearDown() override {
        WindowTest::TearDown();
        relay_.reset();
    }

    // The loan's ledger and schedule rows, read past the relay.
    std::vector<std::string> LoanRows(int loan) { return LedgerAndScheduleRows(direct_, loan); }
    // The text of the one error box a state shows.
    static std::string OnlyError(const QJsonObject& state) {
        const QJsonArray messages = state["messages"].toArray();
        EXPECT_EQ(messages.size(), 1);
        if (messages.isEmpty()) return {};
        EXPECT_EQ(Text(messages[0].toObject()["kind"]), "error");
        return Text(messages[0].toObject()["text"]);
    }

    std::unique_ptr<test_support::TcpRelay> relay_;
    std::string direct_;  // the database without the relay
};
