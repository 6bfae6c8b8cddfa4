#include <gtest/gtest.h>

#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_base.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/rules/connection_profile.h"
#include "tests/db/route_fixture.h"

namespace {

using test_support::RawConnection;

void ExpectClientError(const std::function<void()>& action, int code, const std::string& text) {
    try {
        action();
        ADD_FAILURE() << "no error, expected: " << text;
    } catch (const db::EIBClientError& e) {
        EXPECT_EQ(e.SqlErrorCode(), code);
        EXPECT_EQ(e.Message(), text);
    }
}

class TransactionTest : public RouteTest {
  protected:
    void SetUp() override {
        RouteTest::SetUp();
        if (IsSkipped()) return;
        name_ = NewDatabase();
        RawConnection(name_).Execute("CREATE TABLE T (N INTEGER)");
        loans::ConfigureProgramConnection(database_, transaction_, name_);
        // These cases are about the component's own default: no lines.
        transaction_.Params().Clear();
    }
    void Insert(int n) {
        const std::string sql = "INSERT INTO T VALUES (" + std::to_string(n) + ")";
        db::CheckStatus(db::Api().isc_dsql_execute_immediate(db::StatusVector(), database_.Handle(),
                                                             transaction_.Handle(), 0, sql.c_str(),
                                                             1, nullptr));
    }
    long long CountSeenByOthers() {
        return RawConnection(name_).QueryCount("SELECT COUNT(*) FROM T");
    }

    std::string name_;
    db::TIBDatabase database_{"IBDatabase1"};
    db::TIBTransaction transaction_{"IBTransaction1"};
};

TEST_P(TransactionTest, StateErrorsCarryTheirCodes) {
    ExpectClientError([&] { transaction_.StartTransaction(); }, 15,
                      "Cannot perform operation -- DB is not open");
    database_.Open();
    ExpectClientError([&] { transaction_.Commit(); }, 18, "Transaction is not active");
    ExpectClientError([&] { transaction_.CommitRetaining(); }, 18, "Transaction is not active");
    ExpectClientError([&] { transaction_.Rollback(); }, 18, "Transaction is not active");
    transaction_.StartTransaction();
    ExpectClientError([&] { transaction_.StartTransaction(); }, 19, "Transaction is active");
    ExpectClientError([&] { transaction_.Params().Add("read_committed"); }, 19,
                      "Transaction is active");
    EXPECT_TRUE(transaction_.Params().Empty());

    db::TIBTransaction lonely;
    ExpectClientError([&] { lonely.StartTransaction(); }, 21,
                      "No databases are listed in transaction component");
}

TEST_P(TransactionTest, EmptyParamsSendNoBlockAndLinesSendTheirBytes) {
    database_.Open();
    transaction_.StartTransaction();
    EXPECT_TRUE(transaction_.ParameterBlock().empty());
    transaction_.Commit();

    transaction_.Params().Assign({"read_committed", "", "rec_version", "nowait"});
    transaction_.StartTransaction();
    EXPECT_EQ(transaction_.ParameterBlock(), std::string("\3\17\21\7"));
    Insert(1);
    transaction_.Commit();
    EXPECT_EQ(CountSeenByOthers(), 1);

    transaction_.Params().Assign({"commit_time"});
    ExpectClientError([&] { transaction_.StartTransaction(); }, 13,
                      "TPB Constant (isc_tpb_commit_time) is unsupported");
    EXPECT_FALSE(transaction_.Active());
}

TEST_P(TransactionTest, CommitRetainingMakesWorkVisibleAndStaysActive) {
    database_.Open();
    transaction_.StartTransaction();
    const isc_tr_handle handle = *transaction_.Handle();
    Insert(1);
    EXPECT_EQ(CountSeenByOthers(), 0);
    transaction_.CommitRetaining();
    EXPECT_TRUE(transaction_.Active());
    EXPECT_EQ(*transaction_.Handle(), handle);
    EXPECT_EQ(CountSeenByOthers(), 1);

    Insert(2);
    transaction_.RollbackRetaining();
    EXPECT_TRUE(transaction_.Active());
    EXPECT_EQ(CountSeenByOthers(), 1);
    transaction_.Rollback();
    EXPECT_FALSE(transaction_.Active());
}

TEST_P(TransactionTest, RetainingEndsTellNoObjectAndFullEndsTellEach) {
    db::TComponent owner("qcxc");
    db::TIBBase link(&owner);
    int before = 0, after = 0;
    link.OnBeforeTransactionEnd = [&] { ++before; };
    link.OnAfterTransactionEnd = [&] { ++after; };
    link.SetTransaction(&transaction_);
    EXPECT_EQ(link.Database(), &database_);  // takes the transaction's default database

    database_.Open();
    transaction_.StartTransaction();
    transaction_.CommitRetaining();
    EXPECT_EQ(before + after, 0);
    transaction_.Commit();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
}

TEST_P(TransactionTest, ActivePropertyStartsAndRollsBack) {
    database_.Open();
    transaction_.SetActive(true);
    Insert(5);
    transaction_.SetActive(false);
    EXPECT_FALSE(transaction_.Active());
    EXPECT_EQ(CountSeenByOthers(), 0);
}

TEST_P(TransactionTest, AutoStopEndsAStartedTransactionWithoutOpenDatasets) {
    db::TComponent owner("IBQuery1");
    db::TIBBase link(&owner);
    link.SetTransaction(&transaction_);
    bool open_dataset = true;
    link.IsOpenDataset = [&] { return open_dataset; };
    transaction_.SetAutoStopAction(db::saCommit);

    EXPECT_TRUE(db::StartTransactionImplicitly(link));
    Insert(7);
    transaction_.CheckAutoStop();
    EXPECT_TRUE(transaction_.Active());  // a dataset is still open
    open_dataset = false;
    transaction_.CheckAutoStop();
    EXPECT_FALSE(transaction_.Active());
    EXPECT_EQ(CountSeenByOthers(), 1);

    transaction_.SetAutoStopAction(db::saNone);
    EXPECT_TRUE(db::StartTransactionImplicitly(link));
    transaction_.CheckAutoStop();
    EXPECT_TRUE(transaction_.Active());
}

TEST_P(TransactionTest, NegativeIdleTimeIsRefused) {
    ExpectClientError([&] { transaction_.SetIdleTimer(-1); }, 20,
                      "Timeout values cannot be negative");
    ExpectClientError([&] { database_.SetIdleTimer(-5); }, 20, "Timeout values cannot be negative");
}

INSTANTIATE_ROUTES(TransactionTest);

}  // namespace
