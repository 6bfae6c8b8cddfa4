// Each suite runs in its own process, against a client library folder that
// lacks an entry point or holds no valid library.
#include <gtest/gtest.h>

#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_database.h"

namespace {

TEST(MissingEntryPoint, LoadFailsEveryTimeAndNothingUnboundIsReachable) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            db::EnsureClientLoaded();
            FAIL() << "a library without isc_dsql_prepare was accepted";
        } catch (const runtime::EOSError& e) {
            EXPECT_EQ(e.Message().rfind("System Error.  Code: 127.\n", 0), 0u) << e.Message();
            EXPECT_NE(e.Message().find("isc_dsql_prepare"), std::string::npos) << e.Message();
        }
    }
    // Components refuse to come into being rather than run half-bound.
    EXPECT_THROW(db::TIBDatabase database, runtime::EOSError);
    EXPECT_THROW(db::Api(), runtime::EOSError);
}

TEST(MissingLibrary, FirstComponentReportsTheLibraryByName) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            db::TIBDatabase database("IBDatabase1");
            FAIL() << "no error without a client library";
        } catch (const db::EIBClientError& e) {
            EXPECT_EQ(e.SqlErrorCode(), 1);
            EXPECT_EQ(e.Message(),
                      "InterBase library libfbclient.so.2 not found in the path. Please install "
                      "InterBase to use this functionality");
        }
    }
}

}  // namespace
