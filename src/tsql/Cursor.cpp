#include "tsql/Cursor.h"

#include "tsql/Engine.h"
#include "tsql/Sqlite.h"

namespace tsql {

Value Value::integer(std::int64_t v)
{
    Value r;
    r.m_v = v;
    return r;
}

Value Value::real(double v)
{
    Value r;
    r.m_v = v;
    return r;
}

Value Value::text(std::string v)
{
    Value r;
    r.m_v = std::move(v);
    return r;
}

Value Value::dateTime(const DateTime &v)
{
    Value r;
    r.m_v = v;
    return r;
}

Value::Type Value::type() const
{
    switch (m_v.index()) {
    case 1: return Type::Integer;
    case 2: return Type::Float;
    case 3: return Type::Text;
    case 4: return Type::DateTime;
    default: return Type::Null;
    }
}

std::int64_t Value::asInteger() const { return std::get<std::int64_t>(m_v); }
double Value::asFloat() const { return std::get<double>(m_v); }
const std::string &Value::asText() const { return std::get<std::string>(m_v); }
const DateTime &Value::asDateTime() const { return std::get<DateTime>(m_v); }

Cursor::Cursor(Engine *engine, sqlite3_stmt *stmt, const std::vector<OutputColumn> &columns)
    : m_engine(engine), m_stmt(stmt)
{
    for (const auto &c : columns) {
        m_columns.push_back(ColumnInfo{c.name, c.type.name()});
        m_dates.push_back(c.type.isDateTime());
    }
    m_row.resize(m_columns.size());
}

Cursor::~Cursor()
{
    finish();
    if (m_engine)
        m_engine->forget(this);
}

void Cursor::finish()
{
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

bool Cursor::read(std::vector<Value> &row)
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
        finish();
        return false;
    }
    if (rc != SQLITE_ROW) {
        const Error e = sqliteError(sqlite3_db_handle(m_stmt));
        finish();
        throw e;
    }
    row.resize(m_columns.size());
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const int c = static_cast<int>(i);
        switch (sqlite3_column_type(m_stmt, c)) {
        case SQLITE_INTEGER:
            row[i] = Value::integer(sqlite3_column_int64(m_stmt, c));
            break;
        case SQLITE_FLOAT:
            row[i] = Value::real(sqlite3_column_double(m_stmt, c));
            break;
        case SQLITE_NULL:
            row[i] = Value();
            break;
        default: {
            const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, c));
            std::string s(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, c)));
            if (m_dates[i]) {
                if (auto dt = parseStorage(s)) {
                    row[i] = Value::dateTime(*dt);
                    break;
                }
            }
            row[i] = Value::text(std::move(s));
        }
        }
    }
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
    std::vector<Value> row;
    while (read(row))
        m_buffer.push_back(row);
    m_buffered = true;
}

const Value &CountResult::value(std::size_t) const
{
    static const Value null;
    return null;
}

} // namespace tsql
