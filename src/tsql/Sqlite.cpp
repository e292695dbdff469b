#include "tsql/Sqlite.h"

#include "tsql/Errors.h"

#include <new>

namespace tsql::sqlite {

namespace {

std::string afterDot(const std::string &s)
{
    const auto dot = s.rfind('.');
    return dot == std::string::npos ? s : s.substr(dot + 1);
}

} // namespace

Connection::Connection()
{
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(m_db);
        throw err::make(17);
    }
    sqlite3_extended_result_codes(m_db, 1);
    // Nothing a statement says may load code into the process.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

Connection::~Connection()
{
    sqlite3_close_v2(m_db);
}

Error Connection::error(int rc, const FailureContext &ctx)
{
    if (auto e = m_pending.take())
        return *e;
    const int code = rc != SQLITE_OK ? rc : sqlite3_extended_errcode(m_db);
    const std::string msg = sqlite3_errmsg(m_db);
    if (code == SQLITE_NOMEM)
        return err::outOfMemory();
    if (code == SQLITE_CONSTRAINT_NOTNULL) {
        const std::string col = afterDot(msg.substr(msg.rfind(' ') + 1));
        return err::make(515, col, ctx.table, ctx.operation.empty() ? "INSERT" : ctx.operation);
    }
    if (code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT_UNIQUE) {
        // The caller names the key and its value; this is the fallback.
        const std::string bare = afterDot(ctx.table);
        return err::make(2627, "PRIMARY KEY", "PK_" + bare, ctx.table, "");
    }
    if (code == SQLITE_INTERRUPT)
        return err::make(3617);
    if (code == SQLITE_TOOBIG)
        return err::make(7119);
    // SQLite's parser holds about twenty nested calls: SELECT 1+1+...+1 with twenty terms
    // becomes as many nested functions, more than it can read.
    if (msg == "parser stack overflow" || msg.rfind("Expression tree is too large", 0) == 0)
        return err::make(191);
    switch (code & 0xff) {
    case SQLITE_BUSY: case SQLITE_LOCKED: return err::make(1222);
    case SQLITE_FULL: return err::make(1105);
    case SQLITE_CORRUPT: case SQLITE_NOTADB: return err::make(824);
    case SQLITE_READONLY: return err::make(3906, ctx.table.substr(0, ctx.table.find('.')));
    case SQLITE_IOERR: case SQLITE_CANTOPEN: return err::make(823);
    case SQLITE_AUTH: return err::make(229, "SELECT", "object", "");
    default: break;
    }
    return err::internal(msg);
}

sqlite3_stmt *prepareCompiled(Connection &c, std::string_view sql)
{
    sqlite3_stmt *s = nullptr;
    c.m_trusted = false;
    const int rc = sqlite3_prepare_v3(c.handle(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &s,
                                      nullptr);
    c.m_trusted = true;
    if (rc != SQLITE_OK) {
        sqlite3_finalize(s);
        throw c.error(rc);
    }
    return s;
}

Stmt::Stmt(Connection &c, std::string_view sql) : m_c(&c)
{
    const int rc = sqlite3_prepare_v3(c.handle(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                      &m_s, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_s);
        m_s = nullptr;
        throw c.error(rc);
    }
}

Stmt::~Stmt()
{
    if (m_s)
        sqlite3_finalize(m_s);
}

Stmt &Stmt::operator=(Stmt &&o) noexcept
{
    if (this != &o) {
        if (m_s)
            sqlite3_finalize(m_s);
        m_c = o.m_c;
        m_s = o.m_s;
        o.m_s = nullptr;
    }
    return *this;
}

bool Stmt::step(const FailureContext &ctx)
{
    const int rc = sqlite3_step(m_s);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const Error e = m_c->error(sqlite3_extended_errcode(m_c->handle()), ctx);
    sqlite3_reset(m_s);
    throw e;
}

void Stmt::reset()
{
    sqlite3_reset(m_s);
    sqlite3_clear_bindings(m_s);
}

std::string Stmt::text(int i) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_s, i));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_s, i))) : std::string();
}

void exec(Connection &c, std::string_view sql, const FailureContext &ctx)
{
    Stmt s(c, sql);
    while (s.step(ctx)) {
    }
}

std::string quoteName(std::string_view name)
{
    std::string r = "\"";
    for (char c : name) {
        if (c == '"')
            r += '"';
        r += c;
    }
    return r + "\"";
}

std::string quoteLiteral(std::string_view text)
{
    std::string r = "'";
    for (char c : text) {
        if (c == '\'')
            r += '\'';
        r += c;
    }
    return r + "'";
}

} // namespace tsql::sqlite
