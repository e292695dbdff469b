#include "tsql/Catalog.h"

#include "tsql/DateTime.h"
#include "tsql/Errors.h"
#include "tsql/SystemViews.h"

#include <algorithm>

namespace tsql {

using sqlite::quoteName;
using sqlite::Stmt;

namespace {

constexpr const char *kIdentity = "__tsql_identity";
constexpr const char *kObjects = "__tsql_objects";
// The first object id the engine hands out in a database, in the range SQL Server uses.
constexpr std::int64_t kFirstObjectId = 565577053;

// Tables that make up the engine's own bookkeeping and SQLite's are never a user's object.
bool hidden(std::string_view name)
{
    auto starts = [&](std::string_view p) { return name.size() >= p.size() && iequals(name.substr(0, p.size()), p); };
    return starts("__tsql_") || starts("sqlite_");
}

std::int64_t nameId(const std::string &db, const std::string &name)
{
    // A table made by an engine that did not number objects: a stable number from its name.
    std::uint64_t h = 1469598103934665603ull;
    for (char c : lower(db) + "." + lower(name)) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return kFirstObjectId + static_cast<std::int64_t>(h % 1000000000ull);
}

} // namespace

std::string now8601()
{
    const DateTime d = dt::now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year, d.month, d.day, d.hour, d.minute,
                  d.second, d.millisecond);
    return buf;
}

std::string Table::sqlName() const
{
    return quoteName(database) + "." + quoteName(name);
}

int Table::find(std::string_view column) const
{
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (iequals(columns[i].name, column))
            return static_cast<int>(i);
    return -1;
}

const Index *Table::primaryKey() const
{
    for (const Index &i : indexes)
        if (i.primaryKey)
            return &i;
    return nullptr;
}

void Catalog::addDatabase(const std::string &name, bool readOnly)
{
    m_databases.push_back(name);
    if (readOnly)
        m_readOnly.push_back(lower(name));
}

void Catalog::removeDatabase(const std::string &name)
{
    m_databases.erase(std::remove_if(m_databases.begin(), m_databases.end(),
                                     [&](const std::string &d) { return iequals(d, name); }),
                      m_databases.end());
    invalidate();
}

std::optional<std::string> Catalog::findDatabase(std::string_view name) const
{
    for (const auto &d : m_databases)
        if (iequals(d, name))
            return d;
    if (iequals(name, "tempdb"))
        return std::string("temp");
    return std::nullopt;
}

bool Catalog::isReadOnly(const std::string &db) const
{
    return std::find(m_readOnly.begin(), m_readOnly.end(), lower(db)) != m_readOnly.end();
}

void Catalog::setSuspect(const std::string &db, bool suspect)
{
    m_suspect.erase(std::remove(m_suspect.begin(), m_suspect.end(), lower(db)), m_suspect.end());
    if (suspect)
        m_suspect.push_back(lower(db));
    invalidate();
}

bool Catalog::isSuspect(const std::string &db) const
{
    return !m_suspect.empty() && std::find(m_suspect.begin(), m_suspect.end(), lower(db)) != m_suspect.end();
}

int Catalog::databaseId(const std::string &db) const
{
    if (iequals(db, "master"))
        return 1;
    if (iequals(db, "temp") || iequals(db, "tempdb"))
        return 2;
    for (std::size_t i = 0; i < m_databases.size(); ++i)
        if (iequals(m_databases[i], db))
            return static_cast<int>(i) + 5; // after master, tempdb, model and msdb
    return 0;
}

std::optional<std::string> Catalog::databaseFor(const ast::ObjectName &n, const std::string &current) const
{
    if (n.isTemp())
        return std::string("temp");
    if (!n.database.empty())
        return findDatabase(n.database);
    if (current.empty())
        return std::nullopt;
    return current;
}

std::int64_t Catalog::schemaStamp()
{
    // The sum of every attached file's schema cookie moves whenever one of them changes.
    std::int64_t sum = 0;
    for (const auto &d : m_databases) {
        Stmt s(m_c, "PRAGMA " + quoteName(d) + ".schema_version");
        if (s.step())
            sum += s.integer(0);
    }
    Stmt t(m_c, "PRAGMA temp.schema_version");
    if (t.step())
        sum += t.integer(0) << 20;
    if (sum != m_stamp) {
        m_stamp = sum;
        invalidate();
    }
    return sum;
}

TablePtr Catalog::find(const ast::ObjectName &n, const std::string &current)
{
    const auto db = databaseFor(n, current);
    if (!db)
        return nullptr;
    if (iequals(n.schema, "INFORMATION_SCHEMA") || iequals(n.schema, "sys"))
        return systemView(*this, *db, n.schema, n.name);
    if (!n.schema.empty() && !iequals(n.schema, "dbo"))
        return nullptr;
    if (hidden(n.name))
        return nullptr;
    return load(*db, n.name);
}

std::optional<std::string> Catalog::storedName(const std::string &db, std::string_view name) const
{
    if (hidden(name))
        return std::nullopt;
    Stmt s(m_c, "SELECT name FROM " + quoteName(db) + ".sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    s.bind(1, name);
    if (s.step())
        return s.text(0);
    if (hasTable(db, kObjects)) {
        Stmt v(m_c, "SELECT name FROM " + objectsTable(db) + " WHERE type = 'V' AND name = ?1 COLLATE NOCASE");
        v.bind(1, name);
        if (v.step())
            return v.text(0);
    }
    return std::nullopt;
}

std::vector<std::string> Catalog::objectNames(const std::string &db) const
{
    std::vector<std::string> out;
    Stmt s(m_c, "SELECT name FROM " + quoteName(db) + ".sqlite_master WHERE type = 'table'");
    while (s.step())
        if (!hidden(s.text(0)))
            out.push_back(s.text(0));
    if (hasTable(db, kObjects)) {
        Stmt v(m_c, "SELECT name FROM " + objectsTable(db) + " WHERE type = 'V'");
        while (v.step())
            out.push_back(v.text(0));
    }
    std::sort(out.begin(), out.end(), [](const std::string &a, const std::string &b) { return lower(a) < lower(b); });
    return out;
}

bool Catalog::objectExists(const std::string &db, std::string_view name) const
{
    // SQLite's own objects and the engine's hidden tables hold these names in every database.
    if (istartsWith(name, "sqlite_") || istartsWith(name, "__tsql"))
        return true;
    if (storedName(db, name))
        return true;
    if (!hasTable(db, kObjects))
        return false;
    Stmt s(m_c, "SELECT 1 FROM " + objectsTable(db) + " WHERE name = ?1 COLLATE NOCASE AND type <> 'U'");
    s.bind(1, name);
    return s.step();
}

TablePtr Catalog::load(const std::string &db, const std::string &name)
{
    if (isSuspect(db))
        throw err::make(211);
    const std::string key = lower(db) + "\n" + lower(name);
    if (auto it = m_tables.find(key); it != m_tables.end())
        return it->second;
    auto stored = storedName(db, name);
    if (!stored)
        return nullptr;
    auto t = std::make_shared<Table>();
    t->database = db;
    t->name = *stored;
    if (iequals(db, "temp"))
        t->kind = stored->front() == '@' ? Table::Kind::Variable : Table::Kind::Temp;
    {
        Stmt s(m_c, "SELECT name, type, \"notnull\", dflt_value FROM pragma_table_xinfo(?1, ?2) ORDER BY cid");
        s.bind(1, *stored);
        s.bind(2, db);
        while (s.step()) {
            Column c;
            c.name = s.text(0);
            c.type = parseDeclared(s.text(1));
            c.nullable = s.integer(2) == 0;
            if (!s.isNull(3)) {
                // A default written into the table by an older engine: a literal.
                const std::string v = s.text(3);
                c.defaultText = !v.empty() && v[0] == '\'' ? "(" + v + ")" : "((" + v + "))";
            }
            t->columns.push_back(std::move(c));
        }
    }
    if (t->columns.empty() && t->kind == Table::Kind::Table)
        t->kind = Table::Kind::View; // a row of __tsql_objects, not a SQLite table
    t->objectId = nameId(db, *stored);
    if (hasTable(db, kIdentity)) {
        Stmt id(m_c, "SELECT column_name, seed, step, last FROM " + quoteName(db) + "." + kIdentity +
                         " WHERE table_name = ?1 COLLATE NOCASE");
        id.bind(1, *stored);
        if (id.step()) {
            Identity i;
            i.column = id.text(0);
            i.seed = id.integer(1);
            i.step = id.integer(2);
            if (!id.isNull(3))
                i.last = id.integer(3);
            const int col = t->find(i.column);
            if (col >= 0) {
                t->columns[static_cast<std::size_t>(col)].identity = true;
                t->identity = i;
            }
        }
    }
    loadObjects(*t);
    if (t->kind != Table::Kind::View)
        loadIndexes(*t);
    TablePtr result = t;
    m_tables[key] = result;
    return result;
}

void Catalog::loadObjects(Table &t) const
{
    if (!hasTable(t.database, kObjects))
        return;
    Stmt s(m_c, "SELECT object_id, name, type, column_name, definition, extra, disabled, created, modified FROM " +
                    objectsTable(t.database) + " WHERE (parent = ?1 COLLATE NOCASE AND type <> 'U' AND type <> 'V') "
                    "OR ((type = 'U' OR type = 'V') AND name = ?1 COLLATE NOCASE) ORDER BY object_id");
    s.bind(1, t.name);
    while (s.step()) {
        const std::string type = s.text(2);
        if (type == "U" || type == "V") {
            t.objectId = s.integer(0);
            t.created = s.text(7);
            t.modified = s.text(8);
            if (type == "V") {
                t.kind = Table::Kind::View;
                t.viewText = s.text(4);
                // The view's columns as its query gave them when it was made: name, tab, type.
                t.columns.clear();
                const std::string cols = s.text(5);
                std::size_t pos = 0;
                while (pos < cols.size()) {
                    std::size_t end = cols.find('\n', pos);
                    if (end == std::string::npos)
                        end = cols.size();
                    const std::string line = cols.substr(pos, end - pos);
                    const auto tab = line.find('\t');
                    if (tab != std::string::npos) {
                        Column c;
                        c.name = line.substr(0, tab);
                        c.type = parseDeclared(line.substr(tab + 1));
                        t.columns.push_back(std::move(c));
                    }
                    pos = end + 1;
                }
            }
        } else if (type == "D") {
            const int col = t.find(s.text(3));
            if (col >= 0) {
                t.columns[static_cast<std::size_t>(col)].defaultText = s.text(4);
                t.columns[static_cast<std::size_t>(col)].defaultName = s.text(1);
            }
        } else if (type == "CC") {
            const int col = t.find(s.text(3));
            if (col >= 0)
                t.columns[static_cast<std::size_t>(col)].computed = s.text(4);
        } else if (type == "C") {
            t.checks.push_back(Check{s.text(1), s.text(4), s.integer(6) == 0});
        } else if (type == "F") {
            // definition: columns, the referenced table, its columns, ON DELETE, ON UPDATE, one per line.
            ForeignKey fk;
            fk.name = s.text(1);
            fk.enabled = s.integer(6) == 0;
            const std::vector<std::string> lines = split(s.text(4), '\n');
            auto names = [](const std::string &list) {
                std::vector<std::string> out = split(list, ',');
                out.erase(std::remove(out.begin(), out.end(), std::string()), out.end());
                return out;
            };
            if (lines.size() >= 5) {
                fk.columns = names(lines[0]);
                fk.refTable = lines[1];
                fk.refColumns = names(lines[2]);
                fk.onDelete = lines[3];
                fk.onUpdate = lines[4];
            }
            t.foreignKeys.push_back(std::move(fk));
        }
    }
}

void Catalog::loadIndexes(Table &t) const
{
    // Named primary keys and unique constraints are rows of __tsql_objects; the rest follows the
    // engine's naming: PK_<table> for a key declared with the table.
    std::map<std::string, std::pair<std::string, std::string>> constraints; // sqlite index -> (type, name)
    std::string pkName = "PK_" + t.name;
    if (hasTable(t.database, kObjects)) {
        Stmt s(m_c, "SELECT name, type, extra FROM " + objectsTable(t.database) +
                        " WHERE parent = ?1 COLLATE NOCASE AND type IN ('PK', 'UQ')");
        s.bind(1, t.name);
        while (s.step()) {
            if (s.text(1) == "PK" && s.text(2).empty())
                pkName = s.text(0);
            else
                constraints[lower(s.text(2))] = {s.text(1), s.text(0)};
        }
    }
    Stmt list(m_c, "SELECT name, \"unique\", origin FROM pragma_index_list(?1, ?2) ORDER BY seq DESC");
    list.bind(1, t.name);
    list.bind(2, t.database);
    std::int64_t nextId = 2;
    while (list.step()) {
        Index ix;
        const std::string stored = list.text(0);
        const std::string origin = list.text(2);
        ix.unique = list.integer(1) != 0;
        if (origin == "pk") {
            ix.primaryKey = true;
            ix.constraint = true;
            ix.name = pkName;
            ix.id = 1;
        } else if (origin == "c") {
            ix.sqliteName = stored;
            const auto dollar = stored.find('$');
            ix.name = dollar == std::string::npos ? stored : stored.substr(dollar + 1);
            if (auto it = constraints.find(lower(stored)); it != constraints.end()) {
                ix.constraint = true;
                ix.primaryKey = it->second.first == "PK";
                ix.name = it->second.second;
            }
            ix.id = ix.primaryKey ? 1 : nextId++;
        } else {
            continue; // SQLite's own index for a UNIQUE column constraint: the engine makes none
        }
        Stmt cols(m_c, "SELECT name, \"desc\" FROM pragma_index_xinfo(?1, ?2) WHERE key = 1 ORDER BY seqno");
        cols.bind(1, stored);
        cols.bind(2, t.database);
        while (cols.step())
            ix.columns.emplace_back(cols.text(0), cols.integer(1) != 0);
        t.indexes.push_back(std::move(ix));
    }
    std::sort(t.indexes.begin(), t.indexes.end(), [](const Index &a, const Index &b) { return a.id < b.id; });
}

bool Catalog::hasTable(const std::string &db, const char *table) const
{
    Stmt s(m_c, "SELECT 1 FROM " + quoteName(db) + ".sqlite_master WHERE type = 'table' AND name = ?1");
    s.bind(1, table);
    return s.step();
}

std::string Catalog::objectsTable(const std::string &db) const
{
    return quoteName(db) + "." + kObjects;
}

void Catalog::ensureTables(const std::string &db)
{
    sqlite::exec(m_c, "CREATE TABLE IF NOT EXISTS " + quoteName(db) + "." + kIdentity +
                          " (table_name TEXT COLLATE NOCASE PRIMARY KEY, column_name TEXT NOT NULL, "
                          "seed INTEGER NOT NULL, step INTEGER NOT NULL, last INTEGER)");
    sqlite::exec(m_c, "CREATE TABLE IF NOT EXISTS " + objectsTable(db) +
                          " (object_id INTEGER PRIMARY KEY, name TEXT NOT NULL COLLATE NOCASE, type TEXT NOT NULL, "
                          "parent TEXT COLLATE NOCASE, column_name TEXT, definition TEXT, extra TEXT, "
                          "disabled INTEGER NOT NULL DEFAULT 0, created TEXT, modified TEXT)");
}

std::int64_t Catalog::registerObject(const std::string &db, const std::string &name, const std::string &type,
                                     const std::string &parent, const std::string &column,
                                     const std::string &definition, const std::string &extra)
{
    ensureTables(db);
    std::int64_t id = kFirstObjectId;
    {
        Stmt m(m_c, "SELECT max(object_id) FROM " + objectsTable(db));
        if (m.step() && !m.isNull(0))
            id = m.integer(0) + 1;
    }
    if (type == "U") // a table keeps the number it was known by before it was written down
        id = std::max(id, nameId(db, name));
    const std::string stamp = now8601();
    Stmt s(m_c, "INSERT INTO " + objectsTable(db) +
                    " (object_id, name, type, parent, column_name, definition, extra, created, modified) "
                    "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?8)");
    s.bind(1, id);
    s.bind(2, name);
    s.bind(3, type);
    if (parent.empty())
        s.bindNull(4);
    else
        s.bind(4, parent);
    s.bind(5, column);
    s.bind(6, definition);
    s.bind(7, extra);
    s.bind(8, stamp);
    s.step();
    invalidate();
    return id;
}

void Catalog::dropObjects(const std::string &db, const std::string &parent)
{
    if (!hasTable(db, kObjects))
        return;
    Stmt s(m_c, "DELETE FROM " + objectsTable(db) + " WHERE parent = ?1 COLLATE NOCASE OR name = ?1 COLLATE NOCASE AND type IN ('U', 'V')");
    s.bind(1, parent);
    s.step();
    invalidate();
}

void Catalog::dropObject(const std::string &db, const std::string &name)
{
    if (!hasTable(db, kObjects))
        return;
    Stmt s(m_c, "DELETE FROM " + objectsTable(db) + " WHERE name = ?1 COLLATE NOCASE AND type NOT IN ('U', 'V')");
    s.bind(1, name);
    s.step();
    invalidate();
}

void Catalog::renameObjects(const std::string &db, const std::string &from, const std::string &to)
{
    if (!hasTable(db, kObjects))
        return;
    Stmt a(m_c, "UPDATE " + objectsTable(db) + " SET parent = ?2 WHERE parent = ?1 COLLATE NOCASE");
    a.bind(1, from);
    a.bind(2, to);
    a.step();
    Stmt b(m_c, "UPDATE " + objectsTable(db) + " SET name = ?2, modified = ?3 WHERE name = ?1 COLLATE NOCASE AND type IN ('U', 'V')");
    b.bind(1, from);
    b.bind(2, to);
    b.bind(3, now8601());
    b.step();
    invalidate();
}

void Catalog::setDisabled(const std::string &db, const std::string &name, bool disabled)
{
    Stmt s(m_c, "UPDATE " + objectsTable(db) + " SET disabled = ?2 WHERE name = ?1 COLLATE NOCASE");
    s.bind(1, name);
    s.bind(2, std::int64_t{disabled ? 1 : 0});
    s.step();
    invalidate();
}

void Catalog::saveIdentity(const std::string &db, const std::string &table, const Identity &id)
{
    ensureTables(db);
    Stmt s(m_c, "INSERT OR REPLACE INTO " + quoteName(db) + "." + kIdentity +
                    " (table_name, column_name, seed, step, last) VALUES (?1, ?2, ?3, ?4, ?5)");
    s.bind(1, table);
    s.bind(2, id.column);
    s.bind(3, id.seed);
    s.bind(4, id.step);
    if (id.last)
        s.bind(5, *id.last);
    s.step();
    invalidate();
}

void Catalog::setIdentityLast(const std::string &db, const std::string &table, std::optional<std::int64_t> last)
{
    if (!hasTable(db, kIdentity))
        return;
    Stmt s(m_c, "UPDATE " + quoteName(db) + "." + kIdentity + " SET last = ?1 WHERE table_name = ?2 COLLATE NOCASE");
    if (last)
        s.bind(1, *last);
    s.bind(2, table);
    s.step();
    invalidate();
}

void Catalog::dropIdentity(const std::string &db, const std::string &table)
{
    if (!hasTable(db, kIdentity))
        return;
    Stmt s(m_c, "DELETE FROM " + quoteName(db) + "." + kIdentity + " WHERE table_name = ?1 COLLATE NOCASE");
    s.bind(1, table);
    s.step();
    invalidate();
}

void Catalog::renameIdentity(const std::string &db, const std::string &from, const std::string &to)
{
    if (!hasTable(db, kIdentity))
        return;
    Stmt s(m_c, "UPDATE " + quoteName(db) + "." + kIdentity + " SET table_name = ?2 WHERE table_name = ?1 COLLATE NOCASE");
    s.bind(1, from);
    s.bind(2, to);
    s.step();
    invalidate();
}

std::string Catalog::columnSql(const Column &c)
{
    std::string s = quoteName(c.name) + " " + c.type.declared();
    if (c.type.isText())
        s += " COLLATE TSQL";
    if (!c.nullable)
        s += " NOT NULL";
    return s;
}

std::string Catalog::createTableSql(const std::string &db, const std::string &table, const std::vector<Column> &columns,
                                    const std::string &primaryKeyName, const std::vector<std::string> &primaryKey)
{
    std::string sql = "CREATE TABLE " + (db.empty() ? "" : quoteName(db) + ".") + quoteName(table) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i)
        sql += (i ? ", " : "") + columnSql(columns[i]);
    if (!primaryKey.empty()) {
        sql += ", CONSTRAINT " + quoteName(primaryKeyName) + " PRIMARY KEY (";
        for (std::size_t i = 0; i < primaryKey.size(); ++i)
            sql += (i ? ", " : "") + quoteName(primaryKey[i]);
        sql += ")";
    }
    return sql + ")";
}

std::vector<std::string> Catalog::indexSql(const std::string &db, const std::string &table) const
{
    std::vector<std::string> out;
    Stmt list(m_c, "SELECT name, \"unique\" FROM pragma_index_list(?1, ?2) WHERE origin = 'c'");
    list.bind(1, table);
    list.bind(2, db);
    while (list.step()) {
        const std::string name = list.text(0);
        std::string sql = std::string("CREATE ") + (list.integer(1) ? "UNIQUE " : "") + "INDEX " + quoteName(db) + "." +
                          quoteName(name) + " ON " + quoteName(table) + " (";
        Stmt cols(m_c, "SELECT name, \"desc\" FROM pragma_index_xinfo(?1, ?2) WHERE key = 1 ORDER BY seqno");
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

} // namespace tsql
