// Statements that change tables: CREATE/DROP/ALTER TABLE, SELECT INTO, TRUNCATE, indexes.

#include "tsql/Compiler.h"
#include "tsql/Engine.h"
#include "tsql/Errors.h"
#include "tsql/Sqlite.h"

#include <algorithm>

namespace tsql {

namespace {

Error cannotFindForAlter(const std::string &n)
{
    return Error(4902, 16, 1, "Cannot find the object \"" + n + "\" because it does not exist or you do not have permissions.");
}

void checkIdentityType(const ast::ColumnDef &d, const std::string &table)
{
    const bool ok = d.type.category() == Category::Integer ? d.type.base != Base::Bit
                                                           : d.type.base == Base::Decimal && d.type.scale == 0;
    if (!ok)
        throw Error(2749, 16, 2, "Identity column '" + d.name + "' must be of data type int, bigint, smallint, tinyint, "
                                 "or decimal or numeric with a scale of 0, and constrained to be nonnullable.");
    (void)table;
}

int integerRank(Base b)
{
    switch (b) {
    case Base::Bit: return 0;
    case Base::TinyInt: return 1;
    case Base::SmallInt: return 2;
    case Base::Int: return 3;
    case Base::BigInt: return 4;
    default: return -1;
    }
}

} // namespace

std::string Engine::defaultSql(const ast::ColumnDef &d) const
{
    if (!d.defaultValue)
        return {};
    const auto &e = *d.defaultValue;
    switch (e.kind) {
    case ast::Expr::Kind::String:
        if (d.type.isDateTime())
            return quoteLiteral(formatStorage(textToDateTime(e.text)));
        return quoteLiteral(e.text);
    case ast::Expr::Kind::Number: return e.text;
    case ast::Expr::Kind::Null: return "NULL";
    default: throw err::syntaxKeyword("DEFAULT");
    }
}

Column Engine::columnFromDef(const ast::ColumnDef &d) const
{
    Column c;
    c.name = d.name;
    c.type = d.type;
    c.notNull = (d.nullable.has_value() && !*d.nullable) || d.identity || d.primaryKey;
    c.pk = d.primaryKey ? 1 : 0;
    c.defaultSql = defaultSql(d);
    return c;
}

void Engine::createTable(const ast::Statement &s)
{
    const std::string db = m_catalog.databaseFor(s.table, m_current, err::databaseMissing(s.table.database));
    if (!s.table.schema.empty() && !iequals(s.table.schema, "dbo"))
        throw Error(2760, 16, 1, "The specified schema name \"" + s.table.schema +
                                     "\" either does not exist or you do not have permission to use it.");
    if (m_catalog.storedName(db, s.table.name))
        throw err::alreadyExists(s.table.name);
    std::vector<Column> cols;
    std::optional<Identity> identity;
    int pkColumns = 0;
    for (const auto &d : s.defs) {
        for (const auto &c : cols)
            if (iequals(c.name, d.name))
                throw err::duplicateColumn(d.name, s.table.name);
        if (d.identity) {
            if (identity)
                throw err::multipleIdentity(s.table.name);
            checkIdentityType(d, s.table.name);
            identity = Identity{d.name, d.seed, d.step, std::nullopt};
        }
        cols.push_back(columnFromDef(d));
        if (d.primaryKey)
            ++pkColumns;
    }
    if (!s.primaryKey.empty()) {
        if (pkColumns > 0)
            throw Error(8110, 16, 0, "Cannot add multiple PRIMARY KEY constraints to table '" + s.table.name + "'.");
        int order = 1;
        for (const auto &name : s.primaryKey) {
            auto it = std::find_if(cols.begin(), cols.end(), [&](const Column &c) { return iequals(c.name, name); });
            if (it == cols.end())
                throw Error(1911, 16, 1, "Column name '" + name + "' does not exist in the target table or view.");
            it->pk = order++;
            it->notNull = true;
        }
    } else if (pkColumns > 1) {
        throw Error(8110, 16, 0, "Cannot add multiple PRIMARY KEY constraints to table '" + s.table.name + "'.");
    }
    exec(m_db, Catalog::createTableSql(db, s.table.name, cols));
    if (identity)
        m_catalog.saveIdentity(db, s.table.name, *identity);
}

void Engine::dropTable(const ast::Statement &s)
{
    for (const auto &n : s.tables) {
        auto t = m_catalog.find(n, m_current);
        if (!t || !t->source.empty())
            throw err::cannotDrop(n.written);
        exec(m_db, "DROP TABLE " + t->sqlName());
        m_catalog.dropIdentity(t->database, t->name);
        if (m_identityInsert && iequals(m_identityInsert->first, t->database) && iequals(m_identityInsert->second, t->name))
            m_identityInsert.reset();
    }
}

void Engine::truncate(const ast::Statement &s)
{
    auto t = m_catalog.find(s.table, m_current);
    if (!t || !t->source.empty())
        throw err::cannotFind(s.table.written);
    exec(m_db, "DELETE FROM " + t->sqlName());
    if (t->identity)
        m_catalog.setIdentityLast(t->database, t->name, std::nullopt);
}

std::int64_t Engine::selectInto(const ast::Select &s)
{
    const ast::ObjectName &into = *s.members.front().into;
    const std::string db = m_catalog.databaseFor(into, m_current, err::databaseMissing(into.database));
    if (m_catalog.storedName(db, into.name))
        throw err::alreadyExists(into.name);
    Compiler compiler(m_catalog, m_current);
    const CompiledQuery q = compiler.select(s);
    std::vector<Column> cols;
    std::optional<Identity> identity;
    for (std::size_t i = 0; i < q.columns.size(); ++i) {
        const OutputColumn &o = q.columns[i];
        if (o.name.empty())
            throw Error(1038, 15, 5, "An object or column name is missing or empty. For SELECT INTO statements, verify "
                                     "each column has a name. For other statements, look for empty alias names. "
                                     "Aliases defined as \"\" or [] are not allowed. Change the alias to a valid name.");
        for (const auto &c : cols)
            if (iequals(c.name, o.name))
                throw err::duplicateColumn(o.name, into.name);
        Column c;
        c.name = o.name;
        c.type = o.type.base == Base::Unknown ? SqlType{Base::Int} : o.type;
        if (o.column) {
            c.type = o.column->type;
            c.notNull = o.column->notNull;
        }
        // The IDENTITY property travels with a plain column of a single table, as in SQL Server.
        if (o.fromIdentity && q.singleTable && !identity) {
            Compiler probe(m_catalog, m_current);
            const auto &from = s.members.front().from;
            if (from) {
                const Table src = probe.target(from->name);
                if (src.identity)
                    identity = Identity{c.name, src.identity->seed, src.identity->step, std::nullopt};
            }
        }
        cols.push_back(std::move(c));
    }
    Transaction tx(m_db);
    exec(m_db, Catalog::createTableSql(db, into.name, cols));
    std::string names, values;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        names += (i ? ", " : "") + quoteName(cols[i].name);
        values += (i ? ", " : "") + std::string("c") + std::to_string(i);
    }
    exec(m_db, "INSERT INTO " + quoteName(db) + "." + quoteName(into.name) + " (" + names + ") SELECT " + values +
                   " FROM (" + q.sql + ")",
         FailureContext{db + ".dbo." + into.name, "INSERT"});
    const std::int64_t n = sqlite3_changes64(m_db);
    if (identity) {
        if (n > 0) {
            Stmt m(m_db, "SELECT " + std::string(identity->step > 0 ? "max(" : "min(") + quoteName(identity->column) +
                             ") FROM " + quoteName(db) + "." + quoteName(into.name));
            m.step();
            identity->last = m.integer(0);
        }
        m_catalog.saveIdentity(db, into.name, *identity);
    }
    tx.commit();
    return n;
}

void Engine::rebuild(const Table &t, const std::vector<Column> &columns, const std::vector<std::string> &values)
{
    const std::vector<std::string> indexes = m_catalog.indexSql(t.database, t.name);
    const std::string old = "__tsql_old_" + t.name;
    exec(m_db, "ALTER TABLE " + t.sqlName() + " RENAME TO " + quoteName(old));
    exec(m_db, Catalog::createTableSql(t.database, t.name, columns));
    std::string names, list;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        names += (i ? ", " : "") + quoteName(columns[i].name);
        list += (i ? ", " : "") + values[i];
    }
    exec(m_db, "INSERT INTO " + t.sqlName() + " (" + names + ") SELECT " + list + " FROM " + quoteName(t.database) +
                   "." + quoteName(old) + " AS o ORDER BY o.rowid",
         FailureContext{t.fullName(), "UPDATE"});
    exec(m_db, "DROP TABLE " + quoteName(t.database) + "." + quoteName(old));
    for (const auto &sql : indexes)
        exec(m_db, sql);
}

void Engine::rewriteDefinition(const Table &t, const std::vector<Column> &columns)
{
    // The stored values stay valid (same storage class and collation), so only the declared
    // definition changes: no copy of a million-row table for a wider varchar.
    Stmt version(m_db, "PRAGMA " + quoteName(t.database) + ".schema_version");
    version.step();
    const std::int64_t v = version.integer(0);
    exec(m_db, "PRAGMA writable_schema = ON");
    try {
        Stmt u(m_db, "UPDATE " + quoteName(t.database) + ".sqlite_master SET sql = ?1 WHERE type = 'table' AND name = ?2");
        u.bind(1, Catalog::createTableSql({}, t.name, columns));
        u.bind(2, t.name);
        u.step();
        exec(m_db, "PRAGMA " + quoteName(t.database) + ".schema_version = " + std::to_string(v + 1));
    } catch (...) {
        sqlite3_exec(m_db, "PRAGMA writable_schema = OFF", nullptr, nullptr, nullptr);
        throw;
    }
    exec(m_db, "PRAGMA writable_schema = OFF");
}

void Engine::alterAdd(const ast::Statement &s)
{
    auto found = m_catalog.find(s.table, m_current);
    if (!found || !found->source.empty())
        throw cannotFindForAlter(s.table.written);
    const Table &t = *found;
    std::vector<Column> cols = t.columns;
    std::vector<std::string> values;
    for (const auto &c : t.columns)
        values.push_back("o." + quoteName(c.name));
    std::optional<Identity> identity;
    bool needRebuild = false;
    std::vector<Column> added;
    bool hasRows = false;
    {
        Stmt any(m_db, "SELECT 1 FROM " + t.sqlName() + " LIMIT 1");
        hasRows = any.step();
    }
    for (const auto &d : s.defs) {
        for (const auto &c : cols)
            if (iequals(c.name, d.name))
                throw err::duplicateColumn(d.name, t.name);
        Column c = columnFromDef(d);
        std::string value = c.defaultSql.empty() ? "NULL" : c.defaultSql;
        if (d.identity) {
            if (t.identity || identity)
                throw err::multipleIdentity(t.name);
            checkIdentityType(d, t.name);
            identity = Identity{d.name, d.seed, d.step, std::nullopt};
            // Existing rows are numbered in the order they were stored.
            value = std::to_string(d.seed) + " + " + std::to_string(d.step) + " * (row_number() OVER (ORDER BY o.rowid) - 1)";
            needRebuild = true;
        } else if (c.notNull && c.defaultSql.empty()) {
            if (hasRows)
                throw Error(4901, 16, 1, "ALTER TABLE only allows columns to be added that can contain nulls, or have a "
                                         "DEFAULT definition specified, or the column being added is an identity or "
                                         "timestamp column, or alternatively if none of the previous conditions are "
                                         "satisfied the table must be empty to allow addition of this column. Column '" +
                                             d.name + "' cannot be added to non-empty table '" + t.name +
                                             "' because it does not satisfy these conditions.");
            needRebuild = true;
        }
        if (c.pk)
            needRebuild = true;
        cols.push_back(c);
        added.push_back(c);
        values.push_back(value);
    }
    if (!needRebuild) {
        for (const auto &c : added)
            exec(m_db, "ALTER TABLE " + t.sqlName() + " ADD COLUMN " + Catalog::columnSql(c));
        return;
    }
    rebuild(t, cols, values);
    if (identity) {
        Stmt count(m_db, "SELECT count(*) FROM " + t.sqlName());
        count.step();
        const std::int64_t n = count.integer(0);
        if (n > 0)
            identity->last = identity->seed + identity->step * (n - 1);
        m_catalog.saveIdentity(t.database, t.name, *identity);
    }
}

void Engine::alterColumn(const ast::Statement &s)
{
    auto found = m_catalog.find(s.table, m_current);
    if (!found || !found->source.empty())
        throw cannotFindForAlter(s.table.written);
    const Table &t = *found;
    const ast::ColumnDef &d = s.defs.front();
    const int index = t.find(d.name);
    if (index < 0)
        throw err::alterMissingColumn(d.name, s.table.name);
    const Column &old = t.columns[static_cast<std::size_t>(index)];
    if (t.identity && iequals(t.identity->column, old.name))
        throw Error(4928, 16, 1, "Cannot alter column '" + old.name + "' because it is 'IDENTITY'.");
    Column nc = old;
    nc.type = d.type;
    nc.notNull = d.nullable.has_value() && !*d.nullable;
    const bool textToText = old.type.isText() && nc.type.isText() && nc.type.base != Base::Char && nc.type.base != Base::NChar;
    const bool widerText = textToText && old.type.base == nc.type.base &&
                           (nc.type.length == -1 || (old.type.length != -1 && nc.type.length >= old.type.length));
    if (old.pk)
        throw Error(5074, 16, 1, "The object 'PK_" + t.name + "' is dependent on column '" + old.name + "'.");
    if (!widerText) {
        const auto indexes = m_catalog.indexesOn(t.database, t.name, old.name);
        if (!indexes.empty()) {
            std::string name = indexes.front();
            const auto dollar = name.find('$');
            if (dollar != std::string::npos)
                name = name.substr(dollar + 1);
            throw Error(5074, 16, 1, "The index '" + name + "' is dependent on column '" + old.name + "'.");
        }
    }
    const std::string col = "o." + quoteName(old.name);
    if (nc.notNull && !old.notNull) {
        Stmt nulls(m_db, "SELECT 1 FROM " + t.sqlName() + " AS o WHERE " + col + " IS NULL LIMIT 1");
        if (nulls.step())
            throw err::notNull(old.name, t.fullName(), "UPDATE");
    }
    std::vector<Column> cols = t.columns;
    cols[static_cast<std::size_t>(index)] = nc;
    const int rankOld = integerRank(old.type.base), rankNew = integerRank(nc.type.base);
    const bool widerInteger = rankOld >= 0 && rankNew >= 0 && rankNew >= rankOld && old.type.base != Base::Bit;
    const bool sameDate = old.type.isDateTime() && nc.type.base == old.type.base;
    if (textToText || widerInteger || sameDate) {
        // A value stored under the old length already fits a length at least as large.
        if (textToText && !widerText && nc.type.maxLength() > 0) {
            Stmt longer(m_db, "SELECT " + col + " FROM " + t.sqlName() + " AS o WHERE tsql_len(" + col + ") > " +
                                  std::to_string(nc.type.maxLength()) + " LIMIT 1");
            if (longer.step())
                throw err::truncated(t.fullName(), old.name,
                                     utf8Left(longer.text(0), static_cast<std::size_t>(nc.type.maxLength())));
        }
        rewriteDefinition(t, cols);
        return;
    }
    std::vector<std::string> values;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const std::string v = "o." + quoteName(t.columns[i].name);
        values.push_back(static_cast<int>(i) == index ? Compiler::storeExpr(v, old.type, nc, t) : v);
    }
    // A column holding only NULLs (a column just added, say) has nothing to convert: the new
    // definition alone will do, without copying the table.
    bool onlyNulls = false;
    {
        Stmt any(m_db, "SELECT 1 FROM " + t.sqlName() + " AS o WHERE " + col + " IS NOT NULL LIMIT 1");
        onlyNulls = !any.step();
    }
    if (onlyNulls)
        rewriteDefinition(t, cols);
    else
        rebuild(t, cols, values);
}

void Engine::createIndex(const ast::Statement &s)
{
    auto found = m_catalog.find(s.table, m_current);
    if (!found || !found->source.empty())
        throw Error(1088, 16, 12, "Cannot find the object \"" + s.table.written +
                                      "\" because it does not exist or you do not have permissions.");
    const Table &t = *found;
    // SQLite index names are per database, SQL Server's per table: the table name keeps them apart.
    const std::string name = t.name + "$" + s.name;
    {
        Stmt exists(m_db, "SELECT 1 FROM " + quoteName(t.database) +
                              ".sqlite_master WHERE type = 'index' AND name = ?1 COLLATE NOCASE");
        exists.bind(1, name);
        if (exists.step())
            throw Error(1913, 16, 1, "The operation failed because an index or statistics with name '" + s.name +
                                         "' already exists on table '" + t.fullName() + "'.");
    }
    std::string cols;
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
        const int c = t.find(s.columns[i]);
        if (c < 0)
            throw Error(1911, 16, 1, "Column name '" + s.columns[i] + "' does not exist in the target table or view.");
        cols += (i ? ", " : "") + quoteName(t.columns[static_cast<std::size_t>(c)].name) + (s.descending[i] ? " DESC" : "");
    }
    try {
        exec(m_db, std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " + quoteName(t.database) + "." +
                       quoteName(name) + " ON " + quoteName(t.name) + " (" + cols + ")");
    } catch (const Error &e) {
        if (e.number() == 2627 || e.number() == 2601)
            throw Error(1505, 16, 1, "The CREATE UNIQUE INDEX statement terminated because a duplicate key was found "
                                     "for the object name '" + t.fullName() + "' and the index name '" + s.name +
                                         "'.");
        throw;
    }
}

void Engine::dropIndex(const ast::Statement &s)
{
    auto found = m_catalog.find(s.table, m_current);
    const std::string written = s.table.written + "." + s.name;
    if (!found || !found->source.empty())
        throw Error(3701, 11, 7, "Cannot drop the index '" + written + "', because it does not exist or you do not have permission.");
    Stmt exists(m_db, "SELECT name FROM " + quoteName(found->database) +
                          ".sqlite_master WHERE type = 'index' AND name = ?1 COLLATE NOCASE");
    exists.bind(1, found->name + "$" + s.name);
    if (!exists.step())
        throw Error(3701, 11, 7, "Cannot drop the index '" + written + "', because it does not exist or you do not have permission.");
    exec(m_db, "DROP INDEX " + quoteName(found->database) + "." + quoteName(exists.text(0)));
}

} // namespace tsql
