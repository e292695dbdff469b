#include "tsql/StatementCache.h"

namespace tsql {

CachedQuery::CachedQuery(QueryPlan p, sqlite3_stmt *s)
    : plan(std::move(p)), stmt(s), reprepares(sqlite3_stmt_status(s, SQLITE_STMTSTATUS_REPREPARE, 0))
{
}

CachedQuery::~CachedQuery()
{
    sqlite3_finalize(stmt);
}

CachedQueryPtr StatementCache::find(const std::string &key, std::uint64_t generation)
{
    if (generation != m_generation) {
        clear();
        m_generation = generation;
        return nullptr;
    }
    const auto it = m_index.find(key);
    if (it == m_index.end())
        return nullptr;
    m_order.splice(m_order.begin(), m_order, it->second);
    return it->second->second;
}

void StatementCache::insert(const std::string &key, CachedQueryPtr entry, std::uint64_t generation)
{
    if (generation != m_generation) {
        clear();
        m_generation = generation;
    }
    if (const auto it = m_index.find(key); it != m_index.end()) {
        m_order.erase(it->second);
        m_index.erase(it);
    }
    m_order.emplace_front(key, std::move(entry));
    m_index[key] = m_order.begin();
    while (m_index.size() > m_capacity) {
        m_index.erase(m_order.back().first);
        m_order.pop_back();
    }
}

void StatementCache::clear()
{
    m_index.clear();
    m_order.clear();
}

} // namespace tsql
