#include "db/ib_transaction.h"

#include "db/call_watch.h"
#include "db/client_library.h"
#include "db/errors.h"
#include "db/ib_base.h"
#include "db/ib_database.h"
#include "db/parameter_blocks.h"

namespace db {
namespace {

// The client library's transaction existence block; ibase.h does not
// declare it, so its published layout is written out here.
struct TransactionExistenceBlock {
    isc_db_handle* database;
    int32_t parameter_block_length;
    const char* parameter_block;
};

// The attachment a transaction call is watched on: the first listed one
// (this program's transactions span one database).
const isc_db_handle* AttachmentOf(const std::vector<TIBDatabase*>& databases) {
    for (TIBDatabase* database : databases) {
        if (database != nullptr) return database->Handle();
    }
    return nullptr;
}

TTransactionAction ForcedEndAction(TTransactionAction action) {
    return (action == TACommit || action == TACommitRetaining) ? TACommit : TARollback;
}

}  // namespace

TIBTransaction::TIBTransaction(std::string name) : TComponent(std::move(name)) {
    EnsureClientLoaded();
    params_.OnChanging = [this] {
        if (Active()) RaiseClientError(kInTransaction);
    };
    params_.OnChange = [this] { params_changed_ = true; };
}

TIBTransaction::~TIBTransaction() {
    if (Active()) {
        try {
            EndForcedByDefault();
        } catch (...) {
            // A forced end raises nothing of its own; nothing may leave a destructor.
        }
    }
    for (TIBBase* object : objects_) {
        if (object != nullptr) object->DoTransactionFree();
    }
    objects_.clear();
    for (TIBDatabase* database : databases_) {
        if (database != nullptr) database->RemoveTransaction(this);
    }
    databases_.clear();
}

void TIBTransaction::SetActive(bool active) {
    if (active && !Active()) {
        StartTransaction();
    } else if (!active && Active()) {
        Rollback();
    }
}

void TIBTransaction::SetDefaultDatabase(TIBDatabase* database) {
    if (database == default_database_) return;
    if (default_database_ != nullptr) RemoveDatabase(default_database_);
    default_database_ = database;
    if (database == nullptr) return;
    database->AddTransaction(this);
    AddDatabase(database);
    for (TIBBase* object : objects_) {
        if (object != nullptr && object->Database() == nullptr) object->SetDatabase(database);
    }
}

void TIBTransaction::SetIdleTimer(int milliseconds) {
    if (milliseconds < 0) RaiseClientError(kTimeoutNegative);
    idle_timer_ = milliseconds;
    idle_ = false;
}

ISC_STATUS TIBTransaction::CheckStatus(ISC_STATUS result, bool raise_on_error) {
    idle_ = false;
    for (TIBDatabase* database : databases_) {
        if (database != nullptr) database->CheckStatus(0, false);
    }
    return db::CheckStatus(result, raise_on_error);
}

void TIBTransaction::IdleTimerTick() {
    if (idle_timer_ <= 0 || !Active()) return;
    if (!idle_) {
        idle_ = true;
        return;
    }
    EndTransaction(default_action_, true);
    if (OnIdleTimer) OnIdleTimer();
}

void TIBTransaction::StartTransaction() {
    if (Active()) RaiseClientError(kInTransaction);
    bool any_database = false;
    for (TIBDatabase* database : databases_) any_database = any_database || database != nullptr;
    if (!any_database) RaiseClientError(kNoDatabasesInTransaction);
    for (TIBDatabase* database : databases_) {
        if (database != nullptr && !database->Connected()) RaiseClientError(kDatabaseClosed);
    }

    if (params_changed_) {
        params_changed_ = false;
        tpb_.clear();
        try {
            tpb_ = BuildTransactionParameterBlock(params_);
        } catch (...) {
            // A half-built block must never be used: rebuild next time.
            params_changed_ = true;
            throw;
        }
    }
    std::vector<TransactionExistenceBlock> blocks;
    for (TIBDatabase* database : databases_) {
        if (database == nullptr) continue;
        blocks.push_back({database->Handle(), static_cast<int32_t>(tpb_.size()),
                          tpb_.empty() ? nullptr : tpb_.data()});
    }
    ISC_STATUS result = Watched(AttachmentOf(databases_), [&] {
        return Api().isc_start_multiple(StatusVector(), &handle_, static_cast<short>(blocks.size()),
                                        blocks.data());
    });
    if (result > 0) {
        handle_ = 0;
        RaiseServerError();
    }
    idle_ = false;
}

void TIBTransaction::EndTransaction(TTransactionAction action, bool force) {
    if (!Active()) RaiseClientError(kNotInTransaction);
    const ClientApi& api = Api();
    const isc_db_handle* attachment = AttachmentOf(databases_);

    if (action == TACommitRetaining || action == TARollbackRetaining) {
        ISC_STATUS result = Watched(attachment, [&] {
            return action == TACommitRetaining
                       ? api.isc_commit_retaining(StatusVector(), &handle_)
                       : api.isc_rollback_retaining(StatusVector(), &handle_);
        });
        CheckStatus(result);
        return;
    }

    // A forced end (disconnect, destruction) carries on past an object
    // that fails to let go of its statement: the transaction must end.
    auto notify = [this, force](void (TIBBase::*notification)()) {
        for (size_t i = 0; i < objects_.size(); ++i) {
            if (objects_[i] == nullptr) continue;
            if (force) {
                FirstFailure ignored;
                ignored.Run([&] { (objects_[i]->*notification)(); });
            } else {
                (objects_[i]->*notification)();
            }
        }
    };
    notify(&TIBBase::DoBeforeTransactionEnd);

    ISC_STATUS result = Watched(attachment, [&] {
        return action == TACommit ? api.isc_commit_transaction(StatusVector(), &handle_)
                                  : api.isc_rollback_transaction(StatusVector(), &handle_);
    });
    if (result > 0) {
        if (force) {
            if (action == TACommit) {
                Watched(attachment,
                        [&] { return api.isc_rollback_transaction(StatusVector(), &handle_); });
            }
        } else {
            CheckStatus(result);
        }
    }
    if (force) handle_ = 0;
    idle_ = false;

    notify(&TIBBase::DoAfterTransactionEnd);
}

void TIBTransaction::EndForcedByDefault() {
    EndTransaction(ForcedEndAction(default_action_), true);
}

void TIBTransaction::BeforeDatabaseDisconnect(TIBDatabase*) {
    if (Active()) EndForcedByDefault();
}

void TIBTransaction::CheckAutoStop() {
    if (auto_stop_action_ == saNone || !Active()) return;
    for (TIBBase* object : objects_) {
        if (object != nullptr && object->IsOpenDataset && object->IsOpenDataset()) return;
    }
    // Each auto-stop value names the transaction action one below it.
    EndTransaction(static_cast<TTransactionAction>(auto_stop_action_ - 1), false);
}

int TIBTransaction::AddDatabase(TIBDatabase* database) {
    const int slot = FindSlot(databases_, database);
    return slot >= 0 ? slot : FillFirstEmptySlot(databases_, database);
}

void TIBTransaction::RemoveDatabase(TIBDatabase* database) {
    if (database == nullptr) return;
    ForgetDatabase(database);
    database->RemoveTransaction(this);
}

void TIBTransaction::ForgetDatabase(TIBDatabase* database) {
    const int slot = FindSlot(databases_, database);
    if (slot >= 0) databases_[static_cast<size_t>(slot)] = nullptr;
    if (default_database_ == database) default_database_ = nullptr;
}

int TIBTransaction::AddObject(TIBBase* object) {
    return FillFirstEmptySlot(objects_, object);
}

void TIBTransaction::RemoveObject(int slot) {
    if (slot >= 0 && slot < static_cast<int>(objects_.size())) {
        objects_[static_cast<size_t>(slot)] = nullptr;
    }
}

TIBDatabase* TIBTransaction::DatabaseForNewObject() const {
    if (default_database_ != nullptr) return default_database_;
    for (TIBDatabase* database : databases_) {
        if (database != nullptr && database->DefaultTransaction() == this) return database;
    }
    return nullptr;
}

bool StartTransactionImplicitly(TIBBase& link) {
    if (link.Database() == nullptr) RaiseClientError(kDatabaseNotAssigned);
    if (link.Transaction() == nullptr) RaiseClientError(kTransactionNotAssigned);
    if (!link.Database()->Connected()) link.Database()->Open();
    if (link.Transaction()->Active()) return false;
    link.Transaction()->StartTransaction();
    return true;
}

}  // namespace db
