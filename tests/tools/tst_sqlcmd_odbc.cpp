// talvor-sqlcmd through ODBC (unixODBC and FreeTDS) on a talvor-server started by the test: the
// path a site takes to SQL Server. Expected output follows Microsoft's pages on sqlcmd.
#include "SqlcmdRun.h"
#include "TestServer.h"

#include <QElapsedTimer>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString target(quint16 port, const QString &extra = {})
{
    return QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;TDS_Version=7.4;ClientCharset=UTF-8;%2").arg(port).arg(extra);
}

QStringList login(quint16 port, const QString &extra = {})
{
    return {"-S", target(port, extra), "-U", TestServer::User, "-P", TestServer::Password};
}

// A port that takes connections and never answers them.
class SilentPort {
public:
    SilentPort()
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(m_socket, reinterpret_cast<sockaddr *>(&a), size) == 0 && ::listen(m_socket, 4) == 0 &&
            ::getsockname(m_socket, reinterpret_cast<sockaddr *>(&a), &size) == 0)
            m_port = ntohs(a.sin_port);
    }
    ~SilentPort() { ::close(m_socket); }
    quint16 port() const { return m_port; }

private:
    int m_socket = -1;
    quint16 m_port = 0;
};

} // namespace

class TestSqlcmdOdbc : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void batches_data();
    void batches();
    void refusedSignIn_data();
    void refusedSignIn();
    void queryTimeout();
    void encryption_data();
    void encryption();
    void loginTimeout();

private:
    std::unique_ptr<TestServer> m_server;
};

void TestSqlcmdOdbc::initTestCase()
{
    m_server = std::make_unique<TestServer>();
}

void TestSqlcmdOdbc::batches_data()
{
    QTest::addColumn<QStringList>("args"); // the login is added
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("exitCode");

    // learn.microsoft.com: sqlcmd utility, "Output format from Transact-SQL queries" ("sqlcmd
    // prints a blank line between each result set in a batch"), "Informational messages".
    QTest::newRow("every result set and message of a batch, in order")
        << QStringList{"-W", "-Q", "PRINT 'a'; SELECT 1 AS x; PRINT 'b'; SELECT n FROM Numbers WHERE n <= 2 ORDER BY n"}
        << "a\nx\n-\n1\n\n(1 row affected)\nb\nn\n-\n1\n2\n\n(2 rows affected)\n" << 0;
    QTest::newRow("counts of changes, none under NOCOUNT")
        << QStringList{"-Q", "INSERT INTO tbLog VALUES (1); SET NOCOUNT ON; INSERT INTO tbLog VALUES (2); "
                             "SET NOCOUNT OFF; DELETE FROM tbLog"}
        << "\n(1 row affected)\n\n(2 rows affected)\n" << 0;
    // Widths from the driver's description of each column (learn.microsoft.com: Display Size).
    QTest::newRow("columns as wide as their types")
        << QStringList{"-Q", "SELECT c_varchar, c_int, c_decimal FROM EveryType WHERE c_int IS NULL"}
        << "c_varchar                      c_int       c_decimal   \n"
           "------------------------------ ----------- ------------\n"
           "NULL                                  NULL         NULL\n"
           "\n(1 row affected)\n"
        << 0;
    QTest::newRow("values as on the embedded engine")
        << QStringList{"-h", "-1", "-s", "|", "-W", "-Q",
                       "SELECT c_decimal, c_money, c_datetime, c_date, c_bit, c_nvarchar, c_varbinary "
                       "FROM EveryType WHERE c_int IS NOT NULL"}
        << "-12345.67|922337203685477.5807|1990-01-02 23:59:59.997|2026-12-06|1|Ωμέγα 😀|0x00FF10\n"
           "\n(1 row affected)\n"
        << 0;
    QTest::newRow("an error in sqlcmd's shape, -b gives status 1")
        << QStringList{"-b", "-Q", "SELECT * FROM nosuch"}
        << "Msg 208, Level 16, State 1, Server TALVOR, Line 1\nInvalid object name 'nosuch'.\n" << 1;
    QTest::newRow("-d: the database to sign in to")
        << QStringList{"-d", "Patient_Data", "-W", "-h", "-1", "-Q", "SELECT DB_NAME()"}
        << "Patient_Data\n\n(1 row affected)\n" << 0;
}

void TestSqlcmdOdbc::batches()
{
    QFETCH(QStringList, args);
    QFETCH(QString, out);
    QFETCH(int, exitCode);

    const SqlcmdRun r = SqlcmdRun::start(login(m_server->port()) + args);
    QCOMPARE(r.err, QString());
    QCOMPARE(r.out, out);
    QCOMPARE(r.exitCode, exitCode);
}

void TestSqlcmdOdbc::refusedSignIn_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("complaint");

    // learn.microsoft.com: MSSQLSERVER_4060 and MSSQLSERVER_18456; sqlcmd utility, -d ("If the
    // database doesn't exist, an error message is generated and sqlcmd exits").
    QTest::newRow("-d naming no database")
        << QStringList{"-d", "Nowhere"} << "Cannot open database \"Nowhere\" requested by the login. The login failed.";
    QTest::newRow("a wrong password") << QStringList{"-P", "wrong"} << "Login failed for user 'clerk'.";
}

void TestSqlcmdOdbc::refusedSignIn()
{
    QFETCH(QStringList, args);
    QFETCH(QString, complaint);

    const SqlcmdRun r = SqlcmdRun::start(login(m_server->port()) + args + QStringList{"-Q", "SELECT 1"});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith(QLatin1String("Sqlcmd: Error: ")) && r.err.contains(complaint), qPrintable(r.err));
}

// learn.microsoft.com: sqlcmd utility, -t ("the number of seconds before a command times out").
void TestSqlcmdOdbc::queryTimeout()
{
    QElapsedTimer clock;
    clock.start();
    const SqlcmdRun r = SqlcmdRun::start(
        login(m_server->port()) +
        QStringList{"-b", "-t", "1", "-Q",
                    "WITH r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT COUNT(*) FROM r OPTION (MAXRECURSION 0)"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.contains(QLatin1String("Sqlcmd: Error: ")), qPrintable(r.out));
    QVERIFY(clock.elapsed() < 60000);
}

void TestSqlcmdOdbc::encryption_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("signsIn");

    // learn.microsoft.com: sqlcmd utility, -N ("request an encrypted connection") and -C (trust
    // the server certificate). The server here takes only encrypted connections, and the target
    // says Encryption=off: -N must win over it.
    QTest::newRow("without -N") << QStringList{} << false;
    QTest::newRow("-N -C") << QStringList{"-N", "-C"} << true;
}

void TestSqlcmdOdbc::encryption()
{
    QFETCH(QStringList, args);
    QFETCH(bool, signsIn);

    TestServer::Options options;
    options.tls = true;
    options.requireEncryption = true;
    TestServer server(options);
    const SqlcmdRun r = SqlcmdRun::start(login(server.port(), QStringLiteral("Encryption=off")) + args +
                                         QStringList{"-W", "-h", "-1", "-Q", "SELECT 1"});
    QCOMPARE(r.exitCode, signsIn ? 0 : 1);
    QCOMPARE(r.out, signsIn ? QStringLiteral("1\n\n(1 row affected)\n") : QString());
}

// learn.microsoft.com: sqlcmd utility, -l (login time-out; sqlcmd's default is 8 seconds).
void TestSqlcmdOdbc::loginTimeout()
{
    SilentPort silent;
    QVERIFY(silent.port() != 0);
    QElapsedTimer clock;
    clock.start();
    const SqlcmdRun r = SqlcmdRun::start(login(silent.port()) + QStringList{"-l", "1", "-Q", "SELECT 1"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(QLatin1String("Sqlcmd: Error: ")), qPrintable(r.err));
    QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestSqlcmdOdbc)
#include "tst_sqlcmd_odbc.moc"
