#include "db/ib_base.h"

#include "db/errors.h"
#include "db/ib_database.h"
#include "db/ib_transaction.h"

namespace db {

TIBBase::TIBBase(TComponent* owner) : owner_(owner) {}

TIBBase::~TIBBase() {
    SetDatabase(nullptr);
    SetTransaction(nullptr);
}

void TIBBase::SetDatabase(TIBDatabase* database) {
    if (database == database_) return;
    if (database_ != nullptr) database_->RemoveObject(database_slot_);
    database_ = database;
    database_slot_ = -1;
    if (database_ != nullptr) {
        database_slot_ = database_->AddObject(this);
        if (transaction_ == nullptr) SetTransaction(database_->TransactionForNewObject());
    }
}

void TIBBase::SetTransaction(TIBTransaction* transaction) {
    if (transaction == transaction_) return;
    if (transaction_ != nullptr) transaction_->RemoveObject(transaction_slot_);
    transaction_ = transaction;
    transaction_slot_ = -1;
    if (transaction_ != nullptr) {
        transaction_slot_ = transaction_->AddObject(this);
        if (database_ == nullptr) SetDatabase(transaction_->DatabaseForNewObject());
    }
}

void TIBBase::CheckDatabase() const {
    if (database_ == nullptr) RaiseClientError(kDatabaseNotAssigned);
    if (!database_->Connected()) RaiseClientError(kDatabaseClosed);
}

void TIBBase::CheckTransaction() const {
    if (transaction_ == nullptr) RaiseClientError(kTransactionNotAssigned);
    if (!transaction_->Active()) RaiseClientError(kNotInTransaction);
}

isc_db_handle* TIBBase::DBHandle() const {
    CheckDatabase();
    return database_->Handle();
}

isc_tr_handle* TIBBase::TRHandle() const {
    CheckTransaction();
    return transaction_->Handle();
}

void TIBBase::DoBeforeDatabaseDisconnect() {
    if (OnBeforeDatabaseDisconnect) OnBeforeDatabaseDisconnect();
}

void TIBBase::DoAfterDatabaseDisconnect() {
    if (OnAfterDatabaseDisconnect) OnAfterDatabaseDisconnect();
}

void TIBBase::DoDatabaseFree() {
    if (OnDatabaseFree) OnDatabaseFree();
    // The connection is emptying its own list, so only the transaction's
    // slot has to be given back.
    database_ = nullptr;
    database_slot_ = -1;
    SetTransaction(nullptr);
}

void TIBBase::DoBeforeTransactionEnd() {
    if (OnBeforeTransactionEnd) OnBeforeTransactionEnd();
}

void TIBBase::DoAfterTransactionEnd() {
    if (OnAfterTransactionEnd) OnAfterTransactionEnd();
}

void TIBBase::DoTransactionFree() {
    if (OnTransactionFree) OnTransactionFree();
    transaction_ = nullptr;
    transaction_slot_ = -1;
}

void TIBBase::DoReleaseIdle() {
    if (OnReleaseIdle) OnReleaseIdle();
}

}  // namespace db
