#pragma once
// Whether the engine's own catalogue of a database (__tsql_objects, __tsql_identity) agrees
// with the tables, indexes and triggers in the file. Something other than the engine that
// wrote to the file (SQLite's shell, a script) can leave a constraint without the trigger that
// enforces it, an identity for a column that is gone, a table the catalogue still lists: the
// engine refuses such a database (211) rather than guess, and DBCC CHECKCATALOG / CHECKDB say
// what disagrees. Reads only SQLite's schema and the catalogue, never the rows, so it is cheap
// enough to run whenever a database is opened.

#include "tsql/Error.h"
#include "tsql/Sqlite.h"

#include <string>
#include <vector>

namespace tsql::catalogcheck {

struct Finding {
    Error message;     // one of SQL Server's catalogue messages (3851-3858), filled in
    std::string table; // the table it concerns; empty when none is left to name
};

std::vector<Finding> check(sqlite::Connection &c, const std::string &database);

} // namespace tsql::catalogcheck
