#include "loans/rules/reconciliation.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "loans/records/loan_image.h"
#include "loans/rules/document_kinds.h"
#include "loans/rules/statements.h"

namespace {

struct Row {
    std::string letter;
    long double capital;
};

struct TotalsCase {
    const char* name;
    std::vector<Row> rows;
    const char* charges;
    const char* payments;
    const char* balance;
};

loans::KindSums Sum(const std::vector<Row>& rows) {
    loans::KindSums sums;
    for (const Row& row : rows) sums.Add(row.letter, row.capital);
    return sums;
}

TEST(Reconciliation, TotalsNameEachChargingKindAboveZeroAndEachPayingKindBelowZero) {
    const TotalsCase cases[] = {
        {"nothing applied", {}, "Total Cargos:", "Total Pagos:", "Balance= 0.00"},
        {"every kind, two rows of one",
         {{"P", 600}, {"P", 400}, {"R", -200}, {"C", -10}, {"D", 50.5}, {"N", -300}, {"M", -40.25}},
         "Total Cargos: Prestamo= 1,000.00 Notas Debito= 50.50",
         "Total Pagos: Recibos Ingreso= -200.00 Notas Credito= -10.00 Nominas= -300.00 "
         "Compensacion= -40.25",
         "Balance= 500.25"},
        {"a kind against its usual sign is counted but not named",
         {{"P", 100}, {"D", -5}, {"R", 5}},
         "Total Cargos: Prestamo= 100.00",
         "Total Pagos:",
         "Balance= 100.00"},
        {"codes that name no kind add nothing",
         {{"P", 100}, {"p", 1}, {"P ", 2}, {"", 3}, {"X", 4}, {"RR", 5}},
         "Total Cargos: Prestamo= 100.00",
         "Total Pagos:",
         "Balance= 100.00"},
    };
    for (const TotalsCase& c : cases) {
        SCOPED_TRACE(c.name);
        const loans::Totals totals = loans::ComposeTotals(Sum(c.rows));
        EXPECT_EQ(totals.charges, c.charges);
        EXPECT_EQ(totals.payments, c.payments);
        EXPECT_EQ(totals.balance, c.balance);
    }
}

TEST(Reconciliation, DocumentsBalanceIsHeldInExtendedPrecisionUntilShown) {
    // A unit beside 1E16 is lost in a double's sum and kept in the
    // extended one, which is rounded only when shown.
    const loans::KindSums sums = Sum({{"P", 1e16}, {"D", 1}, {"R", -0.5}});
    EXPECT_EQ(loans::ShownAmount(sums.DocumentsBalance()), "10,000,000,000,000,000.50");
    EXPECT_EQ(sums[loans::KindIndex("D")], 1.0L);
}

TEST(Reconciliation, MismatchMessageNamesBothBalancesAndTheirDifferenceOnlyWhenTheyShowApart) {
    EXPECT_EQ(loans::MismatchMessage(7500.0L, 7500.004), "");
    EXPECT_FALSE(loans::BalancesDisagree(7500.0L, 7500.004));
    EXPECT_TRUE(loans::BalancesDisagree(7500.0L, 7500.006));
    EXPECT_EQ(loans::MismatchMessage(7500.0L, 7500.006),
              "ERROR!! El balance del prestamo segun documentos es de 7,500.00\r mientras que el "
              "balance segun cxc es de 7,500.01 para una diferencia de 0.01");
    EXPECT_EQ(loans::MismatchMessage(-20.0L, 0.0),
              "ERROR!! El balance del prestamo segun documentos es de -20.00\r mientras que el "
              "balance segun cxc es de 0.00 para una diferencia de 20.00");
}

TEST(DocumentKinds, EveryKindHasOneBranchOfTheAppliedDocumentsListInTheTablesOrder) {
    const std::string& statement = loans::AppliedDocumentsStatement();
    size_t from = 0;
    for (const loans::DocumentKind& kind : loans::kDocumentKinds) {
        SCOPED_TRACE(std::string(1, kind.letter));
        EXPECT_EQ(loans::KindIndex(std::string(1, kind.letter)),
                  static_cast<size_t>(&kind - loans::kDocumentKinds.data()));
        const size_t at = statement.find(kind.loan_branch, from);
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(std::string(kind.loan_branch).rfind(std::string("select \"") + kind.letter, 0),
                  0u);
        from = at + 1;
    }
    EXPECT_EQ(loans::KindIndex("P"), 0u);
    EXPECT_TRUE(loans::IsScheduleRow("P"));
    EXPECT_FALSE(loans::IsScheduleRow("p"));
}

}  // namespace

// Stored repair journals fingerprint the image texts of reals: the text must
// stay exactly printf's "%.17g" for every value a double column can hold.
TEST(LoanImage, RealTextsAreWhatPrintfWritesWithSeventeenDigits) {
    const double values[] = {0.0,
                             -0.0,
                             0.1,
                             1.0 / 3.0,
                             5.0,
                             -1250.75,
                             123456.78,
                             1e16,
                             12345678901234567.0,
                             1e21,
                             1e-5,
                             0.0001,
                             2.2250738585072014e-308,
                             4.9406564584124654e-324,
                             std::numeric_limits<double>::max(),
                             -std::numeric_limits<double>::infinity()};
    for (const double value : values) {
        char expected[40];
        std::snprintf(expected, sizeof expected, "%.17g", value);
        EXPECT_EQ(loans::RealImageText(value), expected) << expected;
    }
}
