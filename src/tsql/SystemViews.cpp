#include "tsql/SystemViews.h"

#include "tsql/Errors.h"
#include "tsql/Runtime.h"
#include "tsql/Storage.h"
#include "tsql/SystemViewRows.h"

#include <sqlite3.h>

#include <cstring>

namespace tsql {

namespace {

// The virtual table behind one system view: the rows are made from the catalogue when a
// statement reads it, for the database its hidden argument names.
struct Module {
    RuntimeHost *host;
    std::size_t view;
};

struct VTab : sqlite3_vtab {
    Module *module;
};

struct VCursor : sqlite3_vtab_cursor {
    std::vector<std::vector<Value>> rows;
    std::size_t at = 0;
};

int connect(sqlite3 *db, void *aux, int, const char *const *, sqlite3_vtab **out, char **)
{
    auto *m = static_cast<Module *>(aux);
    const sysview::Definition &d = sysview::all()[m->view];
    std::string sql = "CREATE TABLE x(";
    for (const auto &c : d.columns)
        sql += "\"" + std::string(c.name) + "\", ";
    sql += "db HIDDEN)";
    sqlite::Connection::Trust trust(m->host->sqliteConnection());
    const int rc = sqlite3_declare_vtab(db, sql.c_str());
    if (rc != SQLITE_OK)
        return rc;
    auto *t = new VTab{};
    t->module = m;
    *out = t;
    return SQLITE_OK;
}

int disconnect(sqlite3_vtab *t)
{
    delete static_cast<VTab *>(t);
    return SQLITE_OK;
}

int bestIndex(sqlite3_vtab *t, sqlite3_index_info *info)
{
    const int hidden = static_cast<int>(sysview::all()[static_cast<VTab *>(t)->module->view].columns.size());
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (c.iColumn == hidden && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
            if (!c.usable)
                return SQLITE_CONSTRAINT;
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->estimatedCost = 100;
            return SQLITE_OK;
        }
    }
    return SQLITE_CONSTRAINT;
}

int open(sqlite3_vtab *, sqlite3_vtab_cursor **out)
{
    *out = new VCursor{};
    return SQLITE_OK;
}

int close(sqlite3_vtab_cursor *c)
{
    delete static_cast<VCursor *>(c);
    return SQLITE_OK;
}

int filter(sqlite3_vtab_cursor *cur, int, const char *, int argc, sqlite3_value **argv)
{
    auto *c = static_cast<VCursor *>(cur);
    auto *t = static_cast<VTab *>(cur->pVtab);
    c->rows.clear();
    c->at = 0;
    if (argc < 1)
        return SQLITE_OK;
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const std::string db = p ? p : "";
    try {
        c->rows = sysview::all()[t->module->view].rows(t->module->host->catalog(), db);
    } catch (const Error &e) {
        t->module->host->pending().set(e);
        sqlite3_free(t->zErrMsg);
        t->zErrMsg = sqlite3_mprintf("tsql");
        return SQLITE_ERROR;
    } catch (const std::bad_alloc &) {
        return SQLITE_NOMEM;
    } catch (const std::exception &e) {
        t->module->host->pending().set(err::internal(e.what()));
        sqlite3_free(t->zErrMsg);
        t->zErrMsg = sqlite3_mprintf("tsql");
        return SQLITE_ERROR;
    }
    return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *cur)
{
    ++static_cast<VCursor *>(cur)->at;
    return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *cur)
{
    auto *c = static_cast<VCursor *>(cur);
    return c->at >= c->rows.size();
}

int column(sqlite3_vtab_cursor *cur, sqlite3_context *ctx, int i)
{
    auto *c = static_cast<VCursor *>(cur);
    const auto &row = c->rows[c->at];
    if (i < 0 || static_cast<std::size_t>(i) >= row.size()) {
        sqlite3_result_null(ctx);
        return SQLITE_OK;
    }
    storage::result(ctx, row[static_cast<std::size_t>(i)]);
    return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor *cur, sqlite3_int64 *id)
{
    *id = static_cast<sqlite3_int64>(static_cast<VCursor *>(cur)->at);
    return SQLITE_OK;
}

sqlite3_module makeModule()
{
    sqlite3_module m;
    std::memset(&m, 0, sizeof m);
    m.iVersion = 0;
    m.xCreate = nullptr; // eponymous only: no CREATE VIRTUAL TABLE can make one
    m.xConnect = connect;
    m.xBestIndex = bestIndex;
    m.xDisconnect = disconnect;
    m.xDestroy = disconnect;
    m.xOpen = open;
    m.xClose = close;
    m.xFilter = filter;
    m.xNext = next;
    m.xEof = eof;
    m.xColumn = column;
    m.xRowid = rowid;
    return m;
}

const sqlite3_module kModule = makeModule();

} // namespace

void registerSystemViews(sqlite3 *db, RuntimeHost *host)
{
    for (std::size_t i = 0; i < sysview::all().size(); ++i) {
        auto *m = new Module{host, i};
        sqlite3_create_module_v2(db, ("tsql_sys_" + std::to_string(i)).c_str(), &kModule, m,
                                 [](void *p) { delete static_cast<Module *>(p); });
    }
}

TablePtr systemView(Catalog &, const std::string &database, const std::string &schema, const std::string &name)
{
    const auto &views = sysview::all();
    for (std::size_t i = 0; i < views.size(); ++i) {
        const sysview::Definition &d = views[i];
        if (!iequals(d.schema, schema) || !iequals(d.name, name))
            continue;
        auto t = std::make_shared<Table>();
        t->kind = Table::Kind::System;
        t->database = database;
        t->schema = d.schema;
        t->name = d.name;
        for (const auto &c : d.columns) {
            Column col;
            col.name = c.name;
            col.type = c.type;
            t->columns.push_back(std::move(col));
        }
        t->systemSql = "tsql_sys_" + std::to_string(i) + "(" + sqlite::quoteLiteral(database) + ")";
        return t;
    }
    return nullptr;
}

} // namespace tsql
