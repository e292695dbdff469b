// sp_help and sp_helpindex: what SQL Server reports about an object, a type or the whole
// database, result set by result set.

#include "tsql/SystemProcedures.h"

#include "tsql/CatalogObjects.h"
#include "tsql/Errors.h"
#include "tsql/SystemProcedureSupport.h"
#include "tsql/SystemViewTypes.h"

#include <algorithm>

namespace tsql {

using namespace sysproc;

namespace {

const SqlType kName = SqlType::nvarchar(128);
Value nameValue(const std::string &s) { return Value::text(s, kName); }
Value varchar(const std::string &s, int length) { return Value::text(s, SqlType::varchar(length)); }
Value nvarchar(const std::string &s, int length) { return Value::text(s, SqlType::nvarchar(length)); }

// sys.objects' type as sp_help words it.
std::string objectType(const sysview::Object &o)
{
    if (o.isTable())
        return "user table";
    if (o.isView())
        return "view";
    if (o.type == "PK")
        return "primary key cns";
    if (o.type == "UQ")
        return "unique key cns";
    if (o.type == "C ")
        return "check cns";
    if (o.type == "F ")
        return "foreign key cns";
    return "default (maybe cns)";
}

// Types whose precision and scale sp_help shows; the others show blanks.
bool showsPrecision(const SqlType &t)
{
    switch (t.base) {
    case Base::TinyInt: case Base::SmallInt: case Base::Int: case Base::BigInt: case Base::Real: case Base::Float:
    case Base::Decimal: case Base::Numeric: case Base::Money: case Base::SmallMoney: case Base::Date:
    case Base::Time: case Base::DateTime2: case Base::DateTimeOffset:
        return true;
    default:
        return false;
    }
}

// char(5), left-aligned, as sp_help prints Prec and Scale.
Value char5(const std::string &s) { return Value::text((s + "     ").substr(0, std::max<std::size_t>(5, s.size())), SqlType{Base::Char, 5}); }

bool fixedOrVarying(const SqlType &t)
{
    return t.base == Base::Char || t.base == Base::VarChar || t.base == Base::Binary || t.base == Base::VarBinary;
}

std::string keys(const Index &ix)
{
    std::string s;
    for (const auto &[col, desc] : ix.columns)
        s += (s.empty() ? "" : ", ") + col + (desc ? "(-)" : "");
    return s;
}

std::string joined(const std::vector<std::string> &parts)
{
    std::string s;
    for (const auto &p : parts)
        s += (s.empty() ? "" : ", ") + p;
    return s;
}

std::string indexDescription(const Index &ix)
{
    std::string d = ix.primaryKey ? "clustered" : "nonclustered";
    if (ix.unique)
        d += ", unique";
    if (ix.primaryKey)
        d += ", primary key";
    else if (ix.constraint)
        d += ", unique key";
    return d + " located on PRIMARY";
}

// An index list, or SQL Server's message when the table has none. sp_help and sp_helpindex
// list the same.
void indexes(BatchRunner &b, const Table &t)
{
    std::vector<const Index *> list;
    for (const Index &ix : t.indexes)
        list.push_back(&ix);
    if (list.empty()) {
        report(b, err::make(15472, t.name));
        return;
    }
    std::sort(list.begin(), list.end(), [](const Index *x, const Index *y) { return lower(x->name) < lower(y->name); });
    ResultBuilder r;
    r.add("index_name", kName, false);
    r.add("index_description", SqlType::varchar(210));
    r.add("index_keys", SqlType::nvarchar(2078));
    for (const Index *ix : list)
        r.row({nameValue(ix->name), varchar(indexDescription(*ix), 210), nvarchar(keys(*ix), 2078)});
    r.queue(b);
}

void objectSummary(BatchRunner &b, const std::string &name, const std::string &type, const std::string &created)
{
    ResultBuilder r;
    r.add("Name", kName, false);
    r.add("Owner", kName, false);
    r.add("Type", SqlType::nvarchar(31), false);
    r.add("Created_datetime", SqlType{Base::DateTime}, false);
    r.row({nameValue(name), nameValue("dbo"), nvarchar(type, 31),
           created.empty() ? Value::null(SqlType{Base::DateTime}) : Value::text(created, SqlType::varchar(23))});
    r.queue(b);
}

void columns(BatchRunner &b, const Table &t)
{
    ResultBuilder r;
    r.add("Column_name", kName);
    r.add("Type", kName);
    r.add("Computed", SqlType::varchar(35));
    r.add("Length", SqlType{Base::Int});
    r.add("Prec", SqlType{Base::Char, 5});
    r.add("Scale", SqlType{Base::Char, 5});
    r.add("Nullable", SqlType::varchar(35));
    r.add("TrimTrailingBlanks", SqlType::varchar(35));
    r.add("FixedLenNullInSource", SqlType::varchar(35));
    r.add("Collation", kName);
    for (const Column &c : t.columns) {
        const SqlType &ty = c.type;
        const bool numbers = showsPrecision(ty);
        const Value scale = !numbers ? char5("") : ty.isApproximate() ? Value::null(SqlType{Base::Char, 5})
                                                                       : char5(std::to_string(sysview::scale(ty)));
        const bool nullable = c.nullable && !c.identity;
        r.row({nameValue(c.name), nameValue(ty.name()), varchar(c.computed.empty() ? "no" : "yes", 35),
               Value::integer(ty.isNull() ? 4 : ty.storageBytes(), SqlType{Base::Int}),
               char5(numbers ? std::to_string(sysview::precision(ty)) : ""), scale,
               varchar(nullable ? "yes" : "no", 35), varchar(fixedOrVarying(ty) ? "no" : "(n/a)", 35),
               varchar(fixedOrVarying(ty) ? (nullable ? "yes" : "no") : "(n/a)", 35),
               ty.isText() ? nameValue(sysview::kCollation) : Value::null(kName)});
    }
    r.queue(b);
}

void identity(BatchRunner &b, const Table &t)
{
    ResultBuilder r;
    const SqlType number = SqlType{Base::Numeric, 0, 38, 0};
    r.add("Identity", kName);
    r.add("Seed", number);
    r.add("Increment", number);
    r.add("Not For Replication", SqlType{Base::Int});
    if (t.identity)
        r.row({nameValue(t.identity->column), Value::decimal(Decimal{t.identity->seed, 38, 0}, number),
               Value::decimal(Decimal{t.identity->step, 38, 0}, number), Value::integer(0, SqlType{Base::Int})});
    else
        r.row({nameValue("No identity column defined."), Value::null(number), Value::null(number),
               Value::null(SqlType{Base::Int})});
    r.queue(b);
    ResultBuilder g;
    g.add("RowGuidCol", kName);
    g.row({nameValue("No rowguidcol column defined.")});
    g.queue(b);
}

std::string action(const std::string &a)
{
    if (iequals(a, "CASCADE"))
        return "Cascade";
    if (iequals(a, "SET NULL"))
        return "Set_Null";
    if (iequals(a, "SET DEFAULT"))
        return "Set_Default";
    return "No Action";
}

void constraints(BatchRunner &b, const Table &t, const std::vector<sysview::Object> &all)
{
    struct Row {
        std::string type, name, onDelete, onUpdate, enabled, replication, keys, references;
    };
    std::vector<Row> rows;
    const std::string na = "(n/a)";
    for (const sysview::Object &o : all) {
        if (o.parentId != t.objectId || o.parentId == 0)
            continue;
        if (o.index) {
            std::vector<std::string> cols;
            for (const auto &[col, desc] : o.index->columns)
                cols.push_back(col);
            rows.push_back({o.index->primaryKey ? "PRIMARY KEY (clustered)" : "UNIQUE (non-clustered)", o.name, na, na, na,
                            na, joined(cols), ""});
        } else if (o.check) {
            rows.push_back({o.column >= 0 ? "CHECK on column " + t.columns[static_cast<std::size_t>(o.column)].name
                                          : "CHECK Table Level",
                            o.name, na, na, o.check->enabled ? "Enabled" : "Disabled", "Is_For_Replication",
                            o.check->definition, ""});
        } else if (o.foreignKey) {
            const ForeignKey &fk = *o.foreignKey;
            rows.push_back({"FOREIGN KEY", o.name, action(fk.onDelete), action(fk.onUpdate),
                            fk.enabled ? "Enabled" : "Disabled", "Is_For_Replication", joined(fk.columns),
                            "REFERENCES " + t.database + ".dbo." + fk.refTable + " (" + joined(fk.refColumns) + ")"});
        } else if (o.type == "D ") {
            const Column &c = t.columns[static_cast<std::size_t>(o.column)];
            rows.push_back({"DEFAULT on column " + c.name, o.name, na, na, na, na, c.defaultText, ""});
        }
    }
    if (rows.empty()) {
        report(b, err::make(15469, t.name));
        return;
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &x, const Row &y) {
        return std::pair(lower(x.type), lower(x.name)) < std::pair(lower(y.type), lower(y.name));
    });
    ResultBuilder r;
    r.add("constraint_type", SqlType::nvarchar(146));
    r.add("constraint_name", kName);
    r.add("delete_action", SqlType::nvarchar(9));
    r.add("update_action", SqlType::nvarchar(9));
    r.add("status_enabled", SqlType::varchar(8));
    r.add("status_for_replication", SqlType::varchar(19));
    r.add("constraint_keys", SqlType::nvarchar(2078));
    for (const Row &row : rows) {
        r.row({nvarchar(row.type, 146), nameValue(row.name), nvarchar(row.onDelete, 9), nvarchar(row.onUpdate, 9),
               varchar(row.enabled, 8), varchar(row.replication, 19), nvarchar(row.keys, 2078)});
        // A foreign key's second line names what it references, the other cells left blank.
        if (!row.references.empty())
            r.row({nvarchar(" ", 146), nameValue(" "), nvarchar(" ", 9), nvarchar(" ", 9), varchar(" ", 8),
                   varchar(" ", 19), nvarchar(row.references, 2078)});
    }
    r.queue(b);
}

void referencedBy(BatchRunner &b, const Table &t, const std::vector<sysview::Object> &all)
{
    ResultBuilder r;
    r.add("Table is referenced by foreign key", SqlType::nvarchar(516));
    for (const sysview::Object &o : all)
        if (o.foreignKey && iequals(o.foreignKey->refTable, t.name))
            r.row({nvarchar(t.database + ".dbo." + o.table->name + ": " + o.name, 516)});
    if (r.empty())
        report(b, err::make(15470, t.name));
    else
        r.queue(b);
}

void typeHelp(BatchRunner &b, const SqlType &t)
{
    ResultBuilder r;
    r.add("Type_name", kName);
    r.add("Storage_type", kName);
    r.add("Length", SqlType{Base::SmallInt});
    r.add("Prec", SqlType{Base::Int});
    r.add("Scale", SqlType{Base::Int});
    r.add("Nullable", SqlType::varchar(35));
    r.add("Default_name", kName);
    r.add("Rule_name", kName);
    r.add("Collation", kName);
    r.row({nameValue(t.name()), nameValue(t.name()), Value::integer(t.storageBytes(), SqlType{Base::SmallInt}),
           Value::integer(sysview::precision(t), SqlType{Base::Int}), Value::integer(sysview::scale(t), SqlType{Base::Int}),
           varchar("yes", 35), nameValue("none"), nameValue("none"),
           t.isText() ? nameValue(sysview::kCollation) : Value::null(kName)});
    r.queue(b);
}

void everything(BatchRunner &b)
{
    Engine &e = b.engine();
    std::vector<sysview::Object> all = e.currentDatabase().empty() ? std::vector<sysview::Object>{}
                                                                    : sysview::objects(e.catalog(), e.currentDatabase());
    std::stable_sort(all.begin(), all.end(), [](const sysview::Object &x, const sysview::Object &y) {
        return std::pair(objectType(x), lower(x.name)) < std::pair(objectType(y), lower(y.name));
    });
    ResultBuilder r;
    r.add("Name", kName);
    r.add("Owner", kName);
    r.add("Object_type", SqlType::nvarchar(31));
    for (const sysview::Object &o : all)
        r.row({nameValue(o.name), nameValue("dbo"), nvarchar(objectType(o), 31)});
    r.queue(b);
    // The user-defined types: the engine has none, so the set comes empty.
    ResultBuilder types;
    for (const char *n : {"User_type", "Storage_type"})
        types.add(n, kName);
    types.add("Length", SqlType{Base::SmallInt});
    types.add("Prec", SqlType{Base::Int});
    types.add("Scale", SqlType{Base::Int});
    types.add("Nullable", SqlType::varchar(35));
    for (const char *n : {"Default_name", "Rule_name", "Collation"})
        types.add(n, kName);
    types.queue(b);
}

} // namespace

void spHelp(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const Arguments a("sp_help", {"@objname"}, values, names);
    const std::optional<std::string> name = a.text(0);
    if (!name) {
        everything(b);
        return;
    }
    Engine &e = b.engine();
    if (TablePtr t = findObject(e, *name)) {
        objectSummary(b, t->name, t->kind == Table::Kind::View ? "view" : "user table", t->created);
        columns(b, *t);
        identity(b, *t);
        // A view's data lies in its tables, so it has no filegroup of its own; the rest is the same.
        if (t->kind != Table::Kind::View) {
            ResultBuilder fg;
            fg.add("Data_located_on_filegroup", kName);
            fg.row({nameValue("PRIMARY")});
            fg.queue(b);
        }
        indexes(b, *t);
        const std::vector<sysview::Object> all = sysview::objects(e.catalog(), t->database);
        constraints(b, *t, all);
        referencedBy(b, *t, all);
        return;
    }
    // A constraint is an object too; sp_help says what it is and when it was made.
    if (!e.currentDatabase().empty()) {
        const std::string bare = nameParts(*name).back();
        for (const sysview::Object &o : sysview::objects(e.catalog(), e.currentDatabase()))
            if (iequals(o.name, bare)) {
                objectSummary(b, o.name, objectType(o), o.created);
                return;
            }
    }
    for (const auto &[typeName, type] : sysview::builtinTypes())
        if (iequals(typeName, *name)) {
            typeHelp(b, type);
            return;
        }
    throw err::make(15009, *name, e.currentDatabase());
}

void spHelpIndex(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const Arguments a("sp_helpindex", {"@objname"}, values, names);
    const std::string name = a.required(0);
    TablePtr t = findObject(b.engine(), name);
    if (!t)
        throw err::make(15009, name, b.engine().currentDatabase());
    indexes(b, *t);
}

} // namespace tsql
