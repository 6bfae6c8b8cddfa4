#include <limits>
#include <stdexcept>

#include "db/client_library.h"
#include "db/errors.h"
#include "tools/raw_client/raw_client.h"

namespace demo {
namespace {

std::string QuoteLiteral(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace

DateTime AddDays(const DateTime& value, int days) {
    return formats::DecodeDateTime(formats::EncodeDateTime(value) + days);
}

bool IsNull(const Value& value) {
    return std::holds_alternative<std::monostate>(value);
}

double AsDouble(const Value& value) {
    if (IsNull(value)) return 0;
    if (auto* v = std::get_if<int32_t>(&value)) return *v;
    if (auto* v = std::get_if<int64_t>(&value)) return static_cast<double>(*v);
    if (auto* v = std::get_if<double>(&value)) return *v;
    throw std::invalid_argument("value is not a number");
}

int64_t AsInt(const Value& value) {
    if (IsNull(value)) return 0;
    if (auto* v = std::get_if<int32_t>(&value)) return *v;
    if (auto* v = std::get_if<int64_t>(&value)) return *v;
    throw std::invalid_argument("value is not an integer");
}

const std::string& AsText(const Value& value) {
    static const std::string kEmpty;
    if (IsNull(value)) return kEmpty;
    if (auto* v = std::get_if<std::string>(&value)) return *v;
    throw std::invalid_argument("value is not text");
}

// ---------------------------------------------------------------------------

Attachment::Attachment(const std::string& path, AttachOptions options) : dialect_(options.dialect) {
    std::string dpb(1, static_cast<char>(isc_dpb_version1));
    auto add_text = [&dpb](char code, std::string_view text) {
        dpb += code;
        dpb += static_cast<char>(text.size());
        dpb.append(text);
    };
    add_text(isc_dpb_user_name, "SYSDBA");
    add_text(isc_dpb_password, "plumbrid");  // checked only through a server
    add_text(isc_dpb_lc_ctype, "ISO8859_1");
    dpb += static_cast<char>(isc_dpb_sql_dialect);
    dpb += '\1';
    dpb += static_cast<char>(options.dialect);
    if (options.forced_writes_off) {
        dpb += static_cast<char>(isc_dpb_force_write);
        dpb += '\1';
        dpb += '\0';
    }
    if (path.size() > static_cast<size_t>(std::numeric_limits<short>::max()))
        throw std::invalid_argument("database path too long");
    db::CheckStatus(db::Api().isc_attach_database(
        db::StatusVector(), static_cast<short>(path.size()), path.data(), &handle_,
        static_cast<short>(dpb.size()), dpb.data()));
}

Attachment::~Attachment() {
    if (handle_)
        db::CleanUpAfterFailure(
            [&] { db::Api().isc_detach_database(db::StatusVector(), &handle_); });
}

void Attachment::Drop() {
    db::CheckStatus(db::Api().isc_drop_database(db::StatusVector(), &handle_));
}

namespace {
// The transaction existence block of isc_start_multiple (not in ibase.h).
struct TransactionExistenceBlock {
    isc_db_handle* database;
    int tpb_length;
    const char* tpb;
};
}  // namespace

Transaction::Transaction(Attachment& attachment, bool wait) : attachment_(attachment), wait_(wait) {
    Start();
}

void Transaction::Start() {
    const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_concurrency,
                        wait_ ? char{isc_tpb_wait} : char{isc_tpb_nowait}};
    TransactionExistenceBlock teb{attachment_.Handle(), sizeof tpb, tpb};
    db::CheckStatus(db::Api().isc_start_multiple(db::StatusVector(), &handle_, 1, &teb));
}

Transaction::~Transaction() {
    if (handle_)
        db::CleanUpAfterFailure(
            [&] { db::Api().isc_rollback_transaction(db::StatusVector(), &handle_); });
}

void Transaction::Commit() {
    db::CheckStatus(db::Api().isc_commit_transaction(db::StatusVector(), &handle_));
}

void Transaction::Rollback() {
    db::CheckStatus(db::Api().isc_rollback_transaction(db::StatusVector(), &handle_));
}

void ExecuteImmediate(Transaction& transaction, const std::string& sql) {
    Attachment& owner = transaction.Owner();
    db::CheckStatus(db::Api().isc_dsql_execute_immediate(
        db::StatusVector(), owner.Handle(), transaction.Handle(), 0, sql.c_str(),
        static_cast<unsigned short>(owner.Dialect()), nullptr));
}

void CreateEmptyDatabase(const std::string& name, int dialect) {
    isc_db_handle handle = 0;
    isc_tr_handle no_transaction = 0;
    const std::string create = "CREATE DATABASE " + QuoteLiteral(name) +
                               " USER 'SYSDBA' PASSWORD 'plumbrid' PAGE_SIZE 8192 DEFAULT "
                               "CHARACTER SET ISO8859_1";
    const auto& api = db::Api();
    db::CheckStatus(api.isc_dsql_execute_immediate(db::StatusVector(), &handle, &no_transaction, 0,
                                                   create.c_str(),
                                                   static_cast<unsigned short>(dialect), nullptr));
    db::CheckStatus(api.isc_detach_database(db::StatusVector(), &handle));
}

}  // namespace demo
