#include "tsql/SystemProcedures.h"

#include "tsql/Ddl.h"
#include "tsql/Errors.h"
#include "tsql/SystemProcedureSupport.h"

namespace tsql {

namespace {

std::string join(const std::vector<std::string> &parts, char separator)
{
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i)
        out += (i ? std::string(1, separator) : std::string()) + parts[i];
    return out;
}

// A foreign key names its columns, the table it references and that table's columns; a
// renamed table or column is renamed there too, so the key keeps pointing where it did.
// Without a column, `table` itself was renamed to `to`.
void renameInForeignKeys(Engine &e, const std::string &db, const std::string &table, const std::string &column,
                         const std::string &to)
{
    sqlite::Stmt s(e.connection(), "SELECT object_id, parent, definition FROM " + sqlite::quoteName(db) +
                                       ".__tsql_objects WHERE type = 'F'");
    std::vector<std::pair<std::int64_t, std::string>> changed;
    while (s.step()) {
        std::vector<std::string> def = split(s.text(2), '\n');
        if (def.size() < 5)
            continue;
        const std::string before = join(def, '\n');
        auto renameColumn = [&](std::string &list) {
            std::vector<std::string> cols = split(list, ',');
            for (std::string &c : cols)
                if (iequals(c, column))
                    c = to;
            list = join(cols, ',');
        };
        if (column.empty()) {
            if (iequals(def[1], table))
                def[1] = to;
        } else {
            if (iequals(s.text(1), table))
                renameColumn(def[0]);
            if (iequals(def[1], table))
                renameColumn(def[2]);
        }
        if (join(def, '\n') != before)
            changed.emplace_back(s.integer(0), join(def, '\n'));
    }
    for (const auto &[id, definition] : changed) {
        sqlite::Stmt u(e.connection(), "UPDATE " + sqlite::quoteName(db) +
                                           ".__tsql_objects SET definition = ?1 WHERE object_id = ?2");
        u.bind(1, definition);
        u.bind(2, id);
        u.step();
    }
}

} // namespace

// sp_rename 'table', 'new' | sp_rename 'table.column', 'new', 'COLUMN'
void spRename(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const sysproc::Arguments a("sp_rename", {"@objname", "@newname", "@objtype"}, values, names);
    Engine &e = b.engine();
    const std::string from = a.required(0), to = a.required(1), kind = upper(a.text(2).value_or(""));
    if (from.empty() || to.empty())
        throw err::make(15248, from);
    const std::vector<std::string> parts = sysproc::nameParts(from);
    e.settleCursors();
    Engine::StatementScope scope(e);
    Catalog &cat = e.catalog();
    if (kind == "COLUMN" || (kind.empty() && parts.size() >= 2 && !cat.load(e.currentDatabase(), parts.back()))) {
        if (parts.size() < 2)
            throw err::make(15248, from);
        ast::ObjectName n;
        n.name = parts[parts.size() - 2];
        n.written = n.name;
        TablePtr t = cat.find(n, e.currentDatabase());
        if (!t || !t->isReal())
            throw err::make(15248, from);
        const int c = t->find(parts.back());
        if (c < 0)
            throw err::make(15248, from);
        if (t->find(to) >= 0)
            throw err::make(15335, to);
        const std::string old = t->columns[static_cast<std::size_t>(c)].name;
        sqlite::exec(e.connection(), "ALTER TABLE " + t->sqlName() + " RENAME COLUMN " + sqlite::quoteName(old) +
                                         " TO " + sqlite::quoteName(to));
        cat.ensureTables(t->database);
        sqlite::Stmt u(e.connection(), "UPDATE " + sqlite::quoteName(t->database) +
                                           ".__tsql_objects SET column_name = ?1 WHERE parent = ?2 COLLATE NOCASE AND "
                                           "column_name = ?3 COLLATE NOCASE");
        u.bind(1, to);
        u.bind(2, t->name);
        u.bind(3, old);
        u.step();
        sqlite::Stmt id(e.connection(), "UPDATE " + sqlite::quoteName(t->database) +
                                            ".__tsql_identity SET column_name = ?1 WHERE table_name = ?2 COLLATE NOCASE "
                                            "AND column_name = ?3 COLLATE NOCASE");
        id.bind(1, to);
        id.bind(2, t->name);
        id.bind(3, old);
        id.step();
        renameInForeignKeys(e, t->database, t->name, old, to);
    } else {
        ast::ObjectName n;
        n.name = parts.back();
        if (parts.size() >= 2)
            n.schema = parts[parts.size() - 2];
        if (parts.size() >= 3)
            n.database = parts[parts.size() - 3];
        n.written = from;
        TablePtr t = cat.find(n, e.currentDatabase());
        if (!t || !(t->isReal() || t->kind == Table::Kind::View))
            throw err::make(15248, from);
        if (cat.objectExists(t->database, to))
            throw err::make(15335, to);
        if (t->kind == Table::Kind::View) {
            cat.renameObjects(t->database, t->name, to);
        } else {
            sqlite::exec(e.connection(), "ALTER TABLE " + t->sqlName() + " RENAME TO " + sqlite::quoteName(to));
            cat.ensureTables(t->database);
            cat.renameObjects(t->database, t->name, to);
            cat.renameIdentity(t->database, t->name, to);
            renameInForeignKeys(e, t->database, t->name, "", to);
            // Indexes keep their names with the table's: SQLite's names carry the table's.
            for (const Index &ix : t->indexes) {
                if (ix.sqliteName.empty())
                    continue;
                const std::string fresh = to + "$" + ix.sqliteName.substr(ix.sqliteName.find('$') + 1);
                std::string cols;
                for (const auto &[col, desc] : ix.columns)
                    cols += (cols.empty() ? "" : ", ") + sqlite::quoteName(col) + (desc ? " DESC" : "");
                sqlite::exec(e.connection(), "DROP INDEX " + sqlite::quoteName(t->database) + "." + sqlite::quoteName(ix.sqliteName));
                sqlite::exec(e.connection(), std::string("CREATE ") + (ix.unique ? "UNIQUE " : "") + "INDEX " +
                                                 sqlite::quoteName(t->database) + "." + sqlite::quoteName(fresh) + " ON " +
                                                 sqlite::quoteName(to) + " (" + cols + ")");
                sqlite::Stmt u(e.connection(), "UPDATE " + sqlite::quoteName(t->database) +
                                                   ".__tsql_objects SET extra = ?1 WHERE extra = ?2 COLLATE NOCASE");
                u.bind(1, fresh);
                u.bind(2, ix.sqliteName);
                u.step();
            }
        }
        cat.invalidate();
        ddl::makeTriggers(b, t->database, to);
    }
    scope.commit();
    cat.invalidate();
    sysproc::report(b, err::make(15477));
}

} // namespace tsql
