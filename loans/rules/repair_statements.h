#pragma once

namespace loans {

// The statements of the two repairs, exactly as sent (blanks and the
// closing semicolons included). Named markers carry the values.

inline constexpr const char* kDeleteLoanMovementsStatement =
    "delete from cxctrx where cliente = :c and aplica = :a";

// The opening movement of a loan: no instalment, no interest.
inline constexpr const char* kInsertOpeningMovementStatement =
    "  insert into cxctrx(cliente,tipo_doc,documento,fecha,aplica,valor,fechavenc,cuota,"
    "registrono,interes,tipo)  values (:s,:t,:d,:f,:a,:v,:fv,0,:r,0,:ti);";

// One movement per applied document.
inline constexpr const char* kInsertDocumentMovementStatement =
    "  insert into cxctrx(cliente,tipo_doc,documento,fecha,aplica,valor,fechavenc,cuota,"
    "registrono,interes,tipo)  values (:s,:t,:d,:f,:a,:v,:fv,:cu,:r,:i,:ti);";

// ":P" is bound under the name p: markers match without regard to case.
inline constexpr const char* kResetSchedulePaymentsStatement =
    "UPDATE RENGLONES SET  REN_PAGADOCAPITAL = 0, REN_PAGADOINTERES = 0, REN_TOTALPAGADO = 0  "
    "WHERE REN_PRESTAMONO = :P";

inline constexpr const char* kAddInstalmentPaymentStatement =
    " UPDATE renglones SET ren_pagadocapital = ren_pagadocapital + :c, ren_pagadointeres = "
    "ren_pagadointeres +  :i  where ren_prestamono = :p and ren_cuotano = :cu";

// Each instalment row's paid amounts before the correction, read in its
// transaction; the row key names the very row, as instalment numbers are
// not unique.
inline constexpr const char* kSchedulePaidStatement =
    "select rdb$db_key, ren_pagadocapital, ren_pagadointeres, ren_totalpagado from renglones "
    "where ren_prestamono = :p";

// The total paid moved by what paid capital and paid interest moved: the
// difference first, so that an unchanged instalment adds exactly 0.
inline constexpr const char* kMoveTotalPaidStatement =
    "update renglones set ren_totalpagado = :t + ((ren_pagadocapital - :c) + "
    "(ren_pagadointeres - :i)) where rdb$db_key = :k";

inline constexpr const char* kRebuildConfirmation =
    "Esta Seguro de Querer Ejecutar este proceso en el prestamo ";
inline constexpr const char* kCorrectConfirmation =
    "Esta Seguro de Querer Corregir el plan de pagos (Tabla de amortizacion) en el prestamo ";
inline constexpr const char* kUndoConfirmation =
    "Esta Seguro de Querer Deshacer esta reparacion en el prestamo ";
inline constexpr const char* kRepairDone = "Proceso Ejecutado";

// The repairs' names in the journal, as their buttons call them.
inline constexpr const char* kRebuildRepair = "Reindexar";
inline constexpr const char* kCorrectRepair = "Corregir Tabla";
// An undo's record, which names the record it undoes.
inline constexpr const char* kUndoRepair = "Deshacer";

}  // namespace loans
