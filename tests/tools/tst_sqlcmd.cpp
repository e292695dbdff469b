#include "tsql/Session.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSqlcmd : public QObject {
    Q_OBJECT

private slots:
    void init();
    void output_data();
    void output();
    void passwordNeverShows();

private:
    struct Run {
        QString out, err;
        int exitCode = -1;
    };
    Run run(const QStringList &args, const QByteArray &input = {});

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSqlcmd::init()
{
    // A fresh folder per case: some cases insert rows.
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    auto session = tsql::Session::open(m_dir->path().toStdString(), "");
    session->createDatabase("Patient_Data");
    session->createDatabase("Build_File");
    session->execute("USE Patient_Data");
    session->execute("CREATE TABLE people (HospNum varchar(10) NOT NULL PRIMARY KEY, LastName varchar(30) NULL, "
                     "BirthDate datetime NULL, Visits int NULL)");
    tsql::BulkInserter rows(*session, "Patient_Data", "people", {"HospNum", "LastName", "BirthDate", "Visits"});
    rows.add({tsql::Value::text("0001"), tsql::Value::text("Peña"),
              tsql::Value::dateTime({1987, 2, 28, 13, 45, 10, 123}), tsql::Value::integer(3)});
    rows.add({tsql::Value::text("0002"), tsql::Value::text("O'Brien"), tsql::Value(), tsql::Value::integer(0)});
    rows.add({tsql::Value::text("0003"), tsql::Value(), tsql::Value::dateTime({2001, 12, 31}), tsql::Value()});
    rows.commit();
}

TestSqlcmd::Run TestSqlcmd::run(const QStringList &args, const QByteArray &input)
{
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/talvor-sqlcmd"), args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()),
            p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1};
}

void TestSqlcmd::output_data()
{
    QTest::addColumn<QStringList>("args"); // -S folder is added
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("fromFile");    // the script given with -i, else on standard input
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("exitCode");

    const QString all = "SELECT HospNum, LastName, BirthDate, Visits FROM people ORDER BY HospNum";
    QTest::newRow("headings, NULL, datetime, -W")
        << QStringList{"-W", "-Q", all} << QString() << false
        << "HospNum LastName BirthDate Visits\n"
           "------- -------- --------- ------\n"
           "0001 Peña 1987-02-28 13:45:10.123 3\n"
           "0002 O'Brien NULL 0\n"
           "0003 NULL 2001-12-31 00:00:00.000 NULL\n"
           "\n"
           "(3 rows affected)\n"
        << QString() << 0;
    QTest::newRow("no headings, separator")
        << QStringList{"-h", "-1", "-W", "-s", "|", "-Q", all + " DESC"} << QString() << false
        << "0003|NULL|2001-12-31 00:00:00.000|NULL\n"
           "0002|O'Brien|NULL|0\n"
           "0001|Peña|1987-02-28 13:45:10.123|3\n"
           "\n"
           "(3 rows affected)\n"
        << QString() << 0;
    // learn.microsoft.com: CAST and CONVERT (example H), datetime (Transact-SQL) (time(4) and
    // datetimeoffset(7) examples): values as SQL Server shows them.
    QTest::newRow("binary, real, precise times")
        << QStringList{"-h", "-1", "-W", "-s", "|", "-Q",
                       "SELECT CONVERT(BINARY(8), 'Name', 0), CAST(0.1 AS real), CAST(1 AS real) / 3, "
                       "CAST('12:10:05.1237' AS time(4)), CAST('2007-05-08 12:35:29.1234567 +12:15' AS datetimeoffset(7)), "
                       "CAST('1968-10-23 12:45:37.1237' AS datetime2(4)), CAST(3148.29 AS money), CAST(1.5 AS decimal(5,2))"}
        << QString() << false
        << "0x4E616D6500000000|0.1|0.3333333|12:10:05.1237|2007-05-08 12:35:29.1234567 +12:15|1968-10-23 12:45:37.1237|"
           "3148.2900|1.50\n"
           "\n"
           "(1 row affected)\n"
        << QString() << 0;
    QTest::newRow("padded to the type's width, numbers right")
        << QStringList{"-Q", "SELECT Visits, BirthDate FROM people WHERE HospNum = '0001'"} << QString() << false
        << "Visits      BirthDate              \n"
           "----------- -----------------------\n"
           "          3 1987-02-28 13:45:10.123\n"
           "\n"
           "(1 row affected)\n"
        << QString() << 0;
    QTest::newRow("rows affected by a change")
        << QStringList{"-Q", "UPDATE people SET Visits = 1 WHERE HospNum <> '0002'"} << QString() << false
        << "\n(2 rows affected)\n" << QString() << 0;
    QTest::newRow("error on standard error, status 0 without -b")
        << QStringList{"-Q", "SELECT * FROM nosuch"} << QString() << false << QString()
        << "Msg 208, Level 16, State 1, Line 1\nInvalid object name 'nosuch'.\n" << 0;
    QTest::newRow("-b gives status 1") << QStringList{"-b", "-Q", "SELECT * FROM nosuch"} << QString() << false << QString()
                                       << "Msg 208, Level 16, State 1, Line 1\nInvalid object name 'nosuch'.\n" << 1;
    QTest::newRow("-d starts in another database")
        << QStringList{"-d", "Build_File", "-Q", "SELECT COUNT(*) FROM people"} << QString() << false << QString()
        << "Msg 208, Level 16, State 1, Line 1\nInvalid object name 'people'.\n" << 0;
    QTest::newRow("USE reports the change") << QStringList{"-Q", "USE Build_File"} << QString() << false
                                            << "Changed database context to 'Build_File'.\n" << QString() << 0;

    const QString script = "SELECT COUNT(*) AS n FROM people\n"
                           "GO\n"
                           "INSERT INTO people (HospNum) VALUES ('0004')\n"
                           "\n"
                           "SELECT * FROM nosuch\n"
                           " go \n"
                           "SELECT COUNT(*) AS n FROM people\n";
    QTest::newRow("GO batches, error line within its batch")
        << QStringList{"-W"} << script << true
        << "n\n-\n3\n\n(1 row affected)\n\n(1 row affected)\nn\n-\n4\n\n(1 row affected)\n"
        << "Msg 208, Level 16, State 1, Line 3\nInvalid object name 'nosuch'.\n" << 0;
    QTest::newRow("-b stops at the failing statement")
        << QStringList{"-W", "-b"} << script << true << "n\n-\n3\n\n(1 row affected)\n\n(1 row affected)\n"
        << "Msg 208, Level 16, State 1, Line 3\nInvalid object name 'nosuch'.\n" << 1;
    QTest::newRow("standard input, last batch without GO")
        << QStringList{"-W", "-h", "-1"} << "SELECT 'a' AS x\nGO\nSELECT 'b' AS x\n" << false
        << "a\n\n(1 row affected)\nb\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("EXIT ends the input") << QStringList{"-W", "-h", "-1"} << "SELECT 'a' AS x\nGO\nexit\nSELECT 'b' AS x\n" << false
                                         << "a\n\n(1 row affected)\n" << QString() << 0;
}

void TestSqlcmd::output()
{
    QFETCH(QStringList, args);
    QFETCH(QString, script);
    QFETCH(bool, fromFile);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, exitCode);

    args << QStringLiteral("-S") << m_dir->path();
    QByteArray input;
    if (fromFile) {
        const QString path = m_dir->filePath(QStringLiteral("script.sql"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(script.toUtf8());
        f.close();
        args << QStringLiteral("-i") << path;
    } else {
        input = script.toUtf8();
    }
    const Run r = run(args, input);
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, out);
    QCOMPARE(r.exitCode, exitCode);
}

void TestSqlcmd::passwordNeverShows()
{
    const QString secret = QStringLiteral("s3cr3t;}=x");
    const Run odbc = run({"-S", "NoSuchTalvorDsn", "-U", "sa", "-P", secret, "-Q", "SELECT 1"});
    QCOMPARE(odbc.exitCode, 1);
    QVERIFY(!odbc.err.isEmpty());
    QVERIFY(!odbc.err.contains(secret) && !odbc.out.contains(secret));

    qputenv("SQLCMDPASSWORD", secret.toUtf8());
    const Run fromEnvironment = run({"-S", "Driver=NoSuchDriver;Server=nowhere", "-U", "sa", "-Q", "SELECT 1"});
    qunsetenv("SQLCMDPASSWORD");
    QCOMPARE(fromEnvironment.exitCode, 1);
    QVERIFY(!fromEnvironment.err.contains(secret) && !fromEnvironment.out.contains(secret));
}

QTEST_GUILESS_MAIN(TestSqlcmd)
#include "tst_sqlcmd.moc"
