#pragma once

namespace main_window {

// The statements of a member lookup, exactly as sent. Dialect 1: string
// literals are in double quotes. Named markers carry the values.

inline constexpr const char* kMemberByCodeStatement =
    "select * from clientes where clt_codigo = :c";

inline constexpr const char* kEmployerByCodeStatement = "select * from empresas where codigo = :c";

inline constexpr const char* kLoansOfMemberStatement =
    "select * from solicitudpres where socio = :c and estatus in (\"A\",\"L\") order by fecha "
    "desc,no_documento";

inline constexpr const char* kScheduleOfLoanStatement =
    "select * from renglones where ren_prestamono = :p order by ren_cuotano";

// The applied-documents union of a loan (the two blanks after each "union"
// and before the debit notes' "and" included); one ":p" marker, six times,
// carries the loan number.
inline constexpr const char* kAppliedDocumentsStatement =
    "select \"P\" tipo,ren_prestamono,ren_fechavence,ren_cuotano,ren_cuotacapital,"
    "ren_cuotainteres from RENGLONES where ren_prestamono = :p union  select \"R\",recibo,"
    "fecharecibo,cuota,-pagocapital,-pagointeres from INGRESOSDET where prestamo = :p union  "
    "select \"C\",documento,fecharecibo,cuota,-pagocapital,-pagointeres from ccnotasdet where "
    "prestamo = :p and tipo_doc containing \"C\" union  select \"D\",documento,fecharecibo,cuota,"
    "pagocapital,pagointeres from ccnotasdet where prestamo = :p  and tipo_doc containing \"D\" "
    "union  select \"N\",numero,fecha,cuota_no,-valor,-interes from nomina where prestamo_no = "
    ":p and estatus = \"A\" union  select \"M\",documento,fecha,serviciono,-capital,-interes from "
    "COMPENSACIONDET where aplica = :p order by 4,3";

// The receivable sums: the first line alone for the member, both lines for
// one loan (each line is one line of the statement text).
inline constexpr const char* kBalanceFirstLine =
    "select sum(valor) from cxctrx where cliente = :c ";
inline constexpr const char* kBalanceLoanLine = "and aplica = :a";

}  // namespace main_window
