// Every way of working out a loan's figures held to the others: the
// window's statement, the check with its sums worked by the server and
// here, and the schedule correction run and rolled back; on loans made to
// sit on a half cent and on random ones.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <tuple>

#include "loans/repairs/repair_unit.h"
#include "tests/portfolio/portfolio_support.h"
#include "tests/support/random_loans.h"

namespace {

using portfolio_test::Check;
using portfolio_test::NewDemoDatabase;
using portfolio_test::Summary;

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
