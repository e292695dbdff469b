// The rows of sys.columns, sys.identity_columns, sys.indexes and sys.index_columns.

#include "tsql/CatalogObjects.h"
#include "tsql/SystemViewRows.h"
#include "tsql/SystemViewTypes.h"
#include "tsql/SystemViewValues.h"

#include <map>

namespace tsql::sysview {

namespace {

// The default constraint of each column: (table id, column position) -> its object id.
std::map<std::pair<std::int64_t, int>, std::int64_t> defaultObjects(const std::vector<Object> &all)
{
    std::map<std::pair<std::int64_t, int>, std::int64_t> out;
    for (const Object &o : all)
        if (o.type == "D ")
            out[{o.parentId, o.column}] = o.id;
    return out;
}

std::vector<Value> columnRow(const Table &t, std::size_t i, std::int64_t defaultObject)
{
    const Column &col = t.columns[i];
    const SqlType &ty = col.type;
    // ANSI_PADDING applies to the character, binary and variant types.
    const bool padded = ty.isText() || ty.isBinary() || ty.base == Base::SqlVariant;
    return {integer(t.objectId), name(col.name), integer(static_cast<std::int64_t>(i) + 1),
            integer(typeId(ty), kTiny), integer(typeId(ty)), integer(ty.isNull() ? 4 : ty.storageBytes(), kSmall),
            integer(precision(ty), kTiny), integer(scale(ty), kTiny), ty.isText() ? name(kCollation) : nullOf(kName),
            bit(col.nullable && !col.identity), bit(padded), bit(false), bit(col.identity), bit(!col.computed.empty()),
            bit(false), bit(false), bit(false), bit(false), bit(false), bit(false), integer(0), integer(defaultObject),
            integer(0), bit(false), bit(false), integer(0, kTiny), text("NOT_APPLICABLE", kDesc)};
}

} // namespace

Rows sysColumns(Catalog &c, const std::string &db)
{
    Rows rows;
    const std::vector<Object> all = objects(c, db);
    const auto defaults = defaultObjects(all);
    for (const Object &o : all) {
        if (!o.isTable() && !o.isView())
            continue;
        for (std::size_t i = 0; i < o.table->columns.size(); ++i) {
            const auto d = defaults.find({o.id, static_cast<int>(i)});
            rows.push_back(columnRow(*o.table, i, d == defaults.end() ? 0 : d->second));
        }
    }
    return rows;
}

Rows sysIdentityColumns(Catalog &c, const std::string &db)
{
    Rows rows;
    const std::vector<Object> all = objects(c, db);
    for (const Object &o : all) {
        if (!o.isTable() || !o.table->identity)
            continue;
        const Identity &id = *o.table->identity;
        const int at = o.table->find(id.column);
        if (at < 0)
            continue;
        std::vector<Value> r = columnRow(*o.table, static_cast<std::size_t>(at), 0);
        r.push_back(integer(id.seed, kVariant));
        r.push_back(integer(id.step, kVariant));
        r.push_back(id.last ? integer(*id.last, kVariant) : nullOf(kVariant));
        r.push_back(bit(false));
        rows.push_back(std::move(r));
    }
    return rows;
}

Rows sysIndexes(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (!o.isTable())
            continue;
        const Table &t = *o.table;
        // A table without a clustered index is a heap, and SQL Server lists the heap as index 0.
        if (!t.primaryKey())
            rows.push_back({integer(t.objectId), nullOf(kName), integer(0), integer(0, kTiny), text("HEAP", kDesc),
                            bit(false), integer(1), bit(false), bit(false), bit(false), integer(0, kTiny), bit(false),
                            bit(false), bit(false), bit(false), bit(true), bit(true), bit(false),
                            nullOf(SqlType::nvarchar(-1)), nullOf(kInt), bit(false), bit(false), bit(false)});
        for (const Index &ix : t.indexes) {
            const bool clustered = ix.primaryKey;
            rows.push_back({integer(t.objectId), name(ix.name), integer(ix.id), integer(clustered ? 1 : 2, kTiny),
                            text(clustered ? "CLUSTERED" : "NONCLUSTERED", kDesc), bit(ix.unique), integer(1), bit(false),
                            bit(ix.primaryKey), bit(ix.constraint && !ix.primaryKey), integer(0, kTiny), bit(false),
                            bit(false), bit(false), bit(false), bit(true), bit(true), bit(false),
                            nullOf(SqlType::nvarchar(-1)), nullOf(kInt), bit(false), bit(false), bit(false)});
        }
    }
    return rows;
}

Rows sysIndexColumns(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const Object &o : objects(c, db)) {
        if (!o.isTable())
            continue;
        for (const Index &ix : o.table->indexes) {
            for (std::size_t k = 0; k < ix.columns.size(); ++k) {
                const auto &[col, desc] = ix.columns[k];
                rows.push_back({integer(o.id), integer(ix.id), integer(static_cast<std::int64_t>(k) + 1),
                                integer(o.table->find(col) + 1), integer(static_cast<std::int64_t>(k) + 1, kTiny),
                                integer(0, kTiny), bit(desc), bit(false), integer(0, kTiny)});
            }
        }
    }
    return rows;
}

} // namespace tsql::sysview
