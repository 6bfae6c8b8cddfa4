#pragma once

namespace main_window {

// The applied-documents union of a loan, exactly as sent (the two blanks
// after each "union" and before the debit notes' "and" included); one
// ":p" marker, six times, carries the loan number.
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

}  // namespace main_window
