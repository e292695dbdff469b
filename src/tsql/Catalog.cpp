#include "tsql/Catalog.h"

#include "tsql/Errors.h"
#include "tsql/Sqlite.h"

#include <algorithm>

namespace tsql {

static constexpr const char *kIdentityTable = "__tsql_identity";

std::string Table::sqlName() const
{
    return source.empty() ? quoteName(database) + "." + quoteName(name) : "(" + source + ")";
}

int Table::find(std::string_view column) const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (iequals(columns[i].name, column))
            return static_cast<int>(i);
    return -1;
}

std::optional<std::string> Catalog::findDatabase(std::string_view name) const
{
    for (const auto &d : m_databases)
        if (iequals(d, name))
            return d;
    return std::nullopt;
}

std::string Catalog::databaseFor(const ast::ObjectName &n, const std::string &current, const Error &missing) const
{
    if (!n.database.empty()) {
        if (auto d = findDatabase(n.database))
            return *d;
        throw missing;
    }
    if (current.empty())
        throw missing;
    return current;
}

static std::string informationSchemaSource(const std::string &db, const std::string &view)
{
    const std::string q = quoteName(db);
    const std::string hide = " AND m.name NOT LIKE 'sqlite!_%' ESCAPE '!' AND m.name <> '__tsql_identity'";
    if (iequals(view, "TABLES"))
        return "SELECT " + quoteLiteral(db) + " AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, m.name AS TABLE_NAME, "
               "'BASE TABLE' AS TABLE_TYPE FROM " + q + ".sqlite_master m WHERE m.type = 'table'" + hide;
    return "SELECT " + quoteLiteral(db) + " AS TABLE_CATALOG, 'dbo' AS TABLE_SCHEMA, m.name AS TABLE_NAME, "
           "p.name AS COLUMN_NAME, p.cid + 1 AS ORDINAL_POSITION, "
           // SQL Server shows defaults in parentheses: ('text'), ((0)).
           "CASE WHEN p.dflt_value IS NULL THEN NULL WHEN substr(p.dflt_value, 1, 1) = '''' "
           "THEN '(' || p.dflt_value || ')' ELSE '((' || p.dflt_value || '))' END AS COLUMN_DEFAULT, "
           "CASE WHEN p.\"notnull\" THEN 'NO' ELSE 'YES' END AS IS_NULLABLE, "
           "tsql_typeinfo(p.type, 'name') AS DATA_TYPE, "
           "tsql_typeinfo(p.type, 'charlen') AS CHARACTER_MAXIMUM_LENGTH, "
           "tsql_typeinfo(p.type, 'octet') AS CHARACTER_OCTET_LENGTH, "
           "tsql_typeinfo(p.type, 'precision') AS NUMERIC_PRECISION, "
           "tsql_typeinfo(p.type, 'radix') AS NUMERIC_PRECISION_RADIX, "
           "tsql_typeinfo(p.type, 'scale') AS NUMERIC_SCALE, "
           "tsql_typeinfo(p.type, 'dtprec') AS DATETIME_PRECISION, "
           "NULL AS CHARACTER_SET_CATALOG, NULL AS CHARACTER_SET_SCHEMA, "
           "tsql_typeinfo(p.type, 'charset') AS CHARACTER_SET_NAME, "
           "NULL AS COLLATION_CATALOG, NULL AS COLLATION_SCHEMA, "
           "tsql_typeinfo(p.type, 'collation') AS COLLATION_NAME, "
           "NULL AS DOMAIN_CATALOG, NULL AS DOMAIN_SCHEMA, NULL AS DOMAIN_NAME "
           "FROM " + q + ".sqlite_master m, pragma_table_xinfo(m.name, " + quoteLiteral(db) +
           ") p WHERE m.type = 'table'" + hide;
}

static Table informationSchemaTable(const std::string &db, const std::string &view)
{
    Table t;
    t.database = db;
    t.name = iequals(view, "TABLES") ? "TABLES" : "COLUMNS";
    t.source = informationSchemaSource(db, view);
    auto text = [](const char *n, int len) { return Column{n, SqlType{Base::NVarChar, len}, false, 0, {}}; };
    auto integer = [](const char *n) { return Column{n, SqlType{Base::Int}, false, 0, {}}; };
    if (t.name == "TABLES") {
        t.columns = {text("TABLE_CATALOG", 128), text("TABLE_SCHEMA", 128), text("TABLE_NAME", 128),
                     Column{"TABLE_TYPE", SqlType{Base::VarChar, 10}, false, 0, {}}};
    } else {
        t.columns = {text("TABLE_CATALOG", 128), text("TABLE_SCHEMA", 128), text("TABLE_NAME", 128),
                     text("COLUMN_NAME", 128), integer("ORDINAL_POSITION"), text("COLUMN_DEFAULT", 4000),
                     Column{"IS_NULLABLE", SqlType{Base::VarChar, 3}, false, 0, {}}, text("DATA_TYPE", 128),
                     integer("CHARACTER_MAXIMUM_LENGTH"), integer("CHARACTER_OCTET_LENGTH"),
                     Column{"NUMERIC_PRECISION", SqlType{Base::TinyInt}, false, 0, {}},
                     Column{"NUMERIC_PRECISION_RADIX", SqlType{Base::SmallInt}, false, 0, {}},
                     integer("NUMERIC_SCALE"), Column{"DATETIME_PRECISION", SqlType{Base::SmallInt}, false, 0, {}},
                     text("CHARACTER_SET_CATALOG", 128), text("CHARACTER_SET_SCHEMA", 128),
                     text("CHARACTER_SET_NAME", 128), text("COLLATION_CATALOG", 128), text("COLLATION_SCHEMA", 128),
                     text("COLLATION_NAME", 128), text("DOMAIN_CATALOG", 128), text("DOMAIN_SCHEMA", 128),
                     text("DOMAIN_NAME", 128)};
    }
    return t;
}

std::optional<Table> Catalog::find(const ast::ObjectName &n, const std::string &current) const
{
    std::string db;
    if (!n.database.empty()) {
        auto d = findDatabase(n.database);
        if (!d)
            return std::nullopt;
        db = *d;
    } else {
        if (current.empty())
            return std::nullopt;
        db = current;
    }
    if (iequals(n.schema, "INFORMATION_SCHEMA")) {
        if (iequals(n.name, "TABLES") || iequals(n.name, "COLUMNS"))
            return informationSchemaTable(db, n.name);
        return std::nullopt;
    }
    if (!n.schema.empty() && !iequals(n.schema, "dbo"))
        return std::nullopt;
    if (iequals(n.name, kIdentityTable))
        return std::nullopt;
    auto stored = storedName(db, n.name);
    if (!stored)
        return std::nullopt;
    return load(db, *stored);
}

std::optional<std::string> Catalog::storedName(const std::string &db, std::string_view table) const
{
    Stmt s(m_db, "SELECT name FROM " + quoteName(db) + ".sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    s.bind(1, table);
    if (s.step())
        return s.text(0);
    return std::nullopt;
}

Table Catalog::load(const std::string &db, const std::string &stored) const
{
    Table t;
    t.database = db;
    t.name = stored;
    Stmt s(m_db, "SELECT name, type, \"notnull\", dflt_value, pk FROM pragma_table_xinfo(?1, ?2) ORDER BY cid");
    s.bind(1, stored);
    s.bind(2, db);
    while (s.step()) {
        Column c;
        c.name = s.text(0);
        c.type = parseDeclared(s.text(1));
        c.notNull = s.integer(2) != 0;
        c.defaultSql = s.text(3);
        c.pk = static_cast<int>(s.integer(4));
        t.columns.push_back(std::move(c));
    }
    if (hasIdentityTable(db)) {
        Stmt id(m_db, "SELECT column_name, seed, step, last FROM " + quoteName(db) + "." + kIdentityTable +
                          " WHERE table_name = ?1 COLLATE NOCASE");
        id.bind(1, stored);
        if (id.step()) {
            Identity i;
            i.column = id.text(0);
            i.seed = id.integer(1);
            i.step = id.integer(2);
            if (!id.isNull(3))
                i.last = id.integer(3);
            if (t.find(i.column) >= 0)
                t.identity = i;
        }
    }
    return t;
}

std::vector<std::string> Catalog::indexSql(const std::string &db, const std::string &table) const
{
    std::vector<std::string> out;
    Stmt list(m_db, "SELECT name, \"unique\" FROM pragma_index_list(?1, ?2) WHERE origin = 'c'");
    list.bind(1, table);
    list.bind(2, db);
    while (list.step()) {
        const std::string name = list.text(0);
        std::string sql = std::string("CREATE ") + (list.integer(1) ? "UNIQUE " : "") + "INDEX " + quoteName(db) + "." +
                          quoteName(name) + " ON " + quoteName(table) + " (";
        Stmt cols(m_db, "SELECT name, \"desc\" FROM pragma_index_xinfo(?1, ?2) WHERE key = 1 ORDER BY seqno");
        cols.bind(1, name);
        cols.bind(2, db);
        bool first = true;
        while (cols.step()) {
            sql += (first ? "" : ", ") + quoteName(cols.text(0)) + (cols.integer(1) ? " DESC" : "");
            first = false;
        }
        out.push_back(sql + ")");
    }
    return out;
}

std::vector<std::string> Catalog::indexesOn(const std::string &db, const std::string &table, const std::string &column) const
{
    std::vector<std::string> out;
    Stmt s(m_db, "SELECT il.name FROM pragma_index_list(?1, ?2) il, pragma_index_info(il.name, ?2) ii "
                 "WHERE ii.name = ?3 COLLATE NOCASE AND il.origin = 'c'");
    s.bind(1, table);
    s.bind(2, db);
    s.bind(3, column);
    while (s.step())
        out.push_back(s.text(0));
    return out;
}

bool Catalog::hasIdentityTable(const std::string &db) const
{
    Stmt s(m_db, "SELECT 1 FROM " + quoteName(db) + ".sqlite_master WHERE type = 'table' AND name = '" +
                     std::string(kIdentityTable) + "'");
    return s.step();
}

void Catalog::ensureIdentityTable(const std::string &db) const
{
    exec(m_db, "CREATE TABLE IF NOT EXISTS " + quoteName(db) + "." + kIdentityTable +
                   " (table_name TEXT COLLATE NOCASE PRIMARY KEY, column_name TEXT NOT NULL, "
                   "seed INTEGER NOT NULL, step INTEGER NOT NULL, last INTEGER)");
}

void Catalog::saveIdentity(const std::string &db, const std::string &table, const Identity &id) const
{
    ensureIdentityTable(db);
    Stmt s(m_db, "INSERT OR REPLACE INTO " + quoteName(db) + "." + kIdentityTable +
                     " (table_name, column_name, seed, step, last) VALUES (?1, ?2, ?3, ?4, ?5)");
    s.bind(1, table);
    s.bind(2, id.column);
    s.bind(3, id.seed);
    s.bind(4, id.step);
    if (id.last)
        s.bind(5, *id.last);
    s.step();
}

void Catalog::setIdentityLast(const std::string &db, const std::string &table, std::optional<std::int64_t> last) const
{
    if (!hasIdentityTable(db))
        return;
    Stmt s(m_db, "UPDATE " + quoteName(db) + "." + kIdentityTable + " SET last = ?1 WHERE table_name = ?2");
    if (last)
        s.bind(1, *last);
    s.bind(2, table);
    s.step();
}

void Catalog::dropIdentity(const std::string &db, const std::string &table) const
{
    if (!hasIdentityTable(db))
        return;
    Stmt s(m_db, "DELETE FROM " + quoteName(db) + "." + kIdentityTable + " WHERE table_name = ?1");
    s.bind(1, table);
    s.step();
}

void Catalog::renameIdentity(const std::string &db, const std::string &from, const std::string &to) const
{
    if (!hasIdentityTable(db))
        return;
    Stmt s(m_db, "UPDATE " + quoteName(db) + "." + kIdentityTable + " SET table_name = ?2 WHERE table_name = ?1");
    s.bind(1, from);
    s.bind(2, to);
    s.step();
}

std::string Catalog::columnSql(const Column &c)
{
    std::string s = quoteName(c.name) + " " + c.type.declared();
    if (c.type.isText())
        s += " COLLATE TSQL";
    if (c.notNull)
        s += " NOT NULL";
    if (!c.defaultSql.empty())
        s += " DEFAULT " + c.defaultSql;
    return s;
}

std::string Catalog::createTableSql(const std::string &db, const std::string &table, const std::vector<Column> &columns)
{
    std::string sql = "CREATE TABLE " + (db.empty() ? "" : quoteName(db) + ".") + quoteName(table) + " (";
    std::vector<std::pair<int, std::string>> pk;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        sql += (i ? ", " : "") + columnSql(columns[i]);
        if (columns[i].pk)
            pk.emplace_back(columns[i].pk, columns[i].name);
    }
    if (!pk.empty()) {
        std::sort(pk.begin(), pk.end());
        sql += ", CONSTRAINT " + quoteName("PK_" + table) + " PRIMARY KEY (";
        for (std::size_t i = 0; i < pk.size(); ++i)
            sql += (i ? ", " : "") + quoteName(pk[i].second);
        sql += ")";
    }
    return sql + ")";
}

} // namespace tsql
