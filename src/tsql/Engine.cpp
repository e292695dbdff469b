#include "tsql/Engine.h"

#include "tsql/Compiler.h"
#include "tsql/Cursor.h"
#include "tsql/Errors.h"
#include "tsql/Lexer.h"
#include "tsql/Parser.h"
#include "tsql/Sqlite.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

namespace tsql {

namespace fs = std::filesystem;

static constexpr const char *kExtension = ".sqlite";

std::unique_ptr<Session> Session::open(const std::string &folder, const std::string &database)
{
    return std::make_unique<Engine>(folder, database);
}

std::vector<std::string> Session::splitStatements(std::string_view batch)
{
    const std::vector<Token> tokens = tokenize(batch);
    std::vector<std::string> out;
    Parser p(tokens);
    while (!p.atEnd()) {
        const std::size_t start = p.current().offset;
        try {
            p.statement();
        } catch (const Error &) {
            // Hand the rest over whole, so that running it reports the syntax error.
            out.emplace_back(batch.substr(start));
            return out;
        }
        std::size_t end = p.current().offset;
        while (p.current().isSymbol(";")) {
            end = p.current().endOffset;
            p.atEnd(); // steps over the separators
        }
        out.emplace_back(batch.substr(start, end - start));
        // Trim what separates statements; the text of each stays as written.
        auto &s = out.back();
        while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r' || s.back() == '\t'))
            s.pop_back();
    }
    return out;
}

Engine::Transaction::Transaction(sqlite3 *db) : m_db(db)
{
    exec(m_db, "SAVEPOINT tsql_statement");
}

Engine::Transaction::~Transaction()
{
    if (!m_done) {
        sqlite3_exec(m_db, "ROLLBACK TO tsql_statement", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "RELEASE tsql_statement", nullptr, nullptr, nullptr);
    }
}

void Engine::Transaction::rollback()
{
    if (m_done)
        return;
    exec(m_db, "ROLLBACK TO tsql_statement");
    exec(m_db, "RELEASE tsql_statement");
    m_done = true;
}

void Engine::Transaction::commit()
{
    exec(m_db, "RELEASE tsql_statement");
    m_done = true;
}

Engine::Engine(const std::string &folder, const std::string &database) : m_folder(folder), m_catalog(nullptr)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw err::cannotOpen(database.empty() ? folder : database);
    // URIs let a database in a read-only folder be attached read-only (see attach()).
    if (sqlite3_open_v2(":memory:", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI, nullptr)
        != SQLITE_OK) {
        sqlite3_close(m_db);
        throw Error(17, 16, 1, "SQL Server does not exist or access denied.");
    }
    m_catalog = Catalog(m_db);
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
    sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, 125);
    registerFunctions(m_db);
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().extension() == kExtension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    try {
        for (const auto &f : files)
            attach(f.stem().string(), f.string());
    } catch (...) {
        sqlite3_close(m_db);
        throw;
    }
    if (!database.empty()) {
        auto d = m_catalog.findDatabase(database);
        if (!d) {
            sqlite3_close(m_db);
            throw err::cannotOpen(database);
        }
        m_current = *d;
    }
    if (const char *t = std::getenv("TALVOR_SQL_TRACE"))
        m_tracePath = t;
}

Engine::~Engine()
{
    // A cursor that outlives its session ends where it stands.
    for (Cursor *c : m_cursors)
        c->abandon();
    sqlite3_close_v2(m_db);
}

static std::string fileUri(const std::string &path, const char *query)
{
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            static const char digits[] = "0123456789ABCDEF";
            uri += '%';
            uri += digits[c >> 4];
            uri += digits[c & 15];
        } else {
            uri += static_cast<char>(c);
        }
    }
    return uri + "?" + query;
}

static Error accessDenied(const std::string &path)
{
    return Error(5120, 16, 101,
                 "Unable to open the physical file \"" + path + "\". Operating system error 5: \"5(Access is denied.)\".");
}

void Engine::attach(const std::string &name, const std::string &path)
{
    // WAL needs its -wal and -shm files beside the database. Where they cannot be made (a
    // read-only folder or file, a read-only medium), the database is still read, and every
    // change is refused as SQL Server refuses changes to a read-only database.
    std::string target = path;
    bool readOnly = false;
    if (fs::exists(path)) {
        if (::access(path.c_str(), R_OK) != 0)
            throw accessDenied(path);
        const std::string folder = fs::path(path).parent_path().string();
        if (::access(path.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0) {
            readOnly = true;
            const bool wal = fs::exists(path + "-wal"), shm = fs::exists(path + "-shm");
            if (wal && !shm)
                throw accessDenied(path + "-shm"); // the log holds changes that cannot be read without it
            // Without a log every committed row is in the file itself, so it is read without
            // locks; changes someone with write access makes after this opening are not seen.
            target = fileUri(path, wal ? "mode=ro" : "mode=ro&immutable=1");
        }
    }
    Stmt s(m_db, "ATTACH DATABASE ?1 AS " + quoteName(name));
    s.bind(1, target);
    s.step();
    if (!readOnly) {
        // WAL keeps a killed writer from leaving a file half-changed; NORMAL is durable enough in WAL.
        exec(m_db, "PRAGMA " + quoteName(name) + ".journal_mode = WAL");
        exec(m_db, "PRAGMA " + quoteName(name) + ".synchronous = NORMAL");
    } else {
        m_readOnly.insert(name);
    }
    // Large loads and rebuilds stay in memory until commit instead of spilling page by page.
    exec(m_db, "PRAGMA " + quoteName(name) + ".cache_size = -65536");
    m_catalog.addDatabase(name);
}

void Engine::refuseReadOnly(const ast::ObjectName &target) const
{
    if (m_readOnly.empty())
        return;
    std::string db;
    try {
        db = m_catalog.databaseFor(target, m_current, Error(0, 0, 0, ""));
    } catch (const Error &) {
        return; // the statement reports the missing database itself
    }
    if (m_readOnly.count(db))
        throw err::readOnlyDatabase(db);
}

void Engine::createDatabase(const std::string &name)
{
    if (name.empty() || name.find_first_of("/\\.:") != std::string::npos)
        throw err::syntax(name);
    if (m_transactionDepth > 0)
        throw Error(226, 16, 6, "CREATE DATABASE statement not allowed within multi-statement transaction.");
    if (m_catalog.findDatabase(name))
        throw Error(1801, 16, 3, "Database '" + name + "' already exists. Choose a different database name.");
    settleCursors();
    attach(name, (fs::path(m_folder) / (name + kExtension)).string());
}

void Engine::forgetEndedTransaction()
{
    // SQLite ends a transaction itself after some I/O failures; SQL Server's doomed transaction
    // behaves alike: the COMMIT or ROLLBACK that follows finds none.
    if (m_transactionDepth > 0 && sqlite3_get_autocommit(m_db))
        m_transactionDepth = 0;
}

void Engine::beginTransaction()
{
    if (m_transactionDepth == 0)
        exec(m_db, "BEGIN");
    ++m_transactionDepth;
}

void Engine::commitTransaction()
{
    forgetEndedTransaction();
    if (m_transactionDepth == 0)
        throw err::noBeginTransaction("COMMIT");
    if (m_transactionDepth == 1) {
        settleCursors();
        exec(m_db, "COMMIT");
    }
    --m_transactionDepth;
}

void Engine::rollbackTransaction()
{
    forgetEndedTransaction();
    if (m_transactionDepth == 0)
        throw err::noBeginTransaction("ROLLBACK");
    // A rollback aborts the statements still reading; their rows are read first.
    settleCursors();
    exec(m_db, "ROLLBACK");
    m_transactionDepth = 0;
}

void Engine::settleCursors()
{
    for (Cursor *c : m_cursors) {
        try {
            c->materialize();
        } catch (const Error &) {
            // The cursor ends where it failed; the statement that asked to settle goes on.
        }
    }
}

static std::string jsonEscape(std::string_view s)
{
    std::string r;
    for (unsigned char c : s) {
        switch (c) {
        case '"': r += "\\\""; break;
        case '\\': r += "\\\\"; break;
        case '\n': r += "\\n"; break;
        case '\r': r += "\\r"; break;
        case '\t': r += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                r += buf;
            } else {
                r += static_cast<char>(c);
            }
        }
    }
    return r;
}

void Engine::trace(const std::string &database, std::string_view statement, bool ok, const std::string &error,
                   std::int64_t rows) const
{
    if (m_tracePath.empty())
        return;
    const auto now = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
    std::string line = std::string("{\"time\":\"") + stamp + "\",\"database\":\"" + jsonEscape(database) +
                       "\",\"statement\":\"" + jsonEscape(statement) + "\",\"ok\":" + (ok ? "true" : "false");
    if (ok)
        line += ",\"rows\":" + std::to_string(rows);
    else
        line += ",\"error\":\"" + jsonEscape(error) + "\"";
    line += "}\n";
    // One write with O_APPEND keeps lines whole even with several writers; failures are ignored.
    const int fd = ::open(m_tracePath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    [[maybe_unused]] const auto written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

std::unique_ptr<Result> Engine::execute(std::string_view statement)
{
    const std::string before = m_current;
    try {
        const std::vector<Token> tokens = tokenize(statement);
        Parser p(tokens);
        std::unique_ptr<Result> r;
        if (p.atEnd()) {
            r = std::make_unique<CountResult>(-1);
        } else {
            auto s = p.statement();
            if (!p.atEnd()) {
                // One statement per call: nothing runs when a second one follows.
                const Token &extra = p.current();
                static const char *starts[] = {"select", "insert", "update", "delete", "truncate", "create",
                                               "drop", "alter", "set", "use", "begin", "commit", "rollback"};
                for (const char *w : starts)
                    if (extra.isWord(w))
                        throw err::syntax(extra.source);
                p.fail();
            }
            r = run(*s);
        }
        trace(before, statement, true, {}, r->rowsAffected());
        return r;
    } catch (const Error &e) {
        trace(before, statement, false, e.what(), 0);
        throw;
    } catch (const std::exception &e) {
        // A number too large for its place and the like: still an engine error for the caller.
        const Error wrapped(8114, 16, 5, std::string("Error converting data type: ") + e.what() + ".");
        trace(before, statement, false, wrapped.what(), 0);
        throw wrapped;
    }
}

std::unique_ptr<Result> Engine::run(const ast::Statement &s)
{
    using K = ast::Statement::Kind;
    switch (s.kind) {
    case K::Select:
        if (s.select->members.front().into)
            refuseReadOnly(*s.select->members.front().into);
        break;
    case K::DropTable:
        for (const ast::ObjectName &t : s.tables)
            refuseReadOnly(t);
        break;
    case K::Use: case K::SetOption: case K::IdentityInsert:
    case K::BeginTransaction: case K::CommitTransaction: case K::RollbackTransaction:
        break;
    default:
        refuseReadOnly(s.table);
    }
    switch (s.kind) {
    case K::Select:
        if (s.select->members.front().into) {
            settleCursors();
            return std::make_unique<CountResult>(selectInto(*s.select));
        }
        return query(*s.select);
    case K::Insert: return std::make_unique<CountResult>(insert(s));
    case K::Update: return std::make_unique<CountResult>(update(s));
    case K::Delete: return std::make_unique<CountResult>(remove(s));
    case K::Use: use(s); break;
    case K::IdentityInsert: identityInsert(s); break;
    case K::SetOption: break;
    case K::BeginTransaction: beginTransaction(); break;
    case K::CommitTransaction: commitTransaction(); break;
    case K::RollbackTransaction: rollbackTransaction(); break;
    default: {
        settleCursors();
        Transaction tx(m_db);
        switch (s.kind) {
        case K::Truncate: truncate(s); break;
        case K::CreateTable: createTable(s); break;
        case K::DropTable: dropTable(s); break;
        case K::AlterAdd: alterAdd(s); break;
        case K::AlterColumn: alterColumn(s); break;
        case K::CreateIndex: createIndex(s); break;
        case K::DropIndex: dropIndex(s); break;
        default: break;
        }
        tx.commit();
    }
    }
    return std::make_unique<CountResult>(-1);
}

std::unique_ptr<Result> Engine::query(const ast::Select &s)
{
    Compiler c(m_catalog, m_current);
    CompiledQuery q = c.select(s);
    Stmt stmt(m_db, q.sql);
    auto cursor = std::make_unique<Cursor>(this, stmt.release(), q.columns);
    m_cursors.insert(cursor.get());
    return cursor;
}

std::int64_t Engine::insert(const ast::Statement &s)
{
    settleCursors();
    Compiler c(m_catalog, m_current);
    const Table t = c.target(s.table);
    const bool identityOn = m_identityInsert && iequals(m_identityInsert->first, t.database) &&
                            iequals(m_identityInsert->second, t.name);
    bool explicitIdentity = false;
    const std::string sql = c.insert(s, t, std::nullopt, identityOn, explicitIdentity);
    Transaction tx(m_db);
    try {
        exec(m_db, sql, FailureContext{t.fullName(), "INSERT"});
    } catch (const Error &e) {
        if (e.number() != 2627 && e.number() != 2601)
            throw;
        const std::string message = sqlite3_errmsg(m_db);
        tx.rollback();
        throw duplicateKey(e, t, message, c.insertSource(), c.insertColumns());
    }
    const std::int64_t n = sqlite3_changes64(m_db);
    if (t.identity && n > 0) {
        std::optional<std::int64_t> last;
        if (explicitIdentity) {
            // An explicit value beyond the current one moves the numbering on, as in SQL Server.
            Stmt m(m_db, "SELECT " + std::string(t.identity->step > 0 ? "max(" : "min(") +
                             quoteName(t.identity->column) + ") FROM " + t.sqlName());
            m.step();
            const std::int64_t extreme = m.integer(0);
            last = t.identity->last;
            if (!last || (t.identity->step > 0 ? extreme > *last : extreme < *last))
                last = extreme;
        } else {
            last = t.identity->next() + t.identity->step * (n - 1);
        }
        m_catalog.setIdentityLast(t.database, t.name, last);
    }
    tx.commit();
    return n;
}

// SQLite names the columns of a refused key; SQL Server names the index and the key's value, so
// both are looked up again from the rows the insert tried to add.
Error Engine::duplicateKey(const Error &e, const Table &t, const std::string &message, const std::string &source,
                           const std::vector<std::string> &columns)
{
    std::vector<std::string> keys;
    const auto colon = message.find(": ");
    if (colon != std::string::npos) {
        std::string rest = message.substr(colon + 2);
        std::size_t pos = 0;
        while (pos < rest.size()) {
            std::size_t comma = rest.find(", ", pos);
            if (comma == std::string::npos)
                comma = rest.size();
            const std::string item = rest.substr(pos, comma - pos);
            const auto dot = item.find('.');
            keys.push_back(dot == std::string::npos ? item : item.substr(dot + 1));
            pos = comma + 2;
        }
    }
    std::string value;
    try {
        std::vector<std::string> picks, match;
        for (const auto &k : keys) {
            const auto it = std::find_if(columns.begin(), columns.end(), [&](const std::string &c) { return iequals(c, k); });
            if (it == columns.end())
                throw e;
            const std::string v = "n.v" + std::to_string(it - columns.begin());
            picks.push_back(v);
            match.push_back("x." + quoteName(k) + " = " + v);
        }
        std::string list, where, group;
        for (std::size_t i = 0; i < picks.size(); ++i) {
            list += (i ? ", " : "") + picks[i];
            where += (i ? " AND " : "") + match[i];
        }
        Stmt existing(m_db, "SELECT " + list + " FROM (" + source + ") AS n WHERE EXISTS (SELECT 1 FROM " + t.sqlName() +
                                " AS x WHERE " + where + ") LIMIT 1");
        bool found = existing.step();
        Stmt twice(m_db, "SELECT " + list + " FROM (" + source + ") AS n GROUP BY " + list + " HAVING count(*) > 1 LIMIT 1");
        Stmt &row = found ? existing : twice;
        if (!found)
            found = twice.step();
        if (found)
            for (std::size_t i = 0; i < picks.size(); ++i)
                value += (i ? ", " : "") + (row.isNull(static_cast<int>(i)) ? std::string("<NULL>") : row.text(static_cast<int>(i)));
    } catch (const Error &) {
    }
    if (e.number() == 2627)
        return err::primaryKey("PK_" + t.name, t.fullName(), value);
    std::string index;
    Stmt list(m_db, "SELECT il.name FROM pragma_index_list(?1, ?2) il WHERE il.\"unique\" AND il.origin = 'c'");
    list.bind(1, t.name);
    list.bind(2, t.database);
    while (list.step() && index.empty()) {
        std::vector<std::string> cols;
        Stmt info(m_db, "SELECT name FROM pragma_index_info(?1, ?2) ORDER BY seqno");
        info.bind(1, list.text(0));
        info.bind(2, t.database);
        while (info.step())
            cols.push_back(info.text(0));
        if (cols.size() == keys.size() && std::equal(cols.begin(), cols.end(), keys.begin(), [](const auto &a, const auto &b) { return iequals(a, b); }))
            index = list.text(0);
    }
    const auto dollar = index.find('$');
    return err::uniqueIndex(t.fullName(), dollar == std::string::npos ? index : index.substr(dollar + 1), value);
}

std::int64_t Engine::update(const ast::Statement &s)
{
    settleCursors();
    Compiler c(m_catalog, m_current);
    const Table t = c.target(s.table);
    const std::string sql = c.update(s, t);
    Transaction tx(m_db);
    exec(m_db, sql, FailureContext{t.fullName(), "UPDATE"});
    const std::int64_t n = sqlite3_changes64(m_db);
    tx.commit();
    return n;
}

std::int64_t Engine::remove(const ast::Statement &s)
{
    settleCursors();
    Compiler c(m_catalog, m_current);
    const Table t = c.target(s.table);
    const std::string sql = c.deleteFrom(s, t);
    Transaction tx(m_db);
    exec(m_db, sql, FailureContext{t.fullName(), "DELETE"});
    const std::int64_t n = sqlite3_changes64(m_db);
    tx.commit();
    return n;
}

void Engine::use(const ast::Statement &s)
{
    auto d = m_catalog.findDatabase(s.name);
    if (!d)
        throw err::databaseMissing(s.name);
    m_current = *d;
}

void Engine::identityInsert(const ast::Statement &s)
{
    Compiler c(m_catalog, m_current);
    const Table t = c.target(s.table);
    if (!t.identity)
        throw err::noIdentity(t.name);
    if (!s.on) {
        if (m_identityInsert && iequals(m_identityInsert->first, t.database) && iequals(m_identityInsert->second, t.name))
            m_identityInsert.reset();
        return;
    }
    if (m_identityInsert && !(iequals(m_identityInsert->first, t.database) && iequals(m_identityInsert->second, t.name)))
        throw Error(8107, 16, 1, "IDENTITY_INSERT is already ON for table '" + m_identityInsert->first + ".dbo." +
                                     m_identityInsert->second + "'. Cannot perform SET operation for table '" +
                                     t.name + "'.");
    m_identityInsert = std::make_pair(t.database, t.name);
}

} // namespace tsql
