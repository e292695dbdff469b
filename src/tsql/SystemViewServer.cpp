// The rows of the views that are the same in every database, or about the databases
// themselves: sys.types, sys.schemas, sys.databases.

#include "tsql/SystemViewRows.h"
#include "tsql/SystemViewTypes.h"
#include "tsql/SystemViewValues.h"


namespace tsql::sysview {

namespace {

struct DatabaseState {
    int id;
    const char *name;
};

// The earliest date the catalogue wrote into a database: when it was made, as far as it knows.
std::string createdDate(Catalog &c, const std::string &db)
{
    try {
        sqlite::Stmt has(c.connection(), "SELECT 1 FROM " + sqlite::quoteName(db) +
                                             ".sqlite_master WHERE type = 'table' AND name = '__tsql_objects'");
        if (!has.step())
            return {};
        sqlite::Stmt s(c.connection(), "SELECT min(created) FROM " + sqlite::quoteName(db) + ".__tsql_objects");
        return s.step() && !s.isNull(0) ? s.text(0) : std::string();
    } catch (const Error &) {
        return {}; // a database that cannot be read still has its row
    }
}

std::vector<Value> databaseRow(const std::string &db, int id, const std::string &created, bool readOnly,
                               DatabaseState state)
{
    std::vector<Value> r = {name(db), integer(id), nullOf(kInt), Value::binary(std::string(1, '\x01'), SqlType{Base::VarBinary, 85}),
                            created.empty() ? when("1900-01-01 00:00:00.000") : when(created), integer(160, kTiny),
                            name(kCollation), integer(0, kTiny), text("MULTI_USER", kDesc), bit(readOnly), bit(false),
                            bit(false), integer(state.id, kTiny), text(state.name, kDesc), bit(false), bit(false),
                            bit(false), integer(0, kTiny), text("OFF", kDesc), bit(false), integer(3, kTiny),
                            text("SIMPLE", kDesc), integer(2, kTiny), text("CHECKSUM", kDesc), bit(true), bit(false),
                            bit(true), bit(false)};
    for (int i = 0; i < 17; ++i) // the SET options' database defaults and the features the engine lacks: all off
        r.push_back(bit(false));
    return r;
}

} // namespace

Rows sysTypes(Catalog &, const std::string &)
{
    Rows rows;
    for (const auto &[n, t] : builtinTypes()) {
        const bool characters = t.isText();
        // decimal's and numeric's max_length is the widest value's, 17 bytes.
        rows.push_back({name(n), integer(typeId(t), kTiny), integer(typeId(t)), integer(4), nullOf(kInt),
                        integer(t.storageBytes(), kSmall), integer(precision(t), kTiny), integer(scale(t), kTiny),
                        characters ? name(kCollation) : nullOf(kName), bit(true), bit(false), bit(false), integer(0),
                        integer(0), bit(false)});
    }
    // sysname: nvarchar(128) NOT NULL under a name of its own.
    rows.push_back({name("sysname"), integer(231, kTiny), integer(256), integer(4), nullOf(kInt), integer(256, kSmall),
                    integer(0, kTiny), integer(0, kTiny), name(kCollation), bit(false), bit(false), bit(false),
                    integer(0), integer(0), bit(false)});
    return rows;
}

Rows sysSchemas(Catalog &, const std::string &)
{
    Rows rows = {{name("dbo"), integer(1), integer(1)},
                 {name("guest"), integer(2), integer(2)},
                 {name("INFORMATION_SCHEMA"), integer(3), integer(3)},
                 {name("sys"), integer(4), integer(4)}};
    // The fixed database roles own a schema of their own name, numbered from 16384.
    const std::pair<const char *, int> roles[] = {
        {"db_owner", 16384}, {"db_accessadmin", 16385}, {"db_securityadmin", 16386}, {"db_ddladmin", 16387},
        {"db_backupoperator", 16389}, {"db_datareader", 16390}, {"db_datawriter", 16391},
        {"db_denydatareader", 16392}, {"db_denydatawriter", 16393}};
    for (const auto &[n, id] : roles)
        rows.push_back({name(n), integer(id), integer(id)});
    return rows;
}

Rows sysDatabases(Catalog &c, const std::string &)
{
    Rows rows;
    rows.push_back(databaseRow("master", 1, {}, false, {0, "ONLINE"}));
    rows.push_back(databaseRow("tempdb", 2, {}, false, {0, "ONLINE"}));
    for (const std::string &d : c.databases()) {
        if (iequals(d, "master"))
            continue; // the folder's logins: listed above, as SQL Server always lists master
        rows.push_back(databaseRow(d, c.databaseId(d), createdDate(c, d), c.isReadOnly(d),
                                   c.isSuspect(d) ? DatabaseState{4, "SUSPECT"} : DatabaseState{0, "ONLINE"}));
    }
    return rows;
}

} // namespace tsql::sysview
