// Views, SELECT ... INTO, and the tables behind table variables.

#include "tsql/Ddl.h"

#include "tsql/Batch.h"
#include "tsql/Errors.h"

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

void createView(BatchRunner &b, const CreateView &s)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    auto db = cat.databaseFor(s.view, e.currentDatabase());
    if (!db || *db == "temp")
        throw err::make(s.view.isTemp() ? 4103 : 2702, s.view.isTemp() ? s.view.name : s.view.database);
    e.refuseReadOnly(*db);
    TablePtr existing = cat.load(*db, s.view.name);
    if ((existing && existing->kind != Table::Kind::View) || (!existing && cat.objectExists(*db, s.view.name)))
        throw err::make(2714, s.view.name);
    if (s.alter && !existing)
        throw err::make(208, s.view.written);
    if (!s.alter && !s.orAlter && existing)
        throw err::make(2714, s.view.name);
    if (s.query->first().into)
        throw err::make(156, "INTO");
    // The query must compile here and now; its columns are kept with the view.
    Compiler comp(cat, *db, nullptr, CompileOptions{true, false});
    std::vector<OutputColumn> out;
    comp.subquery(*s.query, out);
    if (!s.columns.empty() && s.columns.size() != out.size())
        throw err::make(8159, s.view.name);
    std::string columns;
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::string name = s.columns.empty() ? out[i].name : s.columns[i];
        if (name.empty())
            throw err::make(4511, std::to_string(i + 1));
        for (const std::string &x : seen)
            if (iequals(x, name))
                throw err::make(4506, name, s.view.name);
        seen.push_back(name);
        columns += name + "\t" + out[i].type.declared() + "\n";
    }
    if (existing) {
        // ALTER keeps the view's object id.
        sqlite::Stmt u(e.connection(), "UPDATE " + quoteName(*db) +
                                           ".__tsql_objects SET definition = ?1, extra = ?2, modified = ?3 WHERE type = 'V' "
                                           "AND name = ?4 COLLATE NOCASE");
        u.bind(1, s.text);
        u.bind(2, columns);
        u.bind(3, now8601());
        u.bind(4, existing->name);
        u.step();
        cat.invalidate();
        return;
    }
    cat.registerObject(*db, s.view.name, "V", "", "", s.text, columns);
}

void dropView(BatchRunner &b, const DropView &s)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    for (const ObjectName &n : s.views) {
        TablePtr t;
        try {
            t = cat.find(n, e.currentDatabase());
        } catch (const Error &) {
        }
        if (!t || t->kind != Table::Kind::View) {
            if (t && t->isReal())
                throw err::make(3706, n.written, n.written);
            if (s.ifExists)
                continue;
            throw err::make(3701, "view", n.written);
        }
        e.refuseReadOnly(t->database);
        sqlite::Stmt d(e.connection(), "DELETE FROM " + quoteName(t->database) +
                                           ".__tsql_objects WHERE type = 'V' AND name = ?1 COLLATE NOCASE");
        d.bind(1, t->name);
        d.step();
        cat.invalidate();
    }
}

void selectInto(BatchRunner &b, const SelectStatement &s)
{
    Engine &e = b.engine();
    Catalog &cat = e.catalog();
    e.settleCursors();
    const ObjectName &into = *s.query->first().into;
    auto db = cat.databaseFor(into, e.currentDatabase());
    if (!db)
        throw err::make(2702, into.database);
    e.refuseReadOnly(*db);
    if (cat.objectExists(*db, into.name))
        throw err::make(2714, into.name);
    CompileState state = e.compileState();
    Compiler comp(cat, e.currentDatabase(), b.variableLookup(), {}, &state);
    const QueryPlan plan = comp.query(*s.query);
    std::vector<Column> cols;
    std::optional<Identity> identity;
    for (const OutputColumn &o : plan.columns) {
        if (o.name.empty())
            throw err::make(1038);
        for (const Column &c : cols)
            if (iequals(c.name, o.name))
                throw err::make(2705, o.name, into.name);
        Column c;
        c.name = o.name;
        c.type = o.type.isNull() ? SqlType{Base::Int} : o.type;
        c.nullable = o.nullable;
        // The IDENTITY property travels with a plain column of a single table, as in SQL Server.
        if (o.identity && plan.singleTable && !identity && !o.table.empty()) {
            TablePtr src = cat.load(e.currentDatabase(), o.table);
            const auto &from = s.query->first().from;
            if (!from.empty() && from[0]->kind == TableRef::Kind::Named) {
                Compiler probe(cat, e.currentDatabase(), b.variableLookup());
                src = probe.targetTable(from[0]->as<NamedTable>().name, 208);
            }
            if (src && src->identity) {
                identity = Identity{c.name, src->identity->seed, src->identity->step, std::nullopt};
                c.nullable = false;
                c.identity = true;
            }
        }
        cols.push_back(std::move(c));
    }
    Engine::StatementScope scope(e);
    std::string create = "CREATE TABLE " + quoteName(*db) + "." + quoteName(into.name) + " (";
    for (std::size_t i = 0; i < cols.size(); ++i)
        create += (i ? ", " : "") + Catalog::columnSql(cols[i]);
    sqlite::exec(e.connection(), create + ")");
    cat.registerObject(*db, into.name, "U");
    std::string names, values;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        names += (i ? ", " : "") + quoteName(cols[i].name);
        values += (i ? ", " : "") + std::string("c") + std::to_string(i);
    }
    sqlite3_stmt *raw = sqlite::prepareCompiled(e.connection(), "INSERT INTO " + quoteName(*db) + "." +
                                                                    quoteName(into.name) + " (" + names + ") SELECT " +
                                                                    values + " FROM (" + plan.sql + ")");
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> insert(raw, sqlite3_finalize);
    b.bind(insert.get(), plan.params);
    const int rc = sqlite3_step(insert.get());
    if (rc != SQLITE_DONE)
        throw e.connection().error(sqlite3_extended_errcode(e.connection().handle()),
                                   sqlite::FailureContext{*db + ".dbo." + into.name, "INSERT"});
    const std::int64_t n = sqlite3_changes64(e.connection().handle());
    if (identity) {
        if (n > 0) {
            sqlite::Stmt m(e.connection(), "SELECT " + std::string(identity->step > 0 ? "max(" : "min(") +
                                               quoteName(identity->column) + ") FROM " + quoteName(*db) + "." +
                                               quoteName(into.name));
            m.step();
            identity->last = m.integer(0);
        }
        cat.saveIdentity(*db, into.name, *identity);
    }
    scope.commit();
    cat.invalidate();
    e.state().rowcount = n;
    b.queueDone(n);
}

void createTableVariable(BatchRunner &b, const VariableDef &d, const std::string &table)
{
    CreateTable s;
    s.table.name = table;
    s.table.database = "tempdb";
    s.table.written = d.name;
    for (const ColumnDef &c : d.tableColumns) {
        ColumnDef copy;
        copy.name = c.name;
        copy.type = c.type;
        copy.nullable = c.nullable;
        copy.identity = c.identity;
        copy.seed = c.seed;
        copy.step = c.step;
        copy.defaultText = c.defaultText;
        copy.computedText = c.computedText;
        s.columns.push_back(std::move(copy));
    }
    // Defaults and computed columns are taken from their texts; constraints as declared.
    for (const Constraint &k : d.tableConstraints) {
        Constraint copy;
        copy.kind = k.kind;
        copy.name = k.name.empty() ? std::string() : table + "$" + k.name;
        copy.columns = k.columns;
        copy.exprText = k.exprText;
        copy.forColumn = k.forColumn;
        s.constraints.push_back(std::move(copy));
    }
    Engine &e = b.engine();
    Engine::StatementScope scope(e);
    std::string pkName = "PK_" + table;
    std::vector<std::string> pk;
    for (const Constraint &k : s.constraints)
        if (k.kind == Constraint::Kind::PrimaryKey)
            for (const auto &[c, desc] : k.columns)
                pk.push_back(c);
    std::vector<Column> cols;
    std::optional<Identity> identity;
    for (const ColumnDef &c : s.columns) {
        Column col;
        col.name = c.name;
        col.type = c.type;
        if ((col.type.isText() || col.type.isBinary()) && col.type.length == 0)
            col.type.length = 1;
        const bool inPk = std::any_of(pk.begin(), pk.end(), [&](const std::string &p) { return iequals(p, c.name); });
        col.nullable = !(c.nullable.has_value() && !*c.nullable) && !c.identity && !inPk;
        if (c.identity)
            identity = Identity{c.name, c.seed, c.step, std::nullopt};
        cols.push_back(col);
    }
    sqlite::exec(e.connection(), "DROP TABLE IF EXISTS temp." + quoteName(table));
    sqlite::exec(e.connection(), Catalog::createTableSql("temp", table, cols, pkName, pk));
    Catalog &cat = e.catalog();
    cat.registerObject("temp", table, "U");
    for (const ColumnDef &c : d.tableColumns)
        if (c.defaultValue)
            cat.registerObject("temp", table + "$DF$" + c.name, "D", table, c.name, defaultDefinition(*c.defaultValue, c.defaultText));
    if (identity)
        cat.saveIdentity("temp", table, *identity);
    std::vector<Constraint> rest;
    for (Constraint &k : s.constraints)
        if (k.kind != Constraint::Kind::PrimaryKey)
            rest.push_back(std::move(k));
    if (!rest.empty()) {
        TablePtr t = cat.load("temp", table);
        // The constraint texts were parsed once already; parse them again from their text.
        for (Constraint &k : rest) {
            if (k.kind == Constraint::Kind::Check && k.name.empty())
                k.name = table + "$CK";
        }
        addConstraints(b, *t, rest, false, nullptr);
    }
    scope.commit();
    cat.invalidate();
}

} // namespace tsql::ddl
