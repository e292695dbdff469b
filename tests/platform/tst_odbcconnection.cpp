// Runs the ODBC connection against a real driver manager (unixODBC) and driver (SQLite ODBC).

#include "platform/data/OdbcConnection.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace platform;

class TestOdbcConnection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void values_data();
    void values();
    void readsRowsInOrder();
    void misuseOfARecordset_data();
    void misuseOfARecordset();
    void failingStatement_data();
    void failingStatement();
    void statementWithoutRows();
    void statementsInARow();
    void openRecordsetThenAnotherStatement();
    void loginReachesTheDriverIntact_data();
    void loginReachesTheDriverIntact();
    void currentDatabaseAndDisplayName();
    void serverThatDoesNotAnswer_data();
    void serverThatDoesNotAnswer();

private:
    std::unique_ptr<Connection> open(const QString &file = u"test.db"_qs);
    QString target(const QString &file) const;

    QTemporaryDir m_dir;
    QString m_driver;
};

void TestOdbcConnection::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (!QSqlDatabase::isDriverAvailable(u"QODBC"_qs))
        QSKIP("Qt's ODBC driver (libqt6sql6-odbc) is not installed");
    // The SQLite 3 ODBC driver as Debian registers it in odbcinst.ini.
    QFile odbcinst(u"/etc/odbcinst.ini"_qs);
    if (!odbcinst.open(QIODevice::ReadOnly) || !odbcinst.readAll().contains("[SQLite3]"))
        QSKIP("The SQLite 3 ODBC driver (libsqliteodbc) is not registered");
    m_driver = u"SQLite3"_qs;

    // A user DSN of our own, so the DSN form is tried against the real driver manager.
    QFile ini(m_dir.filePath(u"odbc.ini"_qs));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(QStringLiteral("[TalvorTest]\nDriver=SQLite3\nDatabase=%1\n")
                  .arg(m_dir.filePath(u"dsn.db"_qs)).toUtf8());
    ini.close();
    qputenv("ODBCINI", QFile::encodeName(ini.fileName()));

    std::unique_ptr<Connection> c = open();
    c->execute(u"CREATE TABLE tbMaster (HospNum varchar(10), LastName varchar(30), Age integer, "
               "Weight real, BirthDate datetime, Note varchar(10))"_qs);
    c->execute(u"INSERT INTO tbMaster VALUES ('0001', 'Dela Cruz', 42, 61.5, "
               "'1982-03-05 14:30:00', NULL)"_qs);
    c->execute(u"INSERT INTO tbMaster VALUES ('0002', 'Santos', 7, NULL, NULL, 'x')"_qs);
}

QString TestOdbcConnection::target(const QString &file) const
{
    return u"Driver=%1;Database=%2"_qs.arg(m_driver, m_dir.filePath(file));
}

std::unique_ptr<Connection> TestOdbcConnection::open(const QString &file)
{
    return openOdbcConnection(target(file), {}, {});
}

void TestOdbcConnection::values_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("text") << u"LastName"_qs << QVariant(u"Dela Cruz"_qs);
    QTest::newRow("name in other letter case") << u"lastname"_qs << QVariant(u"Dela Cruz"_qs);
    QTest::newRow("integer as qlonglong") << u"Age"_qs << QVariant(qlonglong(42));
    QTest::newRow("real as double") << u"Weight"_qs << QVariant(61.5);
    QTest::newRow("datetime as local date-time")
        << u"BirthDate"_qs << QVariant(QDateTime(QDate(1982, 3, 5), QTime(14, 30)));
    QTest::newRow("NULL as a null value") << u"Note"_qs << QVariant();
}

void TestOdbcConnection::values()
{
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    std::unique_ptr<Connection> c = open();
    std::unique_ptr<Recordset> rs = c->openRecordset(u"SELECT * FROM tbMaster WHERE HospNum = '0001'"_qs);
    QVERIFY(rs->isResultSet());
    QVERIFY(!rs->eof());
    const QVariant actual = rs->field(field);
    QCOMPARE(actual.isNull(), expected.isNull());
    if (!expected.isNull()) {
        QCOMPARE(actual.metaType(), expected.metaType());
        QCOMPARE(actual, expected);
    }
}

void TestOdbcConnection::readsRowsInOrder()
{
    std::unique_ptr<Connection> c = open();
    std::unique_ptr<Recordset> rs =
        c->openRecordset(u"SELECT HospNum, Weight FROM tbMaster ORDER BY HospNum"_qs);
    QCOMPARE(rs->fieldCount(), 2);
    QCOMPARE(rs->fieldName(1), u"Weight"_qs);
    QStringList seen;
    for (; !rs->eof(); rs->moveNext())
        seen << rs->field(u"HospNum"_qs).toString() + u':' + rs->value(1).toString();
    QCOMPARE(seen, QStringList({u"0001:61.5"_qs, u"0002:"_qs}));
}

void TestOdbcConnection::misuseOfARecordset_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("number");
    QTest::newRow("unknown field")
        << u"SELECT HospNum FROM tbMaster"_qs << u"Nope"_qs << 3265;
    QTest::newRow("field at eof")
        << u"SELECT HospNum FROM tbMaster WHERE 1 = 0"_qs << u"HospNum"_qs << 3021;
}

void TestOdbcConnection::misuseOfARecordset()
{
    QFETCH(QString, sql);
    QFETCH(QString, field);
    QFETCH(int, number);
    std::unique_ptr<Connection> c = open();
    std::unique_ptr<Recordset> rs = c->openRecordset(sql);
    try {
        rs->field(field);
        QFAIL("no failure");
    } catch (const DatabaseError &e) {
        QCOMPARE(e.number(), number);
    }
}

void TestOdbcConnection::failingStatement_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("words");
    QTest::newRow("missing table") << u"SELECT * FROM tbMissing"_qs << u"no such table: tbMissing"_qs;
    QTest::newRow("syntax") << u"SELEC 1"_qs << u"syntax error"_qs;
}

void TestOdbcConnection::failingStatement()
{
    QFETCH(QString, sql);
    QFETCH(QString, words);
    std::unique_ptr<Connection> c = open();
    for (int round = 0; round < 2; ++round) {
        try {
            if (round == 0)
                c->openRecordset(sql);
            else
                c->execute(sql);
            QFAIL("no failure");
        } catch (const DatabaseError &e) {
            // The driver's words, without what Qt adds around them.
            QVERIFY2(e.description().contains(words), qPrintable(e.description()));
            QVERIFY2(!e.description().contains(u"QODBC"_qs), qPrintable(e.description()));
            QCOMPARE(e.description(), e.description().trimmed());
        }
    }
    // The connection stays usable after a failure.
    QCOMPARE(c->openRecordset(u"SELECT COUNT(*) AS n FROM tbMaster"_qs)->field(u"n"_qs), QVariant(2LL));
}

void TestOdbcConnection::statementWithoutRows()
{
    std::unique_ptr<Connection> c = open(u"norows.db"_qs);
    c->execute(u"CREATE TABLE t (a integer)"_qs);
    std::unique_ptr<Recordset> rs = c->openRecordset(u"INSERT INTO t VALUES (1)"_qs);
    QVERIFY(!rs->isResultSet());
    QVERIFY(rs->eof());
    QCOMPARE(rs->rowsAffected(), 1);
    rs->close();
    rs->close();
    QCOMPARE(c->execute(u"UPDATE t SET a = 2"_qs), 1);
    QCOMPARE(c->execute(u"DELETE FROM t WHERE a = 99"_qs), 0);
}

void TestOdbcConnection::statementsInARow()
{
    std::unique_ptr<Connection> c = open();
    for (const char *name : {"0001", "0002"}) {
        std::unique_ptr<Recordset> rs = c->openRecordset(
            u"SELECT LastName FROM tbMaster WHERE HospNum = '%1'"_qs.arg(QLatin1String(name)));
        QVERIFY(!rs->eof());
        rs->close();
    }
}

// A listing interrupted by another statement (the user's click during a fill) goes on where it
// was afterwards, although a server without multiple active result sets allows one at a time.
void TestOdbcConnection::openRecordsetThenAnotherStatement()
{
    std::unique_ptr<Connection> c = open();
    std::unique_ptr<Recordset> fill = c->openRecordset(u"SELECT HospNum FROM tbMaster ORDER BY HospNum"_qs);
    QCOMPARE(fill->field(u"HospNum"_qs).toString(), u"0001"_qs);
    std::unique_ptr<Recordset> pick =
        c->openRecordset(u"SELECT LastName FROM tbMaster WHERE HospNum = '0002'"_qs);
    QCOMPARE(c->execute(u"UPDATE tbMaster SET Note = Note WHERE 1 = 0"_qs), 0);
    QCOMPARE(pick->field(u"LastName"_qs).toString(), u"Santos"_qs);
    QCOMPARE(fill->field(u"HospNum"_qs).toString(), u"0001"_qs);
    fill->moveNext();
    QCOMPARE(fill->field(u"HospNum"_qs).toString(), u"0002"_qs);
    fill->moveNext();
    QVERIFY(fill->eof());
    // Closing the connection closes what is still open on it.
    std::unique_ptr<Recordset> last = c->openRecordset(u"SELECT HospNum FROM tbMaster"_qs);
    c.reset();
    QVERIFY(last->eof());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, last->field(u"HospNum"_qs));
}

// The SQLite driver ignores the login, but the driver manager must still find the DSN and the
// driver the database named beside a password full of separators.
void TestOdbcConnection::loginReachesTheDriverIntact_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("file");
    QTest::newRow("connection string")
        << target(u"login.db"_qs) << u"p;w}d=x"_qs << u"login.db"_qs;
    QTest::newRow("DSN name") << u"TalvorTest"_qs << u"p;w}d=x"_qs << u"dsn.db"_qs;
    // Mentions a server, so Qt takes the string as it is instead of prefixing "DSN=".
    QTest::newRow("DSN name, password naming a server")
        << u"TalvorTest"_qs << u"Server=x;{y}"_qs << u"dsn.db"_qs;
}

void TestOdbcConnection::loginReachesTheDriverIntact()
{
    QFETCH(QString, target);
    QFETCH(QString, password);
    QFETCH(QString, file);
    QFile::remove(m_dir.filePath(file));
    std::unique_ptr<Connection> c = openOdbcConnection(target, u"clerk"_qs, password);
    c->execute(u"CREATE TABLE marker (a integer)"_qs);
    c.reset();
    QVERIFY(QFile::exists(m_dir.filePath(file)));
}

void TestOdbcConnection::currentDatabaseAndDisplayName()
{
    std::unique_ptr<Connection> c = openOdbcConnection(target(u"test.db"_qs), u"clerk"_qs, u"hidden"_qs);
    QCOMPARE(c->currentDatabase(), m_dir.filePath(u"test.db"_qs));
    QVERIFY(!c->displayName().contains(u"hidden"_qs));
}

void TestOdbcConnection::serverThatDoesNotAnswer_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("closed port") << false;
    // Takes the connection and never replies: only the login timeout ends the wait.
    QTest::newRow("silent server") << true;
}

void TestOdbcConnection::serverThatDoesNotAnswer()
{
    QFETCH(bool, listening);
    QFile odbcinst(u"/etc/odbcinst.ini"_qs);
    if (!odbcinst.open(QIODevice::ReadOnly) || !odbcinst.readAll().contains("[FreeTDS]"))
        QSKIP("The FreeTDS ODBC driver (tdsodbc) is not registered");
    // Only the loopback address: the kernel completes the handshake for a listening socket even
    // though nothing ever reads from it.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const quint16 port = silent.serverPort();
    if (!listening)
        silent.close();

    QElapsedTimer timer;
    timer.start();
    try {
        openOdbcConnection(u"Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=Patient_Data;TDS_Version=7.4"_qs
                               .arg(port),
                           u"clerk"_qs, u"secret;}"_qs);
        QFAIL("connected to nothing");
    } catch (const DatabaseError &e) {
        QVERIFY2(e.description().startsWith(u"[FreeTDS]"_qs), qPrintable(e.description()));
        QVERIFY(!e.description().contains(u"secret"_qs));
    }
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestOdbcConnection)
#include "tst_odbcconnection.moc"
