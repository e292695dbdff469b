#pragma once
// Every object of a database as sys.objects counts them: tables, views and the constraints of
// the tables (primary keys, unique keys, checks, foreign keys, defaults), each with its object
// id, its parent's and its dates. The catalogue views, sp_help and DBCC read this one list.

#include "tsql/Catalog.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tsql::sysview {

struct Object {
    std::string name;
    std::int64_t id = 0;
    std::int64_t parentId = 0;   // the table of a constraint; 0 for tables and views
    std::string type;            // sys.objects.type: "U ", "V ", "PK", "UQ", "C ", "F ", "D "
    std::string typeDesc;        // USER_TABLE, VIEW, PRIMARY_KEY_CONSTRAINT, ...
    std::string created, modified;
    TablePtr table;              // the table or view itself, or the constraint's table
    const Index *index = nullptr;           // PK, UQ
    const Check *check = nullptr;           // C
    const ForeignKey *foreignKey = nullptr; // F
    int column = -1;             // D and column-level C: the column's position in the table

    bool isTable() const { return type == "U "; }
    bool isView() const { return type == "V "; }
};

// The user tables and views of a database in name order, loaded once for one statement.
std::vector<TablePtr> tables(Catalog &c, const std::string &database);

// The objects of a database, in object id order.
std::vector<Object> objects(Catalog &c, const std::string &database);

// The number of an object the catalogue never wrote down (a table made before objects were
// numbered, a primary key named after its table): stable while the object exists.
std::int64_t stableId(const std::string &database, const std::string &name);

// The object id of a table named in a foreign key, or 0 when it does not exist.
std::int64_t tableId(const std::vector<Object> &objects, const std::string &table);

} // namespace tsql::sysview
