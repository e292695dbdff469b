// The program's own connection (platform::openConnection: Qt's ODBC driver, unixODBC, FreeTDS)
// against a server started by the test: what a clerk's workstation meets on the network.
#include "TestDatabase.h"
#include "TestServer.h"

#include "platform/data/Connection.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

QString target(std::uint16_t port)
{
    return QString("Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=Patient_Data;TDS_Version=7.4;ClientCharset=UTF-8")
        .arg(port);
}

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void signIn_data();
    void signIn();
    void oneActiveStatement();
    void serverStopsMidSearch();
};

// learn.microsoft.com: MSSQLSERVER_18456; the sign-in shows the server's text.
void TestProgram::signIn_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("number"); // 0: signed in
    QTest::newRow("the login") << TestServer::User << TestServer::Password << 0;
    QTest::newRow("wrong password") << TestServer::User << "secret-1" << 18456;
    QTest::newRow("no such login") << "sa" << TestServer::Password << 18456;
}

void TestProgram::signIn()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, number);
    TestServer server;
    try {
        auto connection = platform::openConnection(target(server.port()), user, password);
        QCOMPARE(number, 0);
        QCOMPARE(connection->currentDatabase(), QString("Patient_Data"));
    } catch (const platform::DatabaseError &e) {
        // Qt's ODBC driver keeps the native number of the last diagnostic record only, and in
        // ODBC 3 FreeTDS puts its own "Unable to connect" (no number) after the server's refusal.
        QVERIFY(number != 0);
        QVERIFY2(e.description().contains("Login failed for user '" + user + "'."), qPrintable(e.description()));
    }
}

// Without MARS the server answers one statement at a time: a statement run while another's rows
// are still coming must not fail, and the first recordset must go on where it was.
void TestProgram::oneActiveStatement()
{
    TestServer server;
    auto connection = platform::openConnection(target(server.port()), TestServer::User, TestServer::Password);
    auto listing = connection->openRecordset("SELECT TOP 5000 n FROM Numbers ORDER BY n");
    QCOMPARE(listing->value(0).toInt(), 1);
    listing->moveNext();
    auto count = connection->openRecordset("SELECT COUNT(*) FROM Numbers WHERE n <= 10");
    QCOMPARE(count->value(0).toInt(), 10);
    count->close();
    QCOMPARE(connection->execute("INSERT INTO tbLog VALUES (1)"), 1);
    int expected = 2;
    for (; !listing->eof(); listing->moveNext())
        QCOMPARE(listing->value(0).toInt(), expected++);
    QCOMPARE(expected, 5001);
}

// A server stopped while a search's rows come: the rows already asked for arrive, and the next
// statement fails with a message instead of hanging.
void TestProgram::serverStopsMidSearch()
{
    auto server = std::make_unique<TestServer>();
    auto connection = platform::openConnection(target(server->port()), TestServer::User, TestServer::Password);
    auto listing = connection->openRecordset("SELECT n FROM Numbers");
    QVERIFY(!listing->eof());
    std::thread stopper([&] { server.reset(); });
    int rows = 0;
    try {
        for (; !listing->eof(); listing->moveNext())
            ++rows;
    } catch (const platform::DatabaseError &) {
        // The rows end early when the connection closes under them.
    }
    stopper.join();
    QVERIFY(rows > 0);
    QElapsedTimer timer;
    timer.start();
    QVERIFY_THROWS_EXCEPTION(platform::DatabaseError, connection->execute("SELECT 1"));
    QVERIFY(timer.elapsed() < 20000);
}

QTEST_GUILESS_MAIN(TestProgram)
#include "tst_program.moc"
