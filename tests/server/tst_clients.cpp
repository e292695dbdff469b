// Real clients against a server started by the test: FreeTDS's command-line tsql, and Qt's ODBC
// driver through unixODBC and FreeTDS, the program's own path to SQL Server.
#include "TestDatabase.h"
#include "TestServer.h"

#include <QDateTime>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <sql.h>
#include <sqlext.h>

namespace {

QString connectionString(quint16 port, const QString &database, const QString &password,
                         const QString &extra = QString())
{
    return QString("Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=%2;TDS_Version=7.4;ClientCharset=UTF-8;"
                   "UID=%3;PWD={%4};%5")
        .arg(port)
        .arg(database, TestServer::User, password, extra);
}

struct Odbc {
    explicit Odbc(const QString &connection)
    {
        static int counter = 0;
        name = QString("tds%1").arg(++counter);
        db = QSqlDatabase::addDatabase("QODBC", name);
        db.setDatabaseName(connection);
    }
    ~Odbc()
    {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
    }
    // Forward-only, as the program reads: a scrollable query would ask FreeTDS for a server cursor.
    QSqlQuery query() const
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        return q;
    }
    QString name;
    QSqlDatabase db;
};

// tsql reads statements from standard input; "go" sends a batch.
QString runTsql(quint16 port, const QString &password, const QString &input, const QString &encryption = "off")
{
    QTemporaryDir dir;
    QFile conf(dir.path() + "/freetds.conf");
    conf.open(QIODevice::WriteOnly);
    conf.write(QString("[global]\n\tencryption = %1\n\ttds version = 7.4\n").arg(encryption).toUtf8());
    conf.close();
    QProcess tsql;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("FREETDSCONF", conf.fileName());
    tsql.setProcessEnvironment(env);
    tsql.setProcessChannelMode(QProcess::MergedChannels);
    tsql.start("tsql", {"-H", "127.0.0.1", "-p", QString::number(port), "-U", TestServer::User, "-P", password});
    tsql.write(input.toUtf8());
    tsql.closeWriteChannel();
    if (!tsql.waitForFinished(30000))
        tsql.kill();
    return QString::fromUtf8(tsql.readAll());
}

} // namespace

class TestClients : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void signIn_data();
    void signIn();
    void everyColumnType();
    void tsqlSeesEveryType();
    void failingStatement_data();
    void failingStatement();
    void parameters();
    void transaction();
    void cancelledQuery();
    void encryption_data();
    void encryption();

private:
    std::unique_ptr<TestServer> m_server;
};

void TestClients::initTestCase()
{
    QVERIFY2(QSqlDatabase::isDriverAvailable("QODBC"), "Qt's ODBC driver (libqt6sql6-odbc) is missing");
    QVERIFY2(!QStandardPaths::findExecutable("tsql").isEmpty(), "FreeTDS's tsql (freetds-bin) is missing");
    m_server = std::make_unique<TestServer>();
}

// learn.microsoft.com: MSSQLSERVER_18456 ("Login failed for user '<user_name>'.") and
// MSSQLSERVER_4060 ("Cannot open database "%.*ls" requested by the login. The login failed.").
void TestClients::signIn_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("error"); // empty: signed in

    QTest::newRow("right password") << "Patient_Data" << TestServer::Password << "";
    QTest::newRow("password with ; and }") << "Patient_Data" << "x;}y" << "Login failed for user 'clerk'.";
    QTest::newRow("wrong password") << "Patient_Data" << "secret-1" << "Login failed for user 'clerk'.";
    QTest::newRow("no such database") << "Nowhere" << TestServer::Password
                                      << "Cannot open database \"Nowhere\" requested by the login. The login failed.";
}

void TestClients::signIn()
{
    QFETCH(QString, database);
    QFETCH(QString, password);
    QFETCH(QString, error);
    Odbc odbc(connectionString(m_server->port(), database, password));
    const bool opened = odbc.db.open();
    if (error.isEmpty()) {
        QVERIFY2(opened, qPrintable(odbc.db.lastError().text()));
        QSqlQuery q = odbc.query();
        QVERIFY2(q.exec("SELECT SUSER_SNAME(), DB_NAME()"), qPrintable(q.lastError().text()));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString(TestServer::User));
        QCOMPARE(q.value(1).toString(), database);
    } else {
        QVERIFY(!opened);
        QVERIFY2(odbc.db.lastError().text().contains(error), qPrintable(odbc.db.lastError().text()));
    }
}

void TestClients::everyColumnType()
{
    Odbc odbc(connectionString(m_server->port(), "Patient_Data", TestServer::Password));
    QVERIFY2(odbc.db.open(), qPrintable(odbc.db.lastError().text()));
    QSqlQuery q = odbc.query();
    // Exact numbers as text, so that a decimal(38,6) is compared digit for digit.
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    QVERIFY2(q.exec("SELECT * FROM EveryType"), qPrintable(q.lastError().text()));
    const QStringList columns = testdb::everyTypeColumns();
    QCOMPARE(q.record().count(), columns.size());
    for (int i = 0; i < q.record().count(); ++i)
        QCOMPARE(q.record().fieldName(i), columns[i]);
    QVERIFY(q.next());
    // The values the table holds (TestDatabase.cpp), as ODBC hands them to the program. Not
    // here: the (max) types, which FreeTDS describes with size 0 and Qt's driver then reads as
    // nothing, and time and datetimeoffset, whose driver's own types Qt does not know; tsql reads those below.
    const QList<QPair<QString, QVariant>> expected = {
        {"c_bit", 1},
        {"c_tinyint", 255},
        {"c_smallint", -32768},
        {"c_int", -2147483647},
        {"c_bigint", QString("9007199254740993")},
        {"c_decimal", QString("-12345.67")},
        {"c_numeric", QString("123456789012345678.654321")},
        {"c_smallmoney", QString("-214.7483")},
        {"c_money", QString("922337203685477.5807")},
        {"c_real", 1.5},
        {"c_float", -2.25e-300},
        {"c_char", QString("ab   ")},
        {"c_varchar", QString("Ábalos Núñez €")},
        {"c_text", QString("long text")},
        {"c_nchar", QString("Éva ")},
        {"c_nvarchar", QString("Ωμέγα 😀")},
        {"c_ntext", QString("ntext Ω")},
        {"c_binary", QByteArray("\x01\x02\x00\x00", 4)},
        {"c_varbinary", QByteArray("\x00\xFF\x10", 3)},
        {"c_varbinarymax", QByteArray(9000, '\x5A')},
        {"c_image", QByteArray("img")},
        {"c_date", QDate(2026, 12, 6)},
        {"c_smalldatetime", QDateTime(QDate(2026, 12, 6), QTime(8, 30))},
        {"c_datetime", QDateTime(QDate(1990, 1, 2), QTime(23, 59, 59, 997))},
        {"c_datetime2", QDateTime(QDate(2026, 12, 6), QTime(13, 45, 30, 123))},
        {"c_uniqueidentifier", QString("6F9619FF-8B86-D011-B42D-00C04FC964FF")},
    };
    QStringList wrong;
    for (const auto &[name, value] : expected) {
        const QVariant got = q.value(name);
        const bool same = value.typeId() == QMetaType::QString
                              ? got.toString() == value.toString()
                              : value.typeId() == QMetaType::QByteArray ? got.toByteArray() == value.toByteArray()
                                                                        : got == value;
        if (!same)
            wrong << QString("%1: got %2 (%3)").arg(name, got.toString().left(40), got.typeName());
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join("; ")));
    QVERIFY(q.next());
    for (int i = 0; i < q.record().count(); ++i)
        QVERIFY2(q.isNull(i), qPrintable(q.record().fieldName(i)));
    QVERIFY(!q.next());
}

void TestClients::tsqlSeesEveryType()
{
    const QString out = runTsql(m_server->port(), TestServer::Password, "SELECT * FROM EveryType\ngo\nexit\n");
    QVERIFY2(out.contains("(2 rows affected)"), qPrintable(out.right(400)));
    QVERIFY(out.contains("Ábalos Núñez €\t"));
    QVERIFY(out.contains("6F9619FF-8B86-D011-B42D-00C04FC964FF"));
    QVERIFY(out.contains("\t" + QString(10000, 'x') + "\t"));
    QVERIFY(out.contains("\t" + QString(5000, 'y') + "Ω\t"));
    QVERIFY(out.contains("\t" + QByteArray(9000, '\x5A').toHex() + "\t"));
}

// learn.microsoft.com: Database engine events and errors, 208 "Invalid object name '%.*ls'." and
// 3902 "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."
void TestClients::failingStatement_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing table") << "SELECT * FROM Missing" << "208" << "Invalid object name 'Missing'.";
    QTest::newRow("commit without begin") << "COMMIT" << "3902"
                                          << "The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION.";
}

void TestClients::failingStatement()
{
    QFETCH(QString, statement);
    QFETCH(QString, number);
    QFETCH(QString, text);
    Odbc odbc(connectionString(m_server->port(), "Patient_Data", TestServer::Password));
    QVERIFY2(odbc.db.open(), qPrintable(odbc.db.lastError().text()));
    QSqlQuery q = odbc.query();
    QVERIFY(!q.exec(statement));
    QCOMPARE(q.lastError().nativeErrorCode(), number);
    QVERIFY2(q.lastError().databaseText().contains(text), qPrintable(q.lastError().databaseText()));
    // The connection goes on after a failed statement.
    QVERIFY2(q.exec("SELECT 1") && q.next(), qPrintable(q.lastError().text()));
    QCOMPARE(q.value(0).toInt(), 1);

    const QString out = runTsql(m_server->port(), TestServer::Password, statement + "\ngo\nexit\n");
    QVERIFY2(out.contains("Msg " + number) && out.contains(text), qPrintable(out));
}

void TestClients::parameters()
{
    Odbc odbc(connectionString(m_server->port(), "Patient_Data", TestServer::Password));
    QVERIFY2(odbc.db.open(), qPrintable(odbc.db.lastError().text()));
    QSqlQuery q = odbc.query();
    // FreeTDS turns the markers into @P1, @P2, @P3 and sends the statement with sp_prepexec, then
    // sp_execute for the second run.
    QVERIFY(q.prepare("SELECT ? AS id, ? AS name, ? AS born"));
    q.addBindValue(42);
    q.addBindValue(QString("O'Brien Ñ"));
    q.addBindValue(QDateTime(QDate(1985, 7, 15), QTime(10, 30)));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 42);
    QCOMPARE(q.value(1).toString(), QString("O'Brien Ñ"));
    QCOMPARE(q.value(2).toDateTime(), QDateTime(QDate(1985, 7, 15), QTime(10, 30)));
    // The same prepared statement again, with other values.
    q.bindValue(0, 7);
    q.bindValue(1, QString("Dela Cruz"));
    q.bindValue(2, QDateTime(QDate(2001, 12, 31), QTime(23, 59, 59)));
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 7);
    QCOMPARE(q.value(1).toString(), QString("Dela Cruz"));

    // An output parameter: FreeTDS calls the procedure by name with the markers as its
    // parameters, and the server returns the output's value.
    q.finish();
    QSqlQuery out = odbc.query();
    QVERIFY(out.prepare("{call sp_executesql(?, ?, ?, ?)}"));
    out.addBindValue(QString("SELECT @doubled = @n * 2"));
    out.addBindValue(QString("@n int, @doubled int OUTPUT"));
    out.addBindValue(21);
    out.addBindValue(0, QSql::Out);
    QVERIFY2(out.exec(), qPrintable(out.lastError().text()));
    QCOMPARE(out.boundValue(3).toInt(), 42);

    // Any other procedure is not there (learn.microsoft.com, MSSQLSERVER_2812).
    QSqlQuery missing = odbc.query();
    QVERIFY(missing.prepare("{call DoubleIt(?)}"));
    missing.addBindValue(21);
    QVERIFY(!missing.exec());
    QCOMPARE(missing.lastError().nativeErrorCode(), QString("2812"));
    QVERIFY2(missing.lastError().databaseText().contains("Could not find stored procedure 'DoubleIt'."),
             qPrintable(missing.lastError().databaseText()));
}

void TestClients::transaction()
{
    Odbc odbc(connectionString(m_server->port(), "Patient_Data", TestServer::Password));
    QVERIFY2(odbc.db.open(), qPrintable(odbc.db.lastError().text()));
    auto trancount = [&] {
        QSqlQuery q = odbc.query();
        return q.exec("SELECT @@TRANCOUNT") && q.next() ? q.value(0).toInt() : -1;
    };
    QCOMPARE(trancount(), 0);
    QVERIFY2(odbc.db.transaction(), qPrintable(odbc.db.lastError().text()));
    QSqlQuery insert = odbc.query();
    QVERIFY2(insert.exec("INSERT INTO tbLog VALUES (1)"), qPrintable(insert.lastError().text()));
    QCOMPARE(insert.numRowsAffected(), 1);
    QCOMPARE(trancount(), 1);
    QVERIFY2(odbc.db.commit(), qPrintable(odbc.db.lastError().text()));
    QCOMPARE(trancount(), 0);
    QVERIFY2(odbc.db.transaction(), qPrintable(odbc.db.lastError().text()));
    QVERIFY2(odbc.db.rollback(), qPrintable(odbc.db.lastError().text()));
    QCOMPARE(trancount(), 0);
}

// The driver's query timeout sends an attention; the server stops the statement and answers
// with the acknowledgement, and the connection is usable again. Raw ODBC: Qt has no timeout.
bool cancelByTimeout(const QString &connection, QString *why)
{
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    auto done = [&](const QString &problem) {
        *why = problem;
        if (stmt)
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        return problem.isEmpty();
    };
    QByteArray conn = connection.toUtf8();
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR *>(conn.data()), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT)))
        return done("cannot connect");
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0);
    QElapsedTimer timer;
    timer.start();
    char waitFor[] = "WAITFOR DELAY '00:00:10'";
    if (SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR *>(waitFor), SQL_NTS)))
        return done("the statement was not cancelled");
    if (timer.elapsed() > 8000)
        return done("the statement ran to its end instead of being cancelled");
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR text[512] = {};
    SQLSMALLINT length = 0;
    SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, text, sizeof text, &length);
    if (QByteArray(reinterpret_cast<char *>(state)) != "HYT00") // timeout expired
        return done("unexpected state " + QString::fromLatin1(reinterpret_cast<char *>(state)));
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(0), 0);
    char one[] = "SELECT 1";
    SQLINTEGER value = 0;
    if (!SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR *>(one), SQL_NTS)) || !SQL_SUCCEEDED(SQLFetch(stmt)))
        return done("the connection did not work after the cancel");
    SQLGetData(stmt, 1, SQL_C_SLONG, &value, 0, nullptr);
    return done(value == 1 ? QString() : "wrong answer after the cancel");
}

void TestClients::cancelledQuery()
{
    QString why;
    QVERIFY2(cancelByTimeout(connectionString(m_server->port(), "Patient_Data", TestServer::Password), &why),
             qPrintable(why));
}

void TestClients::encryption_data()
{
    QTest::addColumn<bool>("serverRequires");
    QTest::addColumn<QString>("client");
    QTest::addColumn<bool>("connects");
    QTest::newRow("client requires") << false << "require" << true;
    QTest::newRow("client requests") << false << "request" << true;
    QTest::newRow("server requires, client requires") << true << "require" << true;
    QTest::newRow("server requires, client offers") << true << "request" << true;
    QTest::newRow("server requires, client refuses") << true << "off" << false;
}

void TestClients::encryption()
{
    QFETCH(bool, serverRequires);
    QFETCH(QString, client);
    QFETCH(bool, connects);
    TestServer::Options options;
    options.tls = true;
    options.requireEncryption = serverRequires;
    TestServer server(options);
    const QString out = runTsql(server.port(), TestServer::Password, "SELECT 1\ngo\nexit\n", client);
    QCOMPARE(out.contains("(1 row affected)"), connects);

    Odbc odbc(connectionString(server.port(), "Patient_Data", TestServer::Password, "Encryption=" + client));
    QCOMPARE(odbc.db.open(), connects);
    if (connects) {
        QSqlQuery q = odbc.query();
        QVERIFY2(q.exec("SELECT * FROM EveryType") && q.next(), qPrintable(q.lastError().text()));
        QCOMPARE(q.value("c_nvarchar").toString(), QString("Ωμέγα 😀"));
        // An attention while the connection is encrypted: read and written from two threads.
        QString why;
        QVERIFY2(cancelByTimeout(connectionString(server.port(), "Patient_Data", TestServer::Password,
                                                  "Encryption=" + client), &why),
                 qPrintable(why));
    }
}

QTEST_GUILESS_MAIN(TestClients)
#include "tst_clients.moc"
