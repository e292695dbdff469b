#pragma once
// The engine's catalogue lives in the SQLite files themselves, so it changes in the same
// transaction as the data:
// - database <Name> is the file <folder>/<Name>.sqlite, attached under <Name>;
// - a table is a SQLite table of the same name; each column's declared type is its T-SQL type
//   ("varchar(50)", "datetime", "bigint"; varchar(max) is stored as varchar(-1) because SQLite's
//   type grammar takes only numbers), text columns carry COLLATE TSQL, NOT NULL is SQLite's;
//   a primary key is the table constraint PK_<table>;
// - IDENTITY seed, step and last value given out are rows of __tsql_identity in the same file,
//   hidden from INFORMATION_SCHEMA.

#include "tsql/Ast.h"
#include "tsql/Types.h"

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace tsql {

struct Column {
    std::string name;
    SqlType type;
    bool notNull = false;
    int pk = 0;
    std::string defaultSql; // as SQLite holds it, empty for none
};

struct Identity {
    std::string column;
    std::int64_t seed = 1, step = 1;
    std::optional<std::int64_t> last; // the last value given out; none since creation or TRUNCATE
    std::int64_t next() const { return last ? *last + step : seed; }
};

struct Table {
    std::string database; // attached name
    std::string name;     // as stored
    std::vector<Column> columns;
    std::optional<Identity> identity;
    std::string source;   // a subquery for the INFORMATION_SCHEMA views; empty for a real table

    std::string sqlName() const;  // what a FROM clause names
    std::string fullName() const { return database + ".dbo." + name; }
    int find(std::string_view column) const; // -1 when missing
};

class Catalog {
public:
    explicit Catalog(sqlite3 *db) : m_db(db) {}

    void addDatabase(const std::string &name) { m_databases.push_back(name); }
    const std::vector<std::string> &databases() const { return m_databases; }
    std::optional<std::string> findDatabase(std::string_view name) const;

    // The attached database an object name points into; throws `missing` when there is none.
    std::string databaseFor(const ast::ObjectName &n, const std::string &current, const Error &missing) const;
    // A table (or INFORMATION_SCHEMA view) by name; nullopt when it does not exist.
    std::optional<Table> find(const ast::ObjectName &n, const std::string &current) const;
    std::optional<std::string> storedName(const std::string &db, std::string_view table) const;
    Table load(const std::string &db, const std::string &storedName) const;

    // CREATE INDEX statements that recreate the table's own indexes after a rebuild.
    std::vector<std::string> indexSql(const std::string &db, const std::string &table) const;
    // Index names that cover a column.
    std::vector<std::string> indexesOn(const std::string &db, const std::string &table, const std::string &column) const;

    void ensureIdentityTable(const std::string &db) const;
    void saveIdentity(const std::string &db, const std::string &table, const Identity &id) const;
    void setIdentityLast(const std::string &db, const std::string &table, std::optional<std::int64_t> last) const;
    void dropIdentity(const std::string &db, const std::string &table) const;
    void renameIdentity(const std::string &db, const std::string &from, const std::string &to) const;

    // Column definition for CREATE TABLE / ADD COLUMN.
    static std::string columnSql(const Column &c);
    // CREATE TABLE for the columns; with an empty db the name stands unqualified, as SQLite
    // keeps it in its schema table.
    static std::string createTableSql(const std::string &db, const std::string &table, const std::vector<Column> &columns);

private:
    bool hasIdentityTable(const std::string &db) const;

    sqlite3 *m_db;
    std::vector<std::string> m_databases;
};

} // namespace tsql
