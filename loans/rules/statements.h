#pragma once

// The statements of a member lookup and of a loan's reconciliation, exactly
// as sent. Dialect 1: string literals are in double quotes. Named markers
// carry the values. No Qt.

#include <string>

#include "db/ib_query.h"

namespace loans {

inline constexpr const char* kMemberByCodeStatement =
    "select * from clientes where clt_codigo = :c";

inline constexpr const char* kEmployerByCodeStatement = "select * from empresas where codigo = :c";

inline constexpr const char* kLoansOfMemberStatement =
    "select * from solicitudpres where socio = :c and estatus in (\"A\",\"L\") order by fecha "
    "desc,no_documento";

inline constexpr const char* kScheduleOfLoanStatement =
    "select * from renglones where ren_prestamono = :p order by ren_cuotano";

// One loan of a member, with the columns the repairs read.
inline constexpr const char* kLoanOfMemberStatement =
    "select * from solicitudpres where socio = :c and no_documento = :p";

// The applied-documents union of a loan: every kind's branch, in the kinds'
// order, joined by "union" and two blanks, by instalment then date. One
// ":p" marker, once per kind, carries the loan number.
const std::string& AppliedDocumentsStatement();

// The receivable sums: the first line alone for the member, both lines for
// one loan (each line is one line of the statement text).
inline constexpr const char* kBalanceFirstLine =
    "select sum(valor) from cxctrx where cliente = :c ";
inline constexpr const char* kBalanceLoanLine = "and aplica = :a";

// Replaces a query's text with one line (the query is closed first).
inline void SetStatement(db::TIBQuery& query, const std::string& text) {
    query.Close();
    query.SQL().Clear();
    query.SQL().Add(text);
}

}  // namespace loans
