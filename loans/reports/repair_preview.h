#pragma once

// What a repair of a flagged loan would change (or changed), for people:
// why the loan is flagged, in words; the ledger rows that would go and
// come; each instalment whose paid amounts move, old and new; both balances
// before and after. Amounts as the window shows them, dates as
// dd/mm/yyyy. Texts are Latin-1, like the program's. No Qt.

#include <cstdint>
#include <string>
#include <vector>

#include "loans/checks/portfolio_check.h"
#include "loans/repairs/bulk_repair.h"

namespace loans {

// One amount that moves: what it is ("pagado capital"; empty for a
// balance, which its line names), then its text before and after.
struct PreviewChange {
    std::string what;
    std::string before;
    std::string after;
};

struct PreviewLine {
    enum class Kind {
        kReason,      // why the loan is flagged: text
        kLedgerOut,   // a ledger row that would be deleted: the row's cells
        kLedgerIn,    // a ledger row that would be written: the row's cells
        kInstalment,  // an instalment's paid amounts: changes
        kBalance,     // a balance before and after: changes (one)
        kOutcome,     // the loan needs nothing now, or its repair would fail: text
    };
    Kind kind = Kind::kReason;
    std::string member;
    int32_t loan = 0;
    // What the line is about: "Motivo", "Sale de CXC", "Entra en CXC",
    // "Cuota 2", "Balance documentos", "Balance CXC", "Resultado".
    std::string subject;
    // A ledger row's cells.
    std::string document;
    std::string document_kind;  // its letter and the kind's name
    std::string date;
    std::string amount;
    std::string interest;
    std::string text;
    std::vector<PreviewChange> changes;
};

// The lines of one loan of a simulated (or made) run.
std::vector<PreviewLine> PreviewLines(const LoanRepair& entry);

// Why the check lists a loan, in words, from what the check knows: by how
// much CXC holds more or less than the documents ("CXC tiene 3.000,00
// menos que los documentos"), how many instalments' paid amounts differ
// from the documents' ("2 cuotas con lo pagado distinto de los
// documentos"), or both.
std::string FlaggedReason(const LoanCheck& loan);

// A date of an image row ("4-JUN-2024", "2024-06-04", with or without a
// time) as dd/mm/yyyy; any other text as it is.
std::string ShownImageDate(const std::string& text);

}  // namespace loans
