#include "bench/wan/raw_prepared_lookup.h"

#include "db/sql_preprocessor.h"
#include "loans/rules/statements.h"

namespace bench {
namespace {

using namespace loans;  // the lookup statements

// The window's texts as the server receives them: markers turned into "?".
std::string Positional(const std::string& text) {
    return db::PreprocessSql(text).text;
}

}  // namespace

RawPreparedLookup::RawPreparedLookup(const std::string& database_name)
    : attachment_(database_name),
      member_(transaction_, Positional(kMemberByCodeStatement)),
      employer_(transaction_, Positional(kEmployerByCodeStatement)),
      loans_(transaction_, Positional(kLoansOfMemberStatement)),
      schedule_(transaction_, Positional(kScheduleOfLoanStatement)),
      documents_(transaction_, Positional(AppliedDocumentsStatement())),
      // The sums as the window sends them: each line followed by CR LF.
      loan_balance_(transaction_, Positional(std::string(kBalanceFirstLine) + "\r\n" +
                                             kBalanceLoanLine + "\r\n")),
      member_balance_(transaction_, Positional(std::string(kBalanceFirstLine) + "\r\n")) {}

int RawPreparedLookup::Run(const std::string& code) {
    constexpr size_t kEmployerColumn = 75;  // CLIENTES.EMPRESA
    constexpr size_t kLoanColumn = 20;      // SOLICITUDPRES.NO_DOCUMENTO
    size_t rows = 0;
    const std::vector<demo::Row> member = member_.Select({code});
    rows += member.size();
    const int32_t employer =
        member.empty() ? 0 : static_cast<int32_t>(demo::AsInt(member.front()[kEmployerColumn]));
    rows += employer_.Select({employer}).size();
    const std::vector<demo::Row> loans = loans_.Select({code});
    rows += loans.size();
    const int32_t loan =
        loans.empty() ? 0 : static_cast<int32_t>(demo::AsInt(loans.front()[kLoanColumn]));
    if (loan > 0) {
        rows += schedule_.Select({loan}).size();
        rows += documents_.Select(std::vector<demo::Value>(6, loan)).size();
        rows += loan_balance_.Select({code, loan}).size();
    }
    rows += member_balance_.Select({code}).size();
    return static_cast<int>(rows);
}

}  // namespace bench
