#include "ServerLoad.h"

#include "Figures.h"

#include "Server.h"
#include "tsql/Session.h"

#include <QDir>
#include <QElapsedTimer>

#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

namespace bench {

namespace {

constexpr const char *Login = "bench";
constexpr const char *Password = "Bench-Load-1";

// The window's statements (PatientSearch.cpp, Registrations.cpp) for the four things a clerk
// does most.
std::vector<std::string> clerkStatements(const Samples &s)
{
    const std::string patients =
        "SELECT top 120 HospNum,HospNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,  "
        "CONVERT(varchar,BirthDate,101) as BirthDate ,Sex,HouseStreet,Barangay,ZipCode        "
        " From Patient_Data.dbo.tbMaster       where 1=1";
    const std::string order = " ORDER BY  lastname,firstname asc ";
    auto registrations = [](const std::string &filter) {
        std::string sql;
        for (const std::string table : {"tbPatient", "tbOutPatient"}) {
            if (!sql.empty())
                sql += " union all ";
            sql += "SELECT top 120 " + table +
                   ".HospNum,IDNum,LastName + ', ' + FirstName  + ' ' +  MiddleName as PatientName,admdate,  "
                   "CONVERT(varchar,BirthDate,101) as BirthDate ,Sex         From Patient_Data.dbo." +
                   table + " as " + table + " left outer join  Patient_Data.dbo.tbMaster MAS  on " + table +
                   ".Hospnum = Mas.HospNum where 1=1" + filter;
        }
        return sql + " ORDER BY  admdate desc, idnum desc ";
    };
    const std::string birth = s.birthDate.toString(QStringLiteral("MM/dd/yyyy")).toStdString();
    const std::string today = s.today.toString(QStringLiteral("MM/dd/yyyy")).toStdString();
    return {
        patients + " and lastname like '" + s.rarePrefix.toStdString() + "%' " + order,
        patients + " and lastname like '" + s.lastName.left(3).toStdString() + "%'  and firstname like  '" +
            s.firstName.left(1).toStdString() + "%' " + order,
        patients + " and hospnum =  '" + s.hospNum.toStdString() + "' " + order,
        patients + " and birthdate =  '" + birth + "' " + order,
        registrations(" and " + std::string("%T.HospNum = '") + s.hospNum.toStdString() + "'"),
        registrations(" and CONVERT(varchar,AdmDate,101) = '" + today + "'"),
    };
}

std::string forTable(std::string sql)
{
    // The registration filter names each half's own table.
    for (std::size_t at = sql.find("%T"); at != std::string::npos; at = sql.find("%T")) {
        const std::size_t union_ = sql.find(" union all ");
        sql.replace(at, 2, at < union_ ? "tbPatient" : "tbOutPatient");
    }
    return sql;
}

// One clerk's connection: runs a statement and reads every row; false with `why` on failure.
class Clerk {
public:
    virtual ~Clerk() = default;
    virtual bool search(const std::string &sql, std::string &why) = 0;
};

class OdbcClerk final : public Clerk {
public:
    explicit OdbcClerk(const std::string &connection)
    {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &m_env);
        SQLSetEnvAttr(m_env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, m_env, &m_dbc);
        std::string text = connection;
        if (!SQL_SUCCEEDED(SQLDriverConnect(m_dbc, nullptr, reinterpret_cast<SQLCHAR *>(text.data()), SQL_NTS, nullptr,
                                            0, nullptr, SQL_DRIVER_NOPROMPT)))
            throw std::runtime_error("cannot connect: " + diagnostic(SQL_HANDLE_DBC, m_dbc));
        m_connected = true;
        SQLAllocHandle(SQL_HANDLE_STMT, m_dbc, &m_stmt);
    }
    ~OdbcClerk() override
    {
        if (m_stmt)
            SQLFreeHandle(SQL_HANDLE_STMT, m_stmt);
        if (m_connected)
            SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
    }
    bool search(const std::string &sql, std::string &why) override
    {
        std::string text = sql;
        if (!SQL_SUCCEEDED(SQLExecDirect(m_stmt, reinterpret_cast<SQLCHAR *>(text.data()), SQL_NTS))) {
            why = diagnostic(SQL_HANDLE_STMT, m_stmt);
            SQLFreeStmt(m_stmt, SQL_CLOSE);
            return false;
        }
        char cell[512];
        SQLLEN length = 0;
        SQLSMALLINT columns = 0;
        SQLNumResultCols(m_stmt, &columns);
        while (SQL_SUCCEEDED(SQLFetch(m_stmt)))
            for (SQLUSMALLINT c = 1; c <= columns; ++c)
                SQLGetData(m_stmt, c, SQL_C_CHAR, cell, sizeof cell, &length);
        SQLFreeStmt(m_stmt, SQL_CLOSE);
        return true;
    }

private:
    static std::string diagnostic(SQLSMALLINT type, SQLHANDLE handle)
    {
        SQLCHAR state[6] = {}, text[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
        return reinterpret_cast<char *>(text);
    }

    SQLHENV m_env = SQL_NULL_HENV;
    SQLHDBC m_dbc = SQL_NULL_HDBC;
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
    bool m_connected = false;
};

class EmbeddedClerk final : public Clerk {
public:
    explicit EmbeddedClerk(const std::string &folder) : m_session(tsql::Session::open(folder)) {}
    bool search(const std::string &sql, std::string &why) override
    {
        try {
            auto result = m_session->execute(sql);
            while (result->next())
                for (std::size_t c = 0; c < result->columns().size(); ++c)
                    (void)result->value(c);
            return true;
        } catch (const std::exception &e) {
            why = e.what();
            return false;
        }
    }

private:
    std::unique_ptr<tsql::Session> m_session;
};

double percentile(std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const std::size_t rank = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(rank, sorted.size() - 1)];
}

// Every clerk searches without pause until the time is up; prints the figures.
bool load(const QString &name, const LoadOptions &options, int thinkMs, const std::vector<std::string> &statements,
          const std::function<std::unique_ptr<Clerk>()> &connect)
{
    std::mutex mutex, connecting;
    std::vector<double> latencies;
    std::string failure;
    std::atomic<bool> go{false};
    std::atomic<int> ready{0};
    std::vector<std::thread> clerks;
    QElapsedTimer wall;
    for (int i = 0; i < options.clerks; ++i)
        clerks.emplace_back([&, i] {
            std::unique_ptr<Clerk> clerk;
            try {
                // One sign-in at a time: unixODBC loading the driver for fifty threads at once
                // failed now and then with "Can't open lib". The clock starts after the last.
                std::lock_guard signIn(connecting);
                clerk = connect();
            } catch (const std::exception &e) {
                std::lock_guard lock(mutex);
                failure = e.what();
                ++ready;
                return;
            }
            ++ready;
            std::mt19937 random(static_cast<unsigned>(i) + 1);
            std::vector<double> mine;
            while (!go)
                std::this_thread::yield();
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(options.seconds);
            std::string why;
            while (std::chrono::steady_clock::now() < end) {
                const std::string &sql = statements[random() % statements.size()];
                const auto start = std::chrono::steady_clock::now();
                if (!clerk->search(sql, why)) {
                    std::lock_guard lock(mutex);
                    failure = why + " in: " + sql;
                    break;
                }
                mine.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
                if (thinkMs > 0) {
                    const auto pause = thinkMs / 2 + static_cast<int>(random() % static_cast<unsigned>(thinkMs + 1));
                    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
                }
            }
            std::lock_guard lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    // The clock starts when every clerk has signed in.
    while (ready < options.clerks)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    wall.start();
    go = true;
    for (std::thread &t : clerks)
        t.join();
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;
    std::sort(latencies.begin(), latencies.end());
    std::printf("case %s: clerks=%d think_ms=%d searches=%zu searches_per_s=%.1f p50_ms=%.2f p95_ms=%.2f "
                "p99_ms=%.2f\n",
                qPrintable(name), options.clerks, thinkMs, latencies.size(), static_cast<double>(latencies.size()) / seconds,
                percentile(latencies, 0.50), percentile(latencies, 0.95), percentile(latencies, 0.99));
    // What SQLite itself held at most among all sessions (page caches, prepared statements,
    // schemas), apart from the rest of the process's memory.
    printNote(QStringLiteral("%1: sqlite_heap_peak_mb=%2 peak_rss_mb=%3")
                  .arg(name)
                  .arg(static_cast<double>(sqlite3_memory_highwater(1)) / (1024.0 * 1024.0), 0, 'f', 1)
                  .arg(peakRssMb()));
    if (!failure.empty())
        printNote(name + QStringLiteral(" failed: ") + QString::fromStdString(failure));
    return failure.empty();
}

// The bench's own login, owner of the two databases, made once by the folder's owner.
void ensureLogin(const std::string &folder)
{
    auto session = tsql::Session::open(folder, "");
    const std::string statements[] = {
        std::string("CREATE LOGIN ") + Login + " WITH PASSWORD = '" + Password + "'",
        "USE Patient_Data", std::string("CREATE USER ") + Login, std::string("ALTER ROLE db_owner ADD MEMBER ") + Login,
        "USE Build_File", std::string("CREATE USER ") + Login, std::string("ALTER ROLE db_owner ADD MEMBER ") + Login};
    for (const std::string &s : statements) {
        auto run = session->run(s);
        while (run->next())
            if (run->item() == tsql::BatchRun::Item::Message && run->message().isError() &&
                run->message().number != 15025 && run->message().number != 15023 && run->message().number != 15063)
                throw std::runtime_error(run->message().text);
    }
}

} // namespace

bool benchServerLoad(const QString &folder, const Samples &samples, const LoadOptions &options)
{
    const std::string path = QDir(folder).absolutePath().toStdString();
    std::vector<std::string> statements;
    for (const std::string &s : clerkStatements(samples))
        statements.push_back(forTable(s));
    try {
        ensureLogin(path);
    } catch (const std::exception &e) {
        printNote(QStringLiteral("server_load failed: ") + QString::fromUtf8(e.what()));
        return false;
    }
    server::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.maxConnections = options.clerks + 8;
    server::Services services;
    services.authenticator = std::make_shared<server::FolderLogins>(path);
    services.sessions = [path](const std::string &database, const tsql::SessionOptions &o) {
        return tsql::Session::open(path, database, o);
    };
    server::Server server(settings, services);
    server.listen();
    std::thread serving([&] { server.run(); });
    const std::string connection = "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                                   ";Database=Patient_Data;TDS_Version=7.4;ClientCharset=UTF-8;UID=" + Login +
                                   ";PWD=" + Password;
    auto odbc = [&] { return std::make_unique<OdbcClerk>(connection); };
    auto embedded = [&] { return std::make_unique<EmbeddedClerk>(path); };
    bool ok = load(QStringLiteral("server_load"), options, options.thinkMs, statements, odbc);
    ok = load(QStringLiteral("server_load_saturated"), options, 0, statements, odbc) && ok;
    server.stop();
    serving.join();
    ok = load(QStringLiteral("embedded_load"), options, options.thinkMs, statements, embedded) && ok;
    ok = load(QStringLiteral("embedded_load_saturated"), options, 0, statements, embedded) && ok;
    return ok;
}

} // namespace bench
