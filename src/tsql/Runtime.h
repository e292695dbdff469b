#pragma once
// The SQLite functions the generated SQL calls (tsql_cast, tsql_arith, tsql_like, tsql_fn, the
// aggregates, ...) and the collation TSQL. Each one catches everything: a T-SQL error waits in
// the connection's pending error, memory running out is SQLite's own "no memory", and nothing
// escapes into SQLite's C code.

#include "tsql/Functions.h"
#include "tsql/Sqlite.h"

#include <string>

namespace tsql {

// What the functions need of the session they run in.
class RuntimeHost : public fn::Runtime {
public:
    virtual sqlite::PendingError &pending() = 0;
    virtual sqlite::Connection &sqliteConnection() = 0;
    // A variable's value now, while a SELECT that assigns it runs row by row.
    virtual Value liveVariable(const std::string &name) = 0;
    // The statement's time is up or it was cancelled: long loops inside one call ask this.
    virtual bool cancelRequested() const { return false; }
};

void registerRuntime(sqlite3 *db, RuntimeHost *host);
// SUM and AVG of an exact type, made per type on first use: "tsql_sum_<type code>".
void registerAggregate(sqlite3 *db, RuntimeHost *host, const std::string &name, const SqlType &type);

// The collation TSQL's comparison (SQL_Latin1_General_CP1_CI_AS).
int collationCompare(void *, int la, const void *a, int lb, const void *b);

// A text that the collation TSQL puts after every other: the upper bound of a range that holds
// everything (a LIKE pattern without a fixed beginning).
extern const std::string kAfterEverything;

} // namespace tsql
