#include "loans/checks/check_statements.h"

#include <algorithm>

#include "loans/checks/portfolio_check.h"
#include "loans/checks/portfolio_rows.h"
#include "loans/rules/document_kinds.h"
#include "loans/rules/statements.h"

namespace loans {

// The documents of the window's applied-documents union (the schedule's own
// rows left out), for every loan numbered from :desde to :hasta, with the
// loan as an extra column. Each branch is told apart by its kind's position
// in the table, counted from 1, where the window has a letter. Joined by
// "union all": a loan whose rows may repeat is worked out from the
// window's own statement instead (see SummedByServer).
std::string DocumentsUnion() {
    std::string sql;
    for (std::size_t i = 0; i < kKindCount; ++i) {
        const DocumentKind& kind = kDocumentKinds[i];
        if (IsScheduleRow(std::string_view(&kind.letter, 1))) continue;
        // The first branch names the columns for the whole union.
        const bool named = sql.empty();
        if (!sql.empty()) sql += " union all ";
        const auto column = [named](const char* value, const char* name) {
            return named ? std::string(value) + " " + name : std::string(value);
        };
        sql += "select " + column(std::to_string(i + 1).c_str(), "tipo") + "," +
               column(kind.loan_column, "prestamo") + "," +
               column(kind.document_column, "documento") + "," + column(kind.date_column, "fecha") +
               "," + column(kind.instalment_column, "cuota") + "," +
               column(kind.capital, "capital") + "," + column(kind.interest, "interes") + " from " +
               kind.source + " where " + kind.loan_column + " between :desde and :hasta";
        if (*kind.condition != '\0') sql += std::string(" and ") + kind.condition;
    }
    return sql;
}

// Per kind and loan, its rows' capital summed as they are stored, their
// count, how many distinct pairs of document and instalment they hold, and
// the capital's magnitudes summed. Grouped by the loan alone, the server
// follows the loan's index and sorts nothing. Rows repeated exactly share
// their document and instalment, so where the two counts agree no row is
// repeated and the plain sum is the window's, but for the order and
// precision of its additions; a pair the key cannot tell apart (an
// instalment number from 1000, a null) only sends the loan to the window's
// statement.
std::string KindSumsStatement() {
    std::string sql;
    for (std::size_t i = 0; i < kKindCount; ++i) {
        const DocumentKind& kind = kDocumentKinds[i];
        if (!sql.empty()) sql += " union all ";
        sql += "select " + std::to_string(i + 1) + "," + kind.loan_column +
               ",count(*),"
               "count(distinct cast(" +
               kind.document_column + " as double precision) * 1000 + " + kind.instalment_column +
               "),sum(" + kind.capital + "),sum(abs(" + kind.capital + ")) from " + kind.source +
               " where " + kind.loan_column + " between :desde and :hasta";
        if (*kind.condition != '\0') sql += std::string(" and ") + kind.condition;
        sql += std::string(" group by ") + kind.loan_column;
    }
    return sql;
}

namespace {

// Whether a sum of `added` documents (the server's `sum`, of magnitudes
// `magnitude`) may show otherwise once added in the correction's order:
// the hundredths either side of the spread round apart. The spread is
// SumSpread's in hundredths, widened by what the value's 18 significant
// digits and this arithmetic may move it.
std::string UnsureSql(const std::string& sum, const std::string& added,
                      const std::string& magnitude) {
    const std::string cents = "abs(" + sum + ") * 100 + 0.5";
    const std::string spread =
        "((" + added + " + 2) * " + magnitude + " + abs(" + sum + ")) * 1e-13";
    return "floor(" + cents + " - " + spread + ") <> floor(" + cents + " + " + spread + ")";
}

}  // namespace

// Per instalment of a schedule (loan and instalment number), the paid
// amounts it holds (lowest and highest, should a number be repeated), what
// the correction would write there (the documents' amounts negated, a
// missing amount as 0, a missing instalment as 0, added up; nothing
// applied gives 0), how many documents that adds and their magnitudes.
// Only the instalments whose figures are not equal come back, and those
// whose sum the correction's order of additions could show otherwise:
// whether they show differently is decided on their texts, here, not by
// the server's rounding.
std::string InstalmentsStatement() {
    const std::string capital = "coalesce(sum(g.capital), 0)";
    const std::string interest = "coalesce(sum(g.interes), 0)";
    const std::string added = "count(g.capital)";
    const std::string capital_magnitude = "sum(abs(g.capital))";
    const std::string interest_magnitude = "sum(abs(g.interes))";
    return "select g.prestamo,g.cuota,min(g.pagado_capital),max(g.pagado_capital),"
           "min(g.pagado_interes),max(g.pagado_interes)," +
           capital + "," + interest + "," + added + "," + capital_magnitude + "," +
           interest_magnitude +
           " from (select ren_prestamono prestamo,ren_cuotano cuota,1 filas,"
           "coalesce(ren_pagadocapital, 0) pagado_capital,"
           "coalesce(ren_pagadointeres, 0) pagado_interes,"
           "cast(null as double precision) capital,cast(null as double precision) interes"
           " from RENGLONES where ren_prestamono between :desde and :hasta"
           " union all select a.prestamo,coalesce(a.cuota, 0),0,cast(null as double precision),"
           "cast(null as double precision),coalesce(-a.capital, 0),coalesce(-a.interes, 0)"
           " from (" +
           DocumentsUnion() +
           ") a) g"
           " group by g.prestamo,g.cuota having sum(g.filas) > 0 and (min(g.pagado_capital) <> " +
           capital + " or max(g.pagado_capital) <> " + capital + " or min(g.pagado_interes) <> " +
           interest + " or max(g.pagado_interes) <> " + interest + " or (" + added + " > 1 and (" +
           UnsureSql(capital, added, capital_magnitude) + " or " +
           UnsureSql(interest, added, interest_magnitude) + ")))";
}

// The listed loans with their receivable balance, found the way the window
// finds them; whether the member is on file, and the name, come from
// kMemberNamesStatement.
const char* const kListedLoansStatement =
    "select s.socio,s.no_documento,"
    "(select sum(x.valor) from CXCTRX x where x.cliente = s.socio and x.aplica = s.no_documento)"
    " from SOLICITUDPRES s"
    " where s.estatus in (\"A\",\"L\") and s.no_documento between :desde and :hasta";

// Every member's code and name, read once in the table's stored order:
// looking each loan's member up costs the engine several times a member's
// share of one pass over the table, its records being wide.
const char* const kMemberNamesStatement = "select clt_codigo,clt_nombresyapellidos from CLIENTES";

// The numbers of the listed loans, in order, to cut the rounds at.
const char* const kLoanNumbersStatement =
    "select no_documento from SOLICITUDPRES"
    " where estatus in (\"A\",\"L\") and no_documento > 0 order by no_documento";

// No protocol on an embedded connection.
const char* const kNetworkProtocolStatement =
    "select rdb$get_context(\"SYSTEM\", \"NETWORK_PROTOCOL\") from rdb$database";

CheckStatements Statements() {
    return {kLoanNumbersStatement,       kMemberNamesStatement,        kListedLoansStatement,
            RoundRowsStatements(),       KindSumsStatement(),          InstalmentsStatement(),
            AppliedDocumentsStatement(), kSchedulePaidAmountsStatement};
}

std::vector<std::pair<int32_t, int32_t>> Rounds(const std::vector<int32_t>& numbers,
                                                int loans_per_round) {
    // Cut at every so many distinct numbers, not at equal widths: numbering
    // series with gaps between them still give rounds of the same size.
    std::vector<int32_t> distinct(numbers);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    const size_t per_round = static_cast<size_t>(std::max(1, loans_per_round));
    std::vector<std::pair<int32_t, int32_t>> rounds;
    for (size_t first = 0; first < distinct.size(); first += per_round) {
        const size_t next = first + per_round;
        rounds.emplace_back(distinct[first],
                            next < distinct.size() ? distinct[next] - 1 : distinct.back());
    }
    return rounds;
}

}  // namespace loans
