// The portfolio check on demo databases: the loans it lists and the
// repairs it names, its progress and stopping, its rounds and helper
// connections, and the repairs run without a window.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "loans/repairs/repair_unit.h"
#include "runtime/exception.h"
#include "tests/portfolio/portfolio_support.h"
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
    // Nor is a loan without a member, even with a member on file whose code
    // is empty; a code stored with blanks after it is the member's.
    raw.Execute(
        "insert into clientes (clt_codigo, clt_nombresyapellidos) values ('', 'SIN CODIGO')");
    raw.Execute(
        "insert into solicitudpres (registro_no, socio, estatus, no_documento, fecha, "
        "valor) values (99002, null, 'A', 5001, '2024-01-02', 1000)");
    raw.Execute(
        "insert into solicitudpres (registro_no, socio, estatus, no_documento, fecha, "
        "valor) values (99003, '00006  ', 'A', 5002, '2024-01-02', 1000)");
    for (const char* loan : {"5001", "5002"}) {
        raw.Execute(std::string("insert into ingresosdet (recibo, fecharecibo, cuota, pagocapital, "
                                "pagointeres, prestamo) values (70003, '2024-05-02', 1, 100, 5, ") +
                    loan + ")");
    }

    EXPECT_EQ(Summary(Check(path).Flagged()), (std::vector<std::string>{
                                                  "00001/1001 Corregir Tabla 1",
                                                  "00002/1010 Corregir Tabla 2",
                                                  "00003/1020 Corregir Tabla 1",
                                                  "00004/1030 Corregir Tabla 1",
                                                  "00005/1040 Reindexar 0",
                                                  "00006  /5002 Reindexar 0",
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
