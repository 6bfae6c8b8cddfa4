#pragma once

// The two repairs of one loan, without a window: rebuilding its receivable
// movements from the documents applied to it ("Reindexar"), and recomputing
// its schedule's paid amounts from the same documents ("Corregir Tabla").
// They write through a query bound to a connection and a transaction and
// leave ending the transaction to the caller (RepairUnit runs one repair as
// a transaction of its own). No Qt.

#include <cstdint>
#include <string>
#include <vector>

namespace db {
class TIBQuery;
}  // namespace db

namespace loans {

// The loan's own values the rebuild writes (null numbers read as 0; a
// null date is written as null, never as the encoding's day zero).
struct LoanRow {
    std::string member;  // the member code as looked up
    int32_t loan = 0;    // NO_DOCUMENTO
    double date = 0;     // FECHA, a date-time
    bool date_null = false;
    double amount = 0;            // VALOR
    int32_t register_number = 0;  // REGISTRO_NO
    int32_t type = 0;             // TIPO
};

// One row of the applied-documents list, as listed (amounts signed).
struct AppliedDocument {
    std::string kind;    // TIPO, the kind's letter
    int32_t number = 0;  // REN_PRESTAMONO: the document's number
    double date = 0;     // REN_FECHAVENCE: the document's date
    bool date_null = false;
    int32_t instalment = 0;  // REN_CUOTANO
    double capital = 0;      // REN_CUOTACAPITAL
    double interest = 0;     // REN_CUOTAINTERES
    bool capital_null = false;
    bool interest_null = false;
};

// The rows one repair wrote, for the journal.
struct RepairCounts {
    int64_t deleted = 0;
    int64_t inserted = 0;
    int64_t updated = 0;
};

// A movement's type: the loan's own type from 1 up, 2 for any other.
int32_t MovementType(int32_t loan_type);

// The current row of a dataset over SOLICITUDPRES, for the member given.
LoanRow TakeLoanRow(db::TIBQuery& loans, const std::string& member);
// Every row of an open applied-documents list, in its order; the list is
// left on its first row and the grids following it stay still meanwhile.
std::vector<AppliedDocument> TakeAppliedDocuments(db::TIBQuery& documents);

// The loan and its applied documents as they stand now, read through the
// given query (its statement is replaced). Raises runtime::Exception when
// the member has no such loan.
LoanRow ReadLoanRow(db::TIBQuery& reader, const std::string& member, int32_t loan);
std::vector<AppliedDocument> ReadAppliedDocuments(db::TIBQuery& reader, int32_t loan);

// Deletes the member's movements applied to the loan and writes one opening
// movement and one per document (the schedule's own rows left out).
RepairCounts RebuildMovements(db::TIBQuery& writer, const LoanRow& loan,
                              const std::vector<AppliedDocument>& documents);
// Sets every instalment's paid amounts to 0, then adds each document's
// amounts, negated, to its instalment. Each instalment's total paid moves
// by exactly what its paid capital and paid interest moved, so whatever
// else it held (late fees, insurance) stays, and an instalment whose paid
// amounts come out as they were keeps every column as it was.
RepairCounts CorrectSchedule(db::TIBQuery& writer, int32_t loan,
                             const std::vector<AppliedDocument>& documents);

}  // namespace loans
