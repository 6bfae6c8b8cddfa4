#pragma once

// The kinds of document applied to a loan, once: every place that lists,
// adds up, reconciles or repairs a loan's documents reads this table, so a
// new kind is one more row here. No Qt.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace loans {

struct DocumentKind {
    char letter;         // the kind's code in the applied-documents list
    int sign;            // +1 charges the loan, -1 pays it (as listed)
    const char* label;   // its name in the totals under the documents grid
    const char* source;  // the table the documents come from
    // The window's branch of the applied-documents union for one loan
    // (":p" the loan), exactly as sent.
    const char* loan_branch;
    // The same documents for every loan of a range, as columns of the
    // portfolio check: loan, document, date, instalment, capital, interest
    // (capital and interest signed as listed), and the extra condition.
    const char* loan_column;
    const char* document_column;
    const char* date_column;
    const char* instalment_column;
    const char* capital;
    const char* interest;
    const char* condition;  // empty: every row of the loan
};

// In the order the documents balance adds them up and the totals name them.
inline constexpr std::array<DocumentKind, 6> kDocumentKinds{{
    {'P', +1, "Prestamo", "RENGLONES",
     "select \"P\" tipo,ren_prestamono,ren_fechavence,ren_cuotano,ren_cuotacapital,"
     "ren_cuotainteres from RENGLONES where ren_prestamono = :p",
     "ren_prestamono", "ren_prestamono", "ren_fechavence", "ren_cuotano", "ren_cuotacapital",
     "ren_cuotainteres", ""},
    {'R', -1, "Recibos Ingreso", "INGRESOSDET",
     "select \"R\",recibo,fecharecibo,cuota,-pagocapital,-pagointeres from INGRESOSDET where "
     "prestamo = :p",
     "prestamo", "recibo", "fecharecibo", "cuota", "-pagocapital", "-pagointeres", ""},
    {'C', -1, "Notas Credito", "CCNOTASDET",
     "select \"C\",documento,fecharecibo,cuota,-pagocapital,-pagointeres from ccnotasdet where "
     "prestamo = :p and tipo_doc containing \"C\"",
     "prestamo", "documento", "fecharecibo", "cuota", "-pagocapital", "-pagointeres",
     "tipo_doc containing \"C\""},
    {'D', +1, "Notas Debito", "CCNOTASDET",
     "select \"D\",documento,fecharecibo,cuota,pagocapital,pagointeres from ccnotasdet where "
     "prestamo = :p  and tipo_doc containing \"D\"",
     "prestamo", "documento", "fecharecibo", "cuota", "pagocapital", "pagointeres",
     "tipo_doc containing \"D\""},
    {'N', -1, "Nominas", "NOMINA",
     "select \"N\",numero,fecha,cuota_no,-valor,-interes from nomina where prestamo_no = :p and "
     "estatus = \"A\"",
     "prestamo_no", "numero", "fecha", "cuota_no", "-valor", "-interes", "estatus = \"A\""},
    {'M', -1, "Compensacion", "COMPENSACIONDET",
     "select \"M\",documento,fecha,serviciono,-capital,-interes from COMPENSACIONDET where "
     "aplica = :p",
     "aplica", "documento", "fecha", "serviciono", "-capital", "-interes", ""},
}};

inline constexpr std::size_t kKindCount = kDocumentKinds.size();

// The kind's position in the table, or kKindCount for a code that names
// none (compared exactly: "p" or "P " is no kind).
std::size_t KindIndex(std::string_view letter);

// The schedule's own instalments are listed among the documents but are not
// documents a repair writes.
inline constexpr char kScheduleLetter = 'P';
bool IsScheduleRow(std::string_view letter);

}  // namespace loans
