#pragma once

#include <ibase.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/component.h"
#include "runtime/strings.h"

namespace db {

class TIBBase;
class TIBTransaction;
class SchemaCache;
class StatementCache;

// Receives the connect and disconnect notifications of a connection
// (datasets register here and pass them on to their data sources).
class TConnectionClient {
  public:
    virtual ~TConnectionClient() = default;
    virtual void ConnectionChanged(bool connected) = 0;
};

// One attachment to one database through the client library.
class TIBDatabase : public TComponent {
  public:
    explicit TIBDatabase(std::string name = {});
    ~TIBDatabase() override;

    bool Connected() const { return handle_ != 0; }
    void SetConnected(bool connected);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    const std::string& DatabaseName() const { return database_name_; }
    void SetDatabaseName(const std::string& name);

    // "name=value" lines; editing them while connected is refused.
    runtime::TStrings& Params() { return params_; }
    const runtime::TStrings& Params() const { return params_; }

    bool LoginPrompt() const { return login_prompt_; }
    void SetLoginPrompt(bool value) { login_prompt_ = value; }
    int SQLDialect() const { return sql_dialect_; }
    void SetSQLDialect(int dialect);
    int DBSQLDialect() const { return db_sql_dialect_; }
    int IdleTimer() const { return idle_timer_; }
    void SetIdleTimer(int milliseconds);
    bool AllowStreamedConnected() const { return allow_streamed_connected_; }
    void SetAllowStreamedConnected(bool value) { allow_streamed_connected_ = value; }

    TIBTransaction* DefaultTransaction() const { return default_transaction_; }
    void SetDefaultTransaction(TIBTransaction* transaction);
    // Serves only this connection's own lookups; never a default transaction.
    TIBTransaction* InternalTransaction() const { return internal_transaction_.get(); }

    std::function<void()> BeforeConnect;
    std::function<void()> AfterConnect;
    std::function<void()> BeforeDisconnect;
    std::function<void()> AfterDisconnect;
    std::function<void()> OnIdleTimer;
    std::function<void()> OnDialectDowngradeWarning;
    // Runs the login step when LoginPrompt is on; returns false to cancel.
    std::function<bool(std::string& user, std::string& password)> OnLogin;

    // Clears the idle flag, then raises the server error when asked.
    ISC_STATUS CheckStatus(ISC_STATUS result, bool raise_on_error = true);
    // Called by a timer of the owner every IdleTimer milliseconds.
    void IdleTimerTick();

    // Facts about computed and defaulted columns, per table; emptied when
    // the database name changes.
    SchemaCache& Schema();

    // Prepared statements no statement object holds, kept for reuse by
    // text until the connection closes.
    StatementCache& Statements() { return *statements_; }
    int StatementCacheSize() const;
    // 0 turns reuse off.
    void SetStatementCacheSize(int statements);
    // Frees every prepared statement not in use, the kept ones and those of
    // statement objects without an open cursor, so that other connections
    // can change or drop the tables they name. Failures are not raised.
    void ReleaseIdleStatements();

    isc_db_handle* Handle() { return &handle_; }
    // The parameter block of the last connect (for inspection): only zeros
    // once the attach was tried.
    const std::string& ParameterBlock() const { return dpb_; }

    // Closes a connection that is known to be gone: every handle is let go
    // and nothing is raised, whatever the server says or does not say.
    void ForcedClose();

    // List maintenance used by transactions and by TIBBase.
    int AddTransaction(TIBTransaction* transaction);
    void RemoveTransaction(TIBTransaction* transaction);
    int FindTransaction(const TIBTransaction* transaction) const;
    const std::vector<TIBTransaction*>& Transactions() const { return transactions_; }
    int AddObject(TIBBase* object);
    void RemoveObject(int slot);
    const std::vector<TIBBase*>& Objects() const { return objects_; }
    TIBTransaction* TransactionForNewObject() const;
    void AddClient(TConnectionClient* client);
    void RemoveClient(TConnectionClient* client);

  private:
    void Connect();
    void Disconnect();
    void InternalClose(bool force);
    void ReadDialect();
    void NotifyClients(bool connected);

    isc_db_handle handle_ = 0;
    bool handle_shared_ = false;
    std::string database_name_;
    runtime::TStrings params_;
    bool params_changed_ = true;
    std::string dpb_;
    std::string hidden_password_;
    bool login_prompt_ = true;
    int sql_dialect_ = 3;
    int db_sql_dialect_ = 3;
    int idle_timer_ = 0;
    bool idle_ = false;
    bool allow_streamed_connected_ = true;
    TIBTransaction* default_transaction_ = nullptr;
    std::vector<TIBTransaction*> transactions_;
    std::vector<TIBBase*> objects_;
    std::vector<TConnectionClient*> clients_;
    std::unique_ptr<TIBTransaction> internal_transaction_;
    std::unique_ptr<SchemaCache> schema_;
    std::unique_ptr<StatementCache> statements_;
};

}  // namespace db
