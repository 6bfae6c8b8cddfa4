#include "tests/support/test_database.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "db/client_library.h"
#include "db/errors.h"

namespace test_support {
namespace {

void Check(ISC_STATUS result) { db::CheckStatus(result); }

std::string Dpb() {
    std::string dpb(1, isc_dpb_version1);
    auto add = [&dpb](char code, const std::string& value) {
        dpb += code;
        dpb += static_cast<char>(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, kUser);
    add(isc_dpb_password, kPassword);
    add(isc_dpb_lc_ctype, "ISO8859_1");
    return dpb;
}

// isc_start_transaction is variadic and not bound; the multiple form is.
void StartTransaction(isc_db_handle* database, isc_tr_handle* transaction) {
    struct {
        isc_db_handle* database;
        int32_t length;
        const char* block;
    } teb = {database, 0, nullptr};
    Check(db::Api().isc_start_multiple(db::StatusVector(), transaction, 1, &teb));
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "coop-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
    // The server may run as another user and must be able to create files here.
    std::filesystem::permissions(path_, std::filesystem::perms::all);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ServerHost() {
    const char* host = std::getenv("COOP_TEST_SERVER");
    return host ? host : "";
}

std::string DatabaseName(Route route, const std::string& file) {
    return route == Route::kServer ? ServerHost() + ":" + file : file;
}

const char* RouteName(Route route) { return route == Route::kServer ? "Server" : "Embedded"; }

void CreateEmptyDatabase(const std::string& name, int dialect) {
    const db::ClientApi& api = db::Api();
    const std::string sql = "CREATE DATABASE '" + name + "' USER '" + kUser + "' PASSWORD '" +
                            kPassword + "' PAGE_SIZE 8192 DEFAULT CHARACTER SET ISO8859_1";
    isc_db_handle handle = 0;
    isc_tr_handle transaction = 0;
    Check(api.isc_dsql_execute_immediate(db::StatusVector(), &handle, &transaction, 0,
                                         sql.c_str(), static_cast<unsigned short>(dialect),
                                         nullptr));
    Check(api.isc_detach_database(db::StatusVector(), &handle));
}

RawConnection::RawConnection(const std::string& name) {
    const std::string dpb = Dpb();
    Check(db::Api().isc_attach_database(db::StatusVector(), 0, name.c_str(), &handle_,
                                        static_cast<short>(dpb.size()), dpb.data()));
}

RawConnection::~RawConnection() {
    if (handle_ != 0) db::Api().isc_detach_database(db::StatusVector(), &handle_);
}

void RawConnection::Execute(const std::string& sql) {
    const db::ClientApi& api = db::Api();
    isc_tr_handle transaction = 0;
    StartTransaction(&handle_, &transaction);
    try {
        Check(api.isc_dsql_execute_immediate(db::StatusVector(), &handle_, &transaction, 0,
                                             sql.c_str(), 1, nullptr));
    } catch (...) {
        api.isc_rollback_transaction(db::StatusVector(), &transaction);
        throw;
    }
    Check(api.isc_commit_transaction(db::StatusVector(), &transaction));
}

std::string RawConnection::QueryText(const std::string& sql) {
    const db::ClientApi& api = db::Api();
    isc_tr_handle transaction = 0;
    isc_stmt_handle statement = 0;
    StartTransaction(&handle_, &transaction);
    std::vector<char> area(XSQLDA_LENGTH(1));
    auto* sqlda = reinterpret_cast<XSQLDA*>(area.data());
    sqlda->version = SQLDA_VERSION1;
    sqlda->sqln = 1;
    std::string result = "<none>";
    try {
        Check(api.isc_dsql_alloc_statement2(db::StatusVector(), &handle_, &statement));
        Check(api.isc_dsql_prepare(db::StatusVector(), &transaction, &statement, 0, sql.c_str(), 1,
                                   sqlda));
        // Ask the server to convert the first column to text for us.
        XSQLVAR& var = sqlda->sqlvar[0];
        std::vector<char> data(32768);
        short null_flag = 0;
        var.sqltype = SQL_VARYING + 1;
        var.sqllen = static_cast<short>(data.size() - 2);
        var.sqlscale = 0;
        var.sqldata = data.data();
        var.sqlind = &null_flag;
        Check(api.isc_dsql_execute(db::StatusVector(), &transaction, &statement, 1, nullptr));
        ISC_STATUS fetched = api.isc_dsql_fetch(db::StatusVector(), &statement, 1, sqlda);
        if (fetched == 0) {
            if (null_flag < 0) {
                result = "<null>";
            } else {
                unsigned short length;
                std::memcpy(&length, data.data(), 2);
                result.assign(data.data() + 2, length);
            }
        } else if (fetched != 100) {
            Check(fetched);
        }
        api.isc_dsql_free_statement(db::StatusVector(), &statement, DSQL_drop);
    } catch (...) {
        if (statement != 0) api.isc_dsql_free_statement(db::StatusVector(), &statement, DSQL_drop);
        api.isc_rollback_transaction(db::StatusVector(), &transaction);
        throw;
    }
    Check(api.isc_commit_transaction(db::StatusVector(), &transaction));
    return result;
}

}  // namespace test_support
