#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

#include "db/ib_query.h"
#include "loans/repairs/repair_unit.h"
#include "loans/reports/portfolio_workbook.h"
#include "loans/reports/report_file.h"
#include "runtime/exception.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/random_loans.h"
#include "tests/support/table_checksums.h"
#include "tools/demo_db/demo_catalogue.h"

namespace {

// Thread starts the test thread may still make before they fail as when
// the process or the system has no more threads to give (-1: no limit),
// and how many failed. Only the arming thread's: the engine's own threads
// start as usual.
thread_local int t_thread_starts_left = -1;
thread_local int t_thread_starts_refused = 0;

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) noexcept {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (t_thread_starts_left == 0) {
        ++t_thread_starts_refused;
        return EAGAIN;
    }
    if (t_thread_starts_left > 0) --t_thread_starts_left;
    return real(thread, attributes, start, argument);
}

namespace {

using portfolio_test::Check;
using portfolio_test::NewDemoDatabase;
using portfolio_test::Summary;

const std::vector<std::string> kDemoFlagged = {
    "00002/1010 Corregir Tabla 2",  // schedule never updated: receipts 1 and 2
    "00010/1070 Reindexar 0",       // ledger lacks a receipt and the payroll row
    "00010/1071 Reindexar 0",       // 0.006 apart: 7,500.01 against 7,500.00
    "00010/1073 Reindexar 0",       // no ledger rows at all
};

TEST(PortfolioCheck, DemoFlagsEveryMismatchedLoanWithItsRepairAndNothingElse) {
    test_support::TempDir dir;
    const loans::CheckResult result = Check(NewDemoDatabase(dir));
    EXPECT_EQ(Summary(result.Flagged()), kDemoFlagged);

    // Every catalogued loan the window lists, with the window's figures;
    // closed, voided and unnumbered loans are not checked at all.
    std::set<int32_t> unlisted = {demo::kLoanClosed,     demo::kLoanVoided,
                                  demo::kLoanNumberZero, demo::kLoanNegativeNumber,
                                  demo::kLoanClosedPaid, demo::kLoanVoidedNoDocs};
    for (const demo::ExpectedLoan& expected : demo::kExpectedLoans) {
        const auto found = std::find_if(result.loans.begin(), result.loans.end(),
                                        [&](const auto& l) { return l.loan == expected.loan; });
        if (unlisted.count(expected.loan) != 0) {
            EXPECT_EQ(found, result.loans.end()) << expected.loan;
            continue;
        }
        ASSERT_NE(found, result.loans.end()) << expected.loan;
        EXPECT_EQ(found->member, expected.member);
        EXPECT_EQ(loans::ShownAmount(found->documents_balance),
                  loans::ShownAmount(expected.documents_balance))
            << expected.loan;
        EXPECT_EQ(loans::ShownAmount(found->receivable_balance),
                  loans::ShownAmount(expected.receivable_balance))
            << expected.loan;
    }
    EXPECT_EQ(std::find_if(result.loans.begin(), result.loans.end(),
                           [](const auto& l) { return l.member == demo::kMemberActive; })
                  ->name,
              demo::kMemberActiveName);
    // Ordered by member code, then loan number.
    for (size_t i = 1; i < result.loans.size(); ++i) {
        const auto& a = result.loans[i - 1];
        const auto& b = result.loans[i];
        EXPECT_TRUE(a.member < b.member || (a.member == b.member && a.loan < b.loan)) << i;
    }
}

TEST(PortfolioCheck, DisagreementsMadeOnPurposeAreFoundExactly) {
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    test_support::RawConnection raw(path);
    // A cent more paid capital on one instalment: the correction would change it.
    raw.Execute(
        "update renglones set ren_pagadocapital = ren_pagadocapital + 0.01 "
        "where ren_prestamono = 1001 and ren_cuotano = 3");
    // 0.004 more paid interest still shows the same amount; 0.006 does not.
    raw.Execute(
        "update renglones set ren_pagadointeres = ren_pagadointeres + 0.004 "
        "where ren_prestamono = 1002 and ren_cuotano = 1");
    raw.Execute(
        "update renglones set ren_pagadointeres = ren_pagadointeres + 0.006 "
        "where ren_prestamono = 1020 and ren_cuotano = 1");
    // Ledger without its opening row and a schedule wiped: both repairs.
    raw.Execute("delete from cxctrx where aplica = 1060 and tipo_doc = 'F'");
    raw.Execute(
        "update renglones set ren_pagadocapital = null, ren_pagadointeres = 0 "
        "where ren_prestamono = 1060");
    // A receipt for an instalment the schedule lacks moves the balance only.
    raw.Execute(
        "insert into ingresosdet (recibo, fecharecibo, cuota, pagocapital, pagointeres, "
        "prestamo) values (70001, '2024-05-02', 99, 100, 5, 1040)");
    // A third copy of the receipt captured twice still counts once.
    raw.Execute(
        "insert into ingresosdet (recibo, fecharecibo, cuota, pagocapital, pagointeres, "
        "prestamo) select first 1 recibo, fecharecibo, cuota, pagocapital, pagointeres, "
        "prestamo from ingresosdet where recibo = 60010");
    // A note of kind "CD" is both a credit and a debit: it cancels out.
    raw.Execute(
        "insert into ccnotasdet (documento, fecharecibo, cuota, pagocapital, pagointeres, "
        "prestamo, tipo_doc) values (70002, '2024-05-02', 1, 300, 30, 1090, 'CD')");
    // A schedule row stored twice lists once, but a copy paying a peso more
    // than the receipts is one instalment to correct.
    raw.Execute(
        "insert into renglones (ren_prestamono, ren_fechavence, ren_cuotano, "
        "ren_cuotacapital, ren_cuotainteres, ren_pagadocapital, ren_pagadointeres) "
        "select ren_prestamono, ren_fechavence, ren_cuotano, ren_cuotacapital, "
        "ren_cuotainteres, ren_pagadocapital + 1, ren_pagadointeres from renglones "
        "where ren_prestamono = 1030 and ren_cuotano = 1");
    // A closed loan's ledger disagreeing is nobody's business here.
    raw.Execute("delete from cxctrx where aplica = 1003");
    // A loan of a member who is not on file cannot be looked up.
    raw.Execute(
        "insert into solicitudpres (registro_no, socio, estatus, no_documento, fecha, "
        "valor) values (99001, '99999', 'A', 5000, '2024-01-02', 1000)");

    EXPECT_EQ(Summary(Check(path).Flagged()), (std::vector<std::string>{
                                                  "00001/1001 Corregir Tabla 1",
                                                  "00002/1010 Corregir Tabla 2",
                                                  "00003/1020 Corregir Tabla 1",
                                                  "00004/1030 Corregir Tabla 1",
                                                  "00005/1040 Reindexar 0",
                                                  "00009/1060 Reindexar + Corregir Tabla 1",
                                                  "00010/1070 Reindexar 0",
                                                  "00010/1071 Reindexar 0",
                                                  "00010/1073 Reindexar 0",
                                              }));
}

TEST(PortfolioCheck, NamedRepairTakesTheLoanOffTheList) {
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    {
        test_support::RawConnection raw(path);
        raw.Execute("delete from cxctrx where aplica = 1060 and tipo_doc = 'F'");
        raw.Execute("update renglones set ren_pagadocapital = 0 where ren_prestamono = 1060");
    }
    ASSERT_EQ(Summary(Check(path).Flagged()).size(), kDemoFlagged.size() + 1);

    portfolio_test::CorrectSchedule(path, demo::kLoanAfterZero);
    portfolio_test::Reindex(path, demo::kMemberMismatch, demo::kLoanMismatchMissingDocs);
    EXPECT_EQ(Summary(Check(path).Flagged()),
              (std::vector<std::string>{"00009/1060 Reindexar + Corregir Tabla 1",
                                        "00010/1071 Reindexar 0", "00010/1073 Reindexar 0"}));

    // One of the two repairs leaves the other still named.
    portfolio_test::Reindex(path, demo::kMemberUnknownEmployer, demo::kLoanUnknownEmployer);
    portfolio_test::Reindex(path, demo::kMemberMismatch, demo::kLoanMismatchOverHalfCent);
    portfolio_test::Reindex(path, demo::kMemberMismatch, demo::kLoanWithoutMovements);
    EXPECT_EQ(Summary(Check(path).Flagged()),
              (std::vector<std::string>{"00009/1060 Corregir Tabla 1"}));
    portfolio_test::CorrectSchedule(path, demo::kLoanUnknownEmployer);
    EXPECT_TRUE(Check(path).Flagged().empty());
}

TEST(PortfolioCheck, ProgressRunsToTheEndAndCanStopTheCheck) {
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, path);
    std::vector<double> seen;
    loans::RunCheck(database, [&](double done) {
        seen.push_back(done);
        return true;
    });
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), 0.0);
    EXPECT_EQ(seen.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));

    EXPECT_THROW(loans::RunCheck(database, [](double done) { return done < 0.5; }),
                 loans::ECheckCancelled);
    // The stopped check left the connection usable and nothing open.
    EXPECT_TRUE(database.Connected());
    EXPECT_EQ(Summary(loans::RunCheck(database).Flagged()), kDemoFlagged);
}

TEST(PortfolioCheck, ServerRouteFindsTheSameList) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty())
        GTEST_SKIP() << why;
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all,
                                 std::filesystem::perm_options::add);
    std::filesystem::permissions(path, std::filesystem::perms::all,
                                 std::filesystem::perm_options::add);
    // As a site's analyst with the analysts' role, not the owner.
    const std::string name = test_support::DatabaseName(test_support::Route::kServer, path);
    const test_support::AnalystLogin analyst(name);
    EXPECT_EQ(Summary(Check(name).Flagged()), kDemoFlagged);
}

TEST(PortfolioCsv, AmountsHaveTwoDecimalsAPeriodAndNoGrouping) {
    const struct {
        long double value;
        const char* text;
    } rows[] = {
        {0, "0.00"},
        {1234567.891L, "1234567.89"},
        {-10000, "-10000.00"},
        {-0.004L, "0.00"},  // rounds to zero: no minus sign, like the window
        {7500.006L, "7500.01"},
        {4000.003L, "4000.00"},
        {2500000, "2500000.00"},
    };
    for (const auto& row : rows) EXPECT_EQ(loans::CsvAmount(row.value), row.text) << row.text;
}

// A flagged loan with an accented name, as the reports' rows start from.
loans::LoanCheck PlainLoan() {
    loans::LoanCheck plain;
    plain.member = "00010";
    plain.name = "JOS\xC9 P\xC9REZ";
    plain.loan = 1070;
    plain.documents_balance = 20000;
    plain.receivable_balance = 30000;
    plain.reindex = true;
    return plain;
}

TEST(PortfolioCsv, RowsFollowTheHeaderWithNamesInUtf8AndQuotedWhenNeeded) {
    const loans::LoanCheck plain = PlainLoan();
    loans::LoanCheck quoted = plain;
    quoted.member = "00011";
    quoted.name =
        "GARC\xCD"
        "A, \"EL MONO\"";
    quoted.loan = 1080;
    quoted.documents_balance = 1234.5;
    quoted.receivable_balance = 1234.5;
    quoted.reindex = false;
    quoted.fix_schedule = true;
    quoted.differing_instalments = 3;
    loans::LoanCheck both = plain;
    both.loan = 1071;
    both.documents_balance = 7500;
    both.receivable_balance = 7500.006;
    both.fix_schedule = true;
    both.differing_instalments = 1;

    std::ostringstream out;
    loans::WriteCsv(out, {plain, both, quoted});
    EXPECT_EQ(out.str(),
              "socio,nombre,prestamo,balance_documentos,balance_cxc,diferencia,cuotas_distintas,"
              "reparacion\n"
              "00010,JOS\xC3\x89 P\xC3\x89REZ,1070,20000.00,30000.00,10000.00,0,Reindexar\n"
              "00010,JOS\xC3\x89 P\xC3\x89REZ,1071,7500.00,7500.01,0.01,1,"
              "Reindexar + Corregir Tabla\n"
              "00011,\"GARC\xC3\x8D"
              "A, \"\"EL MONO\"\"\",1080,1234.50,1234.50,0.00,3,"
              "Corregir Tabla\n");
}

TEST(PortfolioCsv, TextThatASpreadsheetWouldRunGetsAnApostropheAndATerminalSeesNoControls) {
    const struct {
        const char* name;
        const char* file;      // the name cell written to a file
        const char* terminal;  // the same written to a terminal
    } rows[] = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"",
         "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0", "'+1+cmd|' /C calc'!A0"},
        {"-2", "'-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)", "'@SUM(A1)"},
        {"\tTAB", "'\tTAB", "\\x09TAB"},
        {"\rCR", "\"'\rCR\"", "\\x0DCR"},
        {"ANA = LUZ", "ANA = LUZ", "ANA = LUZ"},
        {"A\x1B]0;owned\x07"
         "B\x9B",
         "A\x1B]0;owned\x07"
         "B\xC2\x9B",
         "A\\x1B]0;owned\\x07B\\x9B"},
    };
    for (const auto& row : rows) {
        loans::LoanCheck loan;
        loan.member = "00010";
        loan.name = row.name;
        loan.loan = 1070;
        loan.reindex = true;
        for (const auto& [target, expected] :
             {std::pair{loans::CsvTarget::kFile, row.file},
              std::pair{loans::CsvTarget::kTerminal, row.terminal}}) {
            std::ostringstream out;
            loans::WriteCsv(out, {loan}, target);
            const std::string text = out.str();
            const std::string line = text.substr(text.find('\n') + 1);
            EXPECT_EQ(line, std::string("00010,") + expected + ",1070,0.00,0.00,0.00,0,Reindexar\n")
                << row.name;
        }
    }
}

// A report replaces the old one whole, or leaves it as it was.
TEST(PortfolioCsv, AReportIsWrittenWholeOrTheOldOneStays) {
    test_support::TempDir dir;
    const std::string path = dir.File("cartera.csv");
    const auto contents = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto files = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            names.insert(entry.path().filename().string());
        return names;
    };
    loans::WriteWholeFile(path, [](std::ostream& out) { out << "old report\n"; });
    EXPECT_EQ(contents(path), "old report\n");
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              static_cast<std::filesystem::perms>(0666 & ~mask));

    // Failing midway: half the new report composed, then the failure.
    EXPECT_THROW(loans::WriteWholeFile(path,
                                       [](std::ostream& out) {
                                           out << "half a new";
                                           throw runtime::EInOutError("disco lleno", 28);
                                       }),
                 runtime::EInOutError);
    EXPECT_EQ(contents(path), "old report\n");
    EXPECT_EQ(files(), std::set<std::string>{"cartera.csv"});

    const std::string nowhere = dir.File("no/such/folder/cartera.csv");
    try {
        loans::WriteWholeFile(nowhere, [](std::ostream& out) { out << "x"; });
        FAIL() << "a report was written into a missing folder";
    } catch (const runtime::Exception& failure) {
        EXPECT_EQ(failure.Message(),
                  "No se pudo escribir " + nowhere + ": " + std::strerror(ENOENT));
    }

    loans::WriteWholeFile(path, [](std::ostream& out) { out << "new report\n"; });
    EXPECT_EQ(contents(path), "new report\n");
    EXPECT_EQ(files(), std::set<std::string>{"cartera.csv"});
}

// The workbook read back: codes and names as shared strings (UTF-8, never
// formulas), amounts as numbers rounded to the cent in the window's
// pattern, a bold header row frozen and filtering; and, like the CSV,
// written whole or not at all.
TEST(PortfolioWorkbook, CodesAreTextAmountsNumbersUnderABoldFrozenFilteredHeader) {
    test_support::TempDir dir;
    // A folder of its own: unzip's output files stay out of it.
    std::filesystem::create_directory(dir.File("informes"));
    const std::string path = dir.File("informes/cartera.xlsx");
    const loans::LoanCheck plain = PlainLoan();
    loans::LoanCheck both = plain;
    both.member = "00002";
    both.name = "=HYPERLINK(\"http://x\")\x07";  // a control character: escaped
    both.loan = 1071;
    both.documents_balance = 1234567.891L;
    both.receivable_balance = 1234568.014;
    both.fix_schedule = true;
    both.differing_instalments = 3;
    loans::WriteWorkbook(path, {plain, both});

    const std::string sheet = portfolio_test::WorkbookPart(dir, path, "xl/worksheets/sheet1.xml");
    const std::string strings = portfolio_test::WorkbookPart(dir, path, "xl/sharedStrings.xml");
    const std::string styles = portfolio_test::WorkbookPart(dir, path, "xl/styles.xml");
    for (const char* cell : {
             "<c r=\"A1\" s=\"1\" t=\"s\">",  // header: bold
             "<c r=\"H1\" s=\"1\" t=\"s\">",
             "<c r=\"A2\" t=\"s\">",  // codes and names: shared strings
             "<c r=\"B3\" t=\"s\">",
             "<c r=\"C2\"><v>1070</v></c>",
             "<c r=\"D2\" s=\"2\"><v>20000</v></c>",
             "<c r=\"F2\" s=\"2\"><v>10000</v></c>",
             "<c r=\"G2\"><v>0</v></c>",
             "<c r=\"D3\" s=\"2\"><v>1234567.89</v></c>",  // to the cent, as the CSV
             "<c r=\"E3\" s=\"2\"><v>1234568.01</v></c>",
             "<c r=\"F3\" s=\"2\"><v>0.12</v></c>",
             "<c r=\"G3\"><v>3</v></c>",
             "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>",
             "<autoFilter ref=\"A1:H3\"/>",
         }) {
        EXPECT_NE(sheet.find(cell), std::string::npos) << cell << "\n" << sheet;
    }
    EXPECT_EQ(sheet.find("<f>"), std::string::npos) << sheet;
    for (const char* text :
         {"<t>socio</t>", "<t>cuotas_distintas</t>", "<t>00010</t>", "<t>00002</t>",
          "<t>JOS\xC3\x89 P\xC3\x89REZ</t>", "<t>=HYPERLINK(\"http://x\")_x0007_</t>",
          "<t>Reindexar + Corregir Tabla</t>"}) {
        EXPECT_NE(strings.find(text), std::string::npos) << text << "\n" << strings;
    }
    EXPECT_NE(styles.find("<b/>"), std::string::npos) << styles;
    EXPECT_NE(styles.find("formatCode=\"#,##0.00\""), std::string::npos) << styles;

    const auto files = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.File("informes")))
            names.insert(entry.path().filename().string());
        return names;
    };
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(std::filesystem::status(path).permissions(),
              static_cast<std::filesystem::perms>(0666 & ~mask));
    // A cell the library refuses (a text over Excel's limit): the old
    // workbook stays, and no temporary file.
    const std::string before = test_support::ReadFile(path);
    loans::LoanCheck huge = plain;
    huge.name.assign(40000, 'A');
    try {
        loans::WriteWorkbook(path, {plain, huge});
        FAIL() << "a workbook with a refused cell was written";
    } catch (const runtime::Exception& failure) {
        EXPECT_EQ(failure.Message().rfind("No se pudo escribir " + path + ": ", 0), 0u)
            << failure.Message();
    }
    EXPECT_EQ(test_support::ReadFile(path), before);
    EXPECT_EQ(files(), std::set<std::string>{"cartera.xlsx"});

    const std::string nowhere = dir.File("no/such/folder/cartera.xlsx");
    try {
        loans::WriteWorkbook(nowhere, {plain});
        FAIL() << "a workbook was written into a missing folder";
    } catch (const runtime::Exception& failure) {
        EXPECT_EQ(failure.Message(),
                  "No se pudo escribir " + nowhere + ": " + std::strerror(ENOENT));
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));

    // No loans: the header alone, still filtering.
    loans::WriteWorkbook(path, {});
    EXPECT_NE(portfolio_test::WorkbookPart(dir, path, "xl/worksheets/sheet1.xml")
                  .find("<autoFilter ref=\"A1:H1\"/>"),
              std::string::npos);
    EXPECT_EQ(files(), std::set<std::string>{"cartera.xlsx"});
    EXPECT_TRUE(loans::IsWorkbookName("a/Lista.XLSX"));
    EXPECT_FALSE(loans::IsWorkbookName("lista.xlsx.csv"));
}

}  // namespace

namespace {

TEST(PortfolioRounds, CoverEveryLoanNumberOnceWithRoundsOfEqualCount) {
    using Rounds = std::vector<std::pair<int32_t, int32_t>>;
    EXPECT_TRUE(loans::Rounds({}, 3).empty());
    EXPECT_EQ(loans::Rounds({7}, 3), (Rounds{{7, 7}}));
    // Unordered, repeated: each number counts once.
    EXPECT_EQ(loans::Rounds({1010, 1001, 1002, 1001, 1070, 1071, 1110}, 3),
              (Rounds{{1001, 1069}, {1070, 1110}}));
    EXPECT_EQ(loans::Rounds({1, 2, 3, 4, 5, 6}, 3), (Rounds{{1, 3}, {4, 6}}));
    // Two numbering series far apart: rounds by count, not by width.
    std::vector<int32_t> numbers;
    for (int32_t n = 1; n <= 25; ++n) numbers.push_back(n);
    for (int32_t n = 2000000000; n < 2000000005; ++n) numbers.push_back(n);
    numbers.push_back(2147483647);
    EXPECT_EQ(loans::Rounds(numbers, 10),
              (Rounds{{1, 10}, {11, 20}, {21, 2147483646}, {2147483647, 2147483647}}));
}

}  // namespace

namespace {

// Many small rounds over several connections give the list one round on one
// connection gives, even where the rounds cut through a member's loans.
TEST(PortfolioCheck, RoundsAndConnectionsDoNotChangeTheList) {
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction transaction("IBTransaction1");
    loans::ConfigureProgramConnection(database, transaction, path);
    const loans::CheckResult whole = loans::RunCheck(database, {}, {100000, 1});
    for (const loans::CheckOptions options :
         {loans::CheckOptions{3, 1}, loans::CheckOptions{3, 2}, loans::CheckOptions{1, 3}}) {
        std::vector<double> seen;
        const loans::CheckResult split = loans::RunCheck(
            database,
            [&](double done) {
                seen.push_back(done);
                return true;
            },
            options);
        ASSERT_EQ(split.loans.size(), whole.loans.size());
        for (size_t i = 0; i < whole.loans.size(); ++i) {
            EXPECT_EQ(split.loans[i].member, whole.loans[i].member);
            EXPECT_EQ(split.loans[i].loan, whole.loans[i].loan);
            EXPECT_EQ(loans::RepairName(split.loans[i]), loans::RepairName(whole.loans[i]));
        }
        EXPECT_EQ(Summary(split.Flagged()), kDemoFlagged);
        EXPECT_GT(seen.size(), 5u);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    }
    // No thread to be had for the second helper: the others do its share.
    t_thread_starts_left = 1;
    const loans::CheckResult short_handed = loans::RunCheck(database, {}, {3, 3});
    t_thread_starts_left = -1;
    EXPECT_EQ(t_thread_starts_refused, 1);
    EXPECT_EQ(short_handed.loans.size(), whole.loans.size());
    EXPECT_EQ(Summary(short_handed.Flagged()), kDemoFlagged);
    // Stopping with helpers at work: they stop too, and the connection
    // stays usable.
    EXPECT_THROW(loans::RunCheck(database, [](double done) { return done < 0.3; }, {2, 3}),
                 loans::ECheckCancelled);
    EXPECT_EQ(Summary(loans::RunCheck(database).Flagged()), kDemoFlagged);
}

}  // namespace

namespace {

// Each flagged loan repaired as a command-line tool would, with no window:
// read as it stands, repaired and committed in a transaction of its own.
void RepairWithoutAWindow(const std::string& path, const std::vector<loans::LoanCheck>& flagged) {
    db::TIBDatabase database("IBDatabase1");
    db::TIBTransaction unused("IBTransaction1");
    loans::ConfigureProgramConnection(database, unused, path);
    database.Open();
    loans::RepairUnit unit(database);
    for (const loans::LoanCheck& loan : flagged) {
        if (loan.reindex) unit.Run(loans::RepairKind::kRebuild, loan.member, loan.loan);
        if (loan.fix_schedule) unit.Run(loans::RepairKind::kCorrect, loan.member, loan.loan);
    }
}

}  // namespace

TEST(PortfolioCheck, RepairsCalledWithoutAWindowWriteWhatTheWindowsRepairsWriteAndClearTheList) {
    test_support::TempDir dir;
    const std::string by_rules = NewDemoDatabase(dir, "rules.fdb");
    const std::string by_hand = NewDemoDatabase(dir, "hand.fdb");
    const std::vector<loans::LoanCheck> flagged = Check(by_rules).Flagged();
    ASSERT_EQ(Summary(flagged), kDemoFlagged);

    RepairWithoutAWindow(by_rules, flagged);
    for (const loans::LoanCheck& loan : flagged) {
        if (loan.reindex) portfolio_test::Reindex(by_hand, loan.member, loan.loan);
        if (loan.fix_schedule) portfolio_test::CorrectSchedule(by_hand, loan.loan);
    }
    EXPECT_TRUE(Check(by_rules).Flagged().empty());
    EXPECT_EQ(test_support::ChecksumTables(by_rules), test_support::ChecksumTables(by_hand));
}

TEST(PortfolioCheck, ARepairOfALoanTheMemberDoesNotHaveIsRefusedBeforeWriting) {
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    const auto before = test_support::ChecksumTables(path);
    {
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction transaction("IBTransaction1");
        loans::ConfigureProgramConnection(database, transaction, path);
        loans::RepairUnit unit(database);
        for (const loans::RepairKind kind :
             {loans::RepairKind::kRebuild, loans::RepairKind::kCorrect}) {
            try {
                unit.Run(kind, demo::kMemberMismatch, 999999);
                ADD_FAILURE() << "a loan the member does not have was repaired";
            } catch (const runtime::Exception& failure) {
                EXPECT_EQ(failure.Message(), std::string("El socio ") + demo::kMemberMismatch +
                                                 " no tiene el prestamo 999999");
            }
        }
        // The loan of another member is no loan of this one.
        EXPECT_THROW(
            unit.Run(loans::RepairKind::kRebuild, demo::kMemberMismatch, demo::kLoanActive),
            runtime::Exception);
    }
    EXPECT_EQ(test_support::ChecksumTables(path), before);
}

namespace {

// A run's seed; COOP_DIFFERENTIAL_SEED=N repeats run N.
uint64_t DifferentialSeed() {
    if (const char* given = std::getenv("COOP_DIFFERENTIAL_SEED"); given && *given) {
        return std::stoull(given);
    }
    std::random_device device;
    return (static_cast<uint64_t>(device()) << 32) | device();
}

// Random loans in a demo copy: each listed loan's documents balance,
// receivable balance, differing instalments and repairs as the window's
// statement gives them, as the check gives them with its sums worked by
// the server and here, and as the repair sees them, all alike.
void ExpectEveryWayAgreesOnRandomLoans(test_support::Route route) {
    const uint64_t seed = DifferentialSeed();
    SCOPED_TRACE("COOP_DIFFERENTIAL_SEED=" + std::to_string(seed));
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    std::filesystem::permissions(path, std::filesystem::perms::all,
                                 std::filesystem::perm_options::add);
    const std::string name = test_support::DatabaseName(route, path);
    random_loans::SeededChoices choices(seed);
    const random_loans::Portfolio portfolio = random_loans::Generate(choices);
    random_loans::Writer(name).Insert(portfolio);
    std::optional<test_support::AnalystLogin> analyst;
    if (route == test_support::Route::kServer) analyst.emplace(name);

    random_loans::Ways ways(name);
    const random_loans::Comparison found = ways.Compare(portfolio);
    // Enough of every case for agreement to mean something.
    EXPECT_GT(found.listed, 150);
    EXPECT_GT(found.reindex, 20);
    EXPECT_GT(found.fix_schedule, 20);
    EXPECT_GT(found.without_documents, 5);
    constexpr size_t kShown = 5;
    for (size_t i = 0; i < std::min(found.disagreements.size(), kShown); ++i) {
        ADD_FAILURE() << found.disagreements[i];
    }
    EXPECT_EQ(found.disagreements.size(), 0u)
        << "loans on which the ways disagree (" << kShown << " shown)";
}

// Loans whose figures sit on a half cent, where the order and precision of
// the additions decide what shows. Receipts are dated so that the window's
// order (instalment, then date) is not their numbers' order; a loan marked
// "tied" has its receipts on one instalment and date, an order the
// server's sort decides, so only agreement is asked of it.
struct HalfCentLoan {
    const char* what;
    int32_t loan;
    // Each receipt's number, day of January, instalment (-1: null), capital.
    std::vector<std::tuple<int32_t, int, int32_t, double>> receipts;
    // The one instalment's number and capital, and its paid capital and
    // interest (no schedule row when the capital is null).
    int32_t instalment;
    demo::Value scheduled;
    double paid_capital;
    double paid_interest;
    double ledger;
    const char* flagged;  // the check's repairs and count; nullptr: tied
};

const HalfCentLoan kHalfCentLoans[] = {
    // Added one by one in extended precision the window shows -1,000.02;
    // summed as a double, -1,000.01.
    {"window's precision",
     700001,
     {{1, 10, 1, 1000.005}, {2, 20, 1, 0.01}},
     1,
     demo::kNull,
     0,
     0,
     -1000.02,
     "-"},
    // In the window's order (3, 2, 1) -229,772.37; in the numbers' order
    // -229,772.36.
    {"window's order",
     700002,
     {{1, 30, 1, 25481.664}, {2, 20, 1, 0.421}, {3, 10, 1, 204290.28}},
     1,
     demo::kNull,
     0,
     0,
     -229772.37,
     "-"},
    {"window's order, tied",
     700003,
     {{1, 10, 1, 25481.664}, {2, 10, 1, 0.421}, {3, 10, 1, 204290.28}},
     1,
     demo::kNull,
     0,
     0,
     -229772.37,
     nullptr},
    // The correction writes 0.10 + 0.20 + 830.405 = 830.70499999999993:
    // 830.70 where 830.705 shows 830.71.
    {"correction's order",
     700004,
     {{3, 10, 1, 0.10}, {2, 20, 1, 0.20}, {1, 30, 1, 830.405}},
     1,
     1000.001,
     830.705,
     0,
     169.30,
     "Corregir Tabla 1"},
    {"correction's order, tied",
     700005,
     {{3, 10, 1, 0.10}, {2, 10, 1, 0.20}, {1, 10, 1, 830.405}},
     1,
     1000.001,
     830.705,
     0,
     169.30,
     nullptr},
    // -0.125 less the window's -0.13 shows 0.00; less the double sum, 0.01.
    {"difference", 700007, {{1, 10, 1, 0.01}, {2, 20, 1, 0.12}}, 1, demo::kNull, 0, 0, -0.125, "-"},
    // A receipt of no instalment goes to instalment 0, as the correction
    // binds it.
    {"null instalment", 700006, {{1, 10, -1, 50}}, 0, 100.0, 0, 0, 50, "Corregir Tabla 1"},
};

void ExpectHalfCentLoansShowAlikeEveryWay(test_support::Route route) {
    test_support::TempDir dir;
    const std::string path = NewDemoDatabase(dir);
    std::filesystem::permissions(path, std::filesystem::perms::all,
                                 std::filesystem::perm_options::add);
    const std::string name = test_support::DatabaseName(route, path);
    random_loans::Portfolio portfolio;
    portfolio.member_prefix = "Z";
    random_loans::Table members{
        "CLIENTES", {"CLT_CODIGO", "CLT_NOMBRESYAPELLIDOS", "CLT_ESTATUS", "EMPRESA"}, "", {}};
    random_loans::Table loans_table{
        "SOLICITUDPRES",
        {"REGISTRO_NO", "SOCIO", "ESTATUS", "NO_DOCUMENTO", "FECHA", "VALOR", "TIPO"},
        "NO_DOCUMENTO",
        {}};
    random_loans::Table schedule{
        "RENGLONES",
        {"REN_PRESTAMONO", "REN_FECHAVENCE", "REN_CUOTANO", "REN_CUOTACAPITAL", "REN_CUOTAINTERES",
         "REN_PAGADOCAPITAL", "REN_PAGADOINTERES"},
        "REN_PRESTAMONO",
        {}};
    random_loans::Table receipts{
        "INGRESOSDET",
        {"PRESTAMO", "RECIBO", "FECHARECIBO", "CUOTA", "PAGOCAPITAL", "PAGOINTERES"},
        "PRESTAMO",
        {}};
    random_loans::Table ledger{
        "CXCTRX", {"CLIENTE", "APLICA", "TIPO_DOC", "DOCUMENTO", "VALOR"}, "APLICA", {}};
    std::vector<std::string> expected;
    std::set<std::string> tied;
    for (const HalfCentLoan& loan : kHalfCentLoans) {
        const std::string member = "Z" + std::to_string(loan.loan);
        members.rows.push_back({member, std::string(loan.what), std::string("A"), int32_t{1}});
        loans_table.rows.push_back({loan.loan, member, std::string("A"), loan.loan,
                                    demo::DateTime{2024, 1, 2}, 0.0, int32_t{1}});
        for (const auto& [number, day, instalment, capital] : loan.receipts) {
            receipts.rows.push_back(
                {loan.loan, number, demo::DateTime{2024, 1, day},
                 instalment < 0 ? demo::Value(demo::kNull) : demo::Value(instalment), capital,
                 0.0});
        }
        if (!demo::IsNull(loan.scheduled)) {
            schedule.rows.push_back({loan.loan, demo::DateTime{2024, 1, 31}, loan.instalment,
                                     loan.scheduled, 0.0, loan.paid_capital, loan.paid_interest});
        }
        ledger.rows.push_back({member, loan.loan, std::string("F"), loan.loan, loan.ledger});
        const std::string line = member + "/" + std::to_string(loan.loan) + " ";
        if (loan.flagged == nullptr) {
            tied.insert(line);
        } else if (std::string(loan.flagged) != "-") {
            expected.push_back(line + loan.flagged);
        }
    }
    portfolio.tables = {members, loans_table, schedule, receipts, ledger};
    random_loans::Writer(name).Insert(portfolio);
    std::optional<test_support::AnalystLogin> analyst;
    if (route == test_support::Route::kServer) analyst.emplace(name);

    const auto flagged = [&] {
        std::vector<std::string> ours;
        for (const std::string& line : Summary(Check(name).Flagged())) {
            if (line.rfind("Z", 0) == 0 && tied.count(line.substr(0, line.find(' ') + 1)) == 0) {
                ours.push_back(line);
            }
        }
        return ours;
    };
    random_loans::Ways ways(name);
    for (const std::string& found : ways.Compare(portfolio).disagreements) ADD_FAILURE() << found;
    EXPECT_EQ(flagged(), expected);

    // Once corrected, a loan is no longer listed for its schedule.
    {
        db::TIBDatabase database("IBDatabase1");
        db::TIBTransaction transaction("IBTransaction1");
        loans::ConfigureProgramConnection(database, transaction, name);
        database.Open();
        loans::RepairUnit unit(database);
        for (const HalfCentLoan& loan : kHalfCentLoans) {
            unit.Run(loans::RepairKind::kCorrect, "Z" + std::to_string(loan.loan), loan.loan);
        }
    }
    for (const std::string& found : ways.Compare(portfolio).disagreements) ADD_FAILURE() << found;
    for (const loans::LoanCheck& loan : Check(name).Flagged()) {
        if (loan.member.rfind("Z", 0) == 0) {
            EXPECT_FALSE(loan.fix_schedule) << loan.member << "/" << loan.loan;
        }
    }
}

TEST(PortfolioDifferential, HalfCentLoansShowAlikeEveryWay) {
    ExpectHalfCentLoansShowAlikeEveryWay(test_support::Route::kEmbedded);
}

TEST(PortfolioDifferential, ServerRouteHalfCentLoansShowAlikeEveryWay) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty())
        GTEST_SKIP() << why;
    ExpectHalfCentLoansShowAlikeEveryWay(test_support::Route::kServer);
}

TEST(PortfolioDifferential, RandomLoansShowAlikeEveryWay) {
    ExpectEveryWayAgreesOnRandomLoans(test_support::Route::kEmbedded);
}

TEST(PortfolioDifferential, ServerRouteRandomLoansShowAlikeEveryWay) {
    if (const std::string why = test_support::ServerUnavailable(); !why.empty())
        GTEST_SKIP() << why;
    ExpectEveryWayAgreesOnRandomLoans(test_support::Route::kServer);
}

}  // namespace
