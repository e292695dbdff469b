#pragma once
// The Session behind Session::open: one SQLite connection with every database of the folder
// attached, the session's settings and @@ values, its transactions, its open cursors and its
// compiled statements. Batches run in Batch.cpp; statements in Statements.cpp and Ddl.cpp.
//
// Each statement runs inside a savepoint, so it lands whole or not at all. BEGIN TRANSACTION
// holds those savepoints inside one SQLite transaction until COMMIT or ROLLBACK; closing the
// session (or the process dying) with one open rolls it back. Each database file commits on its
// own (WAL), so a transaction is all-or-nothing per database, not across two of them.

#include "tsql/AppLocks.h"
#include "tsql/Catalog.h"
#include "tsql/Compiler.h"
#include "tsql/Cursor.h"
#include "tsql/Runtime.h"
#include "tsql/Security.h"
#include "tsql/Session.h"
#include "tsql/Sqlite.h"
#include "tsql/StatementCache.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace tsql {

// The session's SET options and the @@ values statements report.
struct SessionState {
    dt::Settings dates;
    bool nocount = false;
    bool xactAbort = false;
    bool ansiWarnings = true;
    bool implicitTransactions = false;
    std::int64_t rowcountLimit = 0; // SET ROWCOUNT
    std::int64_t rowcount = 0;      // @@ROWCOUNT
    std::int64_t error = 0;         // @@ERROR
    std::optional<std::int64_t> identity;      // @@IDENTITY
    std::optional<std::int64_t> scopeIdentity; // SCOPE_IDENTITY()
    std::optional<std::pair<std::string, std::string>> identityInsert; // database, table
    std::int64_t textSize = 2147483647;
    std::optional<Error> caught; // the error the CATCH block being run handles: ERROR_NUMBER() ...
};

class Engine final : public Session, public RuntimeHost, public CursorOwner {
public:
    Engine(const std::string &folder, const std::string &database, const SessionOptions &options);
    ~Engine() override;

    // Session
    std::unique_ptr<Result> execute(std::string_view statement) override;
    std::unique_ptr<BatchRun> run(std::string_view batch, std::vector<Parameter> parameters) override;
    void cancel() override;
    void setTimeout(int milliseconds) override { m_timeoutMs = milliseconds; }  // per batch
    Explanation explain(std::string_view statement) override;
    std::string currentDatabase() const override { return m_current; }
    int transactionCount() const override { return m_depth; }
    std::string folder() const override { return m_folder; }
    void createDatabase(const std::string &name) override;
    std::vector<std::string> openWarnings() const override { return m_openWarnings; }

    // RuntimeHost
    const dt::Settings &dateSettings() const override { return m_state.dates; }
    Catalog &catalog() override { return m_catalog; }
    Value sessionValue(std::string_view name) override;
    DateTime statementTime() const override { return m_statementTime; }
    DateTime statementUtcTime() const override { return m_statementUtcTime; }
    sqlite::PendingError &pending() override { return m_conn.pending(); }
    sqlite::Connection &sqliteConnection() override { return m_conn; }
    Value liveVariable(const std::string &name) override;
    // Who answers liveVariable() while a SELECT that assigns variables runs; empty otherwise.
    void setLiveVariables(std::function<Value(const std::string &)> reader) { m_liveVariables = std::move(reader); }
    std::size_t valueLimit() const override { return kValueLimit; }

    // CursorOwner
    void opened(Cursor *c) override { m_cursors.insert(c); }
    void closed(Cursor *c) override { m_cursors.erase(c); }
    sqlite::Connection &connection() override { return m_conn; }

    // ---- for the batch runner and the statements ----
    SessionState &state() { return m_state; }
    const SessionOptions &options() const { return m_options; }
    // The login the session runs as; null for the folder's owner.
    security::Principal *principal() { return m_principal.get(); }
    void setCurrent(const std::string &db) { m_current = db; }
    AppLocks &appLocks() { return m_appLocks; }
    // Open cursors read their remaining rows into memory before a write or a schema change.
    void settleCursors();
    // A new statement: its GETDATE(). The time limit runs from the start of the batch, as a
    // client's query timeout does, so a loop of quick statements is stopped too.
    void startStatement();
    void checkCancel();
    bool cancelRequested() const override
    {
        return m_cancel.load() ||
               (m_timeoutMs > 0 && std::chrono::steady_clock::now() - m_started > std::chrono::milliseconds(m_timeoutMs));
    }
    void clearCancel() { m_cancel = false; }
    void refuseReadOnly(const std::string &database) const;
    void trace(const std::string &database, std::string_view statement, bool ok, const std::string &error,
               std::int64_t rows) const;
    void needAggregate(const std::string &name, const SqlType &type);
    CompileState compileState();
    // Compiled queries by shape; null when the session compiles every statement afresh.
    StatementCache *statementCache() { return m_statementsOn ? &m_statements : nullptr; }
    // After a statement that may change what a compiled query means (DDL, EXECUTE, ROLLBACK).
    void forgetStatements() { m_statements.clear(); }

    // Transactions, as SQL Server counts them.
    int transactionDepth() const { return m_depth; }
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction(const std::string &savepoint = {});
    void saveTransaction(const std::string &name);
    bool doomed() const { return m_doomed; }
    void doom() { m_doomed = m_depth > 0; }
    // Every statement runs in one of these.
    class StatementScope {
    public:
        explicit StatementScope(Engine &e);
        ~StatementScope();
        void commit();
    private:
        Engine &m_e;
        bool m_done = false;
    };

    // Identity values are consumed when taken: a rolled-back insert leaves its gap, as in SQL
    // Server, because the numbers given out are remembered outside the transaction too.
    std::int64_t identityNext(const Table &t);
    void identityTaken(const Table &t, std::int64_t last);
    void identityReset(const Table &t); // TRUNCATE and DROP start the numbering anew

    // Temporary tables and table variables of this session, dropped when it ends.
    std::string tableVariableName(const std::string &variable, int batch);
    int newBatchNumber() { return ++m_batches; }

    static constexpr std::size_t kValueLimit = std::size_t{256} << 20; // 256 MiB

private:
    void attach(const std::string &name, const std::string &path);
    void dropTemporaryObjects();

    std::string m_folder;
    std::string m_current;
    SessionOptions m_options;
    sqlite::Connection m_conn;
    Catalog m_catalog;
    SessionState m_state;
    std::set<Cursor *> m_cursors;
    AppLocks m_appLocks;
    std::set<std::string> m_aggregates;
    std::string m_tracePath;
    int m_depth = 0;
    std::function<Value(const std::string &)> m_liveVariables;
    bool m_doomed = false;
    std::vector<std::string> m_savepoints;
    DateTime m_statementTime, m_statementUtcTime;
    std::atomic<bool> m_cancel{false};
    int m_timeoutMs = 0;
    std::chrono::steady_clock::time_point m_started;
    int m_batches = 0;
    std::unique_ptr<security::Principal> m_principal;
    std::vector<std::string> m_openWarnings;
    std::vector<std::string> m_writable; // attached databases this session may change
    // After m_conn: its statements are finalized before the connection closes.
    StatementCache m_statements;
    bool m_statementsOn = true;
};

} // namespace tsql
