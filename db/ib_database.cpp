#include "db/ib_database.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "db/call_watch.h"
#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_base.h"
#include "db/ib_transaction.h"
#include "db/parameter_blocks.h"
#include "db/schema_cache.h"
#include "db/statement_cache.h"
#include "runtime/text.h"

namespace db {

TIBDatabase::TIBDatabase(std::string name)
    : TComponent(std::move(name)), statements_(std::make_unique<StatementCache>(&handle_)) {
    EnsureClientLoaded();
    params_.OnChanging = [this] {
        if (Connected()) RaiseClientError(kDatabaseOpen);
    };
    params_.OnChange = [this] { params_changed_ = true; };
    internal_transaction_ = std::make_unique<TIBTransaction>();
    internal_transaction_->SetDefaultDatabase(this);
}

TIBDatabase::~TIBDatabase() {
    idle_timer_ = 0;
    if (Connected()) {
        try {
            if (BeforeDisconnect) BeforeDisconnect();
        } catch (...) {
        }
        ForcedClose();
        try {
            if (AfterDisconnect) AfterDisconnect();
        } catch (...) {
        }
    }
    for (TIBBase* object : objects_) {
        if (object != nullptr) object->DoDatabaseFree();
    }
    // Transactions outlive us only as dangling references unless told now.
    for (TIBTransaction* transaction : transactions_) {
        if (transaction != nullptr) transaction->ForgetDatabase(this);
    }
    objects_.clear();
    transactions_.clear();
    clients_.clear();
    default_transaction_ = nullptr;
    schema_.reset();
    internal_transaction_.reset();
}

void TIBDatabase::SetConnected(bool connected) {
    if (connected == Connected()) return;
    if (connected) {
        Connect();
    } else {
        Disconnect();
    }
}

void TIBDatabase::SetDatabaseName(const std::string& name) {
    if (name == database_name_) return;
    if (Connected()) RaiseClientError(kDatabaseOpen);
    database_name_ = name;
    schema_.reset();
}

SchemaCache& TIBDatabase::Schema() {
    if (!schema_) schema_ = std::make_unique<SchemaCache>(*this);
    return *schema_;
}

int TIBDatabase::StatementCacheSize() const {
    return statements_->Capacity();
}

void TIBDatabase::SetStatementCacheSize(int statements) {
    statements_->SetCapacity(statements);
}

void TIBDatabase::ReleaseIdleStatements() {
    // Indexing, not iterators: a notified member may leave the list.
    for (size_t i = 0; i < objects_.size(); ++i) {
        if (objects_[i] == nullptr) continue;
        CleanUpAfterFailure([this, i] { objects_[i]->DoReleaseIdle(); });
    }
    statements_->Clear();
}

void TIBDatabase::SetSQLDialect(int dialect) {
    if (dialect < 1 || (Connected() && dialect > db_sql_dialect_)) {
        RaiseClientError(kSqlDialectInvalid);
    }
    sql_dialect_ = dialect;
}

void TIBDatabase::SetIdleTimer(int milliseconds) {
    if (milliseconds < 0) RaiseClientError(kTimeoutNegative);
    idle_timer_ = milliseconds;
    idle_ = false;
}

void TIBDatabase::SetDefaultTransaction(TIBTransaction* transaction) {
    if (transaction == default_transaction_) return;
    if (default_transaction_ != nullptr && default_transaction_->DefaultDatabase() != this) {
        RemoveTransaction(default_transaction_);
    }
    default_transaction_ = transaction;
    if (transaction != nullptr) {
        if (FindTransaction(transaction) < 0) AddTransaction(transaction);
        transaction->AddDatabase(this);
    }
}

ISC_STATUS TIBDatabase::CheckStatus(ISC_STATUS result, bool raise_on_error) {
    idle_ = false;
    return db::CheckStatus(result, raise_on_error);
}

void TIBDatabase::IdleTimerTick() {
    if (idle_timer_ <= 0 || !Connected()) return;
    if (!idle_) {
        idle_ = true;
        return;
    }
    if (BeforeDisconnect) BeforeDisconnect();
    ForcedClose();
    if (AfterDisconnect) AfterDisconnect();
    if (OnIdleTimer) OnIdleTimer();
}

void TIBDatabase::Connect() {
    if (BeforeConnect) BeforeConnect();
    if (handle_ != 0) RaiseClientError(kDatabaseOpen);
    if (database_name_.empty()) RaiseClientError(kDatabaseNameMissing);
    if (database_name_.size() > 32767) RaiseClientError(kDatabaseNameTooLong);

    runtime::TStrings block_lines;
    if (login_prompt_ && OnLogin) {
        std::string user, password;
        for (const std::string& line : params_) {
            const std::string key = runtime::AsciiLower(line.substr(0, line.find('=')));
            if (key == "user_name") user = line.substr(line.find('=') + 1);
        }
        if (!OnLogin(user, password)) RaiseClientError(kOperationCancelled);
        // The password is kept out of Params so it is not left in the
        // component's visible settings.
        hidden_password_ = password;
        params_changed_ = true;
    } else if (!login_prompt_ && !hidden_password_.empty()) {
        hidden_password_.clear();
        params_changed_ = true;
    }

    if (params_changed_) {
        params_changed_ = false;
        dpb_.clear();
        try {
            runtime::TStrings lines;
            std::vector<std::string> copy = params_.Lines();
            if (!hidden_password_.empty()) copy.push_back("password=" + hidden_password_);
            lines.Assign(std::move(copy));
            dpb_ = BuildDatabaseParameterBlock(lines);
        } catch (...) {
            // A half-built block must never be sent: rebuild next time.
            params_changed_ = true;
            throw;
        }
    }

    const ClientApi& api = Api();
    // Watched without an attachment (there is none yet): the connect
    // timeout of the parameter block bounds the wait.
    ISC_STATUS result = Watched(nullptr, [&] {
        return api.isc_attach_database(StatusVector(), static_cast<short>(database_name_.size()),
                                       database_name_.c_str(), &handle_,
                                       static_cast<short>(dpb_.size()), dpb_.data());
    });
    // The block holds the password: wiped now, attached or not, and built
    // again from the lines for the next connect (a reconnect after a lost
    // connection among them).
    explicit_bzero(dpb_.data(), dpb_.size());
    params_changed_ = true;
    if (result > 0) {
        handle_ = 0;
        RaiseServerError();
    }
    idle_ = false;

    ReadDialect();
    if (db_sql_dialect_ < sql_dialect_) {
        sql_dialect_ = db_sql_dialect_;
        if (OnDialectDowngradeWarning) OnDialectDowngradeWarning();
    }
    NotifyClients(true);
    if (AfterConnect) AfterConnect();
}

void TIBDatabase::ReadDialect() {
    const ClientApi& api = Api();
    const char request[] = {isc_info_db_sql_dialect};
    std::array<char, 512> reply{};
    CheckStatus(Watched(&handle_, [&] {
        return api.isc_database_info(StatusVector(), &handle_, sizeof request, request,
                                     static_cast<short>(reply.size()), reply.data());
    }));
    if (reply[0] != isc_info_db_sql_dialect) {
        db_sql_dialect_ = 1;
        return;
    }
    const auto length = static_cast<short>(api.isc_vax_integer(&reply[1], 2));
    db_sql_dialect_ = static_cast<int>(api.isc_vax_integer(&reply[3], length));
}

void TIBDatabase::Disconnect() {
    if (BeforeDisconnect) BeforeDisconnect();
    NotifyClients(false);
    if (Connected()) InternalClose(false);
    db_sql_dialect_ = 1;
    if (AfterDisconnect) AfterDisconnect();
}

void TIBDatabase::ForcedClose() {
    try {
        InternalClose(true);
    } catch (...) {
        // Forced closes swallow everything; the handle is already reset.
    }
    db_sql_dialect_ = 1;
}

void TIBDatabase::InternalClose(bool force) {
    if (handle_ == 0) RaiseClientError(kDatabaseClosed);

    auto each = [force](auto& list, auto&& action) {
        // Indexing, not iterators: a notified member may leave the list.
        for (size_t i = 0; i < list.size(); ++i) {
            if (list[i] == nullptr) continue;
            try {
                action(list[i]);
            } catch (...) {
                if (!force) throw;
            }
        }
    };
    each(transactions_, [this](TIBTransaction* t) { t->BeforeDatabaseDisconnect(this); });
    each(objects_, [](TIBBase* o) { o->DoBeforeDatabaseDisconnect(); });
    statements_->Clear();

    if (!handle_shared_) {
        ISC_STATUS result = Watched(
            &handle_, [this] { return Api().isc_detach_database(StatusVector(), &handle_); });
        if (result > 0 && !force) RaiseServerError();
    }
    handle_ = 0;
    handle_shared_ = false;

    each(objects_, [](TIBBase* o) { o->DoAfterDatabaseDisconnect(); });
}

void TIBDatabase::NotifyClients(bool connected) {
    for (TConnectionClient* client : clients_) {
        if (client != nullptr) client->ConnectionChanged(connected);
    }
}

int TIBDatabase::AddTransaction(TIBTransaction* transaction) {
    const int slot = FindSlot(transactions_, transaction);
    return slot >= 0 ? slot : FillFirstEmptySlot(transactions_, transaction);
}

void TIBDatabase::RemoveTransaction(TIBTransaction* transaction) {
    const int slot = FindSlot(transactions_, transaction);
    if (slot >= 0) transactions_[static_cast<size_t>(slot)] = nullptr;
    if (default_transaction_ == transaction) default_transaction_ = nullptr;
}

int TIBDatabase::FindTransaction(const TIBTransaction* transaction) const {
    return FindSlot(transactions_, transaction);
}

int TIBDatabase::AddObject(TIBBase* object) {
    const int slot = FillFirstEmptySlot(objects_, object);
    if (auto* client = dynamic_cast<TConnectionClient*>(object->Owner())) AddClient(client);
    return slot;
}

void TIBDatabase::RemoveObject(int slot) {
    if (slot < 0 || slot >= static_cast<int>(objects_.size())) return;
    TIBBase*& entry = objects_[static_cast<size_t>(slot)];
    if (entry != nullptr) {
        if (auto* client = dynamic_cast<TConnectionClient*>(entry->Owner())) RemoveClient(client);
    }
    entry = nullptr;
}

TIBTransaction* TIBDatabase::TransactionForNewObject() const {
    if (default_transaction_ != nullptr) return default_transaction_;
    for (TIBTransaction* transaction : transactions_) {
        if (transaction != nullptr && transaction != internal_transaction_.get() &&
            transaction->DefaultDatabase() == this) {
            return transaction;
        }
    }
    return nullptr;
}

void TIBDatabase::AddClient(TConnectionClient* client) {
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) {
        clients_.push_back(client);
    }
}

void TIBDatabase::RemoveClient(TConnectionClient* client) {
    clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
}

}  // namespace db
