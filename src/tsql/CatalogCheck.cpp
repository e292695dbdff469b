#include "tsql/CatalogCheck.h"

#include "tsql/Errors.h"
#include "tsql/Types.h"

#include <map>
#include <set>

namespace tsql::catalogcheck {

namespace {

using sqlite::quoteName;

struct ColumnFacts {
    std::string name, declared;
    int hidden = 0; // 2 or 3: a column SQLite generates
};

struct TableInfo {
    std::string name;
    std::map<std::string, ColumnFacts> columns; // lower(name)
    bool hasPrimaryKey = false;
};

struct ObjectRow {
    std::int64_t id;
    std::string name, type, parent, column, definition, extra;
    bool disabled;
};

std::string quoted(const std::string &s) { return "'" + s + "'"; }


class Checker {
public:
    Checker(sqlite::Connection &c, const std::string &db) : m_c(c), m_db(db) {}

    std::vector<Finding> run()
    {
        readSchema();
        if (m_hasObjects)
            checkObjects();
        if (m_hasIdentity)
            checkIdentities();
        checkTriggers();
        checkColumnTypes();
        return std::move(m_findings);
    }

private:
    void add(int number, std::initializer_list<std::string_view> args, const std::string &table)
    {
        m_findings.push_back({err::make(number, args), table});
    }

    const TableInfo *table(const std::string &name) const
    {
        const auto it = m_tables.find(lower(name));
        return it == m_tables.end() ? nullptr : &it->second;
    }

    bool hasColumn(const TableInfo &t, const std::string &column) const { return t.columns.count(lower(column)) > 0; }

    void readSchema()
    {
        const std::string master = quoteName(m_db) + ".sqlite_master";
        sqlite::Stmt s(m_c, "SELECT type, name, tbl_name FROM " + master);
        std::vector<std::string> tables;
        while (s.step()) {
            const std::string type = s.text(0), name = s.text(1);
            if (type == "table") {
                if (name == "__tsql_objects")
                    m_hasObjects = true;
                else if (name == "__tsql_identity")
                    m_hasIdentity = true;
                else if (name.rfind("sqlite_", 0) != 0 && name.rfind("__tsql_", 0) != 0)
                    tables.push_back(name);
            } else if (type == "index") {
                m_indexes[lower(name)] = s.text(2);
            } else if (type == "trigger") {
                m_triggers[lower(name)] = {name, s.text(2)};
            }
        }
        for (const std::string &name : tables) {
            TableInfo t;
            t.name = name;
            sqlite::Stmt cols(m_c, "SELECT name, type, hidden FROM pragma_table_xinfo(?1, ?2)");
            cols.bind(1, name);
            cols.bind(2, m_db);
            while (cols.step())
                t.columns[lower(cols.text(0))] = {cols.text(0), cols.text(1), static_cast<int>(cols.integer(2))};
            sqlite::Stmt pk(m_c, "SELECT 1 FROM pragma_index_list(?1, ?2) WHERE origin = 'pk'");
            pk.bind(1, name);
            pk.bind(2, m_db);
            t.hasPrimaryKey = pk.step();
            m_tables[lower(name)] = std::move(t);
        }
    }

    std::string rowId(const ObjectRow &o) const
    {
        return "object_id=" + std::to_string(o.id) + ", name=" + quoted(o.name);
    }

    // A constraint needs its table, and a column-bound one its column.
    const TableInfo *parentOf(const ObjectRow &o, const char *view)
    {
        const TableInfo *t = table(o.parent);
        if (!t) {
            add(3853, {"parent=" + quoted(o.parent), rowId(o), view, "", "name=" + quoted(o.parent), "tables", ""}, "");
            return nullptr;
        }
        if (!o.column.empty() && !hasColumn(*t, o.column))
            add(3853, {"parent_column=" + quoted(o.column), rowId(o), view, "", "name=" + quoted(o.column), "columns", ""},
                t->name);
        return t;
    }

    void needTrigger(const ObjectRow &o, const TableInfo &t, const char *view)
    {
        for (const char *event : {"INSERT", "UPDATE"}) {
            const std::string trigger = "tsql$" + t.name + "$" + o.name + "$" + event;
            if (!m_triggers.count(lower(trigger)))
                add(3853, {"name=" + quoted(o.name), "object_id=" + std::to_string(o.id), view, "",
                           "name=" + quoted(trigger), "triggers", ""},
                    t.name);
        }
    }

    void checkObjects()
    {
        sqlite::Stmt s(m_c, "SELECT object_id, name, type, coalesce(parent, ''), coalesce(column_name, ''), "
                            "coalesce(definition, ''), coalesce(extra, ''), disabled FROM " +
                                quoteName(m_db) + ".__tsql_objects ORDER BY object_id");
        while (s.step())
            m_objects.push_back({s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4), s.text(5), s.text(6),
                                 s.integer(7) != 0});
        for (const ObjectRow &o : m_objects) {
            if (o.type == "U") {
                if (!table(o.name))
                    add(3852, {rowId(o), "objects", "", "name=" + quoted(o.name), "tables", ""}, "");
            } else if (o.type == "PK" || o.type == "UQ") {
                const TableInfo *t = parentOf(o, "key_constraints");
                if (!t)
                    continue;
                const bool present = o.extra.empty() ? t->hasPrimaryKey : m_indexes.count(lower(o.extra)) > 0;
                if (!present)
                    add(3853, {"name=" + quoted(o.name), "object_id=" + std::to_string(o.id), "key_constraints", "",
                               "name=" + quoted(o.extra.empty() ? o.name : o.extra), "indexes", ""},
                        t->name);
            } else if (o.type == "C") {
                const TableInfo *t = parentOf(o, "check_constraints");
                if (t && !o.disabled)
                    needTrigger(o, *t, "check_constraints");
            } else if (o.type == "F") {
                checkForeignKey(o);
            } else if (o.type == "D") {
                parentOf(o, "default_constraints");
            } else if (o.type == "CC") {
                const TableInfo *t = parentOf(o, "computed_columns");
                // A computed column is one SQLite generates (hidden 2 or 3).
                if (t && hasColumn(*t, o.column) && t->columns.at(lower(o.column)).hidden < 2)
                    add(3854, {"parent_column=" + quoted(o.column), rowId(o), "computed_columns", "",
                               "name=" + quoted(o.column), "columns", ""},
                        t->name);
            }
        }
    }

    void checkForeignKey(const ObjectRow &o)
    {
        const TableInfo *t = parentOf(o, "foreign_keys");
        if (!t)
            return;
        // Its definition: columns, the referenced table, its columns, ON DELETE, ON UPDATE.
        const std::vector<std::string> def = split(o.definition, '\n');
        if (def.size() < 5) {
            add(3858, {"definition", rowId(o), "foreign_keys", ""}, t->name);
            return;
        }
        for (const std::string &col : split(def[0], ','))
            if (!col.empty() && !hasColumn(*t, col))
                add(3853, {"parent_column=" + quoted(col), rowId(o), "foreign_key_columns", "", "name=" + quoted(col),
                           "columns", ""},
                    t->name);
        const TableInfo *parent = table(def[1]);
        if (!parent) {
            add(3853, {"referenced_object=" + quoted(def[1]), rowId(o), "foreign_keys", "", "name=" + quoted(def[1]),
                       "tables", ""},
                t->name);
        } else {
            for (const std::string &col : split(def[2], ','))
                if (!col.empty() && !hasColumn(*parent, col))
                    add(3853, {"referenced_column=" + quoted(col), rowId(o), "foreign_key_columns", "",
                               "name=" + quoted(col), "columns", ""},
                        t->name);
        }
        if (!o.disabled)
            needTrigger(o, *t, "foreign_keys");
    }

    void checkIdentities()
    {
        sqlite::Stmt s(m_c, "SELECT table_name, column_name FROM " + quoteName(m_db) + ".__tsql_identity");
        while (s.step()) {
            const std::string name = s.text(0), column = s.text(1);
            const std::string row = "table=" + quoted(name);
            const TableInfo *t = table(name);
            if (!t) {
                add(3852, {row, "identity_columns", "", "name=" + quoted(name), "tables", ""}, "");
                continue;
            }
            const auto c = t->columns.find(lower(column));
            if (c == t->columns.end()) {
                add(3853, {"column=" + quoted(column), row, "identity_columns", "", "name=" + quoted(column), "columns", ""},
                    t->name);
                continue;
            }
            const SqlType type = parseDeclared(c->second.declared);
            if (!type.isInteger() && !(type.isDecimal() && type.scale == 0))
                add(3854, {"column=" + quoted(column), row, "identity_columns", "", "name=" + quoted(column), "columns", ""},
                    t->name);
        }
    }

    // The engine's triggers enforce the catalogue's constraints; one that enforces none is not
    // the engine's doing.
    void checkTriggers()
    {
        std::set<std::string> constraints;
        for (const ObjectRow &o : m_objects)
            if (o.type == "C" || o.type == "F")
                constraints.insert(lower(o.name));
        for (const auto &[key, trigger] : m_triggers) {
            const auto &[name, on] = trigger;
            if (key.rfind("tsql$", 0) != 0)
                continue;
            // tsql$<table>$<constraint>$<event>, or $parent$<event> for a foreign key's parent side.
            bool known = false;
            for (const std::string &c : constraints)
                known = known || key.find("$" + c + "$") != std::string::npos;
            if (!known)
                add(3855, {"trigger=" + quoted(name), "table=" + quoted(on), "objects", ""}, on);
        }
    }

    void checkColumnTypes()
    {
        for (const auto &[key, t] : m_tables)
            for (const auto &[key2, column] : t.columns) {
                const std::string &declared = column.declared;
                const std::string base = declared.substr(0, declared.find('('));
                if (!baseFromName(base.substr(0, base.find_last_not_of(' ') + 1)) && !iequals(base, "sysname"))
                    add(3858, {"type=" + quoted(declared), "table=" + quoted(t.name) + ", column=" + quoted(column.name),
                               "columns", ""},
                        t.name);
            }
    }

    sqlite::Connection &m_c;
    std::string m_db;
    bool m_hasObjects = false, m_hasIdentity = false;
    std::map<std::string, TableInfo> m_tables;                          // lower(name)
    std::map<std::string, std::string> m_indexes;                       // lower(name) -> table
    std::map<std::string, std::pair<std::string, std::string>> m_triggers; // lower(name) -> (name, table)
    std::vector<ObjectRow> m_objects;
    std::vector<Finding> m_findings;
};

} // namespace

std::vector<Finding> check(sqlite::Connection &c, const std::string &database)
{
    return Checker(c, database).run();
}

} // namespace tsql::catalogcheck
