#pragma once
// The engine's catalogue. It lives in the SQLite files themselves, so it changes in the same
// transaction as the data:
// - database <Name> is the file <folder>/<Name>.sqlite, attached under <Name>;
// - a table is a SQLite table of the same name; each column's declared type is its T-SQL type
//   ("varchar(50)", "datetime", "decimal(10,2)"), text columns carry COLLATE TSQL, NOT NULL is
//   SQLite's; an index <ix> of table <t> is the SQLite index "<t>$<ix>";
// - IDENTITY seed, step and last value given out are rows of __tsql_identity;
// - object ids, views, named constraints (primary key, unique, check, foreign key, default) and
//   their T-SQL definitions are rows of __tsql_objects.
// Both tables are hidden from every statement. Temporary tables (#t) and table variables live
// in the connection's own temporary database, "temp".

#include "tsql/Ast.h"
#include "tsql/Sqlite.h"
#include "tsql/Types.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tsql {

struct Column {
    std::string name;
    SqlType type;
    bool nullable = true;
    std::string defaultText;   // the DEFAULT as SQL Server shows it: "('x')", "((0))", "(getdate())"
    std::string defaultName;   // its constraint name
    std::string computed;      // AS expression, for computed columns
    bool identity = false;
};

struct Identity {
    std::string column;
    std::int64_t seed = 1, step = 1;
    std::optional<std::int64_t> last; // the last value given out; none since creation or TRUNCATE
    std::int64_t next() const { return last ? *last + step : seed; }
};

struct Index {
    std::string name;       // as SQL Server names it (without the table prefix SQLite needs)
    std::string sqliteName; // the SQLite index; empty for a primary key declared in CREATE TABLE
    std::vector<std::pair<std::string, bool>> columns; // with DESC
    bool unique = false;
    bool primaryKey = false;
    bool constraint = false; // made by PRIMARY KEY or UNIQUE, not CREATE INDEX
    std::int64_t id = 0;     // index_id: 1 for the primary key, 2.. for the others
};

struct Check {
    std::string name;
    std::string definition; // T-SQL, as SQL Server shows it: "([Age]>(0))"
    bool enabled = true;
};

struct ForeignKey {
    std::string name;
    std::vector<std::string> columns;
    std::string refTable;
    std::vector<std::string> refColumns;
    std::string onDelete = "NO ACTION", onUpdate = "NO ACTION";
    bool enabled = true;
};

struct Table {
    enum class Kind { Table, View, System, Temp, Variable };
    Kind kind = Kind::Table;
    std::string database; // attached name ("temp" for #tables and table variables)
    std::string name;     // as stored
    std::string schema = "dbo";
    std::int64_t objectId = 0;
    std::vector<Column> columns;
    std::optional<Identity> identity;
    std::vector<Index> indexes;
    std::vector<Check> checks;
    std::vector<ForeignKey> foreignKeys;
    std::string viewText;   // views: the query as written
    std::string systemSql;  // system views: SQLite SQL giving the rows
    std::string created, modified;

    std::string sqlName() const; // what the generated SQL names
    std::string fullName() const { return database + "." + schema + "." + name; }
    int find(std::string_view column) const; // -1 when missing
    const Index *primaryKey() const;
    bool isReal() const { return kind == Kind::Table || kind == Kind::Temp || kind == Kind::Variable; }
};
using TablePtr = std::shared_ptr<const Table>;

class Catalog {
public:
    explicit Catalog(sqlite::Connection &c) : m_c(c) {}

    void addDatabase(const std::string &name, bool readOnly);
    void removeDatabase(const std::string &name);
    const std::vector<std::string> &databases() const { return m_databases; }
    std::optional<std::string> findDatabase(std::string_view name) const;
    bool isReadOnly(const std::string &db) const;
    // A database whose catalogue disagrees with its tables: every statement that reads its
    // objects is refused (211) until a check finds the file repaired.
    void setSuspect(const std::string &db, bool suspect);
    bool isSuspect(const std::string &db) const;
    int databaseId(const std::string &db) const; // DB_ID: master 1, tempdb 2, then the files in order

    // The database an object name points into, or nullopt when it names none.
    std::optional<std::string> databaseFor(const ast::ObjectName &n, const std::string &current) const;
    // A table, view or system view; nullptr when it does not exist.
    TablePtr find(const ast::ObjectName &n, const std::string &current);
    TablePtr load(const std::string &db, const std::string &name);
    std::optional<std::string> storedName(const std::string &db, std::string_view name) const;
    // Every object name in a database: tables, views, constraints, indexes are not objects of
    // their own kind here; used for name clashes (2714).
    bool objectExists(const std::string &db, std::string_view name) const;

    // The user tables and views of a database, as stored, in name order.
    std::vector<std::string> objectNames(const std::string &db) const;

    // Forgets what it read, after a schema change (ours or another connection's).
    void invalidate()
    {
        m_tables.clear();
        ++m_generation;
    }
    // Moves with every invalidate(): what was compiled against an older value may be stale.
    std::uint64_t generation() const { return m_generation; }
    // The schema versions of the attached files; a change means the cached tables are stale.
    std::int64_t schemaStamp();

    // ---- writing (in the caller's transaction) ----
    void ensureTables(const std::string &db);
    std::int64_t registerObject(const std::string &db, const std::string &name, const std::string &type,
                                const std::string &parent = {}, const std::string &column = {},
                                const std::string &definition = {}, const std::string &extra = {});
    void dropObjects(const std::string &db, const std::string &parent); // everything of a table
    void dropObject(const std::string &db, const std::string &name);
    void renameObjects(const std::string &db, const std::string &from, const std::string &to);
    void setDisabled(const std::string &db, const std::string &name, bool disabled);
    void saveIdentity(const std::string &db, const std::string &table, const Identity &id);
    void setIdentityLast(const std::string &db, const std::string &table, std::optional<std::int64_t> last);
    void dropIdentity(const std::string &db, const std::string &table);
    void renameIdentity(const std::string &db, const std::string &from, const std::string &to);

    // Column definition for CREATE TABLE / ADD COLUMN, and a whole CREATE TABLE.
    static std::string columnSql(const Column &c);
    static std::string createTableSql(const std::string &db, const std::string &table, const std::vector<Column> &columns,
                                      const std::string &primaryKeyName, const std::vector<std::string> &primaryKey);
    // CREATE INDEX statements that recreate the table's own indexes after a rebuild.
    std::vector<std::string> indexSql(const std::string &db, const std::string &table) const;

    sqlite::Connection &connection() { return m_c; }

private:
    bool hasTable(const std::string &db, const char *table) const;
    std::string objectsTable(const std::string &db) const;
    void loadObjects(Table &t) const;
    void loadIndexes(Table &t) const;

    sqlite::Connection &m_c;
    std::vector<std::string> m_databases;
    std::vector<std::string> m_readOnly;
    std::vector<std::string> m_suspect;
    std::map<std::string, TablePtr> m_tables; // "db\nlower(name)"
    std::int64_t m_stamp = -1;
    std::uint64_t m_generation = 0;
};

std::string now8601(); // the time as sys.objects shows it: "2026-12-06 09:41:22.123"

} // namespace tsql
