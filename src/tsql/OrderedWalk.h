#pragma once
// A TOP ... ORDER BY over a LIKE prefix has two good plans, and which one wins depends on how
// many rows the prefix holds, which SQLite cannot tell (it keeps no statistics of values):
// with few, the prefix's range on its own index and a sort of what it found; with many, a walk
// along the ORDER BY's index that skips rows outside the prefix and stops at the TOP. Counting
// the range, stopped where the walk becomes the cheaper plan, decides before each run.

#include "tsql/Sqlite.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tsql {

struct OrderedWalk {
    OrderedWalk() = default;
    ~OrderedWalk();
    OrderedWalk(const OrderedWalk &) = delete;
    OrderedWalk &operator=(const OrderedWalk &) = delete;

    sqlite3_stmt *walk = nullptr;  // the query with the prefix's range kept off its index
    sqlite3_stmt *probe = nullptr; // ?1 the pattern, ?2 how many rows to count at most
    int patternParam = -1;         // the pattern's place among the query's parameters
    int topParam = -1;             // TOP's, or -1
    std::int64_t tableRows = 0;    // the table's size when prepared
};

// Null when the query is not of that form, or the walk would not follow an index.
std::unique_ptr<OrderedWalk> orderedWalk(sqlite::Connection &c, const std::string &sql);

// How many rows in the range make walking cheaper than sorting: the walk reads about
// top * tableRows / rows index entries, the sort fetches each row of the range from its table,
// some ten times the cost of an index entry.
std::int64_t walkThreshold(const OrderedWalk &w, std::int64_t top);

} // namespace tsql
