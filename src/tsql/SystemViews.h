#pragma once
// INFORMATION_SCHEMA and the sys catalogue views: their columns and how their rows are made.
// Their rows come from the catalogue through the engine's own table-valued function, so no
// statement ever reads SQLite's schema tables.

#include "tsql/Catalog.h"

#include <sqlite3.h>

namespace tsql {

class RuntimeHost;
// Makes the views readable on a connection (one eponymous virtual table each).
void registerSystemViews(sqlite3 *db, RuntimeHost *host);

// The view, or nullptr when the schema has no view of that name.
TablePtr systemView(Catalog &catalog, const std::string &database, const std::string &schema,
                    const std::string &name);

} // namespace tsql
