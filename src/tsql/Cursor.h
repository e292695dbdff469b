#pragma once
// Results of statements: a query's forward-only cursor over a prepared SQLite statement, and the
// row count of everything else.

#include "tsql/Compiler.h"
#include "tsql/Session.h"

#include <sqlite3.h>

#include <deque>
#include <vector>

namespace tsql {

class Engine;

class Cursor : public Result {
public:
    Cursor(Engine *engine, sqlite3_stmt *stmt, const std::vector<OutputColumn> &columns);
    ~Cursor() override;

    bool hasRows() const override { return true; }
    const std::vector<ColumnInfo> &columns() const override { return m_columns; }
    bool next() override;
    const Value &value(std::size_t column) const override;
    std::int64_t rowsAffected() const override { return -1; }

    // Reads the remaining rows into memory and lets go of the SQLite statement.
    void materialize();
    void abandon()
    {
        finish();
        m_engine = nullptr;
    }

private:
    bool read(std::vector<Value> &row); // steps the statement; false at the end
    void finish();

    Engine *m_engine;
    sqlite3_stmt *m_stmt;
    std::vector<ColumnInfo> m_columns;
    std::vector<bool> m_dates;
    std::vector<Value> m_row;
    std::deque<std::vector<Value>> m_buffer;
    bool m_buffered = false;
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

} // namespace tsql
