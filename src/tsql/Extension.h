#pragma once
// The engine's collation and SQL functions on a SQLite connection that is not an engine session:
// SQLite's own tools and integrity checks read the engine's files with them (a table's text
// columns are declared COLLATE TSQL; the constraints' triggers call tsql_ functions). Nothing
// here writes to a file.

#include <sqlite3.h>

namespace tsql {

void registerStandalone(sqlite3 *db);

} // namespace tsql
