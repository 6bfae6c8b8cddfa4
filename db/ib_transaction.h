#pragma once

#include <ibase.h>

#include <functional>
#include <string>
#include <vector>

#include "db/component.h"
#include "runtime/strings.h"

namespace db {

class TIBBase;
class TIBDatabase;

enum TTransactionAction {
    TARollback = 0,
    TACommit = 1,
    TARollbackRetaining = 2,
    TACommitRetaining = 3
};

enum TAutoStopAction {
    saNone = 0,
    saRollback = 1,
    saCommit = 2,
    saRollbackRetaining = 3,
    saCommitRetaining = 4
};

// One server transaction spanning the listed connections.
class TIBTransaction : public TComponent {
  public:
    explicit TIBTransaction(std::string name = {});
    ~TIBTransaction() override;

    bool Active() const { return handle_ != 0; }
    void SetActive(bool active);
    void StartTransaction();
    void Commit() { EndTransaction(TACommit, false); }
    void Rollback() { EndTransaction(TARollback, false); }
    void CommitRetaining() { EndTransaction(TACommitRetaining, false); }
    void RollbackRetaining() { EndTransaction(TARollbackRetaining, false); }
    void EndTransaction(TTransactionAction action, bool force);

    TIBDatabase* DefaultDatabase() const { return default_database_; }
    void SetDefaultDatabase(TIBDatabase* database);
    runtime::TStrings& Params() { return params_; }
    const runtime::TStrings& Params() const { return params_; }
    TTransactionAction DefaultAction() const { return default_action_; }
    void SetDefaultAction(TTransactionAction action) { default_action_ = action; }
    TAutoStopAction AutoStopAction() const { return auto_stop_action_; }
    void SetAutoStopAction(TAutoStopAction action) { auto_stop_action_ = action; }
    int IdleTimer() const { return idle_timer_; }
    void SetIdleTimer(int milliseconds);
    std::function<void()> OnIdleTimer;

    // Clears the idle flags of this transaction and its connections, then
    // raises the server error when asked.
    ISC_STATUS CheckStatus(ISC_STATUS result, bool raise_on_error = true);
    void IdleTimerTick();

    isc_tr_handle* Handle() { return &handle_; }
    // The parameter block of the last start (for inspection).
    const std::string& ParameterBlock() const { return tpb_; }

    // Ends an active transaction, forced, before `database` detaches.
    void BeforeDatabaseDisconnect(TIBDatabase* database);
    // After a start that this call made: ends the transaction by the
    // auto-stop rule when no dataset of it is open.
    void CheckAutoStop();

    int AddDatabase(TIBDatabase* database);
    void RemoveDatabase(TIBDatabase* database);
    // Drops a connection that is being destroyed, without calling it back.
    void ForgetDatabase(TIBDatabase* database);
    const std::vector<TIBDatabase*>& Databases() const { return databases_; }
    int AddObject(TIBBase* object);
    void RemoveObject(int slot);
    const std::vector<TIBBase*>& Objects() const { return objects_; }
    TIBDatabase* DatabaseForNewObject() const;

  private:
    void EndForcedByDefault();

    isc_tr_handle handle_ = 0;
    runtime::TStrings params_;
    bool params_changed_ = true;
    std::string tpb_;
    TIBDatabase* default_database_ = nullptr;
    TTransactionAction default_action_ = TACommit;
    TAutoStopAction auto_stop_action_ = saNone;
    int idle_timer_ = 0;
    bool idle_ = false;
    std::vector<TIBDatabase*> databases_;
    std::vector<TIBBase*> objects_;
};

// Before a dataset or statement prepares, executes or opens: opens its
// connection and starts its transaction when needed. Returns true when this
// call started the transaction (the caller then applies CheckAutoStop).
bool StartTransactionImplicitly(TIBBase& link);

}  // namespace db
