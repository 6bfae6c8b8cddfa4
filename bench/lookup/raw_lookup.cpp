#include "bench/lookup/raw_lookup.h"

#include <cstring>
#include <vector>

#include "db/client_library.h"
#include "db/errors.h"

namespace bench {
namespace {

void Check(ISC_STATUS result) { db::CheckStatus(result); }

struct TransactionBlock {
    isc_db_handle* database;
    int32_t length;
    const char* block;
};

}  // namespace

RawLookup::RawLookup(const std::string& database_name) {
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
    if (transaction_ != 0) api.isc_commit_transaction(db::StatusVector(), &transaction_);
    if (database_ != 0) api.isc_detach_database(db::StatusVector(), &database_);
}

int RawLookup::Statement(const char* sql, const std::vector<Param>& params, int first_int_column,
                         int32_t* first_int) {
    const db::ClientApi& api = db::Api();
    isc_stmt_handle statement = 0;
    Check(api.isc_dsql_alloc_statement2(db::StatusVector(), &database_, &statement));

    std::vector<char> out_area(XSQLDA_LENGTH(1));
    auto* out = reinterpret_cast<XSQLDA*>(out_area.data());
    out->version = SQLDA_VERSION1;
    out->sqln = 1;
    Check(api.isc_dsql_prepare(db::StatusVector(), &transaction_, &statement, 0, sql, 1, out));
    if (out->sqld > out->sqln) {
        const int n = out->sqld;
        out_area.assign(XSQLDA_LENGTH(n), 0);
        out = reinterpret_cast<XSQLDA*>(out_area.data());
        out->version = SQLDA_VERSION1;
        out->sqln = static_cast<ISC_SHORT>(n);
        Check(api.isc_dsql_describe(db::StatusVector(), &statement, 1, out));
    }
    std::vector<std::vector<char>> buffers(static_cast<size_t>(out->sqld));
    std::vector<short> nulls(static_cast<size_t>(out->sqld));
    for (int i = 0; i < out->sqld; ++i) {
        XSQLVAR& var = out->sqlvar[i];
        buffers[static_cast<size_t>(i)].resize(static_cast<size_t>(var.sqllen) + 2);
        var.sqldata = buffers[static_cast<size_t>(i)].data();
        var.sqlind = &nulls[static_cast<size_t>(i)];
    }

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
    Check(api.isc_dsql_execute(db::StatusVector(), &transaction_, &statement, 1,
                               params.empty() ? nullptr : in));
    int rows = 0;
    while (api.isc_dsql_fetch(db::StatusVector(), &statement, 1, out) == 0) {
        if (rows == 0 && first_int != nullptr && first_int_column >= 0) {
            const XSQLVAR& var = out->sqlvar[first_int_column];
            *first_int = *var.sqlind < 0 ? 0 : *reinterpret_cast<const int32_t*>(var.sqldata);
        }
        ++rows;
    }
    Check(api.isc_dsql_free_statement(db::StatusVector(), &statement, DSQL_drop));
    return rows;
}

int RawLookup::Run(const std::string& code) {
    // The same statement texts the main window sends, markers as "?".
    int rows = 0;
    int32_t employer = 0;
    rows += Statement("select * from clientes where clt_codigo = ?", {{true, code, 0}}, 75, &employer);
    rows += Statement("select * from empresas where codigo = ?", {{false, {}, employer}});
    int32_t loan = 0;
    rows += Statement(
        "select * from solicitudpres where socio = ? and estatus in (\"A\",\"L\") order by fecha "
        "desc,no_documento",
        {{true, code, 0}}, 20, &loan);
    if (loan > 0) {
        rows += Statement("select * from renglones where ren_prestamono = ? order by ren_cuotano",
                          {{false, {}, loan}});
        const Param p{false, {}, loan};
        rows += Statement(
            "select \"P\" tipo,ren_prestamono,ren_fechavence,ren_cuotano,ren_cuotacapital,"
            "ren_cuotainteres from RENGLONES where ren_prestamono = ? union  select \"R\",recibo,"
            "fecharecibo,cuota,-pagocapital,-pagointeres from INGRESOSDET where prestamo = ? union  "
            "select \"C\",documento,fecharecibo,cuota,-pagocapital,-pagointeres from ccnotasdet "
            "where prestamo = ? and tipo_doc containing \"C\" union  select \"D\",documento,"
            "fecharecibo,cuota,pagocapital,pagointeres from ccnotasdet where prestamo = ?  and "
            "tipo_doc containing \"D\" union  select \"N\",numero,fecha,cuota_no,-valor,-interes "
            "from nomina where prestamo_no = ? and estatus = \"A\" union  select \"M\",documento,"
            "fecha,serviciono,-capital,-interes from COMPENSACIONDET where aplica = ? order by 4,3",
            {p, p, p, p, p, p});
        rows += Statement("select sum(valor) from cxctrx where cliente = ? \r\nand aplica = ?\r\n",
                          {{true, code, 0}, p});
    }
    rows += Statement("select sum(valor) from cxctrx where cliente = ? \r\n", {{true, code, 0}});
    return rows;
}

}  // namespace bench
