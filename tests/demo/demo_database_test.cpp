// The demo database builder: the schema it creates, its refusals, and the
// catalogued facts that other tests rely on.

#include "tools/demo_db/demo_database.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "db/errors.h"
#include "runtime/exception.h"
#include "tools/demo_db/demo_catalogue.h"
#include "tools/raw_client/raw_client.h"

namespace {

namespace fs = std::filesystem;

// A fresh folder under /tmp for one test's database files.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "coop-demo-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

// One attachment and transaction on a database, for plain SQL checks.
struct Reader {
    explicit Reader(const std::string& path) : attachment(path), transaction(attachment) {}
    demo::Value Value(const std::string& sql, const std::vector<demo::Value>& params = {}) {
        return demo::SelectValue(transaction, sql, params);
    }
    std::vector<demo::Row> Rows(const std::string& sql,
                                const std::vector<demo::Value>& params = {}) {
        return demo::SelectRows(transaction, sql, params);
    }
    demo::Attachment attachment;
    demo::Transaction transaction;
};

std::vector<demo::Value> SixTimes(int32_t loan) {
    return {loan, loan, loan, loan, loan, loan};
}

TEST(CreateCoopDatabase, CreatesTheEmptySchemaWithTheDatabaseSettings) {
    ScratchFolder folder;
    const std::string path = folder.File("schema.fdb");
    demo::CreateCoopDatabase(path);

    Reader db(path);
    const auto settings =
        db.Rows("select mon$page_size, mon$forced_writes, mon$sql_dialect from mon$database");
    EXPECT_EQ(demo::AsInt(settings.at(0).at(0)), 8192);
    EXPECT_EQ(demo::AsInt(settings.at(0).at(1)), 0) << "forced writes must be off";
    EXPECT_EQ(demo::AsInt(settings.at(0).at(2)), 1);
    EXPECT_EQ(demo::AsText(db.Value("select trim(rdb$character_set_name) from rdb$database")),
              "ISO8859_1");

    const std::string count_columns =
        "select count(*) from rdb$relation_fields where rdb$relation_name = ?";
    EXPECT_EQ(demo::AsInt(db.Value(count_columns, {std::string("CLIENTES")})), 182);
    EXPECT_EQ(demo::AsInt(db.Value(count_columns, {std::string("SOLICITUDPRES")})), 61);
    EXPECT_EQ(demo::AsInt(db.Value(count_columns, {std::string("RENGLONES")})), 18);

    // The program declares amounts as floats and rejects scaled integers.
    const auto scaled = db.Rows(
        "select trim(rf.rdb$relation_name) || '.' || trim(rf.rdb$field_name) from "
        "rdb$relation_fields rf join rdb$fields f on f.rdb$field_name = rf.rdb$field_source "
        "where coalesce(rf.rdb$system_flag, 0) = 0 and f.rdb$field_scale < 0");
    for (const auto& row : scaled)
        ADD_FAILURE() << "scaled numeric column " << demo::AsText(row[0]);

    // Declared string sizes the member and loan screens depend on.
    const std::string length =
        "select f.rdb$field_length from rdb$relation_fields rf join rdb$fields f on "
        "f.rdb$field_name = rf.rdb$field_source where rf.rdb$relation_name = ? and "
        "rf.rdb$field_name = ?";
    EXPECT_EQ(demo::AsInt(db.Value(length, {std::string("CLIENTES"), std::string("CLT_CODIGO")})),
              10);
    EXPECT_EQ(demo::AsInt(db.Value(
                  length, {std::string("CLIENTES"), std::string("CLT_NOMBRESYAPELLIDOS")})),
              250);
    EXPECT_EQ(
        demo::AsInt(db.Value(length, {std::string("SOLICITUDPRES"), std::string("CONCEPTO")})),
        5000);

    EXPECT_EQ(demo::AsInt(db.Value("select count(*) from clientes")), 0);
}

TEST(CreateCoopDatabase, RefusesAnExistingFileAndLeavesItAlone) {
    ScratchFolder folder;
    const std::string path = folder.File("taken.fdb");
    std::ofstream(path) << "not a database";

    EXPECT_THROW(demo::CreateCoopDatabase(path), runtime::EInOutError);

    std::ifstream in(path);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "not a database");
}

TEST(CreateCoopDatabase, ReportsAnUncreatableFileAndLeavesNothingBehind) {
    ScratchFolder folder;
    const std::string path = folder.File("missing-folder/demo.fdb");

    EXPECT_THROW(demo::CreateCoopDatabase(path), db::EIBInterBaseError);
    EXPECT_FALSE(fs::exists(path));
}

TEST(SplitSqlScript, SplitsAtLineEndSemicolonsAndDropsComments) {
    const auto statements = demo::SplitSqlScript(
        "-- header; with a semicolon\n"
        "CREATE TABLE T (\n"
        "    A INTEGER, -- trailing comment;\n"
        "    B VARCHAR(5) DEFAULT 'x--y;'\n"
        ");\n"
        "\n"
        "CREATE INDEX I ON T (A);\n"
        "INSERT INTO T VALUES (1, 'a;\n"
        "b');\n");
    ASSERT_EQ(statements.size(), 3u);
    EXPECT_EQ(statements[0],
              "CREATE TABLE T (\n    A INTEGER, \n    B VARCHAR(5) DEFAULT 'x--y;'\n)");
    EXPECT_EQ(statements[1], "CREATE INDEX I ON T (A)");
    EXPECT_EQ(statements[2], "INSERT INTO T VALUES (1, 'a;\nb')");

    // A block's own semicolons stay inside it between isql's SET TERM lines.
    const auto blocks = demo::SplitSqlScript(
        "SET TERM ^ ;\n"
        "EXECUTE BLOCK AS\n"
        "BEGIN\n"
        "    IF (1 = 1) THEN EXIT;\n"
        "END^\n"
        "COMMIT^\n"
        "set term ; ^\n"
        "GRANT SELECT ON T TO ROLE R;\n");
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0], "EXECUTE BLOCK AS\nBEGIN\n    IF (1 = 1) THEN EXIT;\nEND");
    EXPECT_EQ(blocks[1], "COMMIT");
    EXPECT_EQ(blocks[2], "GRANT SELECT ON T TO ROLE R");
}

// The filled demo database, built once for the checks below.
class DemoDatabase : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new ScratchFolder;
        path_ = folder_->File("demo.fdb");
        demo::CreateCoopDatabase(path_);
        demo::FillDemoDatabase(path_);
    }
    static void TearDownTestSuite() {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override { db_ = std::make_unique<Reader>(path_); }

    static ScratchFolder* folder_;
    static std::string path_;
    std::unique_ptr<Reader> db_;
};

ScratchFolder* DemoDatabase::folder_ = nullptr;
std::string DemoDatabase::path_;

TEST_F(DemoDatabase, CataloguedLoansHaveTheirBalancesAndDocumentCounts) {
    const std::string applied = demo::AppliedDocumentsSql();
    for (const demo::ExpectedLoan& expected : demo::kExpectedLoans) {
        SCOPED_TRACE("loan " + std::to_string(expected.loan));
        const auto rows = db_->Rows(applied, SixTimes(expected.loan));
        double documents = 0;
        for (const auto& row : rows) documents += demo::AsDouble(row[4]);
        EXPECT_EQ(static_cast<int>(rows.size()), expected.applied_rows);
        EXPECT_NEAR(documents, expected.documents_balance, 1e-6);
        const double receivable = demo::AsDouble(
            db_->Value("select sum(valor) from cxctrx where cliente = ? and aplica = ?",
                       {std::string(expected.member), expected.loan}));
        EXPECT_NEAR(receivable, expected.receivable_balance, 1e-6);
    }
    const std::pair<const char*, double> members[] = {
        {demo::kMemberActive, demo::kMemberActiveBalance},
        {demo::kMemberLoanZeroFirst, demo::kMemberLoanZeroFirstBalance},
        {demo::kMemberMismatch, demo::kMemberMismatchBalance},
        {demo::kMemberMillions, demo::kMemberMillionsBalance},
        {demo::kMemberNullsAndNotes, demo::kMemberNullsAndNotesBalance},
        {demo::kMemberWithoutLoans, 0.0},
    };
    for (const auto& [member, balance] : members)
        EXPECT_NEAR(demo::AsDouble(db_->Value("select sum(valor) from cxctrx where cliente = ?",
                                              {std::string(member)})),
                    balance, 1e-6)
            << "member " << member;
}

// A site runs the role's, the records' and the run history's scripts again
// (an upgrade, a second try): nothing fails and nothing is made twice.
TEST_F(DemoDatabase, TheSitesScriptsRunAgainWithoutError) {
    db_.reset();
    {
        demo::Attachment attachment(path_);
        for (const std::string& file :
             {demo::RoleFile(), demo::RecordTableFile(), demo::RunHistoryFile()}) {
            for (const std::string& statement : demo::ReadSqlScript(file)) {
                if (statement == "COMMIT") continue;
                SCOPED_TRACE(statement.substr(0, 80));
                demo::Transaction transaction(attachment);
                EXPECT_NO_THROW(demo::ExecuteImmediate(transaction, statement));
                transaction.Commit();
            }
        }
    }
    db_ = std::make_unique<Reader>(path_);
    EXPECT_EQ(demo::AsInt(db_->Value("select count(*) from rdb$relations where "
                                     "rdb$relation_name starting with 'REPARACIONES'",
                                     {})),
              2);
    EXPECT_EQ(demo::AsInt(db_->Value(
                  "select count(*) from rdb$user_privileges where rdb$user = 'ANALISTA_SOCIOS' "
                  "and rdb$relation_name = 'REPARACIONES'",
                  {})),
              2);  // SELECT and INSERT, nothing else
    EXPECT_EQ(demo::AsInt(db_->Value("select count(*) from rdb$relations where "
                                     "rdb$relation_name starting with 'REVISIONES'",
                                     {})),
              2);
    EXPECT_EQ(demo::AsInt(db_->Value(
                  "select count(*) from rdb$user_privileges where rdb$user = 'ANALISTA_SOCIOS' "
                  "and rdb$relation_name = 'REVISIONES'",
                  {})),
              2);
}

TEST_F(DemoDatabase, OrdinaryLoansAgreeWithTheirMovementsToTheCent) {
    const auto loans = db_->Rows(
        "select socio, no_documento from solicitudpres where socio >= ? order by no_documento",
        {std::string(demo::kFirstOrdinaryMember)});
    ASSERT_GT(loans.size(), 20u);
    const std::string applied = demo::AppliedDocumentsSql();
    for (const auto& loan : loans) {
        const auto number = static_cast<int32_t>(demo::AsInt(loan[1]));
        double documents = 0;
        for (const auto& row : db_->Rows(applied, SixTimes(number)))
            documents += demo::AsDouble(row[4]);
        const double receivable = demo::AsDouble(db_->Value(
            "select sum(valor) from cxctrx where cliente = ? and aplica = ?", {loan[0], number}));
        EXPECT_LT(std::fabs(receivable - documents), 0.001) << "loan " << number;
    }
}

TEST_F(DemoDatabase, TheDuplicatedReceiptIsTwoIdenticalRowsAndOneAppliedDocument) {
    const auto lines = db_->Rows(
        "select recibo, fecharecibo, cuota, pagocapital, pagointeres, prestamo from "
        "ingresosdet where prestamo = ? and recibo = ?",
        {demo::kLoanDuplicateReceipts, demo::kDuplicateReceiptNumber});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], lines[1]);

    int applied_receipts = 0;
    for (const auto& row :
         db_->Rows(demo::AppliedDocumentsSql(), SixTimes(demo::kLoanDuplicateReceipts)))
        if (demo::AsText(row[0]) == "R") ++applied_receipts;
    EXPECT_EQ(applied_receipts, 2);  // 60010 once, 60011 once
}

TEST_F(DemoDatabase, NamesAreStoredAsIso8859_1Bytes) {
    const auto member = db_->Rows(
        "select clt_nombresyapellidos, clt_apellidos, clt_nombres, octet_length("
        "clt_nombresyapellidos), char_length(clt_nombresyapellidos) from clientes where "
        "clt_codigo = ?",
        {std::string(demo::kMemberActive)});
    ASSERT_EQ(member.size(), 1u);
    EXPECT_EQ(demo::AsText(member[0][0]), demo::kMemberActiveName);
    EXPECT_EQ(demo::AsText(member[0][1]), demo::kMemberActiveSurnames);
    EXPECT_EQ(demo::AsText(member[0][2]), demo::kMemberActiveFirstNames);
    EXPECT_EQ(demo::AsInt(member[0][3]), demo::AsInt(member[0][4])) << "one byte per letter";
    EXPECT_EQ(demo::AsText(db_->Value("select nombre from empresas where codigo = ?",
                                      {demo::kEmployerMinisterio})),
              demo::kEmployerMinisterioName);
}

TEST_F(DemoDatabase, MembersHaveTheCataloguedStatusesAndEmployers) {
    const std::string status = "select clt_estatus from clientes where clt_codigo = ?";
    EXPECT_EQ(demo::AsText(db_->Value(status, {std::string(demo::kMemberActive)})), "A");
    EXPECT_EQ(demo::AsText(db_->Value(status, {std::string(demo::kMemberInactive)})), "I");
    EXPECT_EQ(demo::AsText(db_->Value(status, {std::string(demo::kMemberInactiveEmptyStatus)})),
              " ");
    EXPECT_EQ(demo::AsText(db_->Value(status, {std::string(demo::kMemberInactiveLowercaseStatus)})),
              "a");
    EXPECT_TRUE(demo::IsNull(db_->Value(status, {std::string(demo::kMemberNullStatus)})));

    EXPECT_EQ(demo::AsInt(db_->Value("select count(*) from clientes")), demo::kMemberCount);
    EXPECT_EQ(demo::AsInt(db_->Value(
                  "select count(*) from empresas e join clientes c on c.empresa = e.codigo "
                  "where c.clt_codigo = ?",
                  {std::string(demo::kMemberUnknownEmployer)})),
              0);
    EXPECT_EQ(demo::AsInt(db_->Value("select count(*) from clientes where empresa = ?",
                                     {demo::kEmployerWithoutMembers})),
              0);
}

TEST_F(DemoDatabase, LoanListsFollowTheProgramsOrderAndStatusFilter) {
    const std::string list =
        "select no_documento from solicitudpres where socio = ? and estatus in ('A','L') "
        "order by fecha desc,no_documento";
    auto numbers = [&](const char* member) {
        std::vector<int64_t> out;
        for (const auto& row : db_->Rows(list, {std::string(member)}))
            out.push_back(demo::AsInt(row[0]));
        return out;
    };
    EXPECT_EQ(numbers(demo::kMemberActive),
              (std::vector<int64_t>{demo::kLoanActive, demo::kLoanLegal}));
    EXPECT_EQ(numbers(demo::kMemberLoanZeroFirst),
              (std::vector<int64_t>{demo::kLoanNumberZero, demo::kLoanAfterZero,
                                    demo::kLoanNegativeNumber}));
    EXPECT_EQ(numbers(demo::kMemberNullsAndNotes),
              (std::vector<int64_t>{demo::kLoanNullAmounts, demo::kLoanNoteKinds}));
    EXPECT_TRUE(numbers(demo::kMemberOnlyClosedLoans).empty());
    EXPECT_TRUE(numbers(demo::kMemberWithoutLoans).empty());
}

TEST_F(DemoDatabase, FillRefusesADatabaseThatAlreadyHoldsMembers) {
    db_.reset();  // the fill needs its own attachment only
    EXPECT_THROW(demo::FillDemoDatabase(path_), runtime::Exception);
    Reader db(path_);
    EXPECT_EQ(demo::AsInt(db.Value("select count(*) from clientes")), demo::kMemberCount);
}

TEST_F(DemoDatabase, TwoBuildsHoldTheSameRows) {
    ScratchFolder folder;
    const std::string again = folder.File("again.fdb");
    demo::CreateCoopDatabase(again);
    demo::FillDemoDatabase(again);
    Reader other(again);
    for (const char* table : {"EMPRESAS", "CLIENTES", "SOLICITUDPRES", "RENGLONES", "INGRESOSDET",
                              "CCNOTASDET", "NOMINA", "COMPENSACIONDET", "CXCTRX"}) {
        const std::string sql = std::string("select * from ") + table;
        const auto first = db_->Rows(sql);
        EXPECT_FALSE(first.empty()) << table;
        EXPECT_TRUE(first == other.Rows(sql)) << table << " differs between builds";
    }
}

}  // namespace
