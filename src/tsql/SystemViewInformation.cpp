// The rows of the INFORMATION_SCHEMA views.

#include "tsql/CatalogObjects.h"
#include "tsql/SystemViewRows.h"
#include "tsql/SystemViewTypes.h"
#include "tsql/SystemViewValues.h"

namespace tsql::sysview {

namespace {

Value varchar(const std::string &s, int length) { return Value::text(s, SqlType::varchar(length)); }

const char *constraintType(const Object &o)
{
    if (o.type == "PK")
        return "PRIMARY KEY";
    if (o.type == "UQ")
        return "UNIQUE";
    if (o.type == "F ")
        return "FOREIGN KEY";
    if (o.type == "C ")
        return "CHECK";
    return nullptr; // defaults are no table constraint here
}

// The key of the parent that a foreign key points at: its primary key or unique constraint.
const Index *referencedKey(Catalog &c, const std::string &db, const ForeignKey &fk)
{
    TablePtr parent = c.load(db, fk.refTable);
    if (!parent)
        return nullptr;
    for (const Index &ix : parent->indexes) {
        if (!ix.constraint || ix.columns.size() != fk.refColumns.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < ix.columns.size(); ++i)
            same = same && iequals(ix.columns[i].first, fk.refColumns[i]);
        if (same)
            return &ix;
    }
    return nullptr;
}

} // namespace

Rows informationTables(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const TablePtr &t : tables(c, db))
        rows.push_back({name(db), name("dbo"), name(t->name),
                        varchar(t->kind == Table::Kind::View ? "VIEW" : "BASE TABLE", 10)});
    return rows;
}

Rows informationColumns(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const TablePtr &t : tables(c, db)) {
        for (std::size_t i = 0; i < t->columns.size(); ++i) {
            const tsql::Column &col = t->columns[i];
            const SqlType &ty = col.type;
            const bool characters = ty.isText();
            rows.push_back({name(db), name("dbo"), name(t->name), name(col.name), integer(static_cast<std::int64_t>(i) + 1),
                            col.defaultText.empty() ? nullOf(SqlType::nvarchar(4000)) : text(col.defaultText, SqlType::nvarchar(4000)),
                            varchar(col.nullable ? "YES" : "NO", 3), name(ty.name()),
                            optionalInt(characterLength(ty, false), kInt), optionalInt(characterLength(ty, true), kInt),
                            optionalInt(numericPrecision(ty), kTiny), optionalInt(numericPrecisionRadix(ty), kSmall),
                            optionalInt(numericScale(ty), kInt), optionalInt(datetimePrecision(ty), kSmall),
                            nullOf(kName), nullOf(kName),
                            characters ? name(ty.isUnicode() ? "UNICODE" : "iso_1") : nullOf(kName), nullOf(kName),
                            nullOf(kName), characters ? name(kCollation) : nullOf(kName), nullOf(kName), nullOf(kName),
                            nullOf(kName)});
        }
    }
    return rows;
}

Rows informationViews(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const TablePtr &t : tables(c, db))
        if (t->kind == Table::Kind::View)
            rows.push_back({name(db), name("dbo"), name(t->name),
                            text("CREATE VIEW " + t->name + " AS " + t->viewText, SqlType::nvarchar(4000)),
                            varchar("NONE", 7), varchar("NO", 2)});
    return rows;
}

Rows informationSchemata(Catalog &, const std::string &db)
{
    // Every database has the same schemas: dbo, guest, the two of the catalogue and the roles'.
    Rows rows;
    for (const char *s : {"dbo", "guest", "INFORMATION_SCHEMA", "sys", "db_owner", "db_accessadmin", "db_securityadmin",
                          "db_ddladmin", "db_backupoperator", "db_datareader", "db_datawriter", "db_denydatareader",
                          "db_denydatawriter"})
        rows.push_back({name(db), name(s), name(s), nullOf(kName), nullOf(kName), name("iso_1")});
    return rows;
}

Rows informationTableConstraints(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db))
        if (const char *type = constraintType(o))
            rows.push_back({name(db), name("dbo"), name(o.name), name(db), name("dbo"), name(o.table->name),
                            varchar(type, 11), varchar("NO", 2), varchar("NO", 2)});
    return rows;
}

Rows informationKeyColumnUsage(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        std::vector<std::string> cols;
        if (o.index)
            for (const auto &[col, desc] : o.index->columns)
                cols.push_back(col);
        else if (o.foreignKey)
            cols = o.foreignKey->columns;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            const int at = o.table->find(cols[i]);
            rows.push_back({name(db), name("dbo"), name(o.name), name(db), name("dbo"), name(o.table->name),
                            name(at >= 0 ? o.table->columns[static_cast<std::size_t>(at)].name : cols[i]),
                            integer(static_cast<std::int64_t>(i) + 1)});
        }
    }
    return rows;
}

Rows informationCheckConstraints(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db))
        if (o.check)
            rows.push_back({name(db), name("dbo"), name(o.name), text(o.check->definition, SqlType::nvarchar(4000))});
    return rows;
}

Rows informationReferentialConstraints(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (!o.foreignKey)
            continue;
        const Index *key = referencedKey(c, db, *o.foreignKey);
        rows.push_back({name(db), name("dbo"), name(o.name), name(db), name("dbo"),
                        key ? name(key->name) : nullOf(kName), varchar("SIMPLE", 7),
                        varchar(o.foreignKey->onUpdate, 11), varchar(o.foreignKey->onDelete, 11)});
    }
    return rows;
}

} // namespace tsql::sysview
