#pragma once
// The system views, one row each in a table: INFORMATION_SCHEMA's and the sys catalogue's, with
// SQL Server's columns in SQL Server's order, made from the engine's catalogue. SystemViews.cpp
// serves them to SQLite.

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

// The rows of each view (SystemViewInformation.cpp, SystemViewObjects.cpp, SystemViewColumns.cpp,
// SystemViewServer.cpp).
Rows informationTables(Catalog &c, const std::string &db);
Rows informationColumns(Catalog &c, const std::string &db);
Rows informationViews(Catalog &c, const std::string &db);
Rows informationSchemata(Catalog &c, const std::string &db);
Rows informationTableConstraints(Catalog &c, const std::string &db);
Rows informationKeyColumnUsage(Catalog &c, const std::string &db);
Rows informationCheckConstraints(Catalog &c, const std::string &db);
Rows informationReferentialConstraints(Catalog &c, const std::string &db);

Rows sysObjects(Catalog &c, const std::string &db);
Rows sysTables(Catalog &c, const std::string &db);
Rows sysViews(Catalog &c, const std::string &db);
Rows sysKeyConstraints(Catalog &c, const std::string &db);
Rows sysCheckConstraints(Catalog &c, const std::string &db);
Rows sysDefaultConstraints(Catalog &c, const std::string &db);
Rows sysForeignKeys(Catalog &c, const std::string &db);
Rows sysForeignKeyColumns(Catalog &c, const std::string &db);

Rows sysColumns(Catalog &c, const std::string &db);
Rows sysIdentityColumns(Catalog &c, const std::string &db);
Rows sysIndexes(Catalog &c, const std::string &db);
Rows sysIndexColumns(Catalog &c, const std::string &db);

Rows sysTypes(Catalog &c, const std::string &db);
Rows sysSchemas(Catalog &c, const std::string &db);
Rows sysDatabases(Catalog &c, const std::string &db);

} // namespace tsql::sysview
