#include "tsql/Security.h"

#include "tsql/AstStatements.h"
#include "tsql/Batch.h"
#include "tsql/Engine.h"
#include "tsql/Errors.h"

#include <sodium.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <semaphore>

namespace tsql::security {

namespace {

using sqlite::quoteName;

constexpr const char *kMaster = "master";

// The fixed database roles this engine knows, and what each allows.
constexpr std::string_view kRoles[] = {"db_owner",        "db_datareader",     "db_datawriter",
                                       "db_ddladmin",     "db_denydatareader", "db_denydatawriter"};

bool isRole(std::string_view name)
{
    for (std::string_view r : kRoles)
        if (iequals(r, name))
            return true;
    return false;
}

void initSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw err::internal("libsodium cannot start");
}

std::string hashPassword(const std::string &password)
{
    initSodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw err::outOfMemory();
    return out;
}

bool hasTable(sqlite::Connection &c, const std::string &db, const char *table)
{
    sqlite::Stmt s(c, "SELECT 1 FROM " + quoteName(db) + ".sqlite_master WHERE type = 'table' AND name = ?1");
    s.bind(1, std::string_view(table));
    return s.step();
}

void ensureUserTables(Engine &e, const std::string &db)
{
    sqlite::exec(e.connection(), "CREATE TABLE IF NOT EXISTS " + quoteName(db) +
                                     ".__tsql_users (name TEXT PRIMARY KEY COLLATE NOCASE, "
                                     "login TEXT NOT NULL UNIQUE COLLATE NOCASE)");
    sqlite::exec(e.connection(), "CREATE TABLE IF NOT EXISTS " + quoteName(db) +
                                     ".__tsql_role_members (role TEXT NOT NULL COLLATE NOCASE, "
                                     "member TEXT NOT NULL COLLATE NOCASE, PRIMARY KEY (role, member))");
}

// The folder's master database, made by the first CREATE LOGIN.
std::string ensureMaster(Engine &e)
{
    auto master = e.catalog().findDatabase(kMaster);
    if (!master) {
        e.createDatabase(kMaster);
        master = e.catalog().findDatabase(kMaster);
    }
    sqlite::exec(e.connection(), "CREATE TABLE IF NOT EXISTS " + quoteName(*master) +
                                     ".__tsql_logins (name TEXT PRIMARY KEY COLLATE NOCASE, hash TEXT NOT NULL, "
                                     "disabled INTEGER NOT NULL DEFAULT 0, default_database TEXT)");
    return *master;
}

std::optional<std::string> masterOf(Engine &e)
{
    auto master = e.catalog().findDatabase(kMaster);
    if (!master || !hasTable(e.connection(), *master, "__tsql_logins"))
        return std::nullopt;
    return master;
}

bool loginExists(Engine &e, const std::string &name)
{
    const auto master = masterOf(e);
    if (!master)
        return false;
    sqlite::Stmt s(e.connection(), "SELECT 1 FROM " + quoteName(*master) + ".__tsql_logins WHERE name = ?1");
    s.bind(1, name);
    return s.step();
}

std::string passwordOf(const ast::Login &s)
{
    const ast::Expr &p = *s.password;
    if (p.kind != ast::Expr::Kind::Literal || p.as<ast::Literal>().type != ast::Literal::Type::String)
        throw err::make(102, "PASSWORD").atLine(s.line);
    return p.as<ast::Literal>().text;
}

// The database a schema statement's object lives in.
std::string databaseOf(Engine &e, const ast::ObjectName &name)
{
    if (!name.database.empty()) {
        if (auto d = e.catalog().findDatabase(name.database))
            return *d;
        return name.database;
    }
    return e.currentDatabase();
}

bool mayDefine(Engine &e, const ast::ObjectName &name)
{
    const security::Principal *p = e.principal();
    return !p || name.isTemp() || p->mayDefine(databaseOf(e, name));
}

void createLogin(Engine &e, const ast::Login &s)
{
    const std::string password = passwordOf(s);
    const std::string master = ensureMaster(e);
    if (loginExists(e, s.name))
        throw err::make(15025, s.name);
    sqlite::Stmt insert(e.connection(), "INSERT INTO " + quoteName(master) +
                                            ".__tsql_logins (name, hash, default_database) VALUES (?1, ?2, ?3)");
    insert.bind(1, s.name);
    insert.bind(2, hashPassword(password));
    if (s.defaultDatabase.empty())
        insert.bindNull(3);
    else
        insert.bind(3, s.defaultDatabase);
    insert.step();
}

void alterLogin(Engine &e, const ast::Login &s)
{
    const auto master = masterOf(e);
    if (!master || !loginExists(e, s.name))
        throw err::make(15151, "alter", "login", s.name);
    const std::string table = quoteName(*master) + ".__tsql_logins";
    if (!s.action.empty()) {
        sqlite::Stmt update(e.connection(), "UPDATE " + table + " SET disabled = ?2 WHERE name = ?1");
        update.bind(1, s.name);
        update.bind(2, std::int64_t{s.action == "DISABLE" ? 1 : 0});
        update.step();
        return;
    }
    if (s.password) {
        sqlite::Stmt update(e.connection(), "UPDATE " + table + " SET hash = ?2 WHERE name = ?1");
        update.bind(1, s.name);
        update.bind(2, hashPassword(passwordOf(s)));
        update.step();
    }
    if (!s.defaultDatabase.empty()) {
        sqlite::Stmt update(e.connection(), "UPDATE " + table + " SET default_database = ?2 WHERE name = ?1");
        update.bind(1, s.name);
        update.bind(2, s.defaultDatabase);
        update.step();
    }
}

void dropLogin(Engine &e, const ast::Login &s)
{
    const auto master = masterOf(e);
    if (!master || !loginExists(e, s.name))
        throw err::make(15151, "drop", "login", s.name);
    // Its users stay behind, orphaned, as SQL Server leaves them.
    sqlite::Stmt remove(e.connection(), "DELETE FROM " + quoteName(*master) + ".__tsql_logins WHERE name = ?1");
    remove.bind(1, s.name);
    remove.step();
}

void createUser(Engine &e, const std::string &db, const ast::Login &s)
{
    const std::string login = s.other.empty() ? s.name : s.other;
    ensureUserTables(e, db);
    sqlite::Stmt byName(e.connection(), "SELECT 1 FROM " + quoteName(db) + ".__tsql_users WHERE name = ?1");
    byName.bind(1, s.name);
    if (byName.step() || isRole(s.name) || iequals(s.name, "dbo") || iequals(s.name, "public"))
        throw err::make(15023, s.name);
    if (!loginExists(e, login))
        throw err::make(15007, login);
    sqlite::Stmt byLogin(e.connection(), "SELECT 1 FROM " + quoteName(db) + ".__tsql_users WHERE login = ?1");
    byLogin.bind(1, login);
    if (byLogin.step())
        throw err::make(15063);
    sqlite::Stmt insert(e.connection(), "INSERT INTO " + quoteName(db) + ".__tsql_users (name, login) VALUES (?1, ?2)");
    insert.bind(1, s.name);
    insert.bind(2, login);
    insert.step();
}

bool userExists(Engine &e, const std::string &db, const std::string &name)
{
    if (!hasTable(e.connection(), db, "__tsql_users"))
        return false;
    sqlite::Stmt s(e.connection(), "SELECT 1 FROM " + quoteName(db) + ".__tsql_users WHERE name = ?1");
    s.bind(1, name);
    return s.step();
}

void dropUser(Engine &e, const std::string &db, const ast::Login &s)
{
    if (!userExists(e, db, s.name))
        throw err::make(15151, "drop", "user", s.name);
    for (const char *sql : {"DELETE FROM %.__tsql_role_members WHERE member = ?1", "DELETE FROM %.__tsql_users WHERE name = ?1"}) {
        std::string text = sql;
        text.replace(text.find('%'), 1, quoteName(db));
        sqlite::Stmt remove(e.connection(), text);
        remove.bind(1, s.name);
        remove.step();
    }
}

void alterRole(Engine &e, const std::string &db, const ast::Login &s)
{
    if (!isRole(s.name))
        throw err::make(15151, "alter", "role", s.name);
    const bool add = s.action == "ADD MEMBER";
    if (!userExists(e, db, s.other))
        throw err::make(15151, add ? "add" : "drop", "principal", s.other);
    std::string role;
    for (std::string_view r : kRoles)
        if (iequals(r, s.name))
            role = r;
    sqlite::Stmt change(e.connection(), add ? "INSERT OR IGNORE INTO " + quoteName(db) +
                                                  ".__tsql_role_members (role, member) VALUES (?1, ?2)"
                                            : "DELETE FROM " + quoteName(db) +
                                                  ".__tsql_role_members WHERE role = ?1 AND member = ?2");
    change.bind(1, role);
    change.bind(2, s.other);
    change.step();
}

} // namespace

Principal::Principal(sqlite::Connection &connection, const Catalog &catalog, std::string login)
    : m_connection(connection), m_catalog(catalog), m_login(std::move(login))
{
    reload();
}

void Principal::reload()
{
    const auto master = m_catalog.findDatabase(kMaster);
    bool enabled = false;
    if (master && hasTable(m_connection, *master, "__tsql_logins")) {
        sqlite::Stmt s(m_connection, "SELECT name FROM " + quoteName(*master) +
                                         ".__tsql_logins WHERE name = ?1 AND disabled = 0");
        s.bind(1, m_login);
        if (s.step()) {
            enabled = true;
            m_login = s.text(0); // as it was created
        }
    }
    if (!enabled)
        throw err::make(18456, m_login);
    m_access.clear();
    for (const std::string &db : m_catalog.databases()) {
        if (!hasTable(m_connection, db, "__tsql_users"))
            continue;
        sqlite::Stmt user(m_connection, "SELECT name FROM " + quoteName(db) + ".__tsql_users WHERE login = ?1");
        user.bind(1, m_login);
        if (!user.step())
            continue;
        Access &a = m_access[lower(db)];
        a.user = user.text(0);
        sqlite::Stmt roles(m_connection, "SELECT role FROM " + quoteName(db) + ".__tsql_role_members WHERE member = ?1");
        roles.bind(1, a.user);
        while (roles.step())
            a.roles.insert(lower(roles.text(0)));
    }
}

const Principal::Access *Principal::find(const std::string &database) const
{
    const auto it = m_access.find(lower(database));
    return it == m_access.end() ? nullptr : &it->second;
}

bool Principal::hasRole(const std::string &database, std::string_view role) const
{
    const Access *a = find(database);
    return a && a->roles.count(std::string(role));
}

bool Principal::isUser(const std::string &database) const { return find(database) != nullptr; }

bool Principal::owns(const std::string &database) const { return hasRole(database, "db_owner"); }

bool Principal::mayRead(const std::string &database) const
{
    return !hasRole(database, "db_denydatareader") && (owns(database) || hasRole(database, "db_datareader"));
}

bool Principal::mayWrite(const std::string &database) const
{
    return !hasRole(database, "db_denydatawriter") && (owns(database) || hasRole(database, "db_datawriter"));
}

bool Principal::mayDefine(const std::string &database) const
{
    return owns(database) || hasRole(database, "db_ddladmin");
}

int authorize(Engine &engine, int action, const char *table, const char *database)
{
    const Principal *p = engine.principal();
    // The temporary database is every session's own; main holds only the system views.
    if (!p || !database || !table || std::string_view(database) == "temp" || std::string_view(database) == "main")
        return SQLITE_OK;
    const std::string db = database;
    if (!p->isUser(db)) {
        engine.pending().set(err::make(916, p->login(), db));
        return SQLITE_DENY;
    }
    const bool read = action == SQLITE_READ;
    if (read ? p->mayRead(db) : p->mayWrite(db))
        return SQLITE_OK;
    const char *permission = read ? "SELECT" : action == SQLITE_INSERT ? "INSERT" : action == SQLITE_UPDATE ? "UPDATE" : "DELETE";
    engine.pending().set(err::make(229, permission, table, db));
    return SQLITE_DENY;
}

void checkStatement(BatchRunner &b, const ast::Statement &s)
{
    using Kind = ast::Statement::Kind;
    Engine &e = b.engine();
    const Principal *p = e.principal();
    if (!p)
        return;
    auto refuse = [&](const Error &error) { throw error.atLine(s.line); };
    switch (s.kind) {
    case Kind::Use: {
        // A database's roles are read again on entering it, as SQL Server builds its token then.
        e.principal()->reload();
        const auto d = e.catalog().findDatabase(s.as<ast::Use>().database);
        if (d && *d != "temp" && !p->isUser(*d))
            refuse(err::make(916, p->login(), *d));
        return;
    }
    case Kind::CreateTable: {
        const auto &t = s.as<ast::CreateTable>().table;
        if (!mayDefine(e, t))
            refuse(err::make(262, "CREATE TABLE", databaseOf(e, t)));
        return;
    }
    case Kind::CreateView: {
        const auto &v = s.as<ast::CreateView>();
        if (!mayDefine(e, v.view))
            refuse(v.alter ? err::make(4902, v.view.written) : err::make(262, "CREATE VIEW", databaseOf(e, v.view)));
        return;
    }
    case Kind::Select: {
        const auto &into = s.as<ast::SelectStatement>().query->first().into;
        if (into && !mayDefine(e, *into))
            refuse(err::make(262, "CREATE TABLE", databaseOf(e, *into)));
        return;
    }
    case Kind::AlterTable: {
        const auto &t = s.as<ast::AlterTable>().table;
        if (!mayDefine(e, t))
            refuse(err::make(4902, t.written));
        return;
    }
    case Kind::DropTable:
        for (const auto &t : s.as<ast::DropTable>().tables)
            if (!mayDefine(e, t))
                refuse(err::make(3701, "table", t.written));
        return;
    case Kind::DropView:
        for (const auto &v : s.as<ast::DropView>().views)
            if (!mayDefine(e, v))
                refuse(err::make(3701, "view", v.written));
        return;
    case Kind::Truncate: {
        const auto &t = s.as<ast::Truncate>().table;
        if (!mayDefine(e, t))
            refuse(err::make(1088, t.written));
        return;
    }
    case Kind::CreateIndex: {
        const auto &t = s.as<ast::CreateIndex>().table;
        if (!mayDefine(e, t))
            refuse(err::make(1088, t.written));
        return;
    }
    case Kind::DropIndex:
        for (const auto &[index, t] : s.as<ast::DropIndex>().indexes)
            if (!mayDefine(e, t))
                refuse(err::make(3701, "index", t.written + "." + index));
        return;
    case Kind::CreateDatabase: {
        const auto &d = s.as<ast::CreateDatabase>();
        refuse(d.drop ? err::make(3701, "database", d.name) : err::make(262, "CREATE DATABASE", kMaster));
        return;
    }
    case Kind::Login: {
        const auto &l = s.as<ast::Login>();
        if (l.verb.find("LOGIN") != std::string::npos)
            refuse(err::make(15247));
        if (l.verb == "ALTER ROLE" && !p->owns(e.currentDatabase()))
            refuse(err::make(15151, "alter", "role", l.name));
        if (l.verb.find("USER") != std::string::npos && !p->owns(e.currentDatabase()))
            refuse(err::make(15247));
        return;
    }
    default:
        return;
    }
}

void run(BatchRunner &b, const ast::Login &s)
{
    Engine &e = b.engine();
    const std::string &v = s.verb;
    if (v != "CREATE LOGIN" && v != "ALTER LOGIN" && v != "DROP LOGIN" && v != "CREATE USER" && v != "DROP USER" &&
        v != "ALTER ROLE")
        throw err::make(40517, v).atLine(s.line); // GRANT, DENY, REVOKE, DROP ROLE: the fixed roles only
    const std::string db = e.currentDatabase();
    if (db.empty() && v.find("LOGIN") == std::string::npos)
        throw err::make(15247).atLine(s.line);
    e.settleCursors();
    if (v == "CREATE LOGIN" && !e.catalog().findDatabase(kMaster))
        ensureMaster(e); // outside the statement's savepoint: a new database file is attached, not written
    {
        Engine::StatementScope scope(e);
        try {
            if (v == "CREATE LOGIN")
                createLogin(e, s);
            else if (v == "ALTER LOGIN")
                alterLogin(e, s);
            else if (v == "DROP LOGIN")
                dropLogin(e, s);
            else if (v == "CREATE USER")
                createUser(e, db, s);
            else if (v == "DROP USER")
                dropUser(e, db, s);
            else
                alterRole(e, db, s);
        } catch (const Error &error) {
            throw error.line() ? error : error.atLine(s.line);
        }
        scope.commit();
    }
    e.catalog().invalidate();
    if (e.principal())
        e.principal()->reload();
}

bool checkPassword(const std::string &folder, const std::string &login, const std::string &password)
{
    initSodium();
    static std::counting_semaphore<2> hashing(2);
    // An unknown name is checked against a hash of a forgotten random password, made with the
    // same limits, so that it costs what a real check costs.
    std::string hash = "$argon2id$v=19$m=65536,t=2,p=1$ywid1irC9jdHGLxKAVNMqA$C/zXyBG25j60a9xsaVUcwD7rp/Sbramg2KzyojtVhl8";
    bool known = false;
    const std::string path = (std::filesystem::path(folder) / "master.sqlite").string();
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT hash FROM __tsql_logins WHERE name = ?1 COLLATE NOCASE AND disabled = 0",
                               -1, &s, nullptr) == SQLITE_OK) {
            sqlite3_bind_text(s, 1, login.data(), static_cast<int>(login.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(s) == SQLITE_ROW) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
                if (text && std::strlen(text) < crypto_pwhash_STRBYTES) {
                    hash = text;
                    known = true;
                }
            }
        }
        sqlite3_finalize(s);
    }
    sqlite3_close(db);
    hashing.acquire();
    const bool match = crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
    hashing.release();
    return known && match;
}

std::string maskPasswords(std::string_view text)
{
    auto wordAt = [&](std::size_t at) {
        static constexpr std::string_view word = "PASSWORD";
        if (at + word.size() > text.size() || (at > 0 && (std::isalnum(static_cast<unsigned char>(text[at - 1])) ||
                                                          text[at - 1] == '_')))
            return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i])
                return false;
        return true;
    };
    auto skipBlanks = [&](std::size_t j) {
        while (j < text.size() && std::isspace(static_cast<unsigned char>(text[j])))
            ++j;
        return j;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (wordAt(i)) {
            std::size_t j = skipBlanks(i + 8);
            if (j < text.size() && text[j] == '=') {
                j = skipBlanks(j + 1);
                if (j + 1 < text.size() && (text[j] == 'N' || text[j] == 'n') && text[j + 1] == '\'')
                    ++j;
                if (j < text.size() && text[j] == '\'') {
                    std::size_t k = j + 1; // to the closing quote; doubled quotes belong to the literal
                    while (k < text.size() && !(text[k] == '\'' && (k + 1 >= text.size() || text[k + 1] != '\'')))
                        k += text[k] == '\'' ? 2 : 1;
                    out += "PASSWORD = '***'";
                    i = k;
                    continue;
                }
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

} // namespace tsql::security
