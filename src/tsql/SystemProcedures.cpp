#include "tsql/SystemProcedures.h"

#include "tsql/Errors.h"
#include "tsql/SystemProcedureSupport.h"
#include "tsql/SystemViewRows.h"
#include "tsql/SystemViewTypes.h"
#include "tsql/Text.h"

#include <algorithm>
#include <tuple>

namespace tsql {

using namespace sysproc;

namespace {

const SqlType kName = SqlType::nvarchar(128);
const SqlType kInt{Base::Int};
const SqlType kSmall{Base::SmallInt};

Value nameValue(const std::string &s) { return Value::text(s, kName); }
Value small(std::optional<int> v) { return v ? Value::integer(*v, kSmall) : Value::null(kSmall); }
Value integer(std::optional<int> v) { return v ? Value::integer(*v, kInt) : Value::null(kInt); }

// A catalogue procedure's name pattern: LIKE's wildcards, or the name itself when patterns
// are switched off.
bool matches(const std::string &value, const std::optional<std::string> &pattern, bool usePattern = true)
{
    if (!pattern)
        return true;
    return usePattern ? text::like(value, *pattern) : iequals(value, *pattern);
}

// The catalogue procedures answer for the current database only; naming another is an error.
void currentOnly(const Engine &e, const std::optional<std::string> &qualifier)
{
    if (qualifier && !iequals(*qualifier, e.currentDatabase()))
        throw err::make(15250);
}

// Fixed-length text as SQL Server hands it out: blank-padded to its length.
Value fixed(const std::string &s, const SqlType &t)
{
    std::string v = s;
    if (static_cast<int>(v.size()) < t.length)
        v.append(static_cast<std::size_t>(t.length) - v.size(), ' ');
    return Value::text(v, t);
}

void spDatabases(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    Arguments("sp_databases", {}, values, names);
    ResultBuilder r;
    r.add("DATABASE_NAME", kName, false);
    r.add("DATABASE_SIZE", kInt);
    r.add("REMARKS", SqlType::varchar(254));
    std::vector<std::string> databases = b.engine().catalog().databases();
    std::sort(databases.begin(), databases.end(), [](const auto &x, const auto &y) { return lower(x) < lower(y); });
    for (const std::string &d : databases) {
        // The size in kilobytes: the file's pages, as SQL Server counts its files' pages.
        std::int64_t size = 0;
        try {
            sqlite::Stmt s(b.engine().connection(), "SELECT page_count * page_size / 1024 FROM pragma_page_count(" +
                                                        sqlite::quoteLiteral(d) + "), pragma_page_size(" +
                                                        sqlite::quoteLiteral(d) + ")");
            if (s.step())
                size = s.integer(0);
        } catch (const Error &) {
        }
        r.row({nameValue(d), Value::integer(size, kInt), Value::null(SqlType::varchar(254))});
    }
    r.queue(b);
}

void spTables(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const Arguments a("sp_tables", {"@table_name", "@table_owner", "@table_qualifier", "@table_type", "@fUsePattern"},
                      values, names);
    Engine &e = b.engine();
    const std::string db = e.currentDatabase();
    const bool usePattern = a.text(4).value_or("1") != "0";
    // @table_type is a list of quoted types: "'TABLE', 'VIEW'".
    const std::optional<std::string> types = a.text(3);
    auto wanted = [&](const std::string &type) { return !types || upper(*types).find("'" + type + "'") != std::string::npos; };
    struct Row {
        std::string owner, name, type;
    };
    std::vector<Row> rows;
    currentOnly(e, a.text(2));
    if (!db.empty()) {
        for (const std::string &n : e.catalog().objectNames(db)) {
            TablePtr t = e.catalog().load(db, n);
            rows.push_back({"dbo", n, t && t->kind == Table::Kind::View ? "VIEW" : "TABLE"});
        }
        // The catalogue's own views are there too, under their schemas.
        for (const sysview::Definition &d : sysview::all())
            rows.push_back({d.schema, d.name, "VIEW"});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row &x, const Row &y) {
        return std::tuple(x.type, lower(x.owner), lower(x.name)) < std::tuple(y.type, lower(y.owner), lower(y.name));
    });
    ResultBuilder r;
    r.add("TABLE_QUALIFIER", kName);
    r.add("TABLE_OWNER", kName);
    r.add("TABLE_NAME", kName);
    r.add("TABLE_TYPE", SqlType::varchar(32));
    r.add("REMARKS", SqlType::varchar(254));
    for (const Row &row : rows)
        if (matches(row.name, a.text(0), usePattern) && matches(row.owner, a.text(1), usePattern) && wanted(row.type))
            r.row({nameValue(db), nameValue(row.owner), nameValue(row.name), Value::text(row.type, SqlType::varchar(32)),
                   Value::null(SqlType::varchar(254))});
    r.queue(b);
}

void spColumns(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const Arguments a("sp_columns", {"@table_name", "@table_owner", "@table_qualifier", "@column_name", "@ODBCVer"},
                      values, names);
    Engine &e = b.engine();
    const std::string pattern = a.required(0);
    const std::string db = e.currentDatabase();
    const bool odbc3 = a.text(4).value_or("2") == "3";
    ResultBuilder r;
    for (const auto &[n, t] : std::vector<std::pair<const char *, SqlType>>{
             {"TABLE_QUALIFIER", kName}, {"TABLE_OWNER", kName}, {"TABLE_NAME", kName}, {"COLUMN_NAME", kName},
             {"DATA_TYPE", kSmall}, {"TYPE_NAME", kName}, {"PRECISION", kInt}, {"LENGTH", kInt}, {"SCALE", kSmall},
             {"RADIX", kSmall}, {"NULLABLE", kSmall}, {"REMARKS", SqlType::varchar(254)},
             {"COLUMN_DEF", SqlType::nvarchar(4000)}, {"SQL_DATA_TYPE", kSmall}, {"SQL_DATETIME_SUB", kSmall},
             {"CHAR_OCTET_LENGTH", kInt}, {"ORDINAL_POSITION", kInt}, {"IS_NULLABLE", SqlType::varchar(254)},
             {"SS_DATA_TYPE", SqlType{Base::TinyInt}}})
        r.add(n, t);
    currentOnly(e, a.text(2));
    if (!db.empty() && matches("dbo", a.text(1))) {
        for (const std::string &n : e.catalog().objectNames(db)) {
            if (!text::like(n, pattern))
                continue;
            TablePtr t = e.catalog().load(db, n);
            for (std::size_t i = 0; t && i < t->columns.size(); ++i) {
                const Column &c = t->columns[i];
                if (!matches(c.name, a.text(3)))
                    continue;
                const bool nullable = c.nullable && !c.identity;
                sysview::OdbcColumn o = sysview::odbcColumn(c.type, nullable);
                if (odbc3 && o.dataType == 11)
                    o.dataType = 93; // ODBC 3 calls the date-time types SQL_TYPE_TIMESTAMP
                r.row({nameValue(db), nameValue("dbo"), nameValue(t->name), nameValue(c.name), small(o.dataType),
                       nameValue(c.type.name() + (c.identity ? " identity" : "")), integer(o.precision),
                       integer(o.length), small(o.scale), small(o.radix), small(nullable ? 1 : 0),
                       Value::null(SqlType::varchar(254)),
                       c.defaultText.empty() ? Value::null(SqlType::nvarchar(4000)) : Value::text(c.defaultText, SqlType::nvarchar(4000)),
                       small(o.sqlDataType), small(o.datetimeSub), integer(o.octetLength),
                       Value::integer(static_cast<std::int64_t>(i) + 1, kInt),
                       Value::text(nullable ? "YES" : "NO", SqlType::varchar(254)),
                       Value::integer(o.ssDataType, SqlType{Base::TinyInt})});
            }
        }
    }
    r.queue(b);
}

void spWho(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const Arguments a("sp_who", {"@loginame"}, values, names);
    Engine &e = b.engine();
    const SessionOptions &o = e.options();
    // One session: this one. 'active' asks for the sessions doing something, which it is.
    const std::optional<std::string> who = a.text(0);
    const bool listed = !who || iequals(*who, "active") || iequals(*who, o.login) ||
                        *who == std::to_string(o.spid);
    ResultBuilder r;
    const SqlType status{Base::NChar, 30}, login{Base::NChar, 128}, blk{Base::Char, 5}, cmd{Base::NChar, 16};
    r.add("spid", kSmall, false);
    r.add("ecid", kSmall, false);
    r.add("status", status, false);
    r.add("loginame", login);
    r.add("hostname", login, false);
    r.add("blk", blk);
    r.add("dbname", login);
    r.add("cmd", cmd, false);
    r.add("request_id", kInt, false);
    if (listed)
        r.row({Value::integer(o.spid, kSmall), Value::integer(0, kSmall), fixed("runnable", status), fixed(o.login, login),
               fixed(o.hostName, login), fixed("0", blk),
               e.currentDatabase().empty() ? Value::null(login) : fixed(e.currentDatabase(), login),
               fixed("SELECT", cmd), Value::integer(0, kInt)});
    r.queue(b);
}

struct Procedure {
    const char *name;
    void (*run)(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names);
};

const Procedure procedures[] = {
    {"sp_columns", spColumns}, {"sp_databases", spDatabases}, {"sp_help", spHelp}, {"sp_helpindex", spHelpIndex},
    {"sp_rename", spRename},   {"sp_tables", spTables},       {"sp_who", spWho},
};

} // namespace

bool runSystemProcedure(BatchRunner &b, const std::string &name, const std::vector<Value> &args,
                        const std::vector<std::string> &argNames, int &status)
{
    if (iequals(name, "sp_getapplock")) {
        status = spGetAppLock(b, args, argNames);
        return true;
    }
    if (iequals(name, "sp_releaseapplock")) {
        status = spReleaseAppLock(b, args, argNames);
        return true;
    }
    // sys.sp_help and dbo.sp_help name the same procedure.
    for (const Procedure &p : procedures) {
        if (iequals(name, p.name)) {
            p.run(b, args, argNames);
            status = 0;
            return true;
        }
    }
    return false;
}

} // namespace tsql
