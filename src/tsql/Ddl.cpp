// CREATE, ALTER and DROP TABLE, TRUNCATE, CREATE and DROP DATABASE, and the dispatch of every
// schema statement.

#include "tsql/Ddl.h"

#include "tsql/Batch.h"
#include "tsql/Convert.h"
#include "tsql/Text.h"
#include "tsql/Errors.h"
#include "tsql/Parser.h"
#include "tsql/SystemProcedureSupport.h"

#include <algorithm>

namespace tsql::ddl {

using ast::AlterTable;
using ast::ColumnDef;
using ast::Constraint;
using ast::CreateIndex;
using ast::CreateTable;
using ast::CreateView;
using ast::DropIndex;
using ast::DropTable;
using ast::DropView;
using ast::Expr;
using ast::Literal;
using ast::NamedTable;
using ast::ObjectName;
using ast::SelectStatement;
using ast::Statement;
using ast::TableRef;
using ast::Truncate;
using ast::Unary;
using ast::VariableDef;
using sqlite::quoteName;

void createIndex(BatchRunner &b, const CreateIndex &s);
void dropIndex(BatchRunner &b, const DropIndex &s);
void createView(BatchRunner &b, const CreateView &s);
void dropView(BatchRunner &b, const DropView &s);

namespace {

int integerRank(Base base)
{
    switch (base) {
    case Base::Bit: return 0;
    case Base::TinyInt: return 1;
    case Base::SmallInt: return 2;
    case Base::Int: return 3;
    case Base::BigInt: return 4;
    default: return -1;
    }
}

void checkIdentityType(const ColumnDef &d)
{
    const bool ok = d.type.isInteger() ? d.type.base != Base::Bit : d.type.isDecimal() && d.type.scale == 0;
    if (!ok)
        throw err::make(2749, d.name);
}

SqlType declaredType(SqlType t)
{
    // A declared text or binary type without a length is one long.
    if ((t.isText() || t.isBinary()) && t.length == 0 && t.base != Base::Text && t.base != Base::NText &&
        t.base != Base::Image)
        t.length = 1;
    return t;
}

std::string databaseOf(BatchRunner &b, const ObjectName &n)
{
    Engine &e = b.engine();
    auto db = e.catalog().databaseFor(n, e.currentDatabase());
    if (!db) {
        if (!n.database.empty())
            throw err::make(2702, n.database);
        throw err::make(208, n.written);
    }
    if (!n.isTemp() && !n.schema.empty() && !iequals(n.schema, "dbo"))
        throw err::make(2760, n.schema);
    return *db;
}

// A computed column as SQLite generates it, and the type its expression gives it.
struct ComputedColumn {
    std::string sql;
    SqlType type;
};

// The SQLite CREATE TABLE of a table: its columns with their T-SQL types, computed columns
// as SQLite's generated columns typed by their expressions, and its primary key.
std::string tableSql(const std::string &db, const std::string &name, const std::vector<Column> &columns,
                     const std::string &pkName, const std::vector<std::string> &pk,
                     const std::map<std::string, ComputedColumn> &computed)
{
    std::string sql = "CREATE TABLE " + quoteName(db) + "." + quoteName(name) + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (auto it = computed.find(lower(columns[i].name)); it != computed.end()) {
            // SQL Server types a computed column by its expression: CONVERT(varchar, d, 101) is a
            // varchar(30), which an equality with a day's text compares as text.
            Column c = columns[i];
            c.type = it->second.type;
            sql += (i ? ", " : "") + Catalog::columnSql(c) + " AS (" + it->second.sql + ") VIRTUAL";
        } else {
            sql += (i ? ", " : "") + Catalog::columnSql(columns[i]);
        }
    }
    if (!pk.empty()) {
        sql += ", CONSTRAINT " + quoteName(pkName) + " PRIMARY KEY (";
        for (std::size_t i = 0; i < pk.size(); ++i)
            sql += (i ? ", " : "") + quoteName(pk[i]);
        sql += ")";
    }
    return sql + ")";
}

// Computed columns' SQL over the row's own columns.
std::map<std::string, ComputedColumn> computedSql(BatchRunner &b, const std::string &db, const std::vector<Column> &columns)
{
    std::map<std::string, ComputedColumn> out;
    Scope scope;
    Source src;
    src.alias = "row";
    for (const Column &c : columns) {
        if (!c.computed.empty())
            continue;
        SourceColumn sc;
        sc.name = c.name;
        sc.type = c.type;
        sc.sql = quoteName(c.name);
        src.columns.push_back(sc);
    }
    scope.sources.push_back(src);
    for (const Column &c : columns) {
        if (c.computed.empty())
            continue;
        const std::string text = "SELECT " + c.computed;
        const std::vector<Token> tokens = tokenize(text);
        Parser p(text, tokens);
        auto stmt = p.statement();
        Compiler comp(b.engine().catalog(), db, nullptr, CompileOptions{true, true});
        const Bound v = comp.expression(*stmt->as<SelectStatement>().query->first().items.front().expr, scope);
        if (v.aggregate || v.window)
            throw err::make(130);
        out[lower(c.name)] = ComputedColumn{v.sql, v.type};
    }
    return out;
}

// SQL Server refuses to drop or retype a column something else depends on: 5074 naming the
// first such object, then 4922 for the statement.
[[noreturn]] void refuseDependent(BatchRunner &b, const std::string &kind, const std::string &object,
                                  const std::string &column, const std::string &action)
{
    sysproc::report(b, err::make(5074, kind, object, column));
    throw err::make(4922, action, column);
}

// The first computed column of a table whose expression reads a column: compiled without that
// column, it fails with 207.
std::string computedUsing(BatchRunner &b, const Table &t, const std::string &column)
{
    for (const Column &x : t.columns) {
        if (x.computed.empty())
            continue;
        std::vector<Column> others;
        for (const Column &c : t.columns)
            if (c.computed.empty() && !iequals(c.name, column))
                others.push_back(c);
        others.push_back(x);
        try {
            computedSql(b, t.database, others);
        } catch (const Error &e) {
            if (e.number() == 207)
                return x.name;
            throw;
        }
    }
    return {};
}

std::vector<std::string> primaryKeyOf(const Table &t)
{
    std::vector<std::string> pk;
    if (const Index *i = t.primaryKey(); i && i->sqliteName.empty())
        for (const auto &[c, desc] : i->columns)
            pk.push_back(c);
    return pk;
}

std::string primaryKeyName(const Table &t)
{
    const Index *i = t.primaryKey();
    return i && i->sqliteName.empty() ? i->name : "PK_" + t.name;
}

// Rewrites a table's definition in place, for changes that leave the stored values valid (same
// storage class and collation): no copy of a million-row table for a wider varchar.
void rewriteDefinition(BatchRunner &b, const Table &t, const std::vector<Column> &columns)
{
    sqlite::Connection &c = b.engine().connection();
    sqlite::Stmt version(c, "PRAGMA " + quoteName(t.database) + ".schema_version");
    version.step();
    const std::int64_t v = version.integer(0);
    std::string sql = tableSql(t.database, t.name, columns, primaryKeyName(t), primaryKeyOf(t),
                               computedSql(b, t.database, columns));
    // SQLite keeps the statement without the database's name.
    sql.replace(0, std::string("CREATE TABLE " + quoteName(t.database) + ".").size(), "CREATE TABLE ");
    sqlite::exec(c, "PRAGMA writable_schema = ON");
    try {
        sqlite::Stmt u(c, "UPDATE " + quoteName(t.database) + ".sqlite_master SET sql = ?1 WHERE type = 'table' AND name = ?2");
        u.bind(1, sql);
        u.bind(2, t.name);
        u.step();
        sqlite::exec(c, "PRAGMA " + quoteName(t.database) + ".schema_version = " + std::to_string(v + 1));
    } catch (...) {
        sqlite3_exec(c.handle(), "PRAGMA writable_schema = OFF", nullptr, nullptr, nullptr);
        throw;
    }
    sqlite::exec(c, "PRAGMA writable_schema = OFF");
    b.engine().catalog().invalidate();
}

Column columnFrom(const ColumnDef &d, bool inPrimaryKey)
{
    Column c;
    c.name = d.name;
    c.type = declaredType(d.type);
    c.nullable = !(d.nullable.has_value() && !*d.nullable) && !d.identity && !inPrimaryKey;
    c.identity = d.identity;
    c.computed = d.computedText;
    if (d.computed)
        c.nullable = true;
    return c;
}

std::vector<std::string> pkColumns(const std::vector<Constraint> &constraints, std::string &name)
{
    std::vector<std::string> pk;
    for (const Constraint &c : constraints) {
        if (c.kind != Constraint::Kind::PrimaryKey)
            continue;
        if (!pk.empty())
            throw err::make(8110, "");
        for (const auto &[col, desc] : c.columns)
            pk.push_back(col);
        name = c.name;
    }
    return pk;
}

void createTable(BatchRunner &b, const CreateTable &s)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    const std::string db = databaseOf(b, s.table);
    e.refuseReadOnly(db);
    if (cat.objectExists(db, s.table.name))
        throw err::make(2714, s.table.name);
    std::string pkName;
    std::vector<std::string> pk;
    try {
        pk = pkColumns(s.constraints, pkName);
    } catch (const Error &) {
        throw err::make(8110, s.table.name);
    }
    if (pkName.empty())
        pkName = "PK_" + s.table.name;
    std::vector<Column> cols;
    std::optional<Identity> identity;
    for (const ColumnDef &d : s.columns) {
        for (const Column &c : cols)
            if (iequals(c.name, d.name))
                throw err::make(2705, d.name, s.table.name);
        const bool inPk = std::any_of(pk.begin(), pk.end(), [&](const std::string &p) { return iequals(p, d.name); });
        if (inPk && d.nullable.value_or(false))
            throw err::make(8111, s.table.name);
        if (d.identity) {
            if (identity)
                throw err::make(2744, s.table.name);
            checkIdentityType(d);
            identity = Identity{d.name, d.seed, d.step, std::nullopt};
        }
        cols.push_back(columnFrom(d, inPk));
    }
    for (const std::string &p : pk)
        if (std::none_of(cols.begin(), cols.end(), [&](const Column &c) { return iequals(c.name, p); }))
            throw err::make(1911, p);
    const std::string name = s.table.name;
    sqlite::exec(e.connection(), tableSql(db, name, cols, pkName, pk, computedSql(b, db, cols)));
    cat.registerObject(db, name, "U");
    if (!pk.empty() && !iequals(pkName, "PK_" + name))
        cat.registerObject(db, pkName, "PK", name);
    for (const ColumnDef &d : s.columns) {
        if (d.defaultValue)
            cat.registerObject(db, d.defaultName.empty() ? "DF_" + name + "_" + d.name : d.defaultName, "D", name, d.name,
                               defaultDefinition(*d.defaultValue, d.defaultText));
        if (d.computed)
            cat.registerObject(db, name + "$" + d.name, "CC", name, d.name, d.computedText);
    }
    if (identity)
        cat.saveIdentity(db, name, *identity);
    std::vector<Constraint> rest;
    TablePtr t = cat.load(db, name);
    addConstraints(b, *t, s.constraints, true, &s.columns);
}

// ALTER TABLE ... ADD columns: in place where SQLite can, by a rebuild where the new column
// needs values in the rows already there (an identity, NOT NULL with a default).
void addColumns(BatchRunner &b, const Table &t, const AlterTable &s)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    std::vector<Column> cols = t.columns;
    std::vector<std::string> values;
    for (const Column &c : t.columns)
        values.push_back(c.computed.empty() ? "o." + quoteName(c.name) : "NULL");
    std::optional<Identity> identity;
    bool needRebuild = false;
    bool hasRows = false;
    {
        sqlite::Stmt any(e.connection(), "SELECT 1 FROM " + t.sqlName() + " LIMIT 1");
        hasRows = any.step();
    }
    std::string pkName;
    const std::vector<std::string> pk = pkColumns(s.constraints, pkName);
    std::vector<Column> added;
    for (const ColumnDef &d : s.columns) {
        for (const Column &c : cols)
            if (iequals(c.name, d.name))
                throw err::make(2705, d.name, t.name);
        const bool inPk = std::any_of(pk.begin(), pk.end(), [&](const std::string &p) { return iequals(p, d.name); });
        Column c = columnFrom(d, inPk);
        std::string value = "NULL";
        if (d.identity) {
            if (t.identity || identity)
                throw err::make(2744, t.name);
            checkIdentityType(d);
            identity = Identity{d.name, d.seed, d.step, std::nullopt};
            // Existing rows are numbered in the order they were stored.
            value = std::to_string(d.seed) + " + " + std::to_string(d.step) + " * (row_number() OVER (ORDER BY o.rowid) - 1)";
            needRebuild = true;
        } else if ((!c.nullable || (d.withValues && d.defaultValue)) && !d.computed) {
            if (d.defaultValue) {
                // The rows already there take the default, as SQL Server fills a NOT NULL column.
                Compiler comp(cat, t.database, nullptr, CompileOptions{true, true});
                const Bound v = comp.expr(*d.defaultValue);
                value = comp.store(v, c, t);
                needRebuild = true;
            } else if (hasRows) {
                throw err::make(4901, d.name, t.name);
            } else {
                needRebuild = true;
            }
        }
        if (d.computed)
            needRebuild = true;
        cols.push_back(c);
        added.push_back(c);
        values.push_back(value);
    }
    if (!needRebuild) {
        for (const Column &c : added)
            sqlite::exec(e.connection(), "ALTER TABLE " + t.sqlName() + " ADD COLUMN " + Catalog::columnSql(c));
    } else {
        rebuild(b, t, cols, values);
    }
    for (const ColumnDef &d : s.columns) {
        if (d.defaultValue)
            cat.registerObject(t.database, d.defaultName.empty() ? "DF_" + t.name + "_" + d.name : d.defaultName, "D", t.name,
                               d.name, defaultDefinition(*d.defaultValue, d.defaultText));
        if (d.computed)
            cat.registerObject(t.database, t.name + "$" + d.name, "CC", t.name, d.name, d.computedText);
    }
    if (identity) {
        sqlite::Stmt count(e.connection(), "SELECT count(*) FROM " + t.sqlName());
        count.step();
        const std::int64_t n = count.integer(0);
        if (n > 0)
            identity->last = identity->seed + identity->step * (n - 1);
        cat.saveIdentity(t.database, t.name, *identity);
    }
    cat.invalidate();
    TablePtr now = cat.load(t.database, t.name);
    addConstraints(b, *now, s.constraints, true, &s.columns);
}

void alterColumn(BatchRunner &b, const Table &t, const ColumnDef &d, const std::string &written)
{
    Engine &e = b.engine();
    const int index = t.find(d.name);
    if (index < 0)
        throw err::make(4924, "ALTER COLUMN", d.name, written);
    const Column &old = t.columns[static_cast<std::size_t>(index)];
    if (old.identity)
        throw err::make(4928, old.name, "IDENTITY");
    if (!old.computed.empty())
        throw err::make(4928, old.name, "COMPUTED");
    Column nc = old;
    nc.type = declaredType(d.type);
    nc.nullable = !(d.nullable.has_value() && !*d.nullable);
    const bool textToText = old.type.isText() && nc.type.isText() && !nc.type.isFixedLength();
    const bool widerText = textToText && old.type.base == nc.type.base &&
                           (nc.type.length == -1 || (old.type.length != -1 && nc.type.length >= old.type.length));
    for (const Index &ix : t.indexes) {
        const bool uses = std::any_of(ix.columns.begin(), ix.columns.end(),
                                      [&](const auto &c) { return iequals(c.first, old.name); });
        if (!uses)
            continue;
        if (ix.primaryKey || ix.constraint)
            refuseDependent(b, "object", ix.name, old.name, "ALTER COLUMN");
        if (!widerText)
            refuseDependent(b, "index", ix.name, old.name, "ALTER COLUMN");
    }
    if (const std::string user = computedUsing(b, t, old.name); !user.empty())
        refuseDependent(b, "column", user, old.name, "ALTER COLUMN");
    const std::string col = "o." + quoteName(old.name);
    if (!nc.nullable && old.nullable) {
        sqlite::Stmt nulls(e.connection(), "SELECT 1 FROM " + t.sqlName() + " AS o WHERE " + col + " IS NULL LIMIT 1");
        if (nulls.step())
            throw err::make(515, old.name, t.fullName(), "UPDATE");
    }
    std::vector<Column> cols = t.columns;
    cols[static_cast<std::size_t>(index)] = nc;
    const int rankOld = integerRank(old.type.base), rankNew = integerRank(nc.type.base);
    const bool widerInteger = rankOld >= 0 && rankNew >= 0 && rankNew >= rankOld && old.type.base != Base::Bit;
    const bool sameDate = old.type.isDateTime() && nc.type.base == old.type.base;
    if (textToText || widerInteger || sameDate) {
        // A value stored under the old length already fits a length at least as large.
        if (textToText && !widerText && nc.type.maxLength() > 0) {
            sqlite::Stmt longer(e.connection(), "SELECT " + col + " FROM " + t.sqlName() + " AS o WHERE tsql_fn(" +
                                                    std::to_string(fn::indexOf(*fn::find("len"))) + ", " +
                                                    std::to_string(SqlType{Base::Int}.code()) + ", NULL, " + col + ", " +
                                                    std::to_string(old.type.code()) + ") > " +
                                                    std::to_string(nc.type.maxLength()) + " LIMIT 1");
            if (longer.step())
                throw err::make(2628, t.fullName(), old.name,
                                text::left(longer.text(0), static_cast<std::size_t>(nc.type.maxLength())));
        }
        rewriteDefinition(b, t, cols);
        return;
    }
    std::vector<std::string> values;
    Compiler comp(e.catalog(), t.database, nullptr, CompileOptions{true, true});
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const std::string v = "o." + quoteName(t.columns[i].name);
        if (!t.columns[i].computed.empty()) {
            values.push_back("NULL");
        } else if (static_cast<int>(i) == index) {
            Bound bv;
            bv.sql = v;
            bv.type = old.type;
            bv.constant = false;
            conv::check(old.type, nc.type, false);
            values.push_back("tsql_store(" + v + ", " + std::to_string(old.type.code()) + ", " +
                             std::to_string(nc.type.code()) + ", " + sqlite::quoteLiteral(t.fullName()) + ", " +
                             sqlite::quoteLiteral(nc.name) + ")");
        } else {
            values.push_back(v);
        }
    }
    // A column holding only NULLs (a column just added, say) has nothing to convert: the new
    // definition alone will do, without copying the table.
    bool onlyNulls = false;
    {
        sqlite::Stmt any(e.connection(), "SELECT 1 FROM " + t.sqlName() + " AS o WHERE " + col + " IS NOT NULL LIMIT 1");
        onlyNulls = !any.step();
    }
    if (onlyNulls)
        rewriteDefinition(b, t, cols);
    else
        rebuild(b, t, cols, values);
}

void dropColumns(BatchRunner &b, const Table &t, const AlterTable &s)
{
    Engine &e = b.engine();
    for (const std::string &name : s.names) {
        TablePtr now = e.catalog().load(t.database, t.name);
        const int index = now->find(name);
        if (index < 0) {
            if (s.ifExists)
                continue;
            throw err::make(4924, "DROP COLUMN", name, s.table.name);
        }
        const Column &c = now->columns[static_cast<std::size_t>(index)];
        auto dependent = [&](const std::string &kind, const std::string &object) {
            refuseDependent(b, kind, object, c.name, "DROP COLUMN");
        };
        for (const Index &ix : now->indexes)
            for (const auto &[col, desc] : ix.columns)
                if (iequals(col, c.name))
                    dependent(ix.constraint ? "object" : "index", ix.name);
        if (!c.defaultName.empty())
            dependent("object", c.defaultName);
        for (const ForeignKey &fk : now->foreignKeys)
            for (const std::string &col : fk.columns)
                if (iequals(col, c.name))
                    dependent("object", fk.name);
        if (const std::string user = computedUsing(b, *now, c.name); !user.empty())
            dependent("column", user);
        int data = 0;
        for (const Column &x : now->columns)
            data += x.computed.empty() ? 1 : 0;
        if (data <= 1 && c.computed.empty())
            throw err::make(4923, c.name, t.name);
        if (c.identity)
            e.catalog().dropIdentity(t.database, t.name);
        if (!c.computed.empty())
            e.catalog().dropObject(t.database, t.name + "$" + c.name);
        // Triggers of CHECK constraints may name the column; they are made again afterwards.
        sqlite::Stmt triggers(e.connection(), "SELECT name FROM " + quoteName(t.database) +
                                                  ".sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE");
        triggers.bind(1, t.name);
        std::vector<std::string> names;
        while (triggers.step())
            names.push_back(triggers.text(0));
        for (const std::string &tr : names)
            sqlite::exec(e.connection(), "DROP TRIGGER " + quoteName(t.database) + "." + quoteName(tr));
        sqlite::exec(e.connection(), "ALTER TABLE " + t.sqlName() + " DROP COLUMN " + quoteName(c.name));
        e.catalog().invalidate();
        makeTriggers(b, t.database, t.name);
    }
}

void alterTable(BatchRunner &b, const AlterTable &s)
{
    Engine &e = b.engine();
    TablePtr t = e.catalog().find(s.table, e.currentDatabase());
    if (!t || !t->isReal())
        throw err::make(4902, s.table.written);
    e.refuseReadOnly(t->database);
    switch (s.action) {
    case AlterTable::Action::AddColumns: addColumns(b, *t, s); break;
    case AlterTable::Action::AddConstraints: addConstraints(b, *t, s.constraints, s.check, nullptr); break;
    case AlterTable::Action::AlterColumn: alterColumn(b, *t, s.columns.front(), s.table.name); break;
    case AlterTable::Action::DropColumns: dropColumns(b, *t, s); break;
    case AlterTable::Action::DropConstraints:
        for (const std::string &n : s.names)
            dropConstraint(b, *e.catalog().load(t->database, t->name), n, s.ifExists);
        break;
    case AlterTable::Action::CheckConstraints: {
        std::vector<std::string> names = s.names;
        if (names.size() == 1 && names[0] == "ALL") {
            names.clear();
            for (const Check &c : t->checks)
                names.push_back(c.name);
            for (const ForeignKey &f : t->foreignKeys)
                names.push_back(f.name);
        }
        for (const std::string &n : names) {
            const bool known = std::any_of(t->checks.begin(), t->checks.end(), [&](const Check &c) { return iequals(c.name, n); }) ||
                               std::any_of(t->foreignKeys.begin(), t->foreignKeys.end(),
                                           [&](const ForeignKey &f) { return iequals(f.name, n); });
            if (!known)
                throw err::make(4917, n);
            e.catalog().setDisabled(t->database, n, !s.check);
        }
        makeTriggers(b, t->database, t->name);
        break;
    }
    }
    e.catalog().invalidate();
}

void dropTable(BatchRunner &b, const DropTable &s)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    for (const ObjectName &n : s.tables) {
        TablePtr t;
        try {
            t = cat.find(n, e.currentDatabase());
        } catch (const Error &) {
        }
        if (!t || t->kind == Table::Kind::System) {
            if (s.ifExists)
                continue;
            throw err::make(3701, "table", n.written);
        }
        if (t->kind == Table::Kind::View)
            throw err::make(3705, n.written, n.written);
        e.refuseReadOnly(t->database);
        for (const std::string &other : cat.objectNames(t->database)) {
            if (iequals(other, t->name))
                continue;
            TablePtr o = cat.load(t->database, other);
            if (!o)
                continue;
            for (const ForeignKey &fk : o->foreignKeys)
                if (iequals(fk.refTable, t->name))
                    throw err::make(3726, t->name);
        }
        sqlite::exec(e.connection(), "DROP TABLE " + t->sqlName());
        cat.dropIdentity(t->database, t->name);
        cat.dropObjects(t->database, t->name);
        e.identityReset(*t);
        auto &ii = e.state().identityInsert;
        if (ii && iequals(ii->first, t->database) && iequals(ii->second, t->name))
            ii.reset();
        cat.invalidate();
    }
}

void truncate(BatchRunner &b, const Truncate &s)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    TablePtr t = cat.find(s.table, e.currentDatabase());
    if (!t || !t->isReal())
        throw err::make(4701, s.table.written);
    e.refuseReadOnly(t->database);
    for (const std::string &other : cat.objectNames(t->database)) {
        TablePtr o = cat.load(t->database, other);
        if (!o || iequals(other, t->name))
            continue;
        for (const ForeignKey &fk : o->foreignKeys)
            if (iequals(fk.refTable, t->name))
                throw err::make(4712, t->name);
    }
    sqlite::exec(e.connection(), "DELETE FROM " + t->sqlName());
    if (t->identity) {
        cat.setIdentityLast(t->database, t->name, std::nullopt);
        e.identityReset(*t);
    }
}

void database(BatchRunner &b, const ast::CreateDatabase &s)
{
    if (s.drop)
        throw err::make(40517, "DROP DATABASE");
    b.engine().createDatabase(s.name);
}

} // namespace

std::string defaultDefinition(const Expr &e, const std::string &written)
{
    // Parentheses written around the whole value are not kept: SQL Server adds its own.
    std::string inner = written;
    for (;;) {
        if (inner.size() < 2 || inner.front() != '(' || inner.back() != ')')
            break;
        int depth = 0;
        bool quoted = false;
        std::size_t closes = 0;
        for (std::size_t i = 0; i < inner.size() && !closes; ++i) {
            if (inner[i] == '\'')
                quoted = !quoted;
            else if (!quoted)
                depth += inner[i] == '(' ? 1 : inner[i] == ')' ? -1 : 0;
            if (depth == 0 && !quoted)
                closes = i;
        }
        if (closes != inner.size() - 1)
            break; // "(1) + (2)": the first parenthesis closes before the end
        inner = inner.substr(1, inner.size() - 2);
    }
    // As SQL Server shows a default: a number in two pairs of parentheses, anything else in one.
    if (e.kind == Expr::Kind::Literal && e.as<Literal>().type == Literal::Type::Number)
        return "((" + inner + "))";
    if (e.kind == Expr::Kind::Unary && e.as<Unary>().op == "-" && e.as<Unary>().operand->kind == Expr::Kind::Literal)
        return "((" + inner + "))";
    return "(" + inner + ")";
}

void rebuild(BatchRunner &b, const Table &t, const std::vector<Column> &columns, const std::vector<std::string> &values)
{
    Engine &e = b.engine();
    sqlite::Connection &c = e.connection();
    const std::vector<std::string> indexes = e.catalog().indexSql(t.database, t.name);
    const std::string old = "__tsql_old_" + t.name;
    sqlite::exec(c, "ALTER TABLE " + t.sqlName() + " RENAME TO " + quoteName(old));
    sqlite::exec(c, tableSql(t.database, t.name, columns, primaryKeyName(t), primaryKeyOf(t),
                             computedSql(b, t.database, columns)));
    std::string names, list;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].computed.empty())
            continue;
        names += (names.empty() ? "" : ", ") + quoteName(columns[i].name);
        list += (list.empty() ? "" : ", ") + values[i];
    }
    sqlite::exec(c, "INSERT INTO " + t.sqlName() + " (" + names + ") SELECT " + list + " FROM " + quoteName(t.database) +
                        "." + quoteName(old) + " AS o ORDER BY o.rowid",
                 sqlite::FailureContext{t.fullName(), "UPDATE"});
    sqlite::exec(c, "DROP TABLE " + quoteName(t.database) + "." + quoteName(old));
    for (const std::string &sql : indexes)
        sqlite::exec(c, sql);
    e.catalog().invalidate();
    makeTriggers(b, t.database, t.name);
}

void run(BatchRunner &b, const Statement &s)
{
    Engine &e = b.engine();
    e.settleCursors();
    if (s.kind == Statement::Kind::CreateDatabase) {
        database(b, s.as<ast::CreateDatabase>());
        return;
    }
    Engine::StatementScope scope(e);
    try {
        switch (s.kind) {
        case Statement::Kind::CreateTable: createTable(b, s.as<CreateTable>()); break;
        case Statement::Kind::AlterTable: alterTable(b, s.as<AlterTable>()); break;
        case Statement::Kind::DropTable: dropTable(b, s.as<DropTable>()); break;
        case Statement::Kind::Truncate: truncate(b, s.as<Truncate>()); break;
        case Statement::Kind::CreateIndex: createIndex(b, s.as<CreateIndex>()); break;
        case Statement::Kind::DropIndex: dropIndex(b, s.as<DropIndex>()); break;
        case Statement::Kind::CreateView: createView(b, s.as<CreateView>()); break;
        case Statement::Kind::DropView: dropView(b, s.as<DropView>()); break;
        default: throw err::internal("a statement the schema code does not take");
        }
    } catch (...) {
        e.catalog().invalidate();
        throw;
    }
    scope.commit();
    e.catalog().invalidate();
}

} // namespace tsql::ddl
