#pragma once

// The server-side blocks that fill the benchmark database. Each is one
// EXECUTE BLOCK with "?" input parameters; the text is ISO8859_1, ready to
// prepare on an attachment with lc_ctype ISO8859_1 in SQL dialect 1.
//
// Values come from a Park-Miller sequence seeded by the row's number, so
// the same parameters always give the same rows.

#include <string>

namespace bench {

// Employers 1..EMPLOYERS. Parameters: EMPLOYERS.
std::string EmployersBlock();

// Members FIRST..LAST, every column of CLIENTES filled as a real member
// file would be (a few optional ones left empty for some members).
// Parameters: FIRST_MEMBER, LAST_MEMBER, EMPLOYERS, CODE_WIDTH.
std::string MembersBlock();

// Loans FIRST..LAST (REGISTRO_NO) with their payment schedules, the
// documents applied to them (receipts, notes, payroll deductions,
// compensations) and their receivable movements.
// Parameters: FIRST_LOAN, LAST_LOAN, MEMBERS, CODE_WIDTH.
std::string LoansBlock();

// The CLIENTES columns the members block writes, in table order, so the
// generator can check the list against the schema it runs on.
const char* const* MemberColumnNames(int& count);

}  // namespace bench
