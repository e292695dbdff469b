#include "tsql/Cursor.h"

#include "tsql/Errors.h"
#include "tsql/Storage.h"

namespace tsql {

ColumnInfo columnInfo(const OutputColumn &c)
{
    ColumnInfo i;
    i.name = c.name;
    i.type = c.type.isNull() ? SqlType{Base::Int} : c.type;
    i.nullable = c.nullable;
    i.identity = c.identity;
    i.table = c.table;
    return i;
}

Cursor::Cursor(CursorOwner *owner, sqlite3_stmt *stmt, const std::vector<OutputColumn> &columns, bool owned)
    : m_owner(owner), m_stmt(stmt), m_owned(owned)
{
    for (const auto &c : columns) {
        m_columns.push_back(columnInfo(c));
        m_types.push_back(m_columns.back().type);
    }
    m_row.resize(m_columns.size());
    if (m_owner)
        m_owner->opened(this);
}

Cursor::~Cursor()
{
    finish();
    if (m_owner)
        m_owner->closed(this);
}

void Cursor::finish()
{
    if (!m_stmt)
        return;
    if (m_owned) {
        sqlite3_finalize(m_stmt);
    } else {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    m_stmt = nullptr;
    if (m_cached) {
        m_cached->inUse = false;
        m_cached.reset();
    }
}

void Cursor::abandon()
{
    finish();
    m_owner = nullptr;
}

bool Cursor::read(std::vector<Value> &row)
{
    if (!m_stmt)
        return false;
    if (m_limit > 0 && m_read >= m_limit) {
        finish();
        return false;
    }
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
        finish();
        return false;
    }
    if (rc != SQLITE_ROW) {
        const int code = sqlite3_extended_errcode(sqlite3_db_handle(m_stmt));
        Error e = m_owner ? m_owner->connection().error(code) : err::internal(sqlite3_errstr(rc));
        finish();
        throw e;
    }
    row.resize(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        storage::columnInto(row[i], m_stmt, static_cast<int>(i), m_types[i]);
    ++m_read;
    return true;
}

bool Cursor::next()
{
    if (m_buffered) {
        if (m_buffer.empty())
            return false;
        m_row = std::move(m_buffer.front());
        m_buffer.pop_front();
        return true;
    }
    return read(m_row);
}

const Value &Cursor::value(std::size_t column) const
{
    return m_row.at(column);
}

void Cursor::materialize()
{
    if (m_buffered)
        return;
    m_buffered = true;
    std::vector<Value> row;
    while (read(row))
        m_buffer.push_back(row);
}

bool MemoryResult::next()
{
    if (!m_started) {
        m_started = true;
        return !m_rows.empty();
    }
    if (m_at + 1 >= m_rows.size()) {
        m_at = m_rows.size();
        return false;
    }
    ++m_at;
    return true;
}

const Value &MemoryResult::value(std::size_t column) const
{
    return m_rows.at(m_at).at(column);
}

const Value &CountResult::value(std::size_t) const
{
    static const Value null;
    return null;
}

} // namespace tsql
