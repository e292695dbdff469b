#include "platform/data/OdbcConnectionString.h"

#include <QTest>

using namespace platform;

class TestOdbcConnectionString : public QObject {
    Q_OBJECT

private slots:
    void connectionString_data();
    void connectionString();
    void braceRoundTrip_data();
    void braceRoundTrip();
    void qodbcDatabaseName_data();
    void qodbcDatabaseName();
    void withoutPassword_data();
    void withoutPassword();
    void displayNameHoldsNoLogin_data();
    void displayNameHoldsNoLogin();
};

void TestOdbcConnectionString::connectionString_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");

    const QString hard = u"p;w}d=x"_qs;
    QTest::newRow("DSN name with login")
        << u"HospitalSQL"_qs << u"clerk"_qs << hard << u"DSN=HospitalSQL;UID=clerk;PWD={p;w}}d=x}"_qs;
    QTest::newRow("FreeTDS string with login")
        << u"Driver=FreeTDS;Server=host;Port=1433;Database=Patient_Data;TDS_Version=auto;ClientCharset=UTF-8"_qs
        << u"clerk"_qs << hard
        << u"Driver=FreeTDS;Server=host;Port=1433;Database=Patient_Data;TDS_Version=auto;"
           "ClientCharset=UTF-8;UID=clerk;PWD={p;w}}d=x}"_qs;
    QTest::newRow("Microsoft driver keeps its braced name")
        << u"Driver={ODBC Driver 18 for SQL Server};Server=host;Database=Patient_Data;Encrypt=yes"_qs
        << u"clerk"_qs << hard
        << u"Driver={ODBC Driver 18 for SQL Server};Server=host;Database=Patient_Data;Encrypt=yes;"
           "UID=clerk;PWD={p;w}}d=x}"_qs;
    QTest::newRow("integrated sign-in adds no login")
        << u"Driver={ODBC Driver 18 for SQL Server};Server=host;Trusted_Connection=yes"_qs
        << QString() << QString()
        << u"Driver={ODBC Driver 18 for SQL Server};Server=host;Trusted_Connection=yes"_qs;
    QTest::newRow("dialog login replaces the target's")
        << u"Driver=FreeTDS;UID=old;Server=h;pwd={se;cret}"_qs << u"new"_qs << u"pw"_qs
        << u"Driver=FreeTDS;Server=h;UID=new;PWD=pw"_qs;
    QTest::newRow("user with blanks at either end is braced")
        << u"Driver=FreeTDS;Server=h;"_qs << u" clerk "_qs << u"{pw"_qs
        << u"Driver=FreeTDS;Server=h;UID={ clerk };PWD={{pw}"_qs;
    QTest::newRow("empty password is still sent with a user")
        << u"Driver=FreeTDS;Server=h"_qs << u"clerk"_qs << QString()
        << u"Driver=FreeTDS;Server=h;UID=clerk;PWD="_qs;
    QTest::newRow("password alone keeps a DSN's user")
        << u"DSN=Site"_qs << QString() << u"a=b"_qs << u"DSN=Site;PWD={a=b}"_qs;
}

void TestOdbcConnectionString::connectionString()
{
    QFETCH(QString, target);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    QCOMPARE(odbcConnectionString(target, user, password), expected);
}

// Whatever a password holds, a driver reading the string back must find exactly it.
void TestOdbcConnectionString::braceRoundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << u"secret"_qs;
    QTest::newRow("semicolon, brace, equals") << u"a;b}c=d"_qs;
    QTest::newRow("closing braces only") << u"}}}"_qs;
    QTest::newRow("opening brace first") << u"{abc}"_qs;
    QTest::newRow("leading blank") << u" x"_qs;
    QTest::newRow("looks like another key") << u"x;Server=evil"_qs;
}

void TestOdbcConnectionString::braceRoundTrip()
{
    QFETCH(QString, password);
    const QString s = odbcConnectionString(u"Driver=FreeTDS;Server=h"_qs, u"u"_qs, password);
    QCOMPARE(odbcAttribute(s, u"PWD"_qs), password);
    QCOMPARE(odbcAttribute(s, u"Server"_qs), u"h"_qs);
    QCOMPARE(parseOdbcConnectionString(s).size(), 4);
}

// Qt's QODBC prefixes "DSN=" unless the string mentions DRIVER= or SERVER=; what reaches the
// driver manager must be the string we built.
void TestOdbcConnectionString::qodbcDatabaseName_data()
{
    QTest::addColumn<QString>("connectionString");
    QTest::addColumn<QString>("expected");
    QTest::newRow("driver string unchanged")
        << u"Driver=FreeTDS;Server=h;UID=u;PWD=p"_qs << u"Driver=FreeTDS;Server=h;UID=u;PWD=p"_qs;
    QTest::newRow("DSN loses its key") << u"DSN=Site;UID=u;PWD={a;b}"_qs << u"Site;UID=u;PWD={a;b}"_qs;
    QTest::newRow("DSN moves to the front")
        << u"Database=Patient_Data;DSN=Site"_qs << u"Site;Database=Patient_Data"_qs;
    QTest::newRow("DSN with server= inside the password stays whole")
        << u"DSN=Site;PWD={server=x}"_qs << u"DSN=Site;PWD={server=x}"_qs;
}

void TestOdbcConnectionString::qodbcDatabaseName()
{
    QFETCH(QString, connectionString);
    QFETCH(QString, expected);
    const QString given = platform::qodbcDatabaseName(connectionString);
    QCOMPARE(given, expected);
    // The same rule Qt applies before calling SQLDriverConnect.
    const bool passed = given.contains(u"DRIVER=", Qt::CaseInsensitive)
        || given.contains(u"SERVER=", Qt::CaseInsensitive);
    const QString reached = passed ? given : u"DSN="_qs + given;
    QCOMPARE(odbcAttribute(reached, u"DSN"_qs), odbcAttribute(connectionString, u"DSN"_qs));
    QCOMPARE(odbcAttribute(reached, u"PWD"_qs), odbcAttribute(connectionString, u"PWD"_qs));
}

void TestOdbcConnectionString::withoutPassword_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    QTest::newRow("braced password with separators")
        << u"Driver=FreeTDS;PWD={a;b}}c=d};Server=h"_qs << u"Driver=FreeTDS;Server=h"_qs;
    QTest::newRow("Password key, any case")
        << u"DSN=Site;password=x;UID=u"_qs << u"DSN=Site;UID=u"_qs;
    QTest::newRow("DSN name") << u"Site"_qs << u"Site"_qs;
}

void TestOdbcConnectionString::withoutPassword()
{
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QCOMPARE(odbcWithoutPassword(target), expected);
}

void TestOdbcConnectionString::displayNameHoldsNoLogin_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    QTest::newRow("server and database")
        << u"Driver=FreeTDS;Server=sql01;Database=Patient_Data;UID=sa;PWD=topsecret"_qs
        << u"sql01 / Patient_Data"_qs;
    QTest::newRow("DSN string") << u"DSN=Site;PWD=topsecret"_qs << u"Site"_qs;
    QTest::newRow("DSN name") << u"Site"_qs << u"Site"_qs;
}

void TestOdbcConnectionString::displayNameHoldsNoLogin()
{
    QFETCH(QString, target);
    QFETCH(QString, expected);
    QCOMPARE(odbcDisplayName(target), expected);
}

QTEST_GUILESS_MAIN(TestOdbcConnectionString)
#include "tst_odbcconnectionstring.moc"
