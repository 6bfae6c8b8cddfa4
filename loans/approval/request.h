#pragma once

// A request for a repair that needs a supervisor's approval, and what
// became of it. No Qt.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "loans/records/loan_image.h"

namespace loans {

// The decisions a resolution holds, as the database's check names them.
inline constexpr const char* kApproved = "Aprobada";
inline constexpr const char* kRejected = "Rechazada";

struct Resolution {
    std::time_t time = 0;
    std::string user;
    std::string decision;  // kApproved or kRejected
    std::string reason;    // a rejection's
    std::string record;    // an approval's record in REPARACIONES
};

struct Request {
    int32_t id = 0;
    std::time_t time = 0;  // set by the server
    std::string user;      // the database user who asked (CURRENT_USER)
    std::string role;
    std::string workstation;
    std::string member;
    int32_t loan = 0;
    // "Reindexar", "Corregir Tabla", both joined by " + ", or "Deshacer".
    std::string repair;
    std::string undoes;  // for "Deshacer": the record to undo
    // The loan's rows when it was asked for (RepairOutcome::fingerprint).
    std::string fingerprint;
    // What the repair would leave, as worked out when it was asked for.
    long double documents_balance_before = 0;
    double receivable_balance_before = 0;
    long double documents_balance_after = 0;
    double receivable_balance_after = 0;
    int64_t rows_deleted = 0;
    int64_t rows_inserted = 0;
    int64_t rows_updated = 0;
    // What it would change, row for row; read only with the request alone.
    ChangeImage change;
    std::optional<Resolution> resolution;  // none while it is open
};

}  // namespace loans
