// The entry point of libtalvor_tsql, the engine's collation and functions as a SQLite loadable
// extension: `sqlite3 Patient_Data.sqlite -cmd '.load /usr/lib/talvor/libtalvor_tsql'`. With it
// SQLite's own tools can read the engine's files and check them (PRAGMA integrity_check needs
// the TSQL collation for the indexes on text). It also makes the connection read-only for the
// files: a change made behind the engine's back would be stored in forms the engine does not
// expect, or leave its catalogue disagreeing with the tables. (The sqlite3 shell's ".auth OFF"
// lifts that guard; the engine then still refuses a catalogue that no longer fits its tables.)

#include "tsql/Extension.h"

#define SQLITE_CORE 1 // the structure of SQLite's routines, without redirecting calls through it
#include <sqlite3ext.h>

#if defined(_WIN32)
#define TALVOR_EXPORT __declspec(dllexport)
#else
#define TALVOR_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// The connection is made query-only; what keeps it so is that the setting cannot be switched
// off again through SQL while the extension's guard is in place.
int keepQueryOnly(void *, int action, const char *a, const char *b, const char *, const char *)
{
    if (action == SQLITE_PRAGMA && a && b && sqlite3_stricmp(a, "query_only") == 0)
        return SQLITE_DENY;
    return SQLITE_OK;
}

} // namespace

extern "C" {

// SQLite derives the entry point's name from the file's: libtalvor_tsql -> sqlite3_talvortsql_init.
TALVOR_EXPORT int sqlite3_talvortsql_init(sqlite3 *db, char **error, const sqlite3_api_routines *api)
{
    // The engine calls SQLite directly; that is only right inside a program that uses the same
    // SQLite library, which the sqlite3 shell of the system's package does.
    if (!api || api->libversion_number != &sqlite3_libversion_number) {
        if (error)
            *error = sqlite3_mprintf("libtalvor_tsql can only be loaded by a program that uses the system's "
                                     "SQLite library (libsqlite3 %s)", sqlite3_libversion());
        return SQLITE_ERROR;
    }
    tsql::registerStandalone(db);
    if (sqlite3_exec(db, "PRAGMA query_only = 1", nullptr, nullptr, error) != SQLITE_OK)
        return SQLITE_ERROR;
    sqlite3_set_authorizer(db, keepQueryOnly, nullptr);
    return SQLITE_OK;
}

TALVOR_EXPORT int sqlite3_extension_init(sqlite3 *db, char **error, const sqlite3_api_routines *api)
{
    return sqlite3_talvortsql_init(db, error, api);
}

} // extern "C"
