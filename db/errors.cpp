#include "db/errors.h"

#include <array>
#include <cstring>
#include <mutex>
#include <vector>

#include "db/client_library.h"
#include "db/component.h"

namespace db {
namespace {

// Index = client error code. Inherited wording kept exactly, typos included,
// because users and support know these texts.
constexpr std::array<const char*, 124> kMessages = {
    "Unknown error",
    "InterBase library %s not found in the path. Please install InterBase to use this "
    "functionality",
    "InterBase Install DLL ibinstall.dll not found in the path. Please install InterBase 6 to "
    "use this functionality",
    "%s is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality",
    "Unsupported feature",
    "Not permitted",
    "Temporary file access error",
    "Database connection timed out",
    "Cannot set database",
    "Cannot set transaction",
    "Operation cancelled at user's request",
    "DPB Constant (isc_dpb_%s) is unsupported",
    "DPB Constant (%d) is unknown",
    "TPB Constant (isc_tpb_%s) is unsupported",
    "TPB Constant (%d) is unknown",
    "Cannot perform operation -- DB is not open",
    "Cannot perform operation -- DB is currently open",
    "Database name is missing",
    "Transaction is not active",
    "Transaction is active",
    "Timeout values cannot be negative",
    "No databases are listed in transaction component",
    "Updating wrong database",
    "Updating wrong transaction. Unique transaction expected in set",
    "Database not assigned",
    "Transaction not assigned",
    "XSQLDA index out of range",
    "XSQLDA name does not exist (%s)",
    "End of file",
    "Beginning of file",
    "Invalid statement handle",
    "IBSQL Open",
    "IBSQL Closed",
    "Dataset open",
    "Dataset closed",
    "Unknown SQL Data type (%d)",
    "Invalid column index (index exceeds permitted range)",
    "Invalid parameter index (index exceeds permitted range)",
    "Invalid data conversion",
    "Column cannot be set to null (%s)",
    "Blob stream cannot be read",
    "Blob stream cannot be written",
    "Empty query",
    "Cannot \"open\" a non-select statement. Use ExecQuery",
    "No access to field \"%s\"",
    "Field \"%s\" is read-only",
    "Field \"%s\" not found",
    "Not in edit mode",
    "Cannot insert into dataset. (No insert query)",
    "Cannot post. (No update/insert query)",
    "Cannot update. (No update query)",
    "Cannot delete from dataset. (No delete query)",
    "Cannot refresh row. (No refresh query)",
    "Buffer not set",
    "Circular references not permitted",
    "SQL Parse Error:\r\n\r\n%s",
    "User abort",
    "Data set is uni-directional",
    "Cannot create shared resource. (Windows error %d)",
    "Windows API error. (Windows error %d [$%.8x])",
    "Column lists do not match",
    "Column types don't match. (From index: %d; To index: %d)",
    "Can't end a shared transaction unless it is forced and equal to the transaction's "
    "TimeoutAction",
    "Unsupported Field Type",
    "Circular DataLink Reference",
    "Empty SQL Statement",
    "use Open for a Select Statement",
    "Required Param value not set",
    "No Stored Procedure Name assigned",
    "use ExecProc for Procedure; use TQuery for Select procedures",
    "Update Failed",
    "CachedUpdates not enabled",
    "Request is not live - cannot modify",
    "No Provider",
    "No Records Affected",
    "No Table Name assigned",
    "Cannot Create Primary Index; are created automatically",
    "Cannot Drop System Index",
    "Table Name Mismatch",
    "Index Field Missing",
    "Cannot Cancel events while processing",
    "Invalid Event",
    "Exceded Maximum Event limits",
    "No Events Registered",
    "Invalid Queueing",
    "Invalid Registration",
    "Invalid Batch Move",
    "SQL Dialect Invalid",
    "SPB Constant Not supported",
    "SPB Constant Unknown",
    "Cannot perform operation -- service is not attached",
    "Cannot perform operation -- service is attached",
    "Server Name Missing",
    "Query Parameters missing or incorrect",
    "start Parameters missing or incorrect",
    "Unexpected Output buffer value",
    "Generic ServiceStart not applicable: Use Specific Procedures to set configuration params",
    "SQL Monitor Instance is already present",
    "Cannot print value",
    "SEOFReached",
    "EOF in comment detected",
    "EOF in string detected",
    "Parameter name expected",
    "Successful execution",
    "%s",
    "No Install Options selected",
    "DestinationDirectory is not set",
    "SourceDirectory is not set",
    "Uninstall File Name is not set",
    "%s component requires Client to function properly",
    "%s component requires Server to function properly",
    "Invalid option specified",
    "Unexpected onError return value",
    "Unexpected onStatus return value",
    "DPB Constant (%s) is unknown",
    "TPB Constant (%s) is unknown",
    "Unknown Error - Can't retrieve plan",
    "Size Mismatch - Field %s size is too small for data",
    "Events already registered",
    "Trying to store a string of length %d into a field that can only contain %d",
    // Our additions: the block format has one length byte per value and a
    // 16-bit total, so longer values are refused before anything is sent.
    "Parameter value for %s is longer than 255 bytes",
    "Parameter block is longer than 32767 bytes",
    "Parameter value for %s is empty",
    // The attach call takes the name's length as a signed 16-bit number.
    "Database name is longer than 32767 bytes",
};

thread_local ISC_STATUS_ARRAY t_status = {};

std::mutex g_options_lock;
MessageOptions g_options;

}  // namespace

const char* ClientErrorMessage(int code) {
    if (code < 0 || code >= static_cast<int>(kMessages.size())) return kMessages[0];
    return kMessages[static_cast<size_t>(code)];
}

void RaiseClientError(int code, std::initializer_list<runtime::FormatArg> args) {
    throw EIBClientError(runtime::FormatMessage(ClientErrorMessage(code), args), code);
}

void RaiseDatabaseError(const TComponent* component, const std::string& message) {
    if (component != nullptr && !component->Name().empty()) {
        throw EDatabaseError(component->Name() + ": " + message);
    }
    throw EDatabaseError(message);
}

ISC_STATUS* StatusVector() {
    return t_status;
}

ISC_STATUS StatusErrorCode() {
    return t_status[1];
}

bool StatusHolds(ISC_STATUS code) {
    // Clusters are (tag, value[, value]); error codes follow isc_arg_gds.
    for (size_t i = 0; i + 1 < ISC_STATUS_LENGTH && t_status[i] != isc_arg_end;) {
        ISC_STATUS tag = t_status[i];
        if (tag == isc_arg_gds && t_status[i + 1] == code) return true;
        i += (tag == isc_arg_cstring) ? 3 : 2;
    }
    return false;
}

std::string StatusTextAfter(ISC_STATUS code) {
    bool after = false;
    for (size_t i = 0; i + 1 < ISC_STATUS_LENGTH && t_status[i] != isc_arg_end;) {
        const ISC_STATUS tag = t_status[i];
        if (after && tag == isc_arg_string && t_status[i + 1] != 0) {
            return reinterpret_cast<const char*>(t_status[i + 1]);
        }
        if (after && tag == isc_arg_cstring && i + 2 < ISC_STATUS_LENGTH && t_status[i + 2] != 0) {
            return std::string(reinterpret_cast<const char*>(t_status[i + 2]),
                               static_cast<size_t>(t_status[i + 1]));
        }
        if (tag == isc_arg_gds) after = t_status[i + 1] == code;
        i += (tag == isc_arg_cstring) ? 3 : 2;
    }
    return {};
}

SavedStatus::SavedStatus() {
    std::memcpy(vector_, t_status, sizeof vector_);
}

void SavedStatus::Restore() const {
    std::memcpy(t_status, vector_, sizeof vector_);
}

void SavedStatus::Raise() const {
    Restore();
    RaiseServerError();
}

MessageOptions GetMessageOptions() {
    std::lock_guard lock(g_options_lock);
    return g_options;
}

void SetMessageOptions(MessageOptions options) {
    std::lock_guard lock(g_options_lock);
    g_options = options;
}

void RaiseServerError() {
    const ClientApi& api = Api();
    ISC_STATUS* status = StatusVector();
    const auto engine_code = static_cast<int32_t>(status[1]);
    const MessageOptions options = GetMessageOptions();
    const auto sql_code = static_cast<int32_t>(api.isc_sqlcode(status));

    std::string message;
    if (options.show_sql_code) message = "SQLCODE: " + std::to_string(sql_code);
    if (options.show_server_messages) {
        if (options.show_sql_code) message += "\r\n";
        std::vector<char> buffer(20480);
        ISC_STATUS* cursor = status;
        while (true) {
            buffer[0] = '\0';
            if (api.isc_interprete(buffer.data(), &cursor) <= 0) break;
            if (!message.empty() && message.back() != '\n') message += "\r\n";
            message += buffer.data();
        }
    }
    if (!message.empty() && message.back() == '.') message.pop_back();

    if (sql_code == -551) throw EIBInterBaseRoleError(message, sql_code, engine_code);
    throw EIBInterBaseError(message, sql_code, engine_code);
}

ISC_STATUS CheckStatus(ISC_STATUS result, bool raise_on_error) {
    if (raise_on_error && result > 0) RaiseServerError();
    return result;
}

bool IsConnectionLostCode(int32_t engine_error_code) {
    switch (engine_error_code) {
        case isc_network_error:
        case isc_net_read_err:
        case isc_net_write_err:
        case isc_lost_db_connection:
        case isc_conn_lost:
        case isc_att_shutdown:
        case isc_shutdown:
            return true;
        default:
            return false;
    }
}

namespace {

// Whether `failure` is a server error whose code `code_says`.
bool ServerErrorSays(const std::exception_ptr& failure, bool (*code_says)(int32_t)) {
    if (!failure) return false;
    try {
        std::rethrow_exception(failure);
    } catch (const EIBInterBaseError& e) {
        return code_says(e.EngineErrorCode());
    } catch (...) {
        return false;
    }
}

}  // namespace

bool IsConnectionLost(const std::exception_ptr& failure) {
    return ServerErrorSays(failure, IsConnectionLostCode);
}

bool IsConcurrentChangeCode(int32_t engine_error_code) {
    switch (engine_error_code) {
        case isc_lock_conflict:
        case isc_update_conflict:
        case isc_deadlock:
        case isc_concurrent_transaction:
            return true;
        default:
            return false;
    }
}

bool IsConcurrentChange(const std::exception_ptr& failure) {
    return ServerErrorSays(failure, IsConcurrentChangeCode);
}

}  // namespace db
