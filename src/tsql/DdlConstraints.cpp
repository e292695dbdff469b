// Constraints and indexes: PRIMARY KEY and UNIQUE as unique indexes, CHECK and FOREIGN KEY
// enforced by triggers the engine makes from the catalogue, DEFAULT as a catalogue row; CREATE
// and DROP INDEX; the wording of a duplicate key.

#include "tsql/Ddl.h"

#include "tsql/Batch.h"
#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Parser.h"
#include "tsql/Storage.h"
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
using sqlite::quoteLiteral;
using sqlite::quoteName;

namespace {

std::string joined(const std::vector<std::string> &v, const char *sep = ",")
{
    std::string s;
    for (const auto &x : v)
        s += (s.empty() ? "" : sep) + x;
    return s;
}

std::vector<std::string> names(const std::vector<std::pair<std::string, bool>> &cols)
{
    std::vector<std::string> out;
    for (const auto &[c, desc] : cols)
        out.push_back(c);
    return out;
}

// A CHECK condition over one row: NEW (triggers) or the table itself (checking existing rows).
Bound rowCondition(BatchRunner &b, const Table &t, const std::string &text, const std::string &rowPrefix)
{
    const std::string select = "SELECT 1 WHERE " + text;
    const std::vector<Token> tokens = tokenize(select);
    Parser p(select, tokens);
    auto stmt = p.statement();
    const Expr &cond = *stmt->as<SelectStatement>().query->first().where;
    Scope scope;
    Source src;
    src.alias = t.name;
    for (const Column &c : t.columns) {
        SourceColumn sc;
        sc.name = c.name;
        sc.type = c.type;
        sc.nullable = c.nullable;
        sc.sql = rowPrefix + quoteName(c.name);
        src.columns.push_back(sc);
    }
    scope.sources.push_back(src);
    Compiler comp(b.engine().catalog(), t.database, nullptr, CompileOptions{true, true});
    return comp.within(scope, [&] { return comp.condition(cond); });
}

std::string columnPart(const std::vector<std::string> &columns)
{
    return columns.size() == 1 ? ", column '" + columns.front() + "'" : std::string();
}

std::string fail547(const char *statement, const char *kind, const std::string &name, const std::string &db,
                    const std::string &table, const std::string &column)
{
    return "SELECT tsql_fail(547, " + quoteLiteral(statement) + ", " + quoteLiteral(kind) + ", " + quoteLiteral(name) +
           ", " + quoteLiteral(db) + ", " + quoteLiteral("dbo." + table) + ", " + quoteLiteral(column) + ")";
}

std::string keyMatch(const std::vector<std::string> &left, const std::string &leftPrefix,
                     const std::vector<std::string> &right, const std::string &rightPrefix)
{
    std::string s;
    for (std::size_t i = 0; i < left.size() && i < right.size(); ++i)
        s += (s.empty() ? "" : " AND ") + leftPrefix + quoteName(left[i]) + " = " + rightPrefix + quoteName(right[i]);
    return s;
}

std::string notNull(const std::vector<std::string> &cols, const std::string &prefix)
{
    std::string s;
    for (const auto &c : cols)
        s += (s.empty() ? "" : " AND ") + prefix + quoteName(c) + " IS NOT NULL";
    return s;
}

void dropTriggers(sqlite::Connection &c, const std::string &db, const std::string &table)
{
    sqlite::Stmt s(c, "SELECT name FROM " + quoteName(db) +
                          ".sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE NOCASE AND name LIKE 'tsql$%'");
    s.bind(1, table);
    std::vector<std::string> triggers;
    while (s.step())
        triggers.push_back(s.text(0));
    for (const auto &tr : triggers)
        sqlite::exec(c, "DROP TRIGGER " + quoteName(db) + "." + quoteName(tr));
}

void makeOwnTriggers(BatchRunner &b, const Table &t)
{
    sqlite::Connection &c = b.engine().connection();
    dropTriggers(c, t.database, t.name);
    const std::string on = " ON " + quoteName(t.name);
    auto trigger = [&](const std::string &name, const std::string &when, const std::string &body) {
        sqlite::exec(c, "CREATE TRIGGER " + quoteName(t.database) + "." + quoteName("tsql$" + t.name + "$" + name) +
                            " " + when + " BEGIN " + body + "; END");
    };
    for (const Check &ck : t.checks) {
        if (!ck.enabled)
            continue;
        const Bound cond = rowCondition(b, t, ck.definition, "NEW.");
        std::vector<std::string> cols;
        for (const Column &col : t.columns)
            if (ck.definition.find(col.name) != std::string::npos)
                cols.push_back(col.name);
        for (const char *event : {"INSERT", "UPDATE"})
            trigger(ck.name + "$" + event, std::string("BEFORE ") + event + on + " WHEN NOT coalesce(" + cond.sql + ", 1)",
                    fail547(event, "CHECK", ck.name, t.database, t.name, columnPart(cols)));
    }
    // The referencing side: a new or changed row must find its parent.
    for (const ForeignKey &fk : t.foreignKeys) {
        if (!fk.enabled)
            continue;
        const std::string exists = "NOT EXISTS (SELECT 1 FROM " + quoteName(fk.refTable) + " AS p WHERE " +
                                   keyMatch(fk.refColumns, "p.", fk.columns, "NEW.") + ")";
        for (const char *event : {"INSERT", "UPDATE"})
            trigger(fk.name + "$" + event, std::string("BEFORE ") + event + on + " WHEN " + notNull(fk.columns, "NEW.") +
                                               " AND " + exists,
                    fail547(event, "FOREIGN KEY", fk.name, t.database, fk.refTable, columnPart(fk.refColumns)));
    }
}

// The referenced side: a parent row may not leave its children without a parent, unless the
// key says to cascade or to clear them.
void makeParentTriggers(BatchRunner &b, const Table &parent, const Table &child, const ForeignKey &fk)
{
    sqlite::Connection &c = b.engine().connection();
    const std::string on = " ON " + quoteName(parent.name);
    auto trigger = [&](const std::string &name, const std::string &when, const std::string &body) {
        sqlite::exec(c, "CREATE TRIGGER " + quoteName(parent.database) + "." +
                            quoteName("tsql$" + parent.name + "$" + fk.name + "$" + name) + " " + when + " BEGIN " + body +
                            "; END");
    };
    const std::string children = "EXISTS (SELECT 1 FROM " + quoteName(child.name) + " AS ch WHERE " +
                                 keyMatch(fk.columns, "ch.", fk.refColumns, "OLD.") + ")";
    std::string changed;
    for (const auto &col : fk.refColumns)
        changed += (changed.empty() ? "" : " OR ") + std::string("OLD.") + quoteName(col) + " IS NOT NEW." + quoteName(col);
    auto action = [&](const std::string &kind, const char *event, const std::string &change) {
        if (kind == "CASCADE" && std::string(event) == "DELETE") {
            trigger("parent$DELETE", "AFTER DELETE" + on,
                    "DELETE FROM " + quoteName(child.name) + " WHERE " + keyMatch(fk.columns, "", fk.refColumns, "OLD."));
        } else if (kind == "CASCADE") {
            std::string set;
            for (std::size_t i = 0; i < fk.columns.size(); ++i)
                set += (set.empty() ? "" : ", ") + quoteName(fk.columns[i]) + " = NEW." + quoteName(fk.refColumns[i]);
            trigger("parent$UPDATE", "AFTER UPDATE" + on + " WHEN " + change,
                    "UPDATE " + quoteName(child.name) + " SET " + set + " WHERE " + keyMatch(fk.columns, "", fk.refColumns, "OLD."));
        } else if (kind == "SET NULL" || kind == "SET DEFAULT") {
            std::string set;
            for (const auto &col : fk.columns)
                set += (set.empty() ? "" : ", ") + quoteName(col) + " = NULL";
            trigger(std::string("parent$") + event, std::string("AFTER ") + event + on +
                                                        (change.empty() ? "" : " WHEN " + change),
                    "UPDATE " + quoteName(child.name) + " SET " + set + " WHERE " + keyMatch(fk.columns, "", fk.refColumns, "OLD."));
        } else {
            trigger(std::string("parent$") + event, std::string("BEFORE ") + event + on + " WHEN " +
                                                        (change.empty() ? "" : "(" + change + ") AND ") + children,
                    fail547(event, "REFERENCE", fk.name, child.database, child.name, columnPart(fk.columns)));
        }
    };
    action(fk.onDelete, "DELETE", "");
    action(fk.onUpdate, "UPDATE", changed);
}

void checkExisting(BatchRunner &b, const Table &t, const std::string &condition, const std::string &name,
                   const char *kind, const std::string &table, const std::vector<std::string> &columns)
{
    sqlite::Stmt any(b.engine().connection(), "SELECT 1 FROM " + t.sqlName() + " WHERE NOT coalesce(" + condition + ", 1) LIMIT 1");
    if (any.step())
        throw err::make(547, {"ALTER TABLE", kind, name, t.database, "dbo." + table, columnPart(columns)});
}

std::string keyValue(const std::vector<Value> &values)
{
    std::string s;
    for (const Value &v : values)
        s += (s.empty() ? "" : ", ") + (v.isNull() ? std::string("<NULL>") : conv::toText(v));
    return s;
}

} // namespace

void makeTriggers(BatchRunner &b, const std::string &database, const std::string &table)
{
    Catalog &cat = b.engine().catalog();
    cat.invalidate();
    TablePtr t = cat.load(database, table);
    if (!t)
        return;
    makeOwnTriggers(b, *t);
    // Parent-side triggers live on this table; children's triggers name it too.
    for (const std::string &other : cat.objectNames(database)) {
        TablePtr o = cat.load(database, other);
        if (!o || !o->isReal())
            continue;
        for (const ForeignKey &fk : o->foreignKeys) {
            if (!fk.enabled)
                continue;
            if (iequals(fk.refTable, t->name)) {
                makeParentTriggers(b, *t, *o, fk);
                if (!iequals(o->name, t->name))
                    makeOwnTriggers(b, *o);
            }
        }
    }
    for (const ForeignKey &fk : t->foreignKeys) {
        TablePtr parent = cat.load(database, fk.refTable);
        if (parent && !iequals(parent->name, t->name)) {
            dropTriggers(b.engine().connection(), database, parent->name);
            makeOwnTriggers(b, *parent);
            for (const std::string &other : cat.objectNames(database)) {
                TablePtr o = cat.load(database, other);
                if (!o || !o->isReal())
                    continue;
                for (const ForeignKey &k : o->foreignKeys)
                    if (k.enabled && iequals(k.refTable, parent->name))
                        makeParentTriggers(b, *parent, *o, k);
            }
        }
    }
}

void addConstraints(BatchRunner &b, const Table &t, const std::vector<Constraint> &constraints, bool check,
                    const std::vector<ColumnDef> *columns)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    sqlite::Connection &c = e.connection();
    const bool creating = columns && !constraints.empty() && cat.load(t.database, t.name) &&
                          b.engine().catalog().load(t.database, t.name)->primaryKey() &&
                          b.engine().catalog().load(t.database, t.name)->primaryKey()->sqliteName.empty();
    int n = 0;
    bool triggers = false;
    for (const Constraint &k : constraints) {
        ++n;
        std::vector<std::string> cols = names(k.columns);
        for (const std::string &col : cols)
            if (t.find(col) < 0)
                throw err::make(1911, col);
        switch (k.kind) {
        case Constraint::Kind::PrimaryKey: {
            if (creating)
                break; // made with the table
            TablePtr now = cat.load(t.database, t.name);
            if (now->primaryKey())
                throw err::make(1779, t.name);
            for (const std::string &col : cols)
                if (now->columns[static_cast<std::size_t>(now->find(col))].nullable)
                    throw err::make(8111, t.name);
            [[fallthrough]];
        }
        case Constraint::Kind::Unique: {
            const bool pk = k.kind == Constraint::Kind::PrimaryKey;
            const std::string name = !k.name.empty() ? k.name : (pk ? "PK_" + t.name : "UQ_" + t.name + "_" + joined(cols, "_"));
            if (cat.objectExists(t.database, name))
                throw err::make(2714, name);
            const std::string sqliteName = t.name + "$" + name;
            std::string list;
            for (const auto &[col, desc] : k.columns)
                list += (list.empty() ? "" : ", ") + quoteName(col) + (desc ? " DESC" : "");
            try {
                sqlite::exec(c, "CREATE UNIQUE INDEX " + quoteName(t.database) + "." + quoteName(sqliteName) + " ON " +
                                    quoteName(t.name) + " (" + list + ")");
            } catch (const Error &err) {
                if (err.number() != 2627 && err.number() != 2601)
                    throw;
                throw err::make(1505, "dbo." + t.name, name, "");
            }
            cat.registerObject(t.database, name, pk ? "PK" : "UQ", t.name, "", "", sqliteName);
            break;
        }
        case Constraint::Kind::Check: {
            const std::string name = !k.name.empty() ? k.name : "CK_" + t.name + "_" + (k.forColumn.empty() ? std::to_string(n) : k.forColumn);
            if (cat.objectExists(t.database, name))
                throw err::make(2714, name);
            const std::string definition = "(" + k.exprText + ")";
            const Bound cond = rowCondition(b, t, definition, "");
            // The message names the columns the check reads, as the row triggers do.
            std::vector<std::string> read{k.forColumn};
            if (k.forColumn.empty()) {
                read.clear();
                for (const Column &col : t.columns)
                    if (definition.find(col.name) != std::string::npos)
                        read.push_back(col.name);
            }
            if (check)
                checkExisting(b, t, cond.sql, name, "CHECK", t.name, read);
            cat.registerObject(t.database, name, "C", t.name, k.forColumn, definition);
            if (!check)
                cat.setDisabled(t.database, name, false);
            triggers = true;
            break;
        }
        case Constraint::Kind::ForeignKey: {
            const std::string name = !k.name.empty() ? k.name : "FK_" + t.name + "_" + k.references.name;
            if (cat.objectExists(t.database, name))
                throw err::make(2714, name);
            TablePtr parent = cat.find(k.references, t.database);
            if (!parent || !parent->isReal() || !iequals(parent->database, t.database))
                throw err::make(1767, name, k.references.written);
            std::vector<std::string> refCols = k.referencedColumns;
            if (refCols.empty()) {
                if (const Index *pk = parent->primaryKey())
                    refCols = names(pk->columns);
            }
            // The referenced columns must be a primary key or a unique constraint of the parent.
            const bool keyed = std::any_of(parent->indexes.begin(), parent->indexes.end(), [&](const Index &ix) {
                if (!ix.unique || ix.columns.size() != refCols.size())
                    return false;
                for (std::size_t i = 0; i < refCols.size(); ++i)
                    if (!iequals(ix.columns[i].first, refCols[i]))
                        return false;
                return true;
            });
            if (!keyed || refCols.size() != cols.size())
                throw err::make(1776, parent->name, name);
            for (std::string &rc : refCols)
                rc = parent->columns[static_cast<std::size_t>(parent->find(rc))].name;
            if (check) {
                const std::string orphan = notNull(cols, "ch.") + " AND NOT EXISTS (SELECT 1 FROM " + parent->sqlName() +
                                           " AS p WHERE " + keyMatch(refCols, "p.", cols, "ch.") + ")";
                sqlite::Stmt any(c, "SELECT 1 FROM " + t.sqlName() + " AS ch WHERE " + orphan + " LIMIT 1");
                if (any.step())
                    throw err::make(547, {"ALTER TABLE", "FOREIGN KEY", name, t.database, "dbo." + parent->name,
                                          columnPart(refCols)});
            }
            const std::string definition = joined(cols) + "\n" + parent->name + "\n" + joined(refCols) + "\n" +
                                           (k.onDelete.empty() ? "NO ACTION" : k.onDelete) + "\n" +
                                           (k.onUpdate.empty() ? "NO ACTION" : k.onUpdate);
            cat.registerObject(t.database, name, "F", t.name, "", definition);
            triggers = true;
            break;
        }
        case Constraint::Kind::Default: {
            const int col = t.find(k.forColumn);
            if (col < 0)
                throw err::make(1911, k.forColumn);
            TablePtr now = cat.load(t.database, t.name);
            if (!now->columns[static_cast<std::size_t>(col)].defaultName.empty() ||
                !now->columns[static_cast<std::size_t>(col)].defaultText.empty())
                throw err::make(1781);
            const std::string name = !k.name.empty() ? k.name : "DF_" + t.name + "_" + k.forColumn;
            cat.registerObject(t.database, name, "D", t.name, now->columns[static_cast<std::size_t>(col)].name,
                               defaultDefinition(*k.expr, k.exprText));
            break;
        }
        }
    }
    if (triggers)
        makeTriggers(b, t.database, t.name);
    cat.invalidate();
}

void dropConstraint(BatchRunner &b, const Table &t, const std::string &name, bool ifExists)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    for (const Index &ix : t.indexes) {
        if (!ix.constraint || !iequals(ix.name, name))
            continue;
        if (ix.sqliteName.empty())
            throw err::make(40517, "ALTER TABLE DROP CONSTRAINT of a primary key made with the table");
        sqlite::exec(e.connection(), "DROP INDEX " + quoteName(t.database) + "." + quoteName(ix.sqliteName));
        cat.dropObject(t.database, ix.name);
        return;
    }
    for (const Check &ck : t.checks)
        if (iequals(ck.name, name)) {
            cat.dropObject(t.database, ck.name);
            makeTriggers(b, t.database, t.name);
            return;
        }
    for (const ForeignKey &fk : t.foreignKeys)
        if (iequals(fk.name, name)) {
            cat.dropObject(t.database, fk.name);
            dropTriggers(e.connection(), t.database, fk.refTable);
            makeTriggers(b, t.database, t.name);
            makeTriggers(b, t.database, fk.refTable);
            return;
        }
    for (const Column &c : t.columns)
        if (iequals(c.defaultName, name)) {
            cat.dropObject(t.database, c.defaultName);
            return;
        }
    if (ifExists)
        return;
    // SQL Server follows the reason with the statement's own failure.
    sysproc::report(b, err::make(3728, name));
    throw err::make(3727);
}

void createIndex(BatchRunner &b, const CreateIndex &s)
{
    Engine &e = b.engine();
    TablePtr t = e.catalog().find(s.table, e.currentDatabase());
    if (!t || !t->isReal())
        throw err::make(1088, s.table.written);
    e.refuseReadOnly(t->database);
    // SQLite index names are per database, SQL Server's per table: the table name keeps them apart.
    const std::string name = t->name + "$" + s.name;
    for (const Index &ix : t->indexes)
        if (iequals(ix.name, s.name))
            throw err::make(1913, s.name, t->fullName());
    std::string cols;
    for (const auto &[col, desc] : s.columns) {
        const int c = t->find(col);
        if (c < 0)
            throw err::make(1911, col);
        cols += (cols.empty() ? "" : ", ") + quoteName(t->columns[static_cast<std::size_t>(c)].name) + (desc ? " DESC" : "");
    }
    for (const std::string &col : s.include)
        if (t->find(col) < 0)
            throw err::make(1911, col);
    std::string where;
    if (s.where) {
        std::string text;
        // A filtered index: its condition over the table's own columns.
        Scope scope;
        Source src;
        src.alias = t->name;
        for (const Column &c : t->columns) {
            SourceColumn sc;
            sc.name = c.name;
            sc.type = c.type;
            sc.sql = quoteName(c.name);
            src.columns.push_back(sc);
        }
        scope.sources.push_back(src);
        Compiler comp(e.catalog(), t->database, nullptr, CompileOptions{true, true});
        where = " WHERE " + comp.within(scope, [&] { return comp.condition(*s.where); }).sql;
    }
    try {
        sqlite::exec(e.connection(), std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " +
                                         quoteName(t->database) + "." + quoteName(name) + " ON " + quoteName(t->name) +
                                         " (" + cols + ")" + where);
    } catch (const Error &err) {
        if (err.number() == 2627 || err.number() == 2601)
            throw err::make(1505, "dbo." + t->name, s.name, "");
        throw;
    }
}

void dropIndex(BatchRunner &b, const DropIndex &s)
{
    Engine &e = b.engine();
    for (const auto &[index, table] : s.indexes) {
        const std::string written = table.written + "." + index;
        TablePtr t;
        try {
            t = e.catalog().find(table, e.currentDatabase());
        } catch (const Error &) {
        }
        if (!t || !t->isReal()) {
            if (s.ifExists)
                continue;
            throw err::make(3701, "index", written);
        }
        e.refuseReadOnly(t->database);
        const Index *found = nullptr;
        for (const Index &ix : t->indexes)
            if (iequals(ix.name, index))
                found = &ix;
        if (!found) {
            if (s.ifExists)
                continue;
            throw err::make(3701, "index", written);
        }
        if (found->constraint)
            throw err::make(3723, written, found->primaryKey ? "PRIMARY KEY" : "UNIQUE KEY");
        sqlite::exec(e.connection(), "DROP INDEX " + quoteName(t->database) + "." + quoteName(found->sqliteName));
        e.catalog().invalidate();
    }
}

Error duplicateKey(BatchRunner &b, const Table &t, const std::vector<std::string> &columns,
                   const Compiler::WritePlan &plan, bool primaryKey)
{
    // Which key: the primary key, a unique constraint or a unique index on those columns.
    const Index *key = nullptr;
    for (const Index &ix : t.indexes) {
        if (!ix.unique || ix.columns.size() != columns.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < columns.size(); ++i)
            same = same && iequals(ix.columns[i].first, columns[i]);
        if (same && (!primaryKey || ix.primaryKey))
            key = &ix;
    }
    std::string value;
    if (!plan.source.empty()) {
        try {
            std::vector<std::string> picks, match;
            std::vector<SqlType> types;
            for (const std::string &k : columns) {
                const auto it = std::find_if(plan.sourceColumns.begin(), plan.sourceColumns.end(),
                                             [&](const std::string &c) { return iequals(c, k); });
                if (it == plan.sourceColumns.end())
                    throw err::internal("key column not written");
                const std::string v = "n.v" + std::to_string(it - plan.sourceColumns.begin());
                picks.push_back(v);
                match.push_back("x." + quoteName(k) + " = " + v);
                types.push_back(t.columns[static_cast<std::size_t>(t.find(k))].type);
            }
            const std::string list = joined(picks, ", "), where = joined(match, " AND ");
            // A row already in the table first, else two new rows with the same key.
            for (const std::string &sql : {"SELECT " + list + " FROM (" + plan.source + ") AS n WHERE EXISTS (SELECT 1 FROM " +
                                               t.sqlName() + " AS x WHERE " + where + ") LIMIT 1",
                                           "SELECT " + list + " FROM (" + plan.source + ") AS n GROUP BY " + list +
                                               " HAVING count(*) > 1 LIMIT 1"}) {
                sqlite3_stmt *raw = sqlite::prepareCompiled(b.engine().connection(), sql);
                std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> s(raw, sqlite3_finalize);
                b.bind(s.get(), plan.params);
                if (sqlite3_step(s.get()) == SQLITE_ROW) {
                    std::vector<Value> values;
                    for (std::size_t i = 0; i < types.size(); ++i)
                        values.push_back(storage::column(s.get(), static_cast<int>(i), types[i]));
                    value = keyValue(values);
                    break;
                }
            }
        } catch (const Error &) {
        }
    }
    const std::string object = "dbo." + t.name;
    if (!key || key->primaryKey)
        return err::make(2627, "PRIMARY KEY", key ? key->name : "PK_" + t.name, object, value);
    if (key->constraint)
        return err::make(2627, "UNIQUE KEY", key->name, object, value);
    return err::make(2601, object, key->name, value);
}

} // namespace tsql::ddl
