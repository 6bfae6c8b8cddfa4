#pragma once

// The statements the portfolio check sends, as sent, each explained where
// it is built (check_statements.cpp), which also cuts the loans into the
// rounds they are sent for (Rounds, in portfolio_check.h). No Qt.

#include <string>

namespace loans {

// The window's applied documents of a range of loans (:desde to :hasta),
// the loan as an extra column, joined by "union all".
std::string DocumentsUnion();
// Per kind and loan of a range: the capital summed, counted, and sized.
std::string KindSumsStatement();
// Per instalment of a range: the paid amounts against what the correction
// would write, where they may show differently.
std::string InstalmentsStatement();

// The listed loans of a range with their member's code and receivable balance.
extern const char* const kListedLoansStatement;
// Every member's code and name.
extern const char* const kMemberNamesStatement;
// The listed loans' numbers, in order.
extern const char* const kLoanNumbersStatement;
// The connection's protocol: nothing on an embedded connection.
extern const char* const kNetworkProtocolStatement;

}  // namespace loans
