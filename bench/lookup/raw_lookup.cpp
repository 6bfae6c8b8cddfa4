#include "bench/lookup/raw_lookup.h"

#include <cstring>
#include <vector>

#include "db/client_library.h"
#include "db/errors.h"
#include "db/sql_preprocessor.h"
#include "loans/rules/statements.h"

namespace bench {
namespace {

void Check(ISC_STATUS result) {
    db::CheckStatus(result);
}

// The main window's statement texts, markers turned into "?" once.
std::string Positional(const std::string& text) {
    return db::PreprocessSql(text).text;
}

struct TransactionBlock {
    isc_db_handle* database;
    int32_t length;
    const char* block;
};

}  // namespace

RawLookup::RawLookup(const std::string& database_name, Preparation preparation)
    : preparation_(preparation) {
    std::string dpb(1, isc_dpb_version1);
    for (auto [code, value] : {std::pair<char, std::string>{isc_dpb_user_name, "sysdba"},
                               {isc_dpb_password, "plumbrid"},
                               {isc_dpb_lc_ctype, "ISO8859_1"}}) {
        dpb += code;
        dpb += static_cast<char>(value.size());
        dpb += value;
    }
    const db::ClientApi& api = db::Api();
    Check(api.isc_attach_database(db::StatusVector(), 0, database_name.c_str(), &database_,
                                  static_cast<short>(dpb.size()), dpb.data()));
    TransactionBlock teb{&database_, 0, nullptr};
    Check(api.isc_start_multiple(db::StatusVector(), &transaction_, 1, &teb));
}

RawLookup::~RawLookup() {
    const db::ClientApi& api = db::Api();
    for (const auto& kept : kept_) {
        if (kept->handle != 0)
            api.isc_dsql_free_statement(db::StatusVector(), &kept->handle, DSQL_drop);
    }
    if (transaction_ != 0) api.isc_commit_transaction(db::StatusVector(), &transaction_);
    if (database_ != 0) api.isc_detach_database(db::StatusVector(), &database_);
}

void RawLookup::PrepareInto(const char* sql, Prepared& prepared) {
    const db::ClientApi& api = db::Api();
    prepared.sql = sql;
    Check(api.isc_dsql_alloc_statement2(db::StatusVector(), &database_, &prepared.handle));
    prepared.out_area.assign(XSQLDA_LENGTH(1), 0);
    XSQLDA* out = prepared.Out();
    out->version = SQLDA_VERSION1;
    out->sqln = 1;
    Check(
        api.isc_dsql_prepare(db::StatusVector(), &transaction_, &prepared.handle, 0, sql, 1, out));
    if (out->sqld > out->sqln) {
        const int n = out->sqld;
        prepared.out_area.assign(XSQLDA_LENGTH(n), 0);
        out = prepared.Out();
        out->version = SQLDA_VERSION1;
        out->sqln = static_cast<ISC_SHORT>(n);
        Check(api.isc_dsql_describe(db::StatusVector(), &prepared.handle, 1, out));
    }
    prepared.buffers.assign(static_cast<size_t>(out->sqld), {});
    prepared.nulls.assign(static_cast<size_t>(out->sqld), 0);
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR& var = out->sqlvar[i];
        prepared.buffers[static_cast<size_t>(i)].resize(static_cast<size_t>(var.sqllen) + 2);
        var.sqldata = prepared.buffers[static_cast<size_t>(i)].data();
        var.sqlind = &prepared.nulls[static_cast<size_t>(i)];
    }
}

RawLookup::Prepared& RawLookup::Kept(const char* sql) {
    // The texts are static, so their addresses name them.
    for (const auto& kept : kept_) {
        if (kept->sql == sql) return *kept;
    }
    kept_.push_back(std::make_unique<Prepared>());
    PrepareInto(sql, *kept_.back());
    return *kept_.back();
}

int RawLookup::Statement(const char* sql, const std::vector<Param>& params, int first_int_column,
                         int32_t* first_int, int limit) {
    const db::ClientApi& api = db::Api();
    Prepared fresh;
    Prepared& prepared = preparation_ == Preparation::kOnce ? Kept(sql) : fresh;
    if (preparation_ == Preparation::kFresh) PrepareInto(sql, fresh);
    XSQLDA* out = prepared.Out();

    std::vector<char> in_area(XSQLDA_LENGTH(params.empty() ? 1 : params.size()));
    auto* in = reinterpret_cast<XSQLDA*>(in_area.data());
    in->version = SQLDA_VERSION1;
    in->sqln = in->sqld = static_cast<ISC_SHORT>(params.size());
    std::vector<short> in_nulls(params.size(), 0);
    std::vector<int32_t> numbers(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        XSQLVAR& var = in->sqlvar[i];
        var.sqlind = &in_nulls[i];
        if (params[i].is_text) {
            var.sqltype = SQL_TEXT + 1;
            var.sqllen = static_cast<ISC_SHORT>(params[i].text.size());
            var.sqldata = const_cast<char*>(params[i].text.data());
        } else {
            numbers[i] = params[i].number;
            var.sqltype = SQL_LONG + 1;
            var.sqllen = 4;
            var.sqldata = reinterpret_cast<char*>(&numbers[i]);
        }
        var.sqlscale = 0;
    }
    Check(api.isc_dsql_execute(db::StatusVector(), &transaction_, &prepared.handle, 1,
                               params.empty() ? nullptr : in));
    int rows = 0;
    while (rows != limit && api.isc_dsql_fetch(db::StatusVector(), &prepared.handle, 1, out) == 0) {
        if (rows == 0 && first_int != nullptr && first_int_column >= 0) {
            const XSQLVAR& var = out->sqlvar[first_int_column];
            *first_int = *var.sqlind < 0 ? 0 : *reinterpret_cast<const int32_t*>(var.sqldata);
        }
        ++rows;
    }
    Check(api.isc_dsql_free_statement(db::StatusVector(), &prepared.handle,
                                      preparation_ == Preparation::kOnce ? DSQL_close : DSQL_drop));
    return rows;
}

int RawLookup::FirstRows(const char* sql, int limit) {
    return Statement(sql, {}, -1, nullptr, limit);
}

int RawLookup::Run(const std::string& code) {
    using namespace loans;
    static const std::string member = Positional(kMemberByCodeStatement);
    static const std::string employer_sql = Positional(kEmployerByCodeStatement);
    static const std::string loans = Positional(kLoansOfMemberStatement);
    static const std::string schedule = Positional(kScheduleOfLoanStatement);
    static const std::string documents = Positional(AppliedDocumentsStatement());
    // The sums as the window sends them: each line followed by CR LF.
    static const std::string loan_balance =
        Positional(std::string(kBalanceFirstLine) + "\r\n" + kBalanceLoanLine + "\r\n");
    static const std::string member_balance = Positional(std::string(kBalanceFirstLine) + "\r\n");

    int rows = 0;
    int32_t employer = 0;
    rows += Statement(member.c_str(), {{true, code, 0}}, 75, &employer);  // column EMPRESA
    rows += Statement(employer_sql.c_str(), {{false, {}, employer}});
    int32_t loan = 0;
    rows += Statement(loans.c_str(), {{true, code, 0}}, 20, &loan);  // column NO_DOCUMENTO
    if (loan > 0) {
        const Param p{false, {}, loan};
        rows += Statement(schedule.c_str(), {p});
        rows += Statement(documents.c_str(), {p, p, p, p, p, p});
        rows += Statement(loan_balance.c_str(), {{true, code, 0}, p});
    }
    rows += Statement(member_balance.c_str(), {{true, code, 0}});
    return rows;
}

}  // namespace bench
