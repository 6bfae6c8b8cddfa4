// Every confirmed repair leaves one record in the journal: what was done,
// to which loan, with which figures, and how it ended.
#include <QFile>
#include <fstream>

#include "tests/main_window/repair_fixture.h"

namespace {

// At a site without the records table: this computer's journal.
class RepairJournalTest : public RepairTest {
  protected:
    void SetUp() override {
        RepairTest::SetUp();
        if (!IsSkipped()) test_support::DropRecordTables(name_);
    }
    std::string JournalFile() const {
        return journal_home_ + "/analisis-socios/reparaciones.jsonl";
    }
    std::vector<QJsonObject> Records() const {
        std::vector<QJsonObject> records;
        std::ifstream in(JournalFile());
        for (std::string line; std::getline(in, line);) {
            records.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
        }
        return records;
    }
    long long Count(const std::string& sql) { return RawConnection(name_).QueryCount(sql); }
};

TEST_P(RepairJournalTest, ConfirmedRepairsAreJournaledWithTheirFiguresAndAnswersOfNoAreNot) {
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    const long long before = Count("select count(*) from cxctrx where aplica = 1070");
    Press("btreindexar", "no");
    EXPECT_TRUE(Records().empty());
    Press("btreindexar");
    const long long after = Count("select count(*) from cxctrx where aplica = 1070");

    Show(demo::kMemberNullsAndNotes, demo::kLoanNullAmounts);
    Press("btcorregir", "close");
    Press("btcorregir");

    const std::vector<QJsonObject> records = Records();
    ASSERT_EQ(records.size(), 2u);
    const QJsonObject& rebuild = records[0];
    EXPECT_EQ(Text(rebuild["repair"]), "Reindexar");
    EXPECT_EQ(Text(rebuild["member"]), demo::kMemberMismatch);
    EXPECT_EQ(rebuild["loan"].toInt(), demo::kLoanMismatchMissingDocs);
    EXPECT_EQ(Text(rebuild["database"]), name_);
    EXPECT_FALSE(Text(rebuild["user"]).empty());
    EXPECT_EQ(Text(rebuild["time"]).back(), 'Z');
    EXPECT_EQ(Text(rebuild["outcome"]), "done");
    EXPECT_FALSE(rebuild.contains("message"));
    EXPECT_EQ(rebuild["documents_balance_before"].toDouble(), 20000.0);
    EXPECT_EQ(rebuild["receivable_balance_before"].toDouble(), 30000.0);
    EXPECT_EQ(rebuild["documents_balance_after"].toDouble(), 20000.0);
    EXPECT_EQ(rebuild["receivable_balance_after"].toDouble(), 20000.0);
    EXPECT_EQ(rebuild["rows_deleted"].toInt(), before);
    EXPECT_EQ(rebuild["rows_inserted"].toInt(), after);
    EXPECT_EQ(rebuild["rows_updated"].toInt(), 0);

    const QJsonObject& correct = records[1];
    EXPECT_EQ(Text(correct["repair"]), "Corregir Tabla");
    EXPECT_EQ(correct["loan"].toInt(), demo::kLoanNullAmounts);
    EXPECT_EQ(correct["rows_deleted"].toInt(), 0);
    EXPECT_EQ(correct["rows_inserted"].toInt(), 0);
    EXPECT_EQ(correct["rows_updated"].toInt(), 4);  // every instalment of the loan

    QFile file(QString::fromStdString(JournalFile()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_FALSE(bytes.contains("plumbrid"));
    EXPECT_FALSE(bytes.contains(test_support::kAnalystPassword));
    EXPECT_FALSE(bytes.toLower().contains("password"));
    // Nor does the driver's view of the window show the login.
    const std::string state = Lines({}).back();
    for (const char* secret : {"plumbrid", test_support::kAnalystPassword, "password"}) {
        EXPECT_EQ(state.find(secret), std::string::npos) << secret;
    }
}

TEST_P(RepairJournalTest, ARolledBackRepairIsJournaledWithTheServersMessage) {
    Execute("create exception coop_test_failure 'falla de prueba'");
    Execute(
        "create trigger cxctrx_fail for cxctrx before insert as begin "
        "if (new.tipo_doc = 'D') then exception coop_test_failure; end");
    Start();
    Show(demo::kMemberNullsAndNotes, demo::kLoanNoteKinds);
    Press("btreindexar");
    const std::vector<QJsonObject> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(Text(records[0]["outcome"]), "rolled back");
    EXPECT_NE(Text(records[0]["message"]).find("falla de prueba"), std::string::npos)
        << Text(records[0]["message"]);
    EXPECT_EQ(records[0]["rows_deleted"].toInt(), 0);
    EXPECT_EQ(records[0]["rows_inserted"].toInt(), 0);
    EXPECT_EQ(records[0]["documents_balance_after"].toDouble(), 6400.0);
}

// A repair that could not be journaled is not made: the journal is opened
// before anything is written.
TEST_P(RepairJournalTest, ARepairWhoseJournalCannotBeOpenedIsRefusedAndWritesNothing) {
    std::ofstream(dir_.File("not-a-folder")) << "x";
    setenv("XDG_DATA_HOME", dir_.File("not-a-folder").c_str(), 1);
    Execute("delete from cxctrx where aplica = 1070");
    Start();
    Show(demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    const QJsonObject done = Press("btreindexar");
    const auto boxes = Boxes(done);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].first, "confirm");
    EXPECT_EQ(boxes[1].first, "error");
    EXPECT_NE(
        boxes[1].second.find(dir_.File("not-a-folder") + "/analisis-socios/reparaciones.jsonl"),
        std::string::npos)
        << boxes[1].second;
    EXPECT_EQ(Count("select count(*) from cxctrx where aplica = 1070"), 0);
}

INSTANTIATE_TEST_SUITE_P(Routes, RepairJournalTest,
                         ::testing::Values(test_support::Route::kEmbedded,
                                           test_support::Route::kServer),
                         [](const auto& route) { return test_support::RouteName(route.param); });

}  // namespace
