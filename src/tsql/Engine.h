#pragma once
// The Session behind Session::open: one SQLite connection with every database of the folder
// attached, running one parsed statement per call inside its own savepoint. BEGIN TRANSACTION
// holds those savepoints inside one SQLite transaction until COMMIT or ROLLBACK; closing the
// session (or the process dying) with one open rolls it back. Each database file commits on its
// own (WAL), so a transaction is all-or-nothing per database, not across two of them.

#include "tsql/Ast.h"
#include "tsql/Catalog.h"
#include "tsql/Session.h"

#include <sqlite3.h>

#include <optional>
#include <set>
#include <string>

namespace tsql {

class Cursor;

class Engine : public Session {
public:
    Engine(const std::string &folder, const std::string &database);
    ~Engine() override;

    std::unique_ptr<Result> execute(std::string_view statement) override;
    std::string currentDatabase() const override { return m_current; }
    std::string folder() const override { return m_folder; }
    void createDatabase(const std::string &name) override;

    sqlite3 *handle() const { return m_db; }
    const Catalog &catalog() const { return m_catalog; }
    // Open cursors read their remaining rows into memory, so a write or schema change can never
    // find a table locked by a half-read query.
    void settleCursors();
    void forget(Cursor *c) { m_cursors.erase(c); }

private:
    // Every change runs inside one savepoint: it lands whole or not at all.
    class Transaction {
    public:
        explicit Transaction(sqlite3 *db);
        ~Transaction();
        void commit();
        void rollback();

    private:
        sqlite3 *m_db;
        bool m_done = false;
    };

    std::unique_ptr<Result> run(const ast::Statement &s);
    std::unique_ptr<Result> query(const ast::Select &s);
    std::int64_t insert(const ast::Statement &s);
    std::int64_t update(const ast::Statement &s);
    Error duplicateKey(const Error &e, const Table &t, const std::string &message, const std::string &source,
                       const std::vector<std::string> &columns);
    std::int64_t remove(const ast::Statement &s);
    std::int64_t selectInto(const ast::Select &s);
    void truncate(const ast::Statement &s);
    void createTable(const ast::Statement &s);
    void dropTable(const ast::Statement &s);
    void alterAdd(const ast::Statement &s);
    void alterColumn(const ast::Statement &s);
    void createIndex(const ast::Statement &s);
    void dropIndex(const ast::Statement &s);
    void identityInsert(const ast::Statement &s);
    void use(const ast::Statement &s);
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    void forgetEndedTransaction();
    // Throws SQL Server's read-only database error when `target` lies in a database attached
    // read-only.
    void refuseReadOnly(const ast::ObjectName &target) const;

    // Rebuilds a table with new column definitions: rename, create, copy, drop, re-index, all in
    // the caller's savepoint. `values` gives, per new column, the SQL that fills it from "o".
    void rebuild(const Table &t, const std::vector<Column> &columns, const std::vector<std::string> &values);
    // Rewrites a table's definition in place, for changes that leave the stored values valid.
    void rewriteDefinition(const Table &t, const std::vector<Column> &columns);
    Column columnFromDef(const ast::ColumnDef &d) const;
    std::string defaultSql(const ast::ColumnDef &d) const;
    void attach(const std::string &name, const std::string &path);
    void trace(const std::string &database, std::string_view statement, bool ok, const std::string &error,
               std::int64_t rows) const;

    sqlite3 *m_db = nullptr;
    std::string m_folder;
    std::string m_current;
    Catalog m_catalog;
    std::set<Cursor *> m_cursors;
    std::optional<std::pair<std::string, std::string>> m_identityInsert; // database, table
    std::string m_tracePath;
    // BEGIN TRANSACTION nests as in SQL Server: only the outermost COMMIT ends the transaction,
    // and ROLLBACK ends it whatever the depth.
    int m_transactionDepth = 0;
    std::set<std::string> m_readOnly; // databases attached read-only
};

} // namespace tsql
