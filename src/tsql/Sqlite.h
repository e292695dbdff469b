#pragma once
// Thin RAII over the SQLite C API, and the translation of SQLite failures into SQL Server errors.

#include "tsql/Session.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tsql {

// Errors raised inside our SQL functions travel through SQLite as a message with this prefix.
constexpr char kErrorMark = '\x01';
std::string encodeError(const Error &e);

// What a constraint failure is about, so it can be worded as SQL Server words it.
struct FailureContext {
    std::string table;     // database.dbo.table
    std::string operation; // "INSERT" or "UPDATE"
};
Error sqliteError(sqlite3 *db, const FailureContext &ctx = {});

std::string quoteName(std::string_view name);    // "name"
std::string quoteLiteral(std::string_view text); // 'text'

class Stmt {
public:
    Stmt(sqlite3 *db, std::string_view sql);
    ~Stmt();
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;
    Stmt(Stmt &&o) noexcept : m_db(o.m_db), m_s(o.m_s) { o.m_s = nullptr; }

    bool step(const FailureContext &ctx = {}); // true while there is a row
    void reset() { sqlite3_reset(m_s); }
    void bind(int i, std::string_view v) { sqlite3_bind_text(m_s, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT); }
    void bind(int i, std::int64_t v) { sqlite3_bind_int64(m_s, i, v); }
    std::string text(int i) const;
    std::int64_t integer(int i) const { return sqlite3_column_int64(m_s, i); }
    bool isNull(int i) const { return sqlite3_column_type(m_s, i) == SQLITE_NULL; }
    sqlite3_stmt *handle() const { return m_s; }
    sqlite3_stmt *release()
    {
        sqlite3_stmt *s = m_s;
        m_s = nullptr;
        return s;
    }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_s = nullptr;
};

void exec(sqlite3 *db, std::string_view sql, const FailureContext &ctx = {});

// Registers the collation TSQL and the tsql_* functions the generated SQL calls.
void registerFunctions(sqlite3 *db);

// The collation's comparison: case-insensitive for ASCII and Latin-1 letters, trailing blanks
// ignored, as SQL Server's default CI_AS collation compares.
int collate(std::string_view a, std::string_view b);
// Bounds [lower, upper) in that collation holding every text that starts with `prefix`; false
// when the prefix gives no useful range.
bool prefixRange(std::string_view prefix, std::string &lower, std::string &upper);
bool likeMatch(std::string_view value, std::string_view pattern, int escape = -1);

} // namespace tsql
