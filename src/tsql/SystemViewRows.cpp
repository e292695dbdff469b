#include "tsql/SystemViewRows.h"

namespace tsql::sysview {

namespace {

const SqlType kName = SqlType::nvarchar(128);
const SqlType kInt{Base::Int};
const SqlType kSmall{Base::SmallInt};
const SqlType kTiny{Base::TinyInt};
const SqlType kBit{Base::Bit};

Value name(const std::string &s) { return Value::text(s, kName); }
Value integer(std::int64_t v, const SqlType &t = kInt) { return Value::integer(v, t); }
Value nullOf(const SqlType &t) { return Value::null(t); }
Value varchar(const std::string &s, int len) { return Value::text(s, SqlType::varchar(len)); }

// Each table of a database, loaded once for the rows of one statement.
std::vector<TablePtr> tables(Catalog &c, const std::string &db)
{
    std::vector<TablePtr> out;
    if (!c.findDatabase(db) && db != "temp")
        return out;
    for (const std::string &n : c.objectNames(db))
        if (TablePtr t = c.load(db, n))
            out.push_back(t);
    return out;
}

std::optional<std::int64_t> numericPrecision(const SqlType &t)
{
    switch (t.base) {
    case Base::TinyInt: return 3;
    case Base::SmallInt: return 5;
    case Base::Int: return 10;
    case Base::BigInt: return 19;
    case Base::Decimal: case Base::Numeric: return t.precision;
    case Base::Money: return 19;
    case Base::SmallMoney: return 10;
    case Base::Float: return 53;
    case Base::Real: return 24;
    default: return std::nullopt;
    }
}

std::optional<std::int64_t> numericScale(const SqlType &t)
{
    if (t.isInteger() && t.base != Base::Bit)
        return 0;
    if (t.isDecimal())
        return t.scale;
    if (t.isMoney())
        return 4;
    return std::nullopt;
}

std::optional<std::int64_t> datetimePrecision(const SqlType &t)
{
    switch (t.base) {
    case Base::DateTime: return 3;
    case Base::SmallDateTime: case Base::Date: return 0;
    case Base::Time: case Base::DateTime2: case Base::DateTimeOffset: return t.scale;
    default: return std::nullopt;
    }
}

std::optional<std::int64_t> characterLength(const SqlType &t, bool octets)
{
    switch (t.base) {
    case Base::Text: case Base::Image: return 2147483647;
    case Base::NText: return octets ? 2147483646 : 1073741823;
    case Base::Char: case Base::VarChar: case Base::Binary: case Base::VarBinary:
        return t.length == -1 ? -1 : std::max(1, t.length);
    case Base::NChar: case Base::NVarChar:
        return t.length == -1 ? -1 : (octets ? 2 : 1) * std::max(1, t.length);
    default: return std::nullopt;
    }
}

Value optionalInt(std::optional<std::int64_t> v, const SqlType &t)
{
    return v ? integer(*v, t) : nullOf(t);
}

// Type ids as sys.types numbers them (system_type_id = user_type_id for the system types).
int typeId(const SqlType &t)
{
    switch (t.base) {
    case Base::Image: return 34;
    case Base::Text: return 35;
    case Base::UniqueIdentifier: return 36;
    case Base::Date: return 40;
    case Base::Time: return 41;
    case Base::DateTime2: return 42;
    case Base::DateTimeOffset: return 43;
    case Base::TinyInt: return 48;
    case Base::SmallInt: return 52;
    case Base::Int: return 56;
    case Base::SmallDateTime: return 58;
    case Base::Real: return 59;
    case Base::Money: return 60;
    case Base::DateTime: return 61;
    case Base::Float: return 62;
    case Base::SqlVariant: return 98;
    case Base::NText: return 99;
    case Base::Bit: return 104;
    case Base::Decimal: return 106;
    case Base::Numeric: return 108;
    case Base::SmallMoney: return 122;
    case Base::BigInt: return 127;
    case Base::VarBinary: return 165;
    case Base::VarChar: return 167;
    case Base::Binary: return 173;
    case Base::Char: return 175;
    case Base::NVarChar: return 231;
    case Base::NChar: return 239;
    case Base::Null: return 56;
    }
    return 0;
}

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
            const bool text = ty.isText();
            rows.push_back({name(db), name("dbo"), name(t->name), name(col.name), integer(static_cast<std::int64_t>(i) + 1),
                            col.defaultText.empty() ? nullOf(SqlType::nvarchar(4000)) : Value::text(col.defaultText, SqlType::nvarchar(4000)),
                            varchar(col.nullable ? "YES" : "NO", 3), name(ty.name()),
                            optionalInt(characterLength(ty, false), kInt), optionalInt(characterLength(ty, true), kInt),
                            optionalInt(numericPrecision(ty), kTiny),
                            optionalInt(numericPrecision(ty) ? std::optional<std::int64_t>(ty.isApproximate() ? 2 : 10) : std::nullopt, kSmall),
                            optionalInt(numericScale(ty), kInt), optionalInt(datetimePrecision(ty), kSmall),
                            nullOf(kName), nullOf(kName),
                            text ? name(ty.isUnicode() ? "UNICODE" : "iso_1") : nullOf(kName), nullOf(kName), nullOf(kName),
                            text ? name("SQL_Latin1_General_CP1_CI_AS") : nullOf(kName), nullOf(kName), nullOf(kName),
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
                            Value::text("CREATE VIEW " + t->name + " AS " + t->viewText, SqlType::nvarchar(4000)),
                            varchar("NONE", 7), varchar("NO", 2)});
    return rows;
}

Rows informationSchemata(Catalog &, const std::string &db)
{
    Rows rows;
    for (const char *s : {"dbo", "guest", "INFORMATION_SCHEMA", "sys"})
        rows.push_back({name(db), name(s), name(s == std::string("dbo") || s == std::string("guest") ? s : "dbo"),
                        nullOf(kName), nullOf(kName), name("iso_1")});
    return rows;
}

Value when(const std::string &s)
{
    return s.empty() ? Value::null(SqlType{Base::DateTime})
                     : Value::text(s, SqlType::varchar(23)); // converted by the reader to datetime
}

Rows sysObjects(Catalog &c, const std::string &db, bool tablesOnly, bool viewsOnly)
{
    Rows rows;
    for (const TablePtr &t : tables(c, db)) {
        const bool view = t->kind == Table::Kind::View;
        if ((tablesOnly && view) || (viewsOnly && !view))
            continue;
        rows.push_back({name(t->name), integer(t->objectId), nullOf(kInt), integer(1), integer(0),
                        Value::text(view ? "V " : "U ", SqlType{Base::Char, 2}),
                        Value::text(view ? "VIEW" : "USER_TABLE", SqlType::nvarchar(60)), when(t->created),
                        when(t->modified), integer(0, kBit), integer(0, kBit), integer(0, kBit)});
    }
    return rows;
}

Rows sysColumns(Catalog &c, const std::string &db)
{
    Rows rows;
    for (const TablePtr &t : tables(c, db)) {
        for (std::size_t i = 0; i < t->columns.size(); ++i) {
            const tsql::Column &col = t->columns[i];
            const SqlType &ty = col.type;
            rows.push_back({integer(t->objectId), name(col.name), integer(static_cast<std::int64_t>(i) + 1),
                            integer(typeId(ty), kTiny), integer(typeId(ty)), integer(ty.storageBytes(), kSmall),
                            integer(numericPrecision(ty).value_or(datetimePrecision(ty).value_or(0)), kTiny),
                            integer(numericScale(ty).value_or(datetimePrecision(ty).value_or(0)), kTiny),
                            ty.isText() ? name("SQL_Latin1_General_CP1_CI_AS") : nullOf(kName),
                            integer(col.nullable ? 1 : 0, kBit), integer(col.identity ? 1 : 0, kBit),
                            integer(col.computed.empty() ? 0 : 1, kBit)});
        }
    }
    return rows;
}

Rows sysSchemas(Catalog &, const std::string &)
{
    return {{name("dbo"), integer(1), integer(1)},
            {name("guest"), integer(2), integer(2)},
            {name("INFORMATION_SCHEMA"), integer(3), integer(3)},
            {name("sys"), integer(4), integer(4)}};
}

Rows sysDatabases(Catalog &c, const std::string &)
{
    Rows rows;
    rows.push_back({name("master"), integer(1), name("SQL_Latin1_General_CP1_CI_AS"), integer(0, kTiny),
                    Value::text("ONLINE", SqlType::nvarchar(60)), integer(0, kBit)});
    rows.push_back({name("tempdb"), integer(2), name("SQL_Latin1_General_CP1_CI_AS"), integer(0, kTiny),
                    Value::text("ONLINE", SqlType::nvarchar(60)), integer(0, kBit)});
    for (const std::string &d : c.databases()) {
        if (iequals(d, "master"))
            continue; // the folder's logins: listed above, as SQL Server always lists master
        rows.push_back({name(d), integer(c.databaseId(d)), name("SQL_Latin1_General_CP1_CI_AS"), integer(0, kTiny),
                        Value::text("ONLINE", SqlType::nvarchar(60)), integer(c.isReadOnly(d) ? 1 : 0, kBit)});
    }
    return rows;
}

Rows sysTypes(Catalog &, const std::string &)
{
    Rows rows;
    const std::pair<const char *, SqlType> types[] = {
        {"image", {Base::Image}}, {"text", {Base::Text}}, {"uniqueidentifier", {Base::UniqueIdentifier}},
        {"date", {Base::Date}}, {"time", {Base::Time, 0, 16, 7}}, {"datetime2", {Base::DateTime2, 0, 27, 7}},
        {"datetimeoffset", {Base::DateTimeOffset, 0, 34, 7}}, {"tinyint", {Base::TinyInt}},
        {"smallint", {Base::SmallInt}}, {"int", {Base::Int}}, {"smalldatetime", {Base::SmallDateTime}},
        {"real", {Base::Real}}, {"money", {Base::Money}}, {"datetime", {Base::DateTime}}, {"float", {Base::Float}},
        {"sql_variant", {Base::SqlVariant}}, {"ntext", {Base::NText}}, {"bit", {Base::Bit}},
        {"decimal", SqlType::decimal(38, 38)}, {"numeric", {Base::Numeric, 0, 38, 38}},
        {"smallmoney", {Base::SmallMoney}}, {"bigint", {Base::BigInt}}, {"varbinary", {Base::VarBinary, 8000}},
        {"varchar", {Base::VarChar, 8000}}, {"binary", {Base::Binary, 8000}}, {"char", {Base::Char, 8000}},
        {"nvarchar", {Base::NVarChar, 4000}}, {"nchar", {Base::NChar, 4000}},
    };
    for (const auto &[n, t] : types)
        rows.push_back({name(n), integer(typeId(t), kTiny), integer(typeId(t)), integer(4), integer(t.storageBytes(), kSmall),
                        integer(numericPrecision(t).value_or(0), kTiny), integer(numericScale(t).value_or(0), kTiny),
                        t.isText() ? name("SQL_Latin1_General_CP1_CI_AS") : nullOf(kName), integer(1, kBit),
                        integer(0, kBit)});
    return rows;
}

} // namespace

const std::vector<Definition> &all()
{
    static const std::vector<Definition> views = {
        {"INFORMATION_SCHEMA", "TABLES",
         {{"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName}, {"TABLE_TYPE", SqlType::varchar(10)}},
         informationTables},
        {"INFORMATION_SCHEMA", "COLUMNS",
         {{"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName}, {"COLUMN_NAME", kName},
          {"ORDINAL_POSITION", kInt}, {"COLUMN_DEFAULT", SqlType::nvarchar(4000)}, {"IS_NULLABLE", SqlType::varchar(3)},
          {"DATA_TYPE", kName}, {"CHARACTER_MAXIMUM_LENGTH", kInt}, {"CHARACTER_OCTET_LENGTH", kInt},
          {"NUMERIC_PRECISION", kTiny}, {"NUMERIC_PRECISION_RADIX", kSmall}, {"NUMERIC_SCALE", kInt},
          {"DATETIME_PRECISION", kSmall}, {"CHARACTER_SET_CATALOG", kName}, {"CHARACTER_SET_SCHEMA", kName},
          {"CHARACTER_SET_NAME", kName}, {"COLLATION_CATALOG", kName}, {"COLLATION_SCHEMA", kName},
          {"COLLATION_NAME", kName}, {"DOMAIN_CATALOG", kName}, {"DOMAIN_SCHEMA", kName}, {"DOMAIN_NAME", kName}},
         informationColumns},
        {"INFORMATION_SCHEMA", "VIEWS",
         {{"TABLE_CATALOG", kName}, {"TABLE_SCHEMA", kName}, {"TABLE_NAME", kName},
          {"VIEW_DEFINITION", SqlType::nvarchar(4000)}, {"CHECK_OPTION", SqlType::varchar(7)},
          {"IS_UPDATABLE", SqlType::varchar(2)}},
         informationViews},
        {"INFORMATION_SCHEMA", "SCHEMATA",
         {{"CATALOG_NAME", kName}, {"SCHEMA_NAME", kName}, {"SCHEMA_OWNER", kName},
          {"DEFAULT_CHARACTER_SET_CATALOG", kName}, {"DEFAULT_CHARACTER_SET_SCHEMA", kName},
          {"DEFAULT_CHARACTER_SET_NAME", kName}},
         informationSchemata},
        {"sys", "objects",
         {{"name", kName}, {"object_id", kInt}, {"principal_id", kInt}, {"schema_id", kInt}, {"parent_object_id", kInt},
          {"type", SqlType{Base::Char, 2}}, {"type_desc", SqlType::nvarchar(60)}, {"create_date", SqlType{Base::DateTime}},
          {"modify_date", SqlType{Base::DateTime}}, {"is_ms_shipped", kBit}, {"is_published", kBit},
          {"is_schema_published", kBit}},
         [](Catalog &c, const std::string &db) { return sysObjects(c, db, false, false); }},
        {"sys", "tables",
         {{"name", kName}, {"object_id", kInt}, {"principal_id", kInt}, {"schema_id", kInt}, {"parent_object_id", kInt},
          {"type", SqlType{Base::Char, 2}}, {"type_desc", SqlType::nvarchar(60)}, {"create_date", SqlType{Base::DateTime}},
          {"modify_date", SqlType{Base::DateTime}}, {"is_ms_shipped", kBit}, {"is_published", kBit},
          {"is_schema_published", kBit}},
         [](Catalog &c, const std::string &db) { return sysObjects(c, db, true, false); }},
        {"sys", "views",
         {{"name", kName}, {"object_id", kInt}, {"principal_id", kInt}, {"schema_id", kInt}, {"parent_object_id", kInt},
          {"type", SqlType{Base::Char, 2}}, {"type_desc", SqlType::nvarchar(60)}, {"create_date", SqlType{Base::DateTime}},
          {"modify_date", SqlType{Base::DateTime}}, {"is_ms_shipped", kBit}, {"is_published", kBit},
          {"is_schema_published", kBit}},
         [](Catalog &c, const std::string &db) { return sysObjects(c, db, false, true); }},
        {"sys", "columns",
         {{"object_id", kInt}, {"name", kName}, {"column_id", kInt}, {"system_type_id", kTiny}, {"user_type_id", kInt},
          {"max_length", kSmall}, {"precision", kTiny}, {"scale", kTiny}, {"collation_name", kName},
          {"is_nullable", kBit}, {"is_identity", kBit}, {"is_computed", kBit}},
         sysColumns},
        {"sys", "schemas", {{"name", kName}, {"schema_id", kInt}, {"principal_id", kInt}}, sysSchemas},
        {"sys", "databases",
         {{"name", kName}, {"database_id", kInt}, {"collation_name", kName}, {"state", kTiny},
          {"state_desc", SqlType::nvarchar(60)}, {"is_read_only", kBit}},
         sysDatabases},
        {"sys", "types",
         {{"name", kName}, {"system_type_id", kTiny}, {"user_type_id", kInt}, {"schema_id", kInt},
          {"max_length", kSmall}, {"precision", kTiny}, {"scale", kTiny}, {"collation_name", kName},
          {"is_nullable", kBit}, {"is_user_defined", kBit}},
         sysTypes},
    };
    return views;
}

} // namespace tsql::sysview
