#include "db/ib_sql.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <utility>

#include "db/call_watch.h"
#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"
#include "db/sql_preprocessor.h"
#include "db/statement_cache.h"
#include "runtime/text.h"

namespace db {
namespace {

constexpr ISC_STATUS kBadStatementHandle = 335544485;  // statement already gone
constexpr ISC_STATUS kCursorCloseError = 335544577;    // cursor already closed
constexpr ISC_STATUS kCursorNameTaken = 336003090;     // another statement's name
constexpr ISC_STATUS kStatementNamed = 336003092;      // the statement has a name
constexpr ISC_STATUS kCursorEndOfData = 335544572;     // fetch past the end

std::string RandomCursorName() {
    static thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> draw(0, 2147483646);
    std::string digits;
    while (digits.size() < 8) digits += std::to_string(draw(generator));
    return digits.substr(0, 8);
}

}  // namespace

std::string NormalizeName(const std::string& name) {
    std::string_view trimmed = name;
    while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
    return runtime::UpperLatin1(trimmed);
}

TIBSQL::TIBSQL(TComponent* owner) : base_(owner), cursor_name_(RandomCursorName()) {
    EnsureClientLoaded();
    base_.OnBeforeTransactionEnd = [this] { Close(); };
    base_.OnBeforeDatabaseDisconnect = [this] {
        FirstFailure failure;  // the handle goes even when the cursor close fails
        failure.Run([this] { Close(); });
        failure.Run([this] { FreeHandle(); });
        failure.Rethrow();
    };
    base_.OnReleaseIdle = [this] {
        if (!open_) FreeHandle();
    };
}

TIBSQL::~TIBSQL() {
    // A statement that cannot be released at destruction is the server's
    // to clean up with the attachment.
    FirstFailure ignored;
    ignored.Run([this] { Close(); });
    ignored.Run([this] { FreeHandle(); });
}

int TIBSQL::Dialect() const {
    return Database() ? Database()->SQLDialect() : 1;
}

void TIBSQL::SetText(const std::string& text) {
    // The text changes even when releasing the old statement fails: the
    // handle is gone either way, and the next prepare must use this text.
    FirstFailure failure;
    failure.Run([this] { Close(); });
    // A cursor that failed to close may still be open on the server: such a
    // statement is not worth keeping.
    if (failure.Failed() || !Park()) failure.Run([this] { FreeHandle(); });
    text_ = text;
    failure.Rethrow();
}

bool TIBSQL::Park() {
    TIBDatabase* database = Database();
    if (*handle_ == 0 || !prepared_ || open_ || database == nullptr || !database->Connected() ||
        database->StatementCacheSize() == 0) {
        return false;
    }
    auto kept = std::make_unique<PreparedStatement>();
    kept->handle = std::exchange(handle_, NewStatementHandle());
    kept->sql_type = sql_type_;
    // The name now belongs to the kept handle; this object needs another.
    kept->cursor_name = std::exchange(cursor_name_, RandomCursorName());
    kept->cursor_named = std::exchange(cursor_named_, false);
    kept->described_input = std::move(described_input_);
    described_input_.clear();
    kept->output.Swap(output_);
    kept->layout = std::move(layout_);
    layout_.reset();
    input_.Clear();
    output_.Clear();
    prepared_ = false;
    database->Statements().Park(std::move(cache_key_), std::move(kept));
    cache_key_.clear();
    return true;
}

bool TIBSQL::Reuse(const std::string& key, size_t parameters) {
    std::unique_ptr<PreparedStatement> kept = Database()->Statements().Take(key);
    if (!kept) return false;
    handle_ = std::move(kept->handle);
    sql_type_ = kept->sql_type;
    cursor_name_ = std::move(kept->cursor_name);
    cursor_named_ = kept->cursor_named;
    described_input_ = std::move(kept->described_input);
    output_.Swap(kept->output);
    layout_ = std::move(kept->layout);
    // Binding rewrote the descriptors the last time: start again from the
    // description. Names come from this text, which may differ from the
    // kept one's in parameter names only.
    input_.dialect = Dialect();
    input_.SetCount(static_cast<int>(parameters));
    for (size_t i = 0; i < parameters && i < described_input_.size(); ++i) {
        input_[static_cast<int>(i)].Var() = described_input_[i];
    }
    return true;
}

void TIBSQL::Prepare() {
    if (open_) RaiseClientError(kSqlOpen);
    base_.CheckDatabase();
    base_.CheckTransaction();
    if (text_.empty()) RaiseClientError(kEmptyQuery);
    PreprocessedSql pre = PreprocessSql(text_);
    if (pre.text.empty()) RaiseClientError(kEmptyQuery);
    processed_ = std::move(pre.text);

    // A handle left from an earlier prepare is released, not reallocated.
    if (*handle_ != 0) FreeHandle();
    described_input_.clear();
    layout_.reset();
    cache_key_ = StatementCache::Key(processed_, Dialect());
    if (Reuse(cache_key_, pre.names.size())) {
        for (size_t i = 0; i < pre.names.size(); ++i) {
            input_.SetName(static_cast<int>(i), NormalizeName(pre.names[i]));
        }
        if (input_.Count() > 0) input_.InitializeInput();
        prepared_ = true;
        return;
    }
    const ClientApi& api = Api();
    try {
        Database()->CheckStatus(Watched(Attachment(), [&] {
            return api.isc_dsql_alloc_statement2(StatusVector(), base_.DBHandle(), handle_.get());
        }));
        Transaction()->CheckStatus(Watched(Attachment(), [&] {
            return api.isc_dsql_prepare(StatusVector(), base_.TRHandle(), handle_.get(), 0,
                                        processed_.c_str(), static_cast<unsigned short>(Dialect()),
                                        nullptr);
        }));
        const char item = isc_info_sql_stmt_type;
        std::array<char, 8> info{};
        Database()->CheckStatus(Watched(Attachment(), [&] {
            return api.isc_dsql_sql_info(StatusVector(), handle_.get(), 1, &item,
                                         static_cast<short>(info.size()), info.data());
        }));
        if (info[0] != isc_info_sql_stmt_type) RaiseClientError(kUnknownError);
        const auto length = static_cast<short>(api.isc_vax_integer(&info[1], 2));
        sql_type_ = static_cast<int>(api.isc_vax_integer(&info[3], length));
        if (sql_type_ == SQLGetSegment || sql_type_ == SQLPutSegment ||
            sql_type_ == SQLStartTransaction) {
            RaiseClientError(kNotPermitted);
        }

        input_.dialect = Dialect();
        input_.SetCount(static_cast<int>(pre.names.size()));
        for (size_t i = 0; i < pre.names.size(); ++i) {
            input_.SetName(static_cast<int>(i), NormalizeName(pre.names[i]));
        }
        if (input_.Count() > 0) {
            Database()->CheckStatus(Watched(Attachment(), [&] {
                return api.isc_dsql_describe_bind(StatusVector(), handle_.get(),
                                                  static_cast<unsigned short>(Dialect()),
                                                  input_.Block());
            }));
            described_input_.assign(input_.Block()->sqlvar,
                                    input_.Block()->sqlvar + input_.Count());
            input_.InitializeInput();
        }
        if (sql_type_ == SQLSelect || sql_type_ == SQLExecProcedure ||
            sql_type_ == SQLSelectForUpdate) {
            DescribeOutput();
        } else {
            output_.Clear();
        }
    } catch (...) {
        CleanUpAfterFailure([this] { FreeHandle(); });
        throw;
    }
    prepared_ = true;
}

const isc_db_handle* TIBSQL::Attachment() const {
    return Database() != nullptr ? Database()->Handle() : nullptr;
}

void TIBSQL::DescribeOutput() {
    const ClientApi& api = Api();
    output_.dialect = Dialect();
    output_.SetCount(1);
    auto describe = [&] {
        return Watched(Attachment(), [&] {
            return api.isc_dsql_describe(StatusVector(), handle_.get(),
                                         static_cast<unsigned short>(Dialect()), output_.Block());
        });
    };
    Database()->CheckStatus(describe());
    const int columns = output_.Block()->sqld;
    if (columns == 0) {
        output_.Clear();
        return;
    }
    if (columns > 1) {
        output_.SetCount(columns);
        Database()->CheckStatus(describe());
    }
    NameOutputColumns();
    output_.InitializeOutput();
}

void TIBSQL::NameOutputColumns() {
    std::vector<std::string> taken;
    for (int i = 0; i < output_.Count(); ++i) {
        const XSQLVAR& var = output_[i].Var();
        const std::string alias =
            NormalizeName(std::string(var.aliasname, static_cast<size_t>(var.aliasname_length)));
        const std::string base = alias.empty() ? "F_" : alias;
        std::string name = alias.empty() ? "F_1" : alias;
        for (int number = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++number) {
            const std::string suffix = std::to_string(number);
            name = base.substr(0, std::min(base.size(), 31 - suffix.size())) + suffix;
        }
        taken.push_back(name);
        output_.SetName(i, name);
    }
}

void TIBSQL::ExecQuery() {
    if (open_) RaiseClientError(kSqlOpen);
    if (!prepared_) Prepare();
    base_.CheckTransaction();
    if (*handle_ == 0) RaiseClientError(kInvalidStatementHandle);
    const ClientApi& api = Api();
    const auto dialect = static_cast<unsigned short>(Dialect());
    if (sql_type_ == SQLSelect) {
        Transaction()->CheckStatus(Watched(Attachment(), [&] {
            return api.isc_dsql_execute2(StatusVector(), base_.TRHandle(), handle_.get(), dialect,
                                         input_.Block(), nullptr);
        }));
        if (!cursor_named_ && !NameCursor()) {
            // The server cursor is open although this statement never
            // counted it so: close it, or the next execute finds it open.
            CleanUpAfterFailure([this] {
                Watched(Attachment(), [this] {
                    return Api().isc_dsql_free_statement(StatusVector(), handle_.get(), DSQL_close);
                });
            });
            RaiseServerError();
        }
        cursor_named_ = true;
        open_ = true;
        bof_ = true;
        eof_ = false;
        record_count_ = 0;
        if (GoToFirstRecordOnExecute) Next();
    } else if (sql_type_ == SQLExecProcedure) {
        Transaction()->CheckStatus(Watched(Attachment(), [&] {
            return api.isc_dsql_execute2(StatusVector(), base_.TRHandle(), handle_.get(), dialect,
                                         input_.Block(), output_.Block());
        }));
    } else {
        Transaction()->CheckStatus(Watched(Attachment(), [&] {
            return api.isc_dsql_execute(StatusVector(), base_.TRHandle(), handle_.get(), dialect,
                                        input_.Block());
        }));
        if (sql_type_ == SQLSelectForUpdate) {
            // The server opens a cursor for it all the same, which nothing
            // here fetches or closes: close it now, or the next execute of
            // this statement finds it open.
            const ISC_STATUS result = Watched(Attachment(), [&] {
                return api.isc_dsql_free_statement(StatusVector(), handle_.get(), DSQL_close);
            });
            if (result > 0 && !StatusHolds(kBadStatementHandle) &&
                !StatusHolds(kCursorCloseError)) {
                RaiseServerError();
            }
        }
    }
}

bool TIBSQL::NameCursor() {
    const ClientApi& api = Api();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const ISC_STATUS result = Watched(Attachment(), [&] {
            return api.isc_dsql_set_cursor_name(StatusVector(), handle_.get(), cursor_name_.c_str(),
                                                0);
        });
        if (result == 0) return true;
        if (StatusHolds(kStatementNamed)) {
            // The server statement kept a name this object lost count of:
            // the cursor is open and named, which is all an execute needs.
            if (std::string held = StatusTextAfter(kStatementNamed); !held.empty()) {
                cursor_name_ = std::move(held);
            }
            return true;
        }
        // Names are drawn at random; another statement of the connection
        // may hold this one.
        if (!StatusHolds(kCursorNameTaken)) return false;
        cursor_name_ = RandomCursorName();
    }
    return false;
}

bool TIBSQL::Next() {
    if (eof_) return false;
    if (!open_) RaiseClientError(kSqlClosed);
    const ISC_STATUS result = Watched(Attachment(), [this] {
        return Api().isc_dsql_fetch(StatusVector(), handle_.get(),
                                    static_cast<unsigned short>(Dialect()), output_.Block());
    });
    if (result == 100 || (result != 0 && StatusHolds(kCursorEndOfData))) {
        eof_ = true;
        return false;
    }
    if (result != 0) {
        CleanUpAfterFailure([this] { Close(); });
        RaiseServerError();
    }
    ++record_count_;
    bof_ = false;
    return true;
}

void TIBSQL::Close() {
    const bool was_open = open_;
    open_ = false;
    bof_ = false;
    eof_ = false;
    record_count_ = 0;
    if (*handle_ != 0 && was_open && sql_type_ == SQLSelect) {
        const ISC_STATUS result = Watched(Attachment(), [this] {
            return Api().isc_dsql_free_statement(StatusVector(), handle_.get(), DSQL_close);
        });
        if (result > 0 && !StatusHolds(kBadStatementHandle) && !StatusHolds(kCursorCloseError)) {
            RaiseServerError();
        }
    }
}

void TIBSQL::FreeHandle() {
    cursor_named_ = false;
    input_.Clear();
    output_.Clear();
    described_input_.clear();
    layout_.reset();
    prepared_ = false;
    if (*handle_ == 0) return;
    const ISC_STATUS result = Watched(Attachment(), [this] {
        return Api().isc_dsql_free_statement(StatusVector(), handle_.get(), DSQL_drop);
    });
    if (result > 0) AbandonStatementHandle(handle_);
    *handle_ = 0;
    open_ = false;
    if (result > 0 && !StatusHolds(kBadStatementHandle)) {
        // The server may still hold the old statement and its cursor name;
        // the next statement must not ask for the same name.
        cursor_name_ = RandomCursorName();
        RaiseServerError();
    }
}

int TIBSQL::RowsAffected() {
    if (*handle_ == 0) return -1;
    int wanted;
    switch (sql_type_) {
        case SQLInsert:
            wanted = isc_info_req_insert_count;
            break;
        case SQLUpdate:
            wanted = isc_info_req_update_count;
            break;
        case SQLDelete:
            wanted = isc_info_req_delete_count;
            break;
        default:
            return -1;
    }
    const char item = isc_info_sql_records;
    std::array<char, 64> info{};
    const ClientApi& api = Api();
    if (Watched(Attachment(),
                [&] {
                    return api.isc_dsql_sql_info(StatusVector(), handle_.get(), 1, &item,
                                                 static_cast<short>(info.size()), info.data());
                }) > 0 ||
        info[0] != isc_info_sql_records) {
        return -1;
    }
    // isc_info_sql_records, length, then (item, length, count) triples.
    size_t pos = 3;
    while (pos + 3 <= info.size() && info[pos] != isc_info_end) {
        const char code = info[pos];
        const auto length = static_cast<short>(api.isc_vax_integer(&info[pos + 1], 2));
        const auto count = static_cast<int>(api.isc_vax_integer(&info[pos + 3], length));
        if (code == wanted) return count;
        pos += 3 + static_cast<size_t>(length);
    }
    return -1;
}

}  // namespace db
