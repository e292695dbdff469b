// The rows of sys.objects and of the views that narrow it to one kind of object.

#include "tsql/CatalogObjects.h"
#include "tsql/SystemViewRows.h"
#include "tsql/SystemViewValues.h"

namespace tsql::sysview {

namespace {

const SqlType kChar2{Base::Char, 2};

// is_system_named is 0 throughout: the engine names an unnamed constraint after its table
// (PK_tbMaster), a name a script may write back as it stands, unlike SQL Server's generated ones.

// The columns a view over sys.objects starts with.
std::vector<Value> objectRow(const Object &o)
{
    return {name(o.name), integer(o.id), nullOf(kInt), integer(1), integer(o.parentId), text(o.type, kChar2),
            text(o.typeDesc, kDesc), when(o.created), when(o.modified), bit(false), bit(false), bit(false)};
}

// Referential actions as sys.foreign_keys numbers them.
int action(const std::string &a)
{
    if (iequals(a, "CASCADE"))
        return 1;
    if (iequals(a, "SET NULL"))
        return 2;
    if (iequals(a, "SET DEFAULT"))
        return 3;
    return 0;
}

std::string actionDesc(const std::string &a)
{
    std::string d = upper(a.empty() ? "NO ACTION" : a);
    for (char &c : d)
        if (c == ' ')
            c = '_';
    return d;
}

} // namespace

Rows sysObjects(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db))
        rows.push_back(objectRow(o));
    return rows;
}

Rows sysTables(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (!o.isTable())
            continue;
        bool lob = false;
        for (const Column &col : o.table->columns)
            lob = lob || col.type.isLob();
        std::vector<Value> r = objectRow(o);
        const std::vector<Value> more = {
            integer(lob ? 1 : 0), nullOf(kInt), integer(static_cast<std::int64_t>(o.table->columns.size())), bit(false),
            bit(true), bit(false), bit(false), bit(false), bit(false), bit(false), integer(0), bit(false), bit(false),
            integer(0, kTiny), text("TABLE", kDesc), bit(false), bit(false), integer(0, kTiny),
            text("SCHEMA_AND_DATA", kDesc), integer(0, kTiny), text("NON_TEMPORAL_TABLE", kDesc), nullOf(kInt),
            bit(false), bit(false)};
        r.insert(r.end(), more.begin(), more.end());
        rows.push_back(std::move(r));
    }
    return rows;
}

Rows sysViews(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (!o.isView())
            continue;
        std::vector<Value> r = objectRow(o);
        for (int i = 0; i < 7; ++i)
            r.push_back(bit(false));
        rows.push_back(std::move(r));
    }
    return rows;
}

Rows sysKeyConstraints(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (!o.index)
            continue;
        std::vector<Value> r = objectRow(o);
        r.push_back(integer(o.index->id));
        r.push_back(bit(false));
        r.push_back(bit(true));
        rows.push_back(std::move(r));
    }
    return rows;
}

Rows sysCheckConstraints(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (!o.check)
            continue;
        std::vector<Value> r = objectRow(o);
        const std::vector<Value> more = {bit(!o.check->enabled), bit(false), bit(!o.check->enabled),
                                         integer(o.column + 1), text(o.check->definition, SqlType::nvarchar(-1)),
                                         bit(true), bit(false)};
        r.insert(r.end(), more.begin(), more.end());
        rows.push_back(std::move(r));
    }
    return rows;
}

Rows sysDefaultConstraints(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (o.type != "D ")
            continue;
        std::vector<Value> r = objectRow(o);
        r.push_back(integer(o.column + 1));
        r.push_back(text(o.table->columns[static_cast<std::size_t>(o.column)].defaultText, SqlType::nvarchar(-1)));
        r.push_back(bit(false));
        rows.push_back(std::move(r));
    }
    return rows;
}

Rows sysForeignKeys(Catalog &c, const std::string &db)
{
    Rows rows;
    const std::vector<Object> all = objects(c, db);
    for (const Object &o : all) {
        if (!o.foreignKey)
            continue;
        const ForeignKey &fk = *o.foreignKey;
        // The parent's key the foreign key leans on: the index whose columns it names.
        std::int64_t keyIndex = 0;
        if (TablePtr parent = c.load(db, fk.refTable))
            for (const Index &ix : parent->indexes)
                if (ix.unique && ix.columns.size() == fk.refColumns.size() &&
                    std::equal(ix.columns.begin(), ix.columns.end(), fk.refColumns.begin(),
                               [](const auto &a, const std::string &b) { return iequals(a.first, b); }))
                    keyIndex = keyIndex ? keyIndex : ix.id;
        std::vector<Value> r = objectRow(o);
        const std::vector<Value> more = {integer(tableId(all, fk.refTable)), integer(keyIndex), bit(!fk.enabled),
                                         bit(false), bit(!fk.enabled), integer(action(fk.onDelete), kTiny),
                                         text(actionDesc(fk.onDelete), kDesc), integer(action(fk.onUpdate), kTiny),
                                         text(actionDesc(fk.onUpdate), kDesc), bit(false)};
        r.insert(r.end(), more.begin(), more.end());
        rows.push_back(std::move(r));
    }
    return rows;
}

Rows sysForeignKeyColumns(Catalog &c, const std::string &db)
{
    Rows rows;
    const std::vector<Object> all = objects(c, db);
    for (const Object &o : all) {
        if (!o.foreignKey)
            continue;
        const ForeignKey &fk = *o.foreignKey;
        TablePtr parent = c.load(db, fk.refTable);
        for (std::size_t i = 0; i < fk.columns.size() && i < fk.refColumns.size(); ++i)
            rows.push_back({integer(o.id), integer(static_cast<std::int64_t>(i) + 1), integer(o.parentId),
                            integer(o.table->find(fk.columns[i]) + 1), integer(tableId(all, fk.refTable)),
                            integer(parent ? parent->find(fk.refColumns[i]) + 1 : 0)});
    }
    return rows;
}

} // namespace tsql::sysview
