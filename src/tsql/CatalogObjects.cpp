#include "tsql/CatalogObjects.h"

#include <algorithm>
#include <map>

namespace tsql::sysview {

namespace {

// What __tsql_objects says of a constraint: its number and its dates.
struct Row {
    std::int64_t id = 0;
    std::string created, modified;
    std::string column; // a check written with its column
};

std::map<std::string, Row> constraintRows(Catalog &c, const std::string &db)
{
    std::map<std::string, Row> rows; // lower(name)
    sqlite::Stmt has(c.connection(), "SELECT 1 FROM " + sqlite::quoteName(db) +
                                         ".sqlite_master WHERE type = 'table' AND name = '__tsql_objects'");
    if (!has.step())
        return rows;
    sqlite::Stmt s(c.connection(), "SELECT object_id, name, created, modified, column_name FROM " +
                                       sqlite::quoteName(db) + ".__tsql_objects WHERE type IN ('PK', 'UQ', 'C', 'F', 'D')");
    while (s.step())
        rows[lower(s.text(1))] = Row{s.integer(0), s.text(2), s.text(3), s.text(4)};
    return rows;
}


} // namespace

// The same numbering the catalogue gives a table it has no row for, so that an unrecorded
// table and its unrecorded key get numbers from one range.
std::int64_t stableId(const std::string &db, const std::string &name)
{
    std::uint64_t h = 1469598103934665603ull;
    for (char c : lower(db) + "." + lower(name)) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return 565577053 + static_cast<std::int64_t>(h % 1000000000ull);
}

std::vector<TablePtr> tables(Catalog &c, const std::string &database)
{
    std::vector<TablePtr> out;
    if (!c.findDatabase(database) || iequals(database, "temp"))
        return out;
    for (const std::string &n : c.objectNames(database))
        if (TablePtr t = c.load(database, n))
            out.push_back(t);
    return out;
}

std::vector<Object> objects(Catalog &c, const std::string &database)
{
    std::vector<Object> out;
    const std::vector<TablePtr> all = tables(c, database);
    const std::map<std::string, Row> rows = all.empty() ? std::map<std::string, Row>{} : constraintRows(c, database);
    for (const TablePtr &t : all) {
        Object o;
        o.name = t->name;
        o.id = t->objectId;
        o.table = t;
        o.created = t->created;
        o.modified = t->modified;
        const bool view = t->kind == Table::Kind::View;
        o.type = view ? "V " : "U ";
        o.typeDesc = view ? "VIEW" : "USER_TABLE";
        out.push_back(o);
        if (view)
            continue;

        // The constraints of the table, each an object of its own with the table as parent.
        auto add = [&](const std::string &name, const char *type, const char *desc) -> Object & {
            Object k;
            k.name = name;
            k.parentId = t->objectId;
            k.type = type;
            k.typeDesc = desc;
            k.table = t;
            if (auto it = rows.find(lower(name)); it != rows.end()) {
                k.id = it->second.id;
                k.created = it->second.created;
                k.modified = it->second.modified;
            } else {
                k.id = stableId(database, name);
                k.created = t->created;
                k.modified = t->modified;
            }
            out.push_back(std::move(k));
            return out.back();
        };
        for (const Index &ix : t->indexes) {
            if (!ix.constraint)
                continue;
            add(ix.name, ix.primaryKey ? "PK" : "UQ", ix.primaryKey ? "PRIMARY_KEY_CONSTRAINT" : "UNIQUE_CONSTRAINT").index = &ix;
        }
        for (const Check &ck : t->checks) {
            Object &k = add(ck.name, "C ", "CHECK_CONSTRAINT");
            k.check = &ck;
            // A check written with its column belongs to that column; one written at table level to none.
            if (auto it = rows.find(lower(ck.name)); it != rows.end() && !it->second.column.empty())
                k.column = t->find(it->second.column);
        }
        for (const ForeignKey &fk : t->foreignKeys)
            add(fk.name, "F ", "FOREIGN_KEY_CONSTRAINT").foreignKey = &fk;
        for (std::size_t i = 0; i < t->columns.size(); ++i) {
            const Column &col = t->columns[i];
            if (col.defaultText.empty())
                continue;
            add(col.defaultName.empty() ? "DF_" + t->name + "_" + col.name : col.defaultName, "D ", "DEFAULT_CONSTRAINT")
                .column = static_cast<int>(i);
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const Object &a, const Object &b) { return a.id < b.id; });
    return out;
}

std::int64_t tableId(const std::vector<Object> &objects, const std::string &table)
{
    for (const Object &o : objects)
        if ((o.isTable() || o.isView()) && iequals(o.name, table))
            return o.id;
    return 0;
}

} // namespace tsql::sysview
