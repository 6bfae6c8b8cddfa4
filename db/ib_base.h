#pragma once

#include <ibase.h>

#include <functional>

#include "db/component.h"

namespace db {

class TIBDatabase;
class TIBTransaction;

// The link every statement executor and dataset owns: it binds its owner to
// one connection and one transaction, takes a missing partner's default, and
// relays their lifecycle notifications to the owner's handlers.
class TIBBase {
  public:
    explicit TIBBase(TComponent* owner);
    ~TIBBase();
    TIBBase(const TIBBase&) = delete;
    TIBBase& operator=(const TIBBase&) = delete;

    TComponent* Owner() const { return owner_; }
    TIBDatabase* Database() const { return database_; }
    TIBTransaction* Transaction() const { return transaction_; }
    void SetDatabase(TIBDatabase* database);
    void SetTransaction(TIBTransaction* transaction);

    // Raise "Database not assigned" / "DB is not open" and "Transaction not
    // assigned" / "Transaction is not active" respectively.
    void CheckDatabase() const;
    void CheckTransaction() const;
    isc_db_handle* DBHandle() const;
    isc_tr_handle* TRHandle() const;

    // Handlers installed by the owner; any may be left empty.
    std::function<void()> OnBeforeDatabaseDisconnect;
    std::function<void()> OnAfterDatabaseDisconnect;
    std::function<void()> OnDatabaseFree;
    std::function<void()> OnBeforeTransactionEnd;
    std::function<void()> OnAfterTransactionEnd;
    std::function<void()> OnTransactionFree;
    // Asked to give back a prepared statement it is not using.
    std::function<void()> OnReleaseIdle;
    // Set by datasets: tells the transaction's auto-stop rule whether the
    // owner holds an open result set. Statement executors leave it empty.
    std::function<bool()> IsOpenDataset;

    // Notifications, sent by the connection and the transaction.
    void DoBeforeDatabaseDisconnect();
    void DoAfterDatabaseDisconnect();
    void DoDatabaseFree();
    void DoBeforeTransactionEnd();
    void DoAfterTransactionEnd();
    void DoTransactionFree();
    void DoReleaseIdle();

  private:
    TComponent* owner_;
    TIBDatabase* database_ = nullptr;
    TIBTransaction* transaction_ = nullptr;
    int database_slot_ = -1;
    int transaction_slot_ = -1;
};

}  // namespace db
