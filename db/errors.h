#pragma once

#include <ibase.h>

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <utility>

#include "runtime/exception.h"
#include "runtime/text.h"

namespace db {

// Base of all database failures.
class EDatabaseError : public runtime::Exception {
  public:
    using runtime::Exception::Exception;
    const char* ClassName() const noexcept override { return "EDatabaseError"; }
};

class EIBError : public EDatabaseError {
  public:
    EIBError(std::string message, int32_t sql_error_code, int32_t engine_error_code)
        : EDatabaseError(std::move(message)),
          sql_error_code_(sql_error_code),
          engine_error_code_(engine_error_code) {}
    int32_t SqlErrorCode() const noexcept { return sql_error_code_; }
    int32_t EngineErrorCode() const noexcept { return engine_error_code_; }
    const char* ClassName() const noexcept override { return "EIBError"; }

  private:
    int32_t sql_error_code_;
    int32_t engine_error_code_;
};

class EIBInterBaseError : public EIBError {
  public:
    using EIBError::EIBError;
    const char* ClassName() const noexcept override { return "EIBInterBaseError"; }
};

class EIBInterBaseRoleError : public EIBError {
  public:
    using EIBError::EIBError;
    const char* ClassName() const noexcept override { return "EIBInterBaseRoleError"; }
};

class EIBClientError : public EIBError {
  public:
    EIBClientError(std::string message, int32_t code) : EIBError(std::move(message), code, 0) {}
    const char* ClassName() const noexcept override { return "EIBClientError"; }
};

// The layer's own error codes that the code raises by name; the full table
// of 120 messages is in errors.cpp.
enum ClientError : int {
    kUnknownError = 0,
    kLibraryNotFound = 1,
    kIB60Feature = 3,
    kNotSupported = 4,
    kNotPermitted = 5,
    kOperationCancelled = 10,
    kDpbConstantNotSupported = 11,
    kTpbConstantNotSupported = 13,
    kDatabaseClosed = 15,
    kDatabaseOpen = 16,
    kDatabaseNameMissing = 17,
    kNotInTransaction = 18,
    kInTransaction = 19,
    kTimeoutNegative = 20,
    kNoDatabasesInTransaction = 21,
    kDatabaseNotAssigned = 24,
    kTransactionNotAssigned = 25,
    kXsqldaIndexOutOfRange = 26,
    kInvalidStatementHandle = 30,
    kSqlOpen = 31,
    kSqlClosed = 32,
    kUnknownSqlDataType = 35,
    kEmptyQuery = 42,
    kSqlParseError = 55,
    kEmptySqlStatement = 65,
    kIsASelectStatement = 66,
    kSqlDialectInvalid = 87,
    kEofInComment = 100,
    kEofInString = 101,
    kParamNameExpected = 102,
    kDpbConstantUnknown = 114,
    kTpbConstantUnknown = 115,
    kFieldSizeMismatch = 117,
    kStringTooLarge = 119,
    // Not in the inherited table: refusals of parameter values that the
    // block format cannot carry (see ClientErrorMessage).
    kParameterValueTooLong = 120,
    kParameterBlockTooLong = 121,
    kParameterValueEmpty = 122,
    kDatabaseNameTooLong = 123,
};

class TComponent;
// Raises EDatabaseError; the component's name, a colon and a blank lead the
// message so the user can tell which query failed.
[[noreturn]] void RaiseDatabaseError(const TComponent* component, const std::string& message);

// Message text of a client error code (the raw pattern with placeholders).
const char* ClientErrorMessage(int code);

// Raises EIBClientError with the code's message, placeholders filled in order.
[[noreturn]] void RaiseClientError(int code, std::initializer_list<runtime::FormatArg> args = {});

// Raises EIBInterBaseError (or EIBInterBaseRoleError for SQL code -551) with
// the message composed from the calling thread's status vector.
[[noreturn]] void RaiseServerError();

// Returns `result` unchanged; raises the server error when asked and the
// call failed.
ISC_STATUS CheckStatus(ISC_STATUS result, bool raise_on_error = true);

// True for the engine's codes that say the connection itself is gone (the
// network failed, the server shut it down): nothing more can be done on it.
bool IsConnectionLostCode(int32_t engine_error_code);
// True when `failure` is a server error with such a code.
bool IsConnectionLost(const std::exception_ptr& failure);

// True for the engine's codes that say another transaction holds a row this
// one must write, or changed it since this one started.
bool IsConcurrentChangeCode(int32_t engine_error_code);
// True when `failure` is a server error with such a code.
bool IsConcurrentChange(const std::exception_ptr& failure);

// The calling thread's status vector, passed first to every API call.
ISC_STATUS* StatusVector();
ISC_STATUS StatusErrorCode();  // entry 1: the engine's error code
// True when the status vector reports `code` anywhere among its error codes.
bool StatusHolds(ISC_STATUS code);
// The text argument that follows `code` in the status vector, or empty.
std::string StatusTextAfter(ISC_STATUS code);

// The status vector of a failed call, kept while cleanup calls overwrite
// the calling thread's vector, so the first failure is the one reported.
class SavedStatus {
  public:
    SavedStatus();
    void Restore() const;
    [[noreturn]] void Raise() const;  // restores, then RaiseServerError

  private:
    ISC_STATUS_ARRAY vector_;
};

// Runs a cleanup after a failure: the failure's status vector survives the
// cleanup's calls, and a failing cleanup is dropped in favour of it.
template <typename Cleanup>
void CleanUpAfterFailure(Cleanup&& cleanup) {
    const SavedStatus saved;
    try {
        cleanup();
    } catch (...) {
    }
    saved.Restore();
}

// Runs steps that must all run even when one fails (releasing a statement,
// ending a transaction by force), keeping the first failure to report.
class FirstFailure {
  public:
    template <typename Step>
    void Run(Step&& step) {
        try {
            step();
        } catch (...) {
            if (!first_) first_ = std::current_exception();
        }
    }
    bool Failed() const { return first_ != nullptr; }
    // Raises the first failure, if any, once.
    void Rethrow() {
        if (first_) std::rethrow_exception(std::exchange(first_, nullptr));
    }

  private:
    std::exception_ptr first_;
};

// Process-wide switches for the composition of server error messages.
struct MessageOptions {
    bool show_sql_code = false;
    bool show_server_messages = true;
};
MessageOptions GetMessageOptions();
void SetMessageOptions(MessageOptions options);

}  // namespace db
