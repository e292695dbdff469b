#include "tsql/SystemProcedures.h"

#include "tsql/Batch.h"
#include "tsql/Convert.h"
#include "tsql/Ddl.h"
#include "tsql/Errors.h"
#include "tsql/Lexer.h"
#include "tsql/Text.h"

namespace tsql {

namespace {

using Args = std::vector<Value>;

ColumnInfo column(const char *name, const SqlType &type, bool nullable = true)
{
    ColumnInfo c;
    c.name = name;
    c.type = type;
    c.nullable = nullable;
    return c;
}

Value nameText(const std::string &s, int length = 128) { return Value::text(s, SqlType::nvarchar(length)); }

std::string argText(const Args &a, std::size_t i)
{
    return i < a.size() && !a[i].isNull() ? conv::toText(a[i]) : std::string();
}

// A name as a procedure's argument gives it: 'table', 'db.dbo.table', 'table.column'.
std::vector<std::string> nameParts(const std::string &s)
{
    std::vector<std::string> parts;
    for (const Token &t : tokenize(s)) {
        if (t.kind == Token::Kind::End)
            break;
        if (t.isSymbol(".")) {
            continue;
        }
        parts.push_back(t.text);
    }
    return parts;
}

void spDatabases(BatchRunner &b, const Args &)
{
    std::vector<std::vector<Value>> rows;
    for (const std::string &d : b.engine().catalog().databases()) {
        std::int64_t size = 0;
        try {
            sqlite::Stmt s(b.engine().connection(), "PRAGMA " + sqlite::quoteName(d) + ".page_count");
            s.step();
            const std::int64_t pages = s.integer(0);
            sqlite::Stmt p(b.engine().connection(), "PRAGMA " + sqlite::quoteName(d) + ".page_size");
            p.step();
            size = pages * p.integer(0) / 1024;
        } catch (const Error &) {
        }
        rows.push_back({Value::text(d, SqlType::nvarchar(128)), Value::integer(size, SqlType{Base::Int}),
                        Value::null(SqlType::varchar(254))});
    }
    b.queueRows(std::make_unique<MemoryResult>(
        std::vector<ColumnInfo>{column("DATABASE_NAME", SqlType::nvarchar(128), false),
                                column("DATABASE_SIZE", SqlType{Base::Int}), column("REMARKS", SqlType::varchar(254))},
        std::move(rows)));
}

void spTables(BatchRunner &b, const Args &a)
{
    Engine &e = b.engine();
    const std::string pattern = argText(a, 0);
    std::vector<std::vector<Value>> rows;
    for (const std::string &n : e.catalog().objectNames(e.currentDatabase())) {
        if (!pattern.empty() && !text::like(n, pattern))
            continue;
        TablePtr t = e.catalog().load(e.currentDatabase(), n);
        rows.push_back({nameText(e.currentDatabase()), nameText("dbo"), nameText(n),
                        Value::text(t && t->kind == Table::Kind::View ? "VIEW" : "TABLE", SqlType::varchar(32)),
                        Value::null(SqlType::varchar(254))});
    }
    b.queueRows(std::make_unique<MemoryResult>(
        std::vector<ColumnInfo>{column("TABLE_QUALIFIER", SqlType::nvarchar(128)), column("TABLE_OWNER", SqlType::nvarchar(128)),
                                column("TABLE_NAME", SqlType::nvarchar(128)), column("TABLE_TYPE", SqlType::varchar(32)),
                                column("REMARKS", SqlType::varchar(254))},
        std::move(rows)));
}

// sp_rename 'table', 'new' | sp_rename 'table.column', 'new', 'COLUMN'
void spRename(BatchRunner &b, const Args &a)
{
    Engine &e = b.engine();
    const std::string from = argText(a, 0), to = argText(a, 1), kind = upper(argText(a, 2));
    if (from.empty() || to.empty())
        throw err::make(15248, from);
    const std::vector<std::string> parts = nameParts(from);
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
        sqlite::Stmt u(e.connection(), "UPDATE " + sqlite::quoteName(t->database) +
                                           ".__tsql_objects SET column_name = ?1 WHERE parent = ?2 COLLATE NOCASE AND "
                                           "column_name = ?3 COLLATE NOCASE");
        cat.ensureTables(t->database);
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
            cat.renameObjects(t->database, t->name, to);
            cat.renameIdentity(t->database, t->name, to);
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
                cat.ensureTables(t->database);
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
    Message m;
    m.number = 15477;
    m.severity = 10;
    m.state = 1;
    m.line = b.statementLine();
    m.text = "Caution: Changing any part of an object name could break scripts and stored procedures.";
    b.queueMessage(std::move(m));
}

struct Procedure {
    const char *name;
    void (*run)(BatchRunner &b, const Args &args);
};

const Procedure procedures[] = {
    {"sp_databases", spDatabases},
    {"sp_tables", spTables},
    {"sp_rename", spRename},
};

} // namespace

bool runSystemProcedure(BatchRunner &b, const std::string &name, const std::vector<Value> &args,
                        const std::vector<std::string> &, int &status)
{
    for (const Procedure &p : procedures) {
        if (name == p.name) {
            p.run(b, args);
            status = 0;
            return true;
        }
    }
    return false;
}

void dbcc(BatchRunner &b, const ast::Dbcc &s)
{
    throw err::make(2526).atLine(s.line);
    (void)b;
}

} // namespace tsql
