#pragma once
// The system views, one row each in a table: INFORMATION_SCHEMA's and the sys catalogue's, with
// SQL Server's columns, made from the engine's catalogue. SystemViews.cpp serves them to SQLite.

#include "tsql/Catalog.h"
#include "tsql/Value.h"

#include <vector>

namespace tsql::sysview {

struct ColumnDef {
    const char *name;
    SqlType type;
};

using Rows = std::vector<std::vector<Value>>;

struct Definition {
    const char *schema;
    const char *name;
    std::vector<ColumnDef> columns;
    Rows (*rows)(Catalog &catalog, const std::string &database);
};

const std::vector<Definition> &all();

} // namespace tsql::sysview
