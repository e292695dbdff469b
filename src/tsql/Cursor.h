#pragma once
// Results of statements: a query's forward-only cursor over a prepared SQLite statement, rows
// made in memory (system procedures), and the row count of everything else.

#include "tsql/Plan.h"
#include "tsql/Session.h"
#include "tsql/Sqlite.h"
#include "tsql/StatementCache.h"

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace tsql {

// The engine's side of a cursor: where it reports that it exists, and where it finds the
// error a function of its statement raised.
class CursorOwner {
public:
    virtual ~CursorOwner() = default;
    virtual void opened(class Cursor *c) = 0;
    virtual void closed(class Cursor *c) = 0;
    virtual sqlite::Connection &connection() = 0;
};

class Cursor : public Result {
public:
    // Takes the statement over; it is reset and finalized here. `stmt` must be bound already.
    Cursor(CursorOwner *owner, sqlite3_stmt *stmt, const std::vector<OutputColumn> &columns, bool owned);
    ~Cursor() override;

    bool hasRows() const override { return true; }
    const std::vector<ColumnInfo> &columns() const override { return m_columns; }
    bool next() override;
    const Value &value(std::size_t column) const override;
    std::int64_t rowsAffected() const override { return -1; }
    std::int64_t rowsRead() const { return m_read; }

    // Reads the remaining rows into memory and lets go of the SQLite statement, so a write can
    // never find a table locked by a half-read query.
    void materialize();
    void abandon(); // the owner goes away: end where it stands
    void limit(std::int64_t rows) { m_limit = rows; } // SET ROWCOUNT
    // The statement belongs to the session's cache: handed back when the cursor is done.
    void borrow(CachedQueryPtr query) { m_cached = std::move(query); }

private:
    bool read(std::vector<Value> &row);
    void finish();

    CursorOwner *m_owner;
    sqlite3_stmt *m_stmt;
    bool m_owned; // finalize at the end (else reset: a cached statement)
    CachedQueryPtr m_cached;
    std::vector<ColumnInfo> m_columns;
    std::vector<SqlType> m_types;
    std::vector<Value> m_row;
    std::deque<std::vector<Value>> m_buffer;
    bool m_buffered = false;
    std::int64_t m_read = 0;
    std::int64_t m_limit = 0;
};

// Rows already made: what a system procedure or DBCC returns.
class MemoryResult : public Result {
public:
    MemoryResult(std::vector<ColumnInfo> columns, std::vector<std::vector<Value>> rows)
        : m_columns(std::move(columns)), m_rows(std::move(rows)) {}
    bool hasRows() const override { return true; }
    const std::vector<ColumnInfo> &columns() const override { return m_columns; }
    bool next() override;
    const Value &value(std::size_t column) const override;
    std::int64_t rowsAffected() const override { return -1; }
    std::size_t size() const { return m_rows.size(); }

private:
    std::vector<ColumnInfo> m_columns;
    std::vector<std::vector<Value>> m_rows;
    std::size_t m_at = 0;
    bool m_started = false;
};

class CountResult : public Result {
public:
    explicit CountResult(std::int64_t rows) : m_rows(rows) {}
    bool hasRows() const override { return false; }
    const std::vector<ColumnInfo> &columns() const override { return m_none; }
    bool next() override { return false; }
    const Value &value(std::size_t) const override;
    std::int64_t rowsAffected() const override { return m_rows; }

private:
    std::int64_t m_rows;
    std::vector<ColumnInfo> m_none;
};

ColumnInfo columnInfo(const OutputColumn &c);

} // namespace tsql
