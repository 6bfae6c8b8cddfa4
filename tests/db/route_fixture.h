#pragma once

#include <gtest/gtest.h>

#include "tests/support/test_database.h"

// Runs a test once on an embedded database file and once through the
// process's own loopback server (skipped when no server is installed).
class RouteTest : public ::testing::TestWithParam<test_support::Route> {
  protected:
    void SetUp() override {
        if (GetParam() == test_support::Route::kServer) {
            if (const std::string why = test_support::ServerUnavailable(); !why.empty()) {
                GTEST_SKIP() << why;
            }
        }
    }
    std::string NewDatabase(const std::string& file = "test.fdb", int dialect = 1) {
        const std::string name = Name(file);
        test_support::CreateEmptyDatabase(name, dialect);
        return name;
    }
    std::string Name(const std::string& file) {
        return test_support::DatabaseName(GetParam(), dir_.File(file));
    }
    test_support::TempDir dir_;
};

#define INSTANTIATE_ROUTES(Suite)                                                        \
    INSTANTIATE_TEST_SUITE_P(                                                            \
        Routes, Suite,                                                                   \
        ::testing::Values(test_support::Route::kEmbedded, test_support::Route::kServer), \
        [](const auto& route) { return test_support::RouteName(route.param); })
