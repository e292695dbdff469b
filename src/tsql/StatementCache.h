#pragma once
// Queries compiled once per shape. The compiler turns every literal into a parameter, so a
// statement that differs from an earlier one only in its literals' values (not their types)
// has the same plan and the same SQLite statement; only the values bound change. This spares
// the program's searches, sent again and again with other names and dates, the compiling and
// SQLite's preparing, which cost several times what reading their few rows does.

#include "tsql/OrderedWalk.h"
#include "tsql/Plan.h"

#include <sqlite3.h>

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>

namespace tsql {

struct CachedQuery {
    CachedQuery(QueryPlan p, sqlite3_stmt *s);
    ~CachedQuery();
    CachedQuery(const CachedQuery &) = delete;
    CachedQuery &operator=(const CachedQuery &) = delete;

    // Literal parameters count from the statement's first literal, not the batch's.
    QueryPlan plan;
    sqlite3_stmt *stmt;
    // A cursor reads it: a second statement of the same shape meanwhile compiles its own.
    bool inUse = false;
    // SQLite prepares a statement again when another connection changed a schema; the plan
    // may then be out of date too.
    int reprepares = 0;
    // A second plan for the same rows, chosen before each run; null for most queries.
    std::unique_ptr<OrderedWalk> walk;
};
using CachedQueryPtr = std::shared_ptr<CachedQuery>;

class StatementCache {
public:
    explicit StatementCache(std::size_t capacity = 64) : m_capacity(capacity) {}

    // `generation` moves with every schema change; entries from an older one are dropped.
    CachedQueryPtr find(const std::string &key, std::uint64_t generation);
    void insert(const std::string &key, CachedQueryPtr entry, std::uint64_t generation);
    void clear();
    std::size_t size() const { return m_index.size(); }

private:
    using Entry = std::pair<std::string, CachedQueryPtr>;
    std::size_t m_capacity;
    std::list<Entry> m_order; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> m_index;
    std::uint64_t m_generation = 0;
};

} // namespace tsql
