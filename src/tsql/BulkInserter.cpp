// Fast loading for the demo and benchmark generators: values converted and checked as an
// INSERT would, written through one prepared statement, all in one savepoint.

#include "tsql/Convert.h"
#include "tsql/Engine.h"
#include "tsql/Errors.h"
#include "tsql/Storage.h"

namespace tsql {

struct BulkInserter::Impl {
    Engine *engine = nullptr;
    TablePtr table;
    std::vector<const Column *> columns;
    std::unique_ptr<sqlite::Stmt> insert;
    std::int64_t next = 0, added = 0;
    bool numbered = false, open = false;
};

BulkInserter::BulkInserter(Session &session, const std::string &database, const std::string &table,
                           const std::vector<std::string> &columns)
    : m_impl(std::make_unique<Impl>())
{
    auto *engine = dynamic_cast<Engine *>(&session);
    if (!engine)
        throw err::internal("bulk loading needs an embedded session");
    Impl &m = *m_impl;
    m.engine = engine;
    engine->settleCursors();
    ast::ObjectName n;
    n.database = database;
    n.name = table;
    n.written = database + ".dbo." + table;
    m.table = engine->catalog().find(n, engine->currentDatabase());
    if (!m.table || !m.table->isReal())
        throw err::make(208, n.written);
    engine->refuseReadOnly(m.table->database);
    const Table &t = *m.table;
    std::string names, values;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const int c = t.find(columns[i]);
        if (c < 0)
            throw err::make(207, columns[i]);
        const Column &col = t.columns[static_cast<std::size_t>(c)];
        if (col.identity)
            throw err::make(544, t.name);
        m.columns.push_back(&col);
        names += (i ? ", " : "") + sqlite::quoteName(col.name);
        values += (i ? ", " : "") + std::string("?") + std::to_string(i + 1);
    }
    if (t.identity) {
        m.numbered = true;
        m.next = engine->identityNext(t);
        names += (names.empty() ? "" : ", ") + sqlite::quoteName(t.identity->column);
        values += (values.empty() ? "" : ", ") + std::string("?") + std::to_string(columns.size() + 1);
    }
    // Prepared before the savepoint opens, so a failure here leaves no transaction behind.
    m.insert = std::make_unique<sqlite::Stmt>(engine->connection(),
                                              "INSERT INTO " + t.sqlName() + " (" + names + ") VALUES (" + values + ")");
    sqlite::exec(engine->connection(), "SAVEPOINT tsql_bulk");
    m.open = true;
}

BulkInserter::~BulkInserter()
{
    if (m_impl && m_impl->open) {
        m_impl->insert.reset();
        sqlite3 *db = m_impl->engine->connection().handle();
        sqlite3_exec(db, "ROLLBACK TO tsql_bulk", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "RELEASE tsql_bulk", nullptr, nullptr, nullptr);
    }
}

void BulkInserter::add(const std::vector<Value> &row)
{
    Impl &m = *m_impl;
    if (!m.open)
        throw err::internal("the bulk load has already been committed");
    if (row.size() != m.columns.size())
        throw err::make(213);
    sqlite3_stmt *s = m.insert->handle();
    sqlite3_reset(s);
    const Table &t = *m.table;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const Column &c = *m.columns[i];
        storage::bind(s, static_cast<int>(i) + 1, conv::forColumn(row[i], c.type, t.fullName(), c.name));
    }
    if (m.numbered)
        sqlite3_bind_int64(s, static_cast<int>(row.size()) + 1, m.next + t.identity->step * m.added);
    m.insert->step(sqlite::FailureContext{t.fullName(), "INSERT"});
    ++m.added;
}

void BulkInserter::commit()
{
    Impl &m = *m_impl;
    if (!m.open)
        return;
    m.insert.reset();
    if (m.numbered && m.added > 0) {
        const std::int64_t last = m.next + m.table->identity->step * (m.added - 1);
        m.engine->catalog().setIdentityLast(m.table->database, m.table->name, last);
        m.engine->identityTaken(*m.table, last);
    }
    sqlite::exec(m.engine->connection(), "RELEASE tsql_bulk");
    m.open = false;
}

} // namespace tsql
