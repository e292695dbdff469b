// Functions about the session, the server and the catalogue, as rows of the function table.

#include "tsql/Catalog.h"
#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Functions.h"
#include "tsql/Lexer.h"
#include "tsql/Text.h"

#include <random>

namespace tsql::fn {

namespace {

SqlType nvarchar128(const Call &) { return SqlType::nvarchar(128); }
SqlType intType(const Call &) { return SqlType{Base::Int}; }

Value session(const char *name, const Call &c, Runtime &rt)
{
    Value v = rt.sessionValue(name);
    return v.isNull() ? Value::null(c.result) : conv::convert(v, c.result);
}

// A name as a function's argument gives it ('dbo.tbMaster', 'tempdb..#t', '[my table]').
std::optional<ast::ObjectName> objectName(const std::string &text)
{
    try {
        const std::vector<Token> tokens = tokenize(text);
        ast::ObjectName n;
        std::vector<std::string> parts;
        bool expectName = true;
        for (const Token &t : tokens) {
            if (t.kind == Token::Kind::End)
                break;
            if (t.isSymbol(".")) {
                if (expectName)
                    parts.emplace_back();
                expectName = true;
                continue;
            }
            if (!t.isName() || !expectName)
                return std::nullopt;
            parts.push_back(t.text);
            expectName = false;
        }
        if (parts.empty() || parts.size() > 3 || parts.back().empty())
            return std::nullopt;
        n.name = parts.back();
        if (parts.size() >= 2)
            n.schema = parts[parts.size() - 2];
        if (parts.size() == 3)
            n.database = parts[0];
        n.written = text;
        return n;
    } catch (const Error &) {
        return std::nullopt;
    }
}

TablePtr tableNamed(const Value &v, Runtime &rt)
{
    const auto n = objectName(conv::toText(v));
    if (!n)
        return nullptr;
    try {
        return rt.catalog().find(*n, rt.currentDatabase());
    } catch (const Error &) {
        return nullptr;
    }
}

// OBJECT_NAME / COL_NAME look an object up by its id among the current database's tables and views.
TablePtr tableWithId(std::int64_t id, Runtime &rt)
{
    const std::string db = rt.currentDatabase();
    for (const std::string &name : rt.catalog().objectNames(db)) {
        TablePtr t = rt.catalog().load(db, name);
        if (t && t->objectId == id)
            return t;
    }
    return nullptr;
}

// sys.types' system_type_id of the built-in types.
const char *systemTypeName(std::int64_t id)
{
    static const std::pair<int, const char *> types[] = {
        {34, "image"}, {35, "text"}, {36, "uniqueidentifier"}, {40, "date"}, {41, "time"}, {42, "datetime2"},
        {43, "datetimeoffset"}, {48, "tinyint"}, {52, "smallint"}, {56, "int"}, {58, "smalldatetime"}, {59, "real"},
        {60, "money"}, {61, "datetime"}, {62, "float"}, {98, "sql_variant"}, {99, "ntext"}, {104, "bit"},
        {106, "decimal"}, {108, "numeric"}, {122, "smallmoney"}, {127, "bigint"}, {165, "varbinary"}, {167, "varchar"},
        {173, "binary"}, {175, "char"}, {189, "timestamp"}, {231, "nvarchar"}, {239, "nchar"}, {241, "xml"}, {256, "sysname"},
    };
    for (const auto &[n, name] : types)
        if (n == id)
            return name;
    return nullptr;
}

std::string guid()
{
    static thread_local std::mt19937_64 gen{std::random_device{}()};
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < 32; ++i) {
        int nibble = static_cast<int>(gen() & 15);
        if (i == 12)
            nibble = 4; // version 4: random
        if (i == 16)
            nibble = 8 | (nibble & 3);
        s += digits[nibble];
        if (i == 7 || i == 11 || i == 15 || i == 19)
            s += '-';
    }
    return s;
}

} // namespace

const std::vector<Definition> &systemFunctions()
{
    static const std::vector<Definition> rows = {
        {"newid", 0, 0, "", [](const Call &) { return SqlType{Base::UniqueIdentifier}; },
         [](const std::vector<Value> &, const Call &c, Runtime &) { return Value::text(guid(), c.result); }, NonDeterministic},
        {"scope_identity", 0, 0, "", [](const Call &) { return SqlType::decimal(38, 0); },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("scope_identity", c, rt); }, SessionBound},
        {"ident_current", 1, 1, "s", [](const Call &) { return SqlType::decimal(38, 0); },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const TablePtr t = tableNamed(a[0], rt);
             if (!t || !t->identity)
                 return Value::null(c.result);
             return conv::convert(Value::integer(t->identity->last.value_or(t->identity->seed)), c.result);
         },
         NullInNullOut | SessionBound},
        {"ident_seed", 1, 1, "s", [](const Call &) { return SqlType::decimal(38, 0); },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const TablePtr t = tableNamed(a[0], rt);
             return t && t->identity ? conv::convert(Value::integer(t->identity->seed), c.result) : Value::null(c.result);
         },
         NullInNullOut | SessionBound},
        {"ident_incr", 1, 1, "s", [](const Call &) { return SqlType::decimal(38, 0); },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const TablePtr t = tableNamed(a[0], rt);
             return t && t->identity ? conv::convert(Value::integer(t->identity->step), c.result) : Value::null(c.result);
         },
         NullInNullOut | SessionBound},
        {"db_name", 0, 1, "i", nvarchar128,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             if (a.empty())
                 return Value::text(rt.currentDatabase(), c.result);
             const std::int64_t id = a[0].asInteger();
             if (id == 1)
                 return Value::text("master", c.result);
             if (id == 2)
                 return Value::text("tempdb", c.result);
             for (const std::string &d : rt.catalog().databases())
                 if (rt.catalog().databaseId(d) == id)
                     return Value::text(d, c.result);
             return Value::null(c.result);
         },
         SessionBound},
        {"db_id", 0, 1, "u", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const std::string name = a.empty() ? rt.currentDatabase() : a[0].asText();
             const int id = rt.catalog().databaseId(iequals(name, "tempdb") ? "temp" : name);
             return id ? Value::integer(id, c.result) : Value::null(c.result);
         },
         SessionBound},
        {"object_id", 1, 2, "uu", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const TablePtr t = tableNamed(a[0], rt);
             if (!t || t->kind == Table::Kind::System)
                 return Value::null(c.result);
             if (a.size() > 1 && !a[1].isNull()) {
                 const std::string type = upper(text::rtrim(a[1].asText()));
                 const bool view = t->kind == Table::Kind::View;
                 if ((type == "U" && view) || (type == "V" && !view) || (type != "U" && type != "V"))
                     return Value::null(c.result);
             }
             return Value::integer(t->objectId, c.result);
         },
         NullInNullOut | SessionBound},
        {"object_name", 1, 2, "ii", nvarchar128,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const TablePtr t = tableWithId(a[0].asInteger(), rt);
             return t ? Value::text(t->name, c.result) : Value::null(c.result);
         },
         NullInNullOut | SessionBound},
        {"col_name", 2, 2, "ii", nvarchar128,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const TablePtr t = tableWithId(a[0].asInteger(), rt);
             const std::int64_t n = a[1].asInteger();
             if (!t || n < 1 || n > static_cast<std::int64_t>(t->columns.size()))
                 return Value::null(c.result);
             return Value::text(t->columns[static_cast<std::size_t>(n - 1)].name, c.result);
         },
         NullInNullOut | SessionBound},
        {"type_name", 1, 1, "i", nvarchar128,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const char *name = systemTypeName(a[0].asInteger());
             return name ? Value::text(name, c.result) : Value::null(c.result);
         }},
        {"col_length", 2, 2, "uu", [](const Call &) { return SqlType{Base::SmallInt}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const TablePtr t = tableNamed(a[0], rt);
             if (!t)
                 return Value::null(c.result);
             const int col = t->find(a[1].asText());
             if (col < 0)
                 return Value::null(c.result);
             return Value::integer(t->columns[static_cast<std::size_t>(col)].type.storageBytes(), c.result);
         },
         NullInNullOut | SessionBound},
        {"schema_name", 0, 1, "i", nvarchar128,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             if (a.empty() || a[0].asInteger() == 1)
                 return Value::text("dbo", c.result);
             if (a[0].asInteger() == 3)
                 return Value::text("INFORMATION_SCHEMA", c.result);
             if (a[0].asInteger() == 4)
                 return Value::text("sys", c.result);
             return Value::null(c.result);
         },
         0},
        {"schema_id", 0, 1, "u", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             if (a.empty() || iequals(a[0].asText(), "dbo"))
                 return Value::integer(1, c.result);
             if (iequals(a[0].asText(), "sys"))
                 return Value::integer(4, c.result);
             if (iequals(a[0].asText(), "INFORMATION_SCHEMA"))
                 return Value::integer(3, c.result);
             return Value::null(c.result);
         },
         0},
        {"suser_sname", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("suser_sname", c, rt); }, SessionBound},
        {"suser_name", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("suser_sname", c, rt); }, SessionBound},
        {"system_user", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("suser_sname", c, rt); }, SessionBound},
        {"user_name", 0, 1, "i", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("user_name", c, rt); }, SessionBound},
        {"current_user", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("user_name", c, rt); }, SessionBound},
        {"session_user", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("user_name", c, rt); }, SessionBound},
        {"user", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("user_name", c, rt); }, SessionBound},
        {"host_name", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("host_name", c, rt); }, SessionBound},
        {"app_name", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("app_name", c, rt); }, SessionBound},
        {"error_number", 0, 0, "", intType,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("error_number", c, rt); }, SessionBound},
        {"error_severity", 0, 0, "", intType,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("error_severity", c, rt); }, SessionBound},
        {"error_state", 0, 0, "", intType,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("error_state", c, rt); }, SessionBound},
        {"error_line", 0, 0, "", intType,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("error_line", c, rt); }, SessionBound},
        {"error_message", 0, 0, "", [](const Call &) { return SqlType::nvarchar(4000); },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("error_message", c, rt); }, SessionBound},
        {"error_procedure", 0, 0, "", nvarchar128,
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("error_procedure", c, rt); }, SessionBound},
        {"xact_state", 0, 0, "", [](const Call &) { return SqlType{Base::SmallInt}; },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return session("xact_state", c, rt); }, SessionBound},
        {"serverproperty", 1, 1, "u", [](const Call &) { return SqlType{Base::SqlVariant}; },
         [](const std::vector<Value> &a, const Call &, Runtime &rt) {
             return rt.sessionValue("serverproperty:" + lower(text::rtrim(a[0].asText())));
         },
         NullInNullOut | SessionBound},
        {"databasepropertyex", 2, 2, "uu", [](const Call &) { return SqlType{Base::SqlVariant}; },
         [](const std::vector<Value> &a, const Call &, Runtime &rt) {
             if (!rt.catalog().findDatabase(a[0].asText()))
                 return Value::null();
             const std::string p = lower(a[1].asText());
             if (p == "collation")
                 return Value::text("SQL_Latin1_General_CP1_CI_AS", SqlType::nvarchar(128));
             if (p == "status")
                 return Value::text("ONLINE", SqlType::nvarchar(128));
             if (p == "updateability")
                 return Value::text(rt.catalog().isReadOnly(a[0].asText()) ? "READ_ONLY" : "READ_WRITE", SqlType::nvarchar(128));
             if (p == "recovery")
                 return Value::text("SIMPLE", SqlType::nvarchar(128));
             return Value::null();
         },
         NullInNullOut | SessionBound},
    };
    return rows;
}

} // namespace tsql::fn
