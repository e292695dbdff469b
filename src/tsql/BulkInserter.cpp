#include "tsql/Compiler.h"
#include "tsql/Engine.h"
#include "tsql/Errors.h"
#include "tsql/Sqlite.h"

namespace tsql {

struct BulkInserter::Impl {
    Engine *engine = nullptr;
    sqlite3 *db = nullptr;
    Table table;
    std::unique_ptr<Stmt> insert;
    std::size_t width = 0;
    std::int64_t next = 0, added = 0;
    bool numbered = false, open = false;
};

BulkInserter::BulkInserter(Session &session, const std::string &database, const std::string &table,
                           const std::vector<std::string> &columns)
    : m_impl(std::make_unique<Impl>())
{
    auto *engine = dynamic_cast<Engine *>(&session);
    if (!engine)
        throw Error(50000, 16, 1, "Bulk loading needs an embedded session.");
    m_impl->engine = engine;
    m_impl->db = engine->handle();
    engine->settleCursors();
    ast::ObjectName n;
    n.database = database;
    n.name = table;
    n.written = database + ".dbo." + table;
    auto t = engine->catalog().find(n, engine->currentDatabase());
    if (!t || !t->source.empty())
        throw err::invalidObject(n.written);
    m_impl->table = std::move(*t);
    const Table &tt = m_impl->table;
    std::string names, values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int c = tt.find(columns[i]);
        if (c < 0)
            throw err::invalidColumn(columns[i]);
        const Column &col = tt.columns[static_cast<std::size_t>(c)];
        names += (i ? ", " : "") + quoteName(col.name);
        values += (i ? ", " : "") + Compiler::storeExpr("?" + std::to_string(i + 1), SqlType{}, col, tt);
        if (tt.identity && iequals(tt.identity->column, col.name))
            throw err::identityInsertOff(tt.name);
    }
    m_impl->width = columns.size();
    if (tt.identity) {
        m_impl->numbered = true;
        m_impl->next = tt.identity->next();
        names += (names.empty() ? "" : ", ") + quoteName(tt.identity->column);
        values += (values.empty() ? "" : ", ") + std::string("?") + std::to_string(columns.size() + 1);
    }
    // Prepared before the savepoint opens, so a failure here leaves no transaction behind.
    m_impl->insert = std::make_unique<Stmt>(m_impl->db, "INSERT INTO " + tt.sqlName() + " (" + names + ") VALUES (" + values + ")");
    exec(m_impl->db, "SAVEPOINT tsql_bulk");
    m_impl->open = true;
}

BulkInserter::~BulkInserter()
{
    if (m_impl && m_impl->open) {
        m_impl->insert.reset();
        sqlite3_exec(m_impl->db, "ROLLBACK TO tsql_bulk", nullptr, nullptr, nullptr);
        sqlite3_exec(m_impl->db, "RELEASE tsql_bulk", nullptr, nullptr, nullptr);
    }
}

void BulkInserter::add(const std::vector<Value> &row)
{
    Impl &m = *m_impl;
    if (!m.open)
        throw Error(50000, 16, 1, "The bulk load has already been committed.");
    if (row.size() != m.width)
        throw err::valueCount();
    sqlite3_stmt *s = m.insert->handle();
    sqlite3_reset(s);
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int p = static_cast<int>(i + 1);
        const Value &v = row[i];
        switch (v.type()) {
        case Value::Type::Null: sqlite3_bind_null(s, p); break;
        case Value::Type::Integer: sqlite3_bind_int64(s, p, v.asInteger()); break;
        case Value::Type::Float: sqlite3_bind_double(s, p, v.asFloat()); break;
        case Value::Type::Text:
            sqlite3_bind_text(s, p, v.asText().data(), static_cast<int>(v.asText().size()), SQLITE_TRANSIENT);
            break;
        case Value::Type::DateTime: {
            const std::string t = formatStorage(v.asDateTime());
            sqlite3_bind_text(s, p, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            break;
        }
        }
    }
    if (m.numbered)
        sqlite3_bind_int64(s, static_cast<int>(row.size() + 1), m.next + m.table.identity->step * m.added);
    m.insert->step(FailureContext{m.table.fullName(), "INSERT"});
    ++m.added;
}

void BulkInserter::commit()
{
    Impl &m = *m_impl;
    if (!m.open)
        return;
    m.insert.reset();
    if (m.numbered && m.added > 0)
        m.engine->catalog().setIdentityLast(m.table.database, m.table.name,
                                            m.next + m.table.identity->step * (m.added - 1));
    exec(m.db, "RELEASE tsql_bulk");
    m.open = false;
}

} // namespace tsql
