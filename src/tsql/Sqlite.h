#pragma once
// The SQLite C API behind RAII owners: the connection and its prepared statements close
// themselves on every path. Failures come back as SQL Server's errors through the catalogue.

#include "tsql/Error.h"

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tsql::sqlite {

// What a failing write is about, so a constraint failure can be worded as SQL Server words it.
struct FailureContext {
    std::string table;     // database.dbo.table
    std::string operation; // "INSERT", "UPDATE" or "DELETE"
};

// An error raised inside one of the engine's SQL functions waits here until the statement that
// ran the function reports it, so that it reaches the caller whole rather than as SQLite text.
class PendingError {
public:
    void set(const Error &e) { m_error = e; }
    std::optional<Error> take()
    {
        std::optional<Error> e = std::move(m_error);
        m_error.reset();
        return e;
    }

private:
    std::optional<Error> m_error;
};

class Connection {
public:
    Connection(); // an in-memory main database; databases are attached to it
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    sqlite3 *handle() const { return m_db; }
    PendingError &pending() { return m_pending; }
    // The SQL Server error for the connection's last failure.
    Error error(int rc, const FailureContext &ctx = {});
    // Whether what is being prepared is the engine's own SQL rather than SQL compiled from a
    // statement (the authorizer lets only the engine's own SQL reach SQLite's internals).
    bool trusted() const { return m_trusted; }
    // The engine's own SQL made while a compiled statement is being prepared (a system view's
    // table declaring itself) is trusted for as long as this lives.
    class Trust {
    public:
        explicit Trust(Connection &c) : m_c(c), m_was(c.m_trusted) { c.m_trusted = true; }
        ~Trust() { m_c.m_trusted = m_was; }
    private:
        Connection &m_c;
        bool m_was;
    };

private:
    friend sqlite3_stmt *prepareCompiled(Connection &c, std::string_view sql);
    sqlite3 *m_db = nullptr;
    PendingError m_pending;
    bool m_trusted = true;
};

// Prepares SQL compiled from a statement, with the authorizer's limits.
sqlite3_stmt *prepareCompiled(Connection &c, std::string_view sql);

class Stmt {
public:
    Stmt() = default;
    Stmt(Connection &c, std::string_view sql);
    ~Stmt();
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    Stmt(Stmt &&o) noexcept : m_c(o.m_c), m_s(o.m_s) { o.m_s = nullptr; }
    Stmt &operator=(Stmt &&o) noexcept;

    bool step(const FailureContext &ctx = {}); // true while there is a row
    void reset();
    void bind(int i, std::string_view v) { sqlite3_bind_text(m_s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT); }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(m_s, i, v); }
    void bindNull(int i) { sqlite3_bind_null(m_s, i); }
    std::string text(int i) const;
    std::int64_t integer(int i) const { return sqlite3_column_int64(m_s, i); }
    bool isNull(int i) const { return sqlite3_column_type(m_s, i) == SQLITE_NULL; }
    sqlite3_stmt *handle() const { return m_s; }
    explicit operator bool() const { return m_s != nullptr; }

private:
    Connection *m_c = nullptr;
    sqlite3_stmt *m_s = nullptr;
};

void exec(Connection &c, std::string_view sql, const FailureContext &ctx = {});

std::string quoteName(std::string_view name);    // "name"
std::string quoteLiteral(std::string_view text); // 'text', for the engine's own SQL only

} // namespace tsql::sqlite
