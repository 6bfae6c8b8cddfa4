#pragma once

// What the demo cooperative (FillDemoDatabase) holds, by name, so tests can
// ask for "the member with a lower-case status" instead of a bare code.
//
// Balances: the documents balance is the sum of the signed capital column
// of the applied-documents union (plan rows + debit notes - receipts -
// credit notes - active payroll deductions - compensations, duplicates
// counted once). The receivable balance is SUM(CXCTRX.VALOR) for the
// member and loan. Text constants are ISO8859_1 bytes, as stored.

#include <cstdint>

namespace demo {

// --- Employers (EMPRESAS) -------------------------------------------------

inline constexpr int32_t kEmployerConstructora = 1;  // CONSTRUCTORA DEL CARIBE, S.R.L.
inline constexpr int32_t kEmployerMinisterio = 2;    // the name below, with an accent
inline constexpr int32_t kEmployerHospital = 3;      // HOSPITAL SAN JOSE (accented E)
inline constexpr int32_t kEmployerFarmacia = 4;      // FARMACIA LA ESPANOLA (with N tilde)
inline constexpr int32_t kEmployerBanco = 5;         // BANCO AGRICOLA DE LA REPUBLICA (accents)
inline constexpr int32_t kEmployerWithoutMembers =
    6;  // ZONA FRANCA SAN PEDRO, S.A.: nobody works there
inline constexpr int32_t kEmployerCount = 6;
inline constexpr int32_t kEmployerCodeUnknown = 99;  // used by a member, no EMPRESAS row
inline constexpr const char* kEmployerMinisterioName = "MINISTERIO DE EDUCACI\xD3N";

// --- Members (CLIENTES) ---------------------------------------------------

inline constexpr int kMemberCount = 44;  // codes 00001 to 00044

// Active ("A"), employer 2. Loans 1001 "A", 1002 "L", 1003 "C", 1004 "X";
// one CXCTRX row of 350.00 applied to no loan (APLICA 0, TIPO_DOC "CA").
inline constexpr const char* kMemberActive = "00001";
inline constexpr const char* kMemberActiveName =
    "JOS\xC9 RAM\xD3N PE\xD1"
    "A N\xDA\xD1"
    "EZ";
inline constexpr const char* kMemberActiveSurnames =
    "PE\xD1"
    "A N\xDA\xD1"
    "EZ";
inline constexpr const char* kMemberActiveFirstNames = "JOS\xC9 RAM\xD3N";
inline constexpr const char* kMemberActiveCedula = "001-0012345-1";
inline constexpr const char* kMemberActiveTelephone = "809-555-0101";
inline constexpr double kMemberActiveBalance = 50100.00;  // 32,250 + 17,500 + 0 + 350

// Active; first listed loan is number 0 (newest FECHA), then 1010, then -1.
inline constexpr const char* kMemberLoanZeroFirst = "00002";
inline constexpr double kMemberLoanZeroFirstBalance = 12000.00;

// Status "I": inactive. One loan, 1020.
inline constexpr const char* kMemberInactive = "00003";
// Status "" (CHAR(1) stores and returns it as one blank): inactive. Loan 1030.
inline constexpr const char* kMemberInactiveEmptyStatus = "00004";
// Status lower-case "a": inactive, only "A" is active. Loan 1040.
inline constexpr const char* kMemberInactiveLowercaseStatus = "00005";
// Status NULL and EMPRESA NULL (reads as employer 0, no name); no loans.
inline constexpr const char* kMemberNullStatus = "00006";
// Active, employer 2, no loans and no CXCTRX rows (balance 0).
inline constexpr const char* kMemberWithoutLoans = "00007";
// Active; loans 1050 "C" and 1051 "X" only, so the loan list is empty. Balance 0.
inline constexpr const char* kMemberOnlyClosedLoans = "00008";
// Active; EMPRESA 99, which has no EMPRESAS row (empty employer name). Loan 1060.
inline constexpr const char* kMemberUnknownEmployer = "00009";
// Active; loans 1070, 1071, 1072, 1073 whose CXCTRX balances disagree.
inline constexpr const char* kMemberMismatch = "00010";
inline constexpr double kMemberMismatchBalance = 41500.009;  // formats as 41,500.01
// Active; loan 1080 with a receipt line captured twice.
inline constexpr const char* kMemberDuplicateReceipts = "00011";
// Active; loan 1090 of 2,500,000.00; CLT_BALANCE 1,375,000.00, SUELDO 350,000.00.
inline constexpr const char* kMemberMillions = "00012";
inline constexpr double kMemberMillionsBalance = 1375000.00;
// Active; loans 1100 (null amounts) and 1101 (note and payroll kinds), same FECHA.
inline constexpr const char* kMemberNullsAndNotes = "00013";
inline constexpr double kMemberNullsAndNotesBalance = 15400.00;
// Active; loan 1110 with 1,100 receipts.
inline constexpr const char* kMemberManyDocuments = "00014";
// Members 00015 to 00044 are ordinary members whose books agree.
inline constexpr const char* kFirstOrdinaryMember = "00015";

// --- Loans (SOLICITUDPRES.NO_DOCUMENTO) -----------------------------------

// 60,000.00 in 12 installments of 5,000, TIPO 1. Receipts for installments
// 1-4 (-20,000), payroll "A" for 5 (-5,000) and one "I" for 6 (ignored),
// credit note "NC" -1,000, debit note "ND" +250, compensation -2,000.
// Documents and CXCTRX agree: 32,250.00.
inline constexpr int32_t kLoanActive = 1001;
// Status "L", TIPO 0 (movements get tipo 2). 25,000, receipts 1-3. 17,500.00.
inline constexpr int32_t kLoanLegal = 1002;
// Status "C" (never listed): 10,000 fully paid; CXCTRX sums to 0.
inline constexpr int32_t kLoanClosed = 1003;
// Status "X" (never listed): 15,000; one stray receipt of 2,500 still points
// at it; no CXCTRX rows.
inline constexpr int32_t kLoanVoided = 1004;

// Number 0, status "A", newest FECHA of its member: no details load for it,
// although four RENGLONES rows with REN_PRESTAMONO 0 exist (a draft's plan).
inline constexpr int32_t kLoanNumberZero = 0;
// Listed after loan 0. TIPO NULL (movements get tipo 2). 18,000, receipts
// 1-2: 12,000.00. Its schedule's paid columns were never updated (all 0).
inline constexpr int32_t kLoanAfterZero = 1010;
// Status "L", oldest of the member, listed last; nothing applied to it.
inline constexpr int32_t kLoanNegativeNumber = -1;

inline constexpr int32_t kLoanInactiveMember = 1020;     // TIPO -1; 30,000, receipts 1-5: 17,500.00
inline constexpr int32_t kLoanEmptyStatusMember = 1030;  // 5,000, receipt 1: 4,000.00
// Status "L", 12,000, no documents at all: 12,000.00; CXCTRX is just the "F" row.
inline constexpr int32_t kLoanWithoutDocuments = 1040;
inline constexpr int32_t kLoanClosedPaid = 1050;       // "C", 6,000 fully paid, CXCTRX 0
inline constexpr int32_t kLoanVoidedNoDocs = 1051;     // "X", nothing applied, no CXCTRX
inline constexpr int32_t kLoanUnknownEmployer = 1060;  // 9,000, receipt 1: 6,000.00

// 40,000, receipts 1-3 and payroll 4: documents 20,000.00. CXCTRX lacks the
// third receipt and the payroll row: 30,000.00 (CXC - documents = 10,000).
inline constexpr int32_t kLoanMismatchMissingDocs = 1070;
// 10,000, receipt 1: documents 7,500.00; CXCTRX 7,500.006 (its receipt row
// holds -2,499.994). Differs by 0.006: "7,500.01" against "7,500.00".
inline constexpr int32_t kLoanMismatchOverHalfCent = 1071;
// 6,000, receipt 1: documents 4,000.00; CXCTRX 4,000.003 (receipt row
// -1,999.997). Differs by 0.003: both format as "4,000.00".
inline constexpr int32_t kLoanMismatchUnderHalfCent = 1072;
// 3,000, no documents: documents 3,000.00; no CXCTRX rows at all (0.00).
inline constexpr int32_t kLoanWithoutMovements = 1073;

// 20,000 in 4 installments. Receipt 60010 for installment 1 (5,000 + 200
// interest) is stored twice, identical; receipt 60011 pays installment 2.
// Three INGRESOSDET rows (capital 15,000) but two applied documents:
// documents and CXCTRX 10,000.00.
inline constexpr int32_t kLoanDuplicateReceipts = 1080;
inline constexpr int32_t kDuplicateReceiptNumber = 60010;

// 2,500,000.00 in 20 installments of 125,000, TIPO 3. Receipts 1-8, a
// compensation for 9, a payroll row with status "P" for 10 (ignored):
// 1,375,000.00 both ways.
inline constexpr int32_t kLoanMillions = 1090;

// 12,000 in 4 installments; plan row 4 has NULL interest, the receipt for 1
// NULL interest, the compensation for 2 NULL capital (90.00 interest).
// Documents and CXCTRX 9,000.00 (the NULL capital counts as 0).
inline constexpr int32_t kLoanNullAmounts = 1100;
// 9,000 in 3 installments; for installment 1: notes "NC" 1,000, "ND" 200,
// "CD" 500 (listed as credit and as debit), "X" 700 (not applied), "nc" 300
// (credit: the containing test ignores case); payroll "A" 1,500, "a" 400 and
// "I" 600 (only "A" applies). C -1,800, D +700, N -1,500: 6,400.00.
inline constexpr int32_t kLoanNoteKinds = 1101;

// 150,000 in 60 installments of 2,500; 1,100 receipts of 100.00 capital and
// 12.50 interest, 25 per installment, pay installments 1-44: 40,000.00.
inline constexpr int32_t kLoanManyDocuments = 1110;
inline constexpr int kManyDocumentsReceiptCount = 1100;

// Expected figures of every catalogued loan.
struct ExpectedLoan {
    const char* member;
    int32_t loan;
    double documents_balance;   // capital of the applied-documents union
    double receivable_balance;  // SUM(CXCTRX.VALOR) for member and loan
    int applied_rows;           // rows of the union, plan rows included
};

inline constexpr ExpectedLoan kExpectedLoans[] = {
    {kMemberActive, kLoanActive, 32250.00, 32250.00, 20},
    {kMemberActive, kLoanLegal, 17500.00, 17500.00, 13},
    {kMemberActive, kLoanClosed, 0.00, 0.00, 10},
    {kMemberActive, kLoanVoided, 12500.00, 0.00, 7},
    {kMemberLoanZeroFirst, kLoanNumberZero, 8000.00, 0.00, 4},
    {kMemberLoanZeroFirst, kLoanAfterZero, 12000.00, 12000.00, 8},
    {kMemberLoanZeroFirst, kLoanNegativeNumber, 0.00, 0.00, 0},
    {kMemberInactive, kLoanInactiveMember, 17500.00, 17500.00, 17},
    {kMemberInactiveEmptyStatus, kLoanEmptyStatusMember, 4000.00, 4000.00, 6},
    {kMemberInactiveLowercaseStatus, kLoanWithoutDocuments, 12000.00, 12000.00, 6},
    {kMemberOnlyClosedLoans, kLoanClosedPaid, 0.00, 0.00, 6},
    {kMemberOnlyClosedLoans, kLoanVoidedNoDocs, 3000.00, 0.00, 3},
    {kMemberUnknownEmployer, kLoanUnknownEmployer, 6000.00, 6000.00, 4},
    {kMemberMismatch, kLoanMismatchMissingDocs, 20000.00, 30000.00, 12},
    {kMemberMismatch, kLoanMismatchOverHalfCent, 7500.00, 7500.006, 5},
    {kMemberMismatch, kLoanMismatchUnderHalfCent, 4000.00, 4000.003, 4},
    {kMemberMismatch, kLoanWithoutMovements, 3000.00, 0.00, 3},
    {kMemberDuplicateReceipts, kLoanDuplicateReceipts, 10000.00, 10000.00, 6},
    {kMemberMillions, kLoanMillions, 1375000.00, 1375000.00, 29},
    {kMemberNullsAndNotes, kLoanNullAmounts, 9000.00, 9000.00, 6},
    {kMemberNullsAndNotes, kLoanNoteKinds, 6400.00, 6400.00, 9},
    {kMemberManyDocuments, kLoanManyDocuments, 40000.00, 40000.00, 1160},
};

}  // namespace demo
