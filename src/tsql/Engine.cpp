#include "tsql/Engine.h"

#include "tsql/Batch.h"
#include "tsql/CatalogCheck.h"
#include "tsql/Parser.h"

#include "tsql/DateTime.h"
#include "tsql/Errors.h"
#include "tsql/SystemViews.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tsql {

namespace fs = std::filesystem;
using sqlite::quoteName;

namespace {

constexpr const char *kExtension = ".sqlite";

std::string fileUri(const std::string &path, const char *query)
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

// Statements the engine compiled from T-SQL may touch only the engine's own objects: user
// tables of the attached databases, the temporary database, the system views and the functions
// the translation uses. The engine's own SQL (the catalogue, DDL) runs trusted.
int authorize(void *self, int action, const char *a, const char *b, const char *db, const char *trigger)
{
    auto *engine = static_cast<Engine *>(self);
    if (engine->connection().trusted() || trigger)
        return SQLITE_OK;
    auto hidden = [](const char *name) {
        return name && (std::strncmp(name, "sqlite_", 7) == 0 || std::strncmp(name, "__tsql_", 7) == 0 ||
                        std::strncmp(name, "pragma_", 7) == 0);
    };
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_READ:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
        if (hidden(a))
            return SQLITE_DENY;
        // The in-memory main database holds nothing of a user's but the system views.
        if (db && std::strcmp(db, "main") == 0 && !(a && std::strncmp(a, "tsql_sys_", 9) == 0))
            return SQLITE_DENY;
        return security::authorize(*engine, action, a, db);
    case SQLITE_FUNCTION: {
        static const char *allowed[] = {"count", "min", "max", "sum", "avg", "coalesce", "ifnull", "row_number",
                                        "rank", "dense_rank", "ntile", "lag", "lead", "first_value", "last_value",
                                        "percent_rank", "cume_dist"};
        if (b && std::strncmp(b, "tsql_", 5) == 0)
            return SQLITE_OK;
        for (const char *f : allowed)
            if (b && std::strcmp(b, f) == 0)
                return SQLITE_OK;
        return SQLITE_DENY;
    }
    default:
        return SQLITE_DENY;
    }
}

int progress(void *self)
{
    return static_cast<Engine *>(self)->cancelRequested() ? 1 : 0;
}

std::string jsonEscape(std::string_view s)
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

// Byte 18 of the header, the version a writer needs: 2 is WAL.
bool inWalMode(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    unsigned char version = 0;
    const bool wal = ::pread(fd, &version, 1, 18) == 1 && version == 2;
    ::close(fd);
    return wal;
}

// An empty file is a database not written to yet; anything else starts with SQLite's header.
// A file that cannot be read is left to the attach, which says so.
bool holdsDatabase(const fs::path &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return true;
    char header[16] = {};
    const ssize_t n = ::read(fd, header, sizeof header);
    ::close(fd);
    return n == 0 || (n == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0);
}

// SQLite's heap for all sessions of the process together. Each session keeps its own page cache,
// of up to 64 MB per database (below); fifty clerks on talvor-server held 300 MB that way, the
// same pages fifty times over. Past this budget a cache reuses its oldest pages instead of
// growing, so one session alone still gets its large cache and many share the budget.
constexpr sqlite3_int64 kSqliteHeapBudget = 96 * 1024 * 1024;

} // namespace

std::unique_ptr<Session> Session::open(const std::string &folder, const std::string &database, const SessionOptions &options)
{
    return std::make_unique<Engine>(folder, database, options);
}

Engine::Engine(const std::string &folder, const std::string &database, const SessionOptions &options)
    : m_folder(folder), m_options(options), m_catalog(m_conn), m_appLocks(folder)
{
    static std::once_flag heapBudget;
    std::call_once(heapBudget, [] {
        // A limit the embedding program set itself is kept. TALVOR_ENGINE_HEAP_MB changes the
        // budget for a machine with memory to spare (0: none).
        if (sqlite3_soft_heap_limit64(-1) != 0)
            return;
        sqlite3_int64 budget = kSqliteHeapBudget;
        if (const char *mb = std::getenv("TALVOR_ENGINE_HEAP_MB")) {
            char *end = nullptr;
            const long long n = std::strtoll(mb, &end, 10);
            if (end != mb && *end == '\0' && n >= 0 && n <= 1024 * 1024)
                budget = n * 1024 * 1024;
        }
        sqlite3_soft_heap_limit64(budget);
        // SQLite's copies of one large value (a subquery's result, a sort's row, the row being
        // returned) may pile up within one statement: a few nested scalar subqueries over a
        // 224 MB text took 2.4 GB. Past this ceiling the statement fails with Msg 701 and the
        // program runs on. Three of the largest values fit, so any single value can be used.
        if (sqlite3_hard_heap_limit64(-1) == 0)
            sqlite3_hard_heap_limit64(static_cast<sqlite3_int64>(3 * kValueLimit));
    });
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        throw err::make(4060, database.empty() ? folder : database);
    sqlite3 *db = m_conn.handle();
    sqlite3_busy_timeout(db, 5000);
    // A damaged page's cell offsets are checked when it is read: unchecked, SQLite masks an
    // offset past the page into it and may read a made-up row instead of failing with 824.
    sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 125);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, static_cast<int>(kValueLimit));
    registerRuntime(db, this);
    registerSystemViews(db, this);
    sqlite3_set_authorizer(db, authorize, this);
    sqlite3_progress_handler(db, 5000, progress, this);
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file() && entry.path().extension() == kExtension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto &f : files) {
        // A link in a folder others may write could point the engine at any file its user may
        // change, and opening alone rewrites a database's header; links are not followed.
        if (fs::is_symlink(f, ec)) {
            m_openWarnings.push_back("The file \"" + f.filename().string() +
                                     "\" in the database folder is a link, which is not followed; the database '" +
                                     f.stem().string() + "' cannot be used.");
            continue;
        }
        // One stray file must not make the whole folder unusable: it is left out, and only the
        // statements that name it fail, as for a database that is not there.
        if (!holdsDatabase(f)) {
            m_openWarnings.push_back("The file \"" + f.filename().string() +
                                     "\" in the database folder is not a database; it was skipped, and the database '" +
                                     f.stem().string() + "' cannot be used.");
            continue;
        }
        attach(f.stem().string(), f.string());
    }
    if (options.serverLogin)
        m_principal = std::make_unique<security::Principal>(m_conn, m_catalog, options.login);
    if (!database.empty()) {
        auto d = m_catalog.findDatabase(database);
        if (!d || *d == "temp" || (m_principal && !m_principal->isUser(*d)))
            throw err::make(4060, database);
        m_current = *d;
    }
    if (const char *t = std::getenv("TALVOR_SQL_TRACE"))
        m_tracePath = t;
    const char *cache = std::getenv("TALVOR_STATEMENT_CACHE");
    m_statementsOn = options.statementCache && !(cache && std::string_view(cache) == "0");
    m_statementTime = dt::now();
    m_statementUtcTime = dt::utcNow();
}

Engine::~Engine()
{
    // A cursor that outlives its session ends where it stands.
    for (Cursor *c : std::set<Cursor *>(m_cursors))
        c->abandon();
    m_cursors.clear();
    if (m_depth > 0)
        sqlite3_exec(m_conn.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    // The last session to close leaves each file in rollback mode, whole without a log, so a
    // reader without write access to the folder can open it under locks. While another session
    // still has the file open the change is refused at once, and that session makes it later.
    sqlite3_busy_timeout(m_conn.handle(), 0);
    for (const std::string &name : m_writable) {
        const std::string sql = "PRAGMA " + quoteName(name) + ".journal_mode = DELETE";
        sqlite3_exec(m_conn.handle(), sql.c_str(), nullptr, nullptr, nullptr);
    }
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
            throw err::make(5120, path);
        const std::string folder = fs::path(path).parent_path().string();
        if (::access(path.c_str(), W_OK) != 0 || ::access(folder.c_str(), W_OK) != 0) {
            readOnly = true;
            const bool wal = fs::exists(path + "-wal"), shm = fs::exists(path + "-shm");
            if (wal && !shm)
                throw err::make(5120, path + "-shm"); // the log holds changes that cannot be read without it
            // Someone with write access may change the files while this session reads them, so
            // they are read under SQLite's locks, never as unchanging: that would show a mix of
            // old and new rows. A file left in WAL mode without its log cannot be read so where
            // the log cannot be made.
            if (!wal && !shm && inWalMode(path))
                throw err::make(5120, path + "-wal");
            target = fileUri(path, "mode=ro");
        }
    }
    sqlite::Stmt s(m_conn, "ATTACH DATABASE ?1 AS " + quoteName(name));
    s.bind(1, target);
    s.step();
    if (!readOnly) {
        // WAL keeps a killed writer from leaving a file half-changed; NORMAL is durable enough in WAL.
        sqlite::exec(m_conn, "PRAGMA " + quoteName(name) + ".journal_mode = WAL");
        sqlite::exec(m_conn, "PRAGMA " + quoteName(name) + ".synchronous = NORMAL");
        m_writable.push_back(name);
    }
    // Large loads and rebuilds stay in memory until commit instead of spilling page by page.
    sqlite::exec(m_conn, "PRAGMA " + quoteName(name) + ".cache_size = -65536");
    m_catalog.addDatabase(name, readOnly);
    // A catalogue that disagrees with the file's tables was changed by something other than the
    // engine: the database is refused (211) rather than misread. A file too damaged to check is
    // left to the statements that read it, which report the damage.
    try {
        if (!catalogcheck::check(m_conn, name).empty())
            m_catalog.setSuspect(name, true);
    } catch (const Error &) {
    }
}

std::unique_ptr<Result> Engine::execute(std::string_view statement)
{
    clearCancel();
    m_started = std::chrono::steady_clock::now();
    BatchRunner runner(*this, std::string(statement), {}, true);
    std::unique_ptr<Result> result;
    while (runner.next()) {
        switch (runner.item()) {
        case BatchRun::Item::Rows:
            // The rows stream to the caller after the runner is gone: a single statement has
            // nothing left to do but report its count, which the program does not need.
            return runner.takeRows();
        case BatchRun::Item::Done:
            if (!result)
                result = std::make_unique<CountResult>(runner.count());
            break;
        case BatchRun::Item::Message: {
            const Message &m = runner.message();
            if (m.isError())
                throw Error(m.number, m.severity, m.state, m.text, m.line);
            break;
        }
        }
    }
    if (runner.cancelled())
        throw err::make(3617);
    return result ? std::move(result) : std::make_unique<CountResult>(-1);
}

std::unique_ptr<BatchRun> Engine::run(std::string_view batch, std::vector<Parameter> parameters)
{
    clearCancel();
    m_started = std::chrono::steady_clock::now();
    return std::make_unique<BatchRunner>(*this, std::string(batch), std::move(parameters), false);
}

Explanation Engine::explain(std::string_view statement)
{
    Explanation out;
    const std::string text(statement);
    const std::vector<Token> tokens = tokenize(text);
    Parser p(text, tokens);
    ast::Batch batch = p.batch();
    if (batch.statements.empty())
        return out;
    const ast::Statement &s = *batch.statements.front();
    CompileState state = compileState();
    Compiler c(m_catalog, m_current, nullptr, {}, &state);
    switch (s.kind) {
    case ast::Statement::Kind::Select: out.sqlite.push_back(c.query(*s.as<ast::SelectStatement>().query).sql); break;
    case ast::Statement::Kind::Insert: out.sqlite = c.insert(s.as<ast::Insert>(), false, 1).sql; break;
    case ast::Statement::Kind::Update: out.sqlite = c.update(s.as<ast::Update>()).sql; break;
    case ast::Statement::Kind::Delete: out.sqlite = c.remove(s.as<ast::Delete>()).sql; break;
    default: return out;
    }
    sqlite3_stmt *raw = sqlite::prepareCompiled(m_conn, "EXPLAIN QUERY PLAN " + out.sqlite.front());
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> plan(raw, sqlite3_finalize);
    while (sqlite3_step(plan.get()) == SQLITE_ROW) {
        const auto *detail = reinterpret_cast<const char *>(sqlite3_column_text(plan.get(), 3));
        out.plan.emplace_back(detail ? detail : "");
    }
    return out;
}

void Engine::refuseReadOnly(const std::string &database) const
{
    if (m_catalog.isReadOnly(database))
        throw err::make(3906, database);
}

void Engine::createDatabase(const std::string &name)
{
    if (name.empty() || name.find_first_of("/\\.:") != std::string::npos)
        throw err::make(102, name);
    if (m_depth > 0)
        throw err::make(226, "CREATE DATABASE");
    if (m_catalog.findDatabase(name))
        throw err::make(1801, name);
    settleCursors();
    const std::string path = (fs::path(m_folder) / (name + kExtension)).string();
    // Files the engine makes are its users' alone, whatever the umask. SQLite gives the -wal,
    // -shm and -journal files the mode of the database file, so it is made here first.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw err::make(5123, std::strerror(errno), path);
    ::fchmod(fd, 0600);
    ::close(fd);
    attach(name, path);
}

void Engine::settleCursors()
{
    for (Cursor *c : std::set<Cursor *>(m_cursors)) {
        try {
            c->materialize();
        } catch (const Error &) {
            // The cursor ends where it failed; the statement that asked to settle goes on.
        }
    }
}

void Engine::startStatement()
{
    m_statementTime = dt::now();
    m_statementUtcTime = dt::utcNow();
}

void Engine::checkCancel()
{
    if (cancelRequested())
        throw err::make(3617);
}

void Engine::cancel()
{
    m_cancel = true;
    sqlite3_interrupt(m_conn.handle());
}

void Engine::needAggregate(const std::string &name, const SqlType &type)
{
    if (m_aggregates.insert(name).second)
        registerAggregate(m_conn.handle(), this, name, type);
}

CompileState Engine::compileState()
{
    CompileState s;
    s.needAggregate = [this](const std::string &name, const SqlType &type) { needAggregate(name, type); };
    return s;
}

void Engine::beginTransaction()
{
    if (m_depth == 0) {
        settleCursors();
        sqlite::exec(m_conn, "BEGIN");
        m_doomed = false;
    }
    ++m_depth;
}

void Engine::commitTransaction()
{
    // SQLite ends a transaction itself after some I/O failures; SQL Server's doomed
    // transaction behaves alike: the COMMIT or ROLLBACK that follows finds none.
    if (m_depth > 0 && sqlite3_get_autocommit(m_conn.handle()))
        m_depth = 0;
    if (m_depth == 0)
        throw err::make(3902);
    if (m_doomed)
        throw err::make(3930);
    if (m_depth == 1) {
        settleCursors();
        sqlite::exec(m_conn, "COMMIT");
        m_savepoints.clear();
        m_appLocks.releaseTransactionLocks();
    }
    --m_depth;
}

void Engine::rollbackTransaction(const std::string &savepoint)
{
    if (m_depth > 0 && sqlite3_get_autocommit(m_conn.handle()))
        m_depth = 0;
    if (m_depth == 0)
        throw err::make(3903);
    settleCursors();
    if (!savepoint.empty()) {
        const auto it = std::find_if(m_savepoints.rbegin(), m_savepoints.rend(),
                                     [&](const std::string &s) { return iequals(s, savepoint); });
        if (it != m_savepoints.rend()) {
            if (m_doomed)
                throw err::make(3931);
            sqlite::exec(m_conn, "ROLLBACK TO " + quoteName("tsql_save_" + lower(savepoint)));
            forgetStatements(); // a table made since the savepoint is gone again
            m_savepoints.erase(std::next(it).base() + 1, m_savepoints.end());
            return;
        }
    }
    sqlite::exec(m_conn, "ROLLBACK");
    forgetStatements();
    m_depth = 0;
    m_doomed = false;
    m_savepoints.clear();
    m_appLocks.releaseTransactionLocks();
}

void Engine::saveTransaction(const std::string &name)
{
    if (m_depth == 0)
        throw err::make(628);
    if (m_doomed)
        throw err::make(3931);
    sqlite::exec(m_conn, "SAVEPOINT " + quoteName("tsql_save_" + lower(name)));
    m_savepoints.push_back(name);
}

Engine::StatementScope::StatementScope(Engine &e) : m_e(e)
{
    sqlite::exec(m_e.m_conn, "SAVEPOINT tsql_statement");
}

Engine::StatementScope::~StatementScope()
{
    if (!m_done) {
        sqlite3_exec(m_e.m_conn.handle(), "ROLLBACK TO tsql_statement", nullptr, nullptr, nullptr);
        sqlite3_exec(m_e.m_conn.handle(), "RELEASE tsql_statement", nullptr, nullptr, nullptr);
    }
}

void Engine::StatementScope::commit()
{
    sqlite::exec(m_e.m_conn, "RELEASE tsql_statement");
    m_done = true;
}

namespace {

// Identity values handed out in this process, beyond what the files hold: a rolled-back insert
// keeps its numbers taken.
std::map<std::string, std::int64_t> &takenIdentities()
{
    static std::map<std::string, std::int64_t> taken;
    return taken;
}

std::mutex takenLock;

} // namespace

std::int64_t Engine::identityNext(const Table &t)
{
    std::int64_t next = t.identity->next();
    std::lock_guard<std::mutex> hold(takenLock);
    const auto it = takenIdentities().find(m_folder + "\n" + lower(t.database) + "\n" + lower(t.name));
    if (it != takenIdentities().end()) {
        const std::int64_t after = it->second + t.identity->step;
        next = t.identity->step > 0 ? std::max(next, after) : std::min(next, after);
    }
    return next;
}

void Engine::identityTaken(const Table &t, std::int64_t last)
{
    std::lock_guard<std::mutex> hold(takenLock);
    const auto [it, inserted] = takenIdentities().try_emplace(m_folder + "\n" + lower(t.database) + "\n" + lower(t.name), last);
    if (!inserted)
        it->second = t.identity->step > 0 ? std::max(it->second, last) : std::min(it->second, last);
}

void Engine::identityReset(const Table &t)
{
    std::lock_guard<std::mutex> hold(takenLock);
    takenIdentities().erase(m_folder + "\n" + lower(t.database) + "\n" + lower(t.name));
}

std::string Engine::tableVariableName(const std::string &variable, int batch)
{
    return variable + "#" + std::to_string(batch);
}

Value Engine::liveVariable(const std::string &name)
{
    if (!m_liveVariables)
        throw err::make(137, name);
    return m_liveVariables(name);
}

Value Engine::sessionValue(std::string_view name)
{
    const SqlType bigint{Base::BigInt};
    if (name == "scope_identity")
        return m_state.scopeIdentity ? Value::integer(*m_state.scopeIdentity, bigint) : Value::null(bigint);
    if (name == "@@identity")
        return m_state.identity ? Value::integer(*m_state.identity, bigint) : Value::null(bigint);
    if (name == "suser_sname")
        return Value::text(m_options.login, SqlType::nvarchar(128));
    if (name == "user_name")
        return Value::text(iequals(m_options.login, "dbo") || iequals(m_options.login, "sa") ? "dbo" : m_options.login,
                           SqlType::nvarchar(128));
    if (name == "host_name")
        return Value::text(m_options.hostName, SqlType::nvarchar(128));
    if (name == "app_name")
        return Value::text(m_options.applicationName, SqlType::nvarchar(128));
    if (name.substr(0, 6) == "error_") {
        const std::optional<Error> &e = m_state.caught;
        const SqlType i{Base::Int};
        if (!e)
            return Value::null(i);
        if (name == "error_number") return Value::integer(e->number(), i);
        if (name == "error_severity") return Value::integer(e->severity(), i);
        if (name == "error_state") return Value::integer(e->state(), i);
        if (name == "error_line") return Value::integer(e->line(), i);
        if (name == "error_message") return Value::text(e->what(), SqlType::nvarchar(4000));
        return Value::null(SqlType::nvarchar(128));
    }
    if (name == "xact_state")
        return Value::integer(m_depth == 0 ? 0 : (m_doomed ? -1 : 1), SqlType{Base::SmallInt});
    if (name.substr(0, 15) == "serverproperty:") {
        const std::string_view p = name.substr(15);
        const SqlType nv = SqlType::nvarchar(128);
        if (p == "productversion") return Value::text("16.0.1000.6", nv);
        if (p == "productlevel") return Value::text("RTM", nv);
        if (p == "edition") return Value::text("Express Edition (64-bit)", nv);
        if (p == "engineedition") return Value::integer(4, SqlType{Base::Int});
        if (p == "collation") return Value::text("SQL_Latin1_General_CP1_CI_AS", nv);
        if (p == "servername" || p == "machinename") return Value::text("TALVOR", nv);
        if (p == "instancename") return Value::null(nv);
        if (p == "isintegratedsecurityonly") return Value::integer(0, SqlType{Base::Int});
        if (p == "processid") return Value::integer(::getpid(), SqlType{Base::Int});
        return Value::null(nv);
    }
    return Value::null();
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
                       "\",\"statement\":\"" + jsonEscape(security::maskPasswords(statement)) + "\",\"ok\":" + (ok ? "true" : "false");
    if (ok)
        line += ",\"rows\":" + std::to_string(rows);
    else
        line += ",\"error\":\"" + jsonEscape(error) + "\"";
    line += "}\n";
    // One write with O_APPEND keeps lines whole even with several writers; the trace holds
    // patients' names, so only its owner may read it. Failures are ignored.
    const int fd = ::open(m_tracePath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    [[maybe_unused]] const auto written = ::write(fd, line.data(), line.size());
    ::close(fd);
}

} // namespace tsql
