// A link to the server that breaks during a session: every action ends with
// the server's message, the window stays usable and loses nothing, and once
// the server can be reached again the next action works without a restart.
#include <QElapsedTimer>

#include "tests/main_window/relay_fixture.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

using Rows = std::vector<std::string>;

using LostConnectionTest = RelayedWindowTest;

TEST_F(LostConnectionTest, CutLinkFailsEachActionOnceThenTheNextLookupReconnects) {
    Start();
    ASSERT_TRUE(Window().Connection().Connected());
    ASSERT_EQ(Label(Do({std::string("code ") + demo::kMemberActive}), "lbnombre"),
              demo::kMemberActiveName);

    relay_->Cut();
    QElapsedTimer timer;
    timer.start();
    const QJsonObject failed = Do({std::string("code ") + demo::kMemberMismatch});
    EXPECT_FALSE(OnlyError(failed).empty());
    EXPECT_EQ(Label(failed, "lbnombre"), "");
    EXPECT_TRUE(Grid(failed, "DBGrid1")["rows"].toArray().isEmpty());
    // Known lost: closed, not tried again.
    EXPECT_FALSE(Window().Connection().Connected());

    // While the link is down each action fails with the connection's message.
    const std::vector<std::string> searched =
        Lines({"search", "find {\"nombres\": \"JOSE\"}", "dump", "leave"});
    ASSERT_FALSE(searched.empty());
    EXPECT_FALSE(OnlyError(QJsonDocument::fromJson(searched[0].c_str()).object()).empty());
    EXPECT_FALSE(OnlyError(Do({std::string("code ") + demo::kMemberActive})).empty());
    EXPECT_LT(timer.elapsed(), 30000);

    relay_->Restore();
    const QJsonObject back = Do({std::string("code ") + demo::kMemberActive});
    EXPECT_TRUE(back["messages"].toArray().isEmpty()) << OnlyError(back);
    EXPECT_EQ(Label(back, "lbnombre"), demo::kMemberActiveName);
    EXPECT_TRUE(Window().Connection().Connected());
}

TEST_F(LostConnectionTest, RepairsOnACutLinkReportTheFailureAndLeaveTheLoanAsItWas) {
    Start();
    for (const char* repair : {"btreindexar", "btcorregir"}) {
        SCOPED_TRACE(repair);
        const QJsonObject shown = Do({std::string("code ") + demo::kMemberMismatch});
        ASSERT_FALSE(Grid(shown, "DBGrid1")["rows"].toArray().isEmpty());
        const int loan =
            Grid(shown, "DBGrid1")["rows"].toArray()[0].toArray()[1].toString().toInt();
        const Rows before = LoanRows(loan);

        relay_->Cut();
        const QJsonObject failed = Do({"answer yes", std::string("press ") + repair});
        const QJsonArray messages = failed["messages"].toArray();
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_EQ(Text(messages[messages.size() - 1].toObject()["kind"]), "error");
        EXPECT_FALSE(Window().Connection().Connected());
        relay_->Restore();

        EXPECT_EQ(LoanRows(loan), before);
        // No repair runs again by itself: the next lookup only reads.
        const QJsonObject again = Do({"answer no", std::string("code ") + demo::kMemberMismatch});
        EXPECT_TRUE(again["messages"].toArray().isEmpty());
        EXPECT_EQ(LoanRows(loan), before);
    }
}

}  // namespace
