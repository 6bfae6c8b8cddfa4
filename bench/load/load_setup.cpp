#include "bench/load/load_setup.h"

#include <stdexcept>

#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "loans/checks/portfolio_check.h"
#include "loans/rules/connection_profile.h"

namespace bench {

std::vector<std::string> SpreadMemberCodes(const std::string& database, int every) {
    demo::Attachment attachment(database);
    demo::Transaction transaction(attachment);
    std::vector<std::string> codes;
    int row = 0;
    for (const demo::Row& member :
         demo::SelectRows(transaction, "select clt_codigo from clientes order by clt_codigo")) {
        if (row++ % every != 0) continue;
        std::string code = demo::AsText(member[0]);
        code.erase(code.find_last_not_of(' ') + 1);
        codes.push_back(code);
    }
    if (codes.empty()) throw std::runtime_error("the database has no members");
    return codes;
}

std::vector<RepairLoan> AgreeingLoans(const std::string& database, size_t count) {
    db::TIBDatabase connection("IBDatabase1");
    db::TIBTransaction unused("IBTransaction1");
    loans::ConfigureProgramConnection(connection, unused, database);
    std::vector<RepairLoan> agreeing;
    for (const loans::LoanCheck& loan : loans::RunCheck(connection).loans) {
        if (!loan.Flagged()) agreeing.push_back({loan.member, loan.loan});
    }
    if (agreeing.size() < count) throw std::runtime_error("too few loans whose books agree");
    std::vector<RepairLoan> chosen;
    for (size_t i = 0; i < count; ++i)
        chosen.push_back(agreeing[(2 * i + 1) * agreeing.size() / (2 * count)]);
    return chosen;
}

std::vector<demo::Row> LoanRows(const std::string& database, const std::vector<RepairLoan>& loans) {
    demo::Attachment attachment(database);
    demo::Transaction transaction(attachment);
    std::vector<demo::Row> rows;
    for (const RepairLoan& loan : loans) {
        // The tables have no keys: every column, in a fixed order.
        for (demo::Row& row :
             demo::SelectRows(transaction,
                              "select * from cxctrx where cliente = ? and "
                              "aplica = ? order by 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11",
                              {loan.member, loan.loan})) {
            rows.push_back(std::move(row));
        }
        for (demo::Row& row :
             demo::SelectRows(transaction,
                              "select * from renglones where ren_prestamono = ? order by 1, 2, 3, "
                              "4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18",
                              {loan.loan})) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

}  // namespace bench
