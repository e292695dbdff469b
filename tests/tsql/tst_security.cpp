// Logins, users and the fixed database roles: what a session signed in as a login may do, and
// the statements that manage them, run by the folder's owner.
#include "EngineFixture.h"

#include "tsql/Errors.h"
#include "tsql/Security.h"

#include <QFile>
#include <QtTest>

namespace {

// One statement on a session, as the fixture renders it.
QString runOn(tsql::Session &s, const QString &sql)
{
    try {
        auto r = s.execute(sql.toStdString());
        return EngineFixture::render(*r);
    } catch (const tsql::Error &e) {
        return QStringLiteral("Msg %1: %2").arg(e.number()).arg(QString::fromUtf8(e.what()));
    }
}

std::unique_ptr<tsql::Session> openAs(const QString &folder, const QString &login, const QString &database = "Patient_Data")
{
    tsql::SessionOptions o;
    o.login = login.toStdString();
    o.serverLogin = true;
    return tsql::Session::open(folder.toStdString(), database.toStdString(), o);
}

} // namespace

class TestSecurity : public QObject {
    Q_OBJECT

private slots:
    void roles_data();
    void roles();
    void managing_data();
    void managing();
    void opening_data();
    void opening();
    void passwords();
    void masking_data();
    void masking();
};

// learn.microsoft.com: "Database-level roles" (what db_datareader, db_datawriter, db_ddladmin,
// db_owner and the deny roles allow); MSSQLSERVER_229 and MSSQLSERVER_262 for the wording;
// "Permissions (Database Engine)": an UPDATE or DELETE whose WHERE reads columns needs SELECT too.
void TestSecurity::roles_data()
{
    QTest::addColumn<QStringList>("roles"); // of the user clerk in Patient_Data
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected"); // a prefix of what comes out

    const QString selectDenied = "Msg 229: The SELECT permission was denied on the object 'tbLog', database 'Patient_Data', schema 'dbo'.";
    QTest::newRow("no role: read") << QStringList{} << "SELECT n FROM tbLog" << selectDenied;
    QTest::newRow("no role: temporary table") << QStringList{} << "SELECT * INTO #mine FROM (SELECT 1 AS a) x" << "(1 rows)";
    QTest::newRow("reader: read") << QStringList{"db_datareader"} << "SELECT n FROM tbLog" << "1";
    QTest::newRow("reader: read through a view") << QStringList{"db_datareader"} << "SELECT n FROM vLog" << "1";
    QTest::newRow("reader: insert")
        << QStringList{"db_datareader"} << "INSERT INTO tbLog VALUES (2)"
        << "Msg 229: The INSERT permission was denied on the object 'tbLog', database 'Patient_Data', schema 'dbo'.";
    QTest::newRow("writer: insert") << QStringList{"db_datawriter"} << "INSERT INTO tbLog VALUES (2)" << "(1 rows)";
    QTest::newRow("writer: insert numbering an identity") << QStringList{"db_datawriter"}
                                                          << "INSERT INTO tbSeq (n) VALUES (2)" << "(1 rows)";
    QTest::newRow("writer: update reading its WHERE")
        << QStringList{"db_datawriter"} << "UPDATE tbLog SET n = 3 WHERE n = 1" << selectDenied;
    QTest::newRow("writer and reader: delete") << QStringList{"db_datawriter", "db_datareader"}
                                               << "DELETE FROM tbLog WHERE n = 1" << "(1 rows)";
    QTest::newRow("reader: create table") << QStringList{"db_datareader"} << "CREATE TABLE t2 (a int)"
                                          << "Msg 262: CREATE TABLE permission denied in database 'Patient_Data'.";
    QTest::newRow("reader: select into") << QStringList{"db_datareader"} << "SELECT n INTO t3 FROM tbLog"
                                         << "Msg 262: CREATE TABLE permission denied in database 'Patient_Data'.";
    QTest::newRow("reader: drop table")
        << QStringList{"db_datareader"} << "DROP TABLE tbLog"
        << "Msg 3701: Cannot drop the table 'tbLog', because it does not exist or you do not have permission.";
    QTest::newRow("reader: alter table") << QStringList{"db_datareader"} << "ALTER TABLE tbLog ADD b int"
                                         << "Msg 4902: Cannot find the object \"tbLog\"";
    QTest::newRow("ddladmin: create table") << QStringList{"db_ddladmin"} << "CREATE TABLE t2 (a int)" << "(";
    QTest::newRow("ddladmin: read") << QStringList{"db_ddladmin"} << "SELECT n FROM tbLog" << selectDenied;
    QTest::newRow("owner: everything") << QStringList{"db_owner"} << "UPDATE tbLog SET n = 5 WHERE n = 1" << "(1 rows)";
    QTest::newRow("owner denied reading") << QStringList{"db_owner", "db_denydatareader"} << "SELECT n FROM tbLog"
                                          << selectDenied;
    QTest::newRow("another database without a user")
        << QStringList{"db_owner"} << "SELECT * FROM Build_File.dbo.tbOther"
        << "Msg 916: The server principal \"clerk\" is not able to access the database \"Build_File\" under the current security context.";
    QTest::newRow("USE a database without a user")
        << QStringList{"db_owner"} << "USE Build_File"
        << "Msg 916: The server principal \"clerk\" is not able to access the database \"Build_File\"";
    QTest::newRow("owner of a database: create login") << QStringList{"db_owner"}
                                                       << "CREATE LOGIN other WITH PASSWORD = 'x'"
                                                       << "Msg 15247: User does not have permission to perform this action.";
    QTest::newRow("reader: add itself to a role")
        << QStringList{"db_datareader"} << "ALTER ROLE db_owner ADD MEMBER clerk"
        << "Msg 15151: Cannot alter the role 'db_owner', because it does not exist or you do not have permission.";
    QTest::newRow("no role: the system views") << QStringList{} << "SELECT COUNT(*) FROM sys.databases WHERE name = 'master'"
                                               << "1";
    QTest::newRow("create database") << QStringList{"db_owner"} << "CREATE DATABASE Extra"
                                     << "Msg 262: CREATE DATABASE permission denied in database 'master'.";
}

void TestSecurity::roles()
{
    QFETCH(QStringList, roles);
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    EngineFixture f;
    f.script({"CREATE TABLE tbLog (n int)", "INSERT INTO tbLog VALUES (1)", "CREATE TABLE tbSeq (id int IDENTITY(1,1), n int)", "CREATE VIEW vLog AS SELECT n FROM tbLog",
              "USE Build_File", "CREATE TABLE tbOther (a int)", "USE Patient_Data",
              "CREATE LOGIN clerk WITH PASSWORD = 'Secret-1'", "CREATE USER clerk FOR LOGIN clerk"});
    for (const QString &role : roles)
        f.script({"ALTER ROLE " + role + " ADD MEMBER clerk"});
    auto clerk = openAs(f.folder(), "clerk");
    const QString got = runOn(*clerk, statement);
    QVERIFY2(got.startsWith(expected), qPrintable(got));
}

// learn.microsoft.com: CREATE LOGIN, DROP LOGIN, CREATE USER, ALTER ROLE (Transact-SQL), and the
// messages 15007, 15023, 15025, 15063 and 15151 of "Database engine events and errors".
void TestSecurity::managing_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("second login of one name") << "CREATE LOGIN CLERK WITH PASSWORD = 'y'"
                                              << "Msg 15025: The server principal 'CLERK' already exists.";
    QTest::newRow("drop a login that is not there")
        << "DROP LOGIN nobody" << "Msg 15151: Cannot drop the login 'nobody', because it does not exist or you do not have permission.";
    QTest::newRow("alter a login that is not there")
        << "ALTER LOGIN nobody DISABLE" << "Msg 15151: Cannot alter the login 'nobody', because it does not exist or you do not have permission.";
    QTest::newRow("user for a login that is not there") << "CREATE USER x FOR LOGIN nobody"
                                                        << "Msg 15007: 'nobody' is not a valid login or you do not have permission.";
    QTest::newRow("second user of one name") << "CREATE USER clerk FOR LOGIN nurse"
                                             << "Msg 15023: User, group, or role 'clerk' already exists in the current database.";
    QTest::newRow("second user of one login") << "CREATE USER clerk2 FOR LOGIN clerk"
                                              << "Msg 15063: The login already has an account under a different user name.";
    QTest::newRow("a role that is not there")
        << "ALTER ROLE db_everything ADD MEMBER clerk"
        << "Msg 15151: Cannot alter the role 'db_everything', because it does not exist or you do not have permission.";
    QTest::newRow("a member that is not there")
        << "ALTER ROLE db_owner ADD MEMBER nobody"
        << "Msg 15151: Cannot add the principal 'nobody', because it does not exist or you do not have permission.";
    QTest::newRow("drop a user that is not there")
        << "DROP USER nobody" << "Msg 15151: Cannot drop the user 'nobody', because it does not exist or you do not have permission.";
    QTest::newRow("user named as the login") << "CREATE USER nurse" << "(-1 rows)";
}

void TestSecurity::managing()
{
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    EngineFixture f;
    f.script({"CREATE LOGIN clerk WITH PASSWORD = 'a'", "CREATE LOGIN nurse WITH PASSWORD = 'b'",
              "CREATE USER clerk FOR LOGIN clerk"});
    QCOMPARE(f.run(statement), expected);
}

// learn.microsoft.com: MSSQLSERVER_4060 and MSSQLSERVER_18456: a login that cannot be used, or a
// database it has no user in, fails the sign-in.
void TestSecurity::opening_data()
{
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("database");
    QTest::addColumn<int>("error"); // 0: opens
    QTest::newRow("its database") << "clerk" << "Patient_Data" << 0;
    QTest::newRow("name in other case") << "CLERK" << "Patient_Data" << 0;
    QTest::newRow("no database yet") << "clerk" << "" << 0;
    QTest::newRow("database without its user") << "clerk" << "Build_File" << 4060;
    QTest::newRow("disabled") << "locked" << "Patient_Data" << 18456;
    QTest::newRow("unknown") << "nobody" << "Patient_Data" << 18456;
    QTest::newRow("a user whose login was dropped") << "gone" << "Patient_Data" << 18456;
}

void TestSecurity::opening()
{
    QFETCH(QString, login);
    QFETCH(QString, database);
    QFETCH(int, error);
    EngineFixture f;
    f.script({"CREATE LOGIN clerk WITH PASSWORD = 'a'", "CREATE USER clerk FOR LOGIN clerk",
              "CREATE LOGIN locked WITH PASSWORD = 'a'", "CREATE USER locked", "ALTER LOGIN locked DISABLE",
              "CREATE LOGIN gone WITH PASSWORD = 'a'", "CREATE USER gone", "DROP LOGIN gone"});
    int got = 0;
    try {
        auto s = openAs(f.folder(), login, database);
        QCOMPARE(runOn(*s, "SELECT SUSER_SNAME()").toLower(), login.toLower());
    } catch (const tsql::Error &e) {
        got = e.number();
    }
    QCOMPARE(got, error);
}

// Only hashes are kept: neither the database file nor the trace holds the password.
void TestSecurity::passwords()
{
    EngineFixture f;
    const QString trace = f.folder() + "/trace.jsonl";
    qputenv("TALVOR_SQL_TRACE", QFile::encodeName(trace));
    f.reopen();
    f.script({"CREATE LOGIN clerk WITH PASSWORD = 'Plain-Secret-42'", "ALTER LOGIN clerk WITH PASSWORD = N'Next''Secret-43'"});
    qunsetenv("TALVOR_SQL_TRACE");
    f.close();
    const std::string folder = f.folder().toStdString();
    QVERIFY(tsql::security::checkPassword(folder, "clerk", "Next'Secret-43"));
    QVERIFY(tsql::security::checkPassword(folder, "Clerk", "Next'Secret-43"));
    QVERIFY(!tsql::security::checkPassword(folder, "clerk", "Plain-Secret-42"));
    QVERIFY(!tsql::security::checkPassword(folder, "nobody", "Next'Secret-43"));
    for (const QString &file : {f.folder() + "/master.sqlite", trace}) {
        QFile in(file);
        QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(file));
        const QByteArray bytes = in.readAll();
        QVERIFY2(!bytes.contains("Plain-Secret") && !bytes.contains("Secret-43"), qPrintable(file));
    }
}

void TestSecurity::masking_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("masked");
    QTest::newRow("create") << "CREATE LOGIN a WITH PASSWORD = 'x y'" << "CREATE LOGIN a WITH PASSWORD = '***'";
    QTest::newRow("national, no blanks, lower case") << "alter login a with password=N'p'', q', CHECK_POLICY = OFF"
                                                     << "alter login a with PASSWORD = '***', CHECK_POLICY = OFF";
    QTest::newRow("two statements") << "CREATE LOGIN a WITH PASSWORD = 'p'; CREATE LOGIN b WITH PASSWORD='q'"
                                    << "CREATE LOGIN a WITH PASSWORD = '***'; CREATE LOGIN b WITH PASSWORD = '***'";
    QTest::newRow("a column named password") << "SELECT password FROM t WHERE password = @p"
                                             << "SELECT password FROM t WHERE password = @p";
    QTest::newRow("part of a longer name") << "UPDATE t SET oldpassword = 'kept'" << "UPDATE t SET oldpassword = 'kept'";
    QTest::newRow("unterminated") << "CREATE LOGIN a WITH PASSWORD = 'abc" << "CREATE LOGIN a WITH PASSWORD = '***'";
}

void TestSecurity::masking()
{
    QFETCH(QString, text);
    QFETCH(QString, masked);
    QCOMPARE(QString::fromStdString(tsql::security::maskPasswords(text.toStdString())), masked);
}

QTEST_GUILESS_MAIN(TestSecurity)
#include "tst_security.moc"
