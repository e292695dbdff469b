// talvor-sqlcmd on an embedded folder, run as a user runs it. Expected output follows Microsoft's
// pages on sqlcmd (named above each group); where they are silent the comment says whose rule it is.
#include "SqlcmdRun.h"

#include "tsql/Session.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSqlcmd : public QObject {
    Q_OBJECT

private slots:
    void init();
    void output_data();
    void output();
    void scripts_data();
    void scripts();
    void outputFiles_data();
    void outputFiles();
    void refusedCommandLines_data();
    void refusedCommandLines();
    void passwordNeverShows();
    void aStrayFileIsNamedOnStandardError();

private:
    void writeFile(const QString &name, const QString &text);
    QString readFile(const QString &name) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
};

void TestSqlcmd::init()
{
    // A fresh folder per case: some cases change rows.
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_folder = m_dir->filePath(QStringLiteral("db"));
    QVERIFY(QDir().mkpath(m_folder));
    auto session = tsql::Session::open(m_folder.toStdString(), "");
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

void TestSqlcmd::writeFile(const QString &name, const QString &text)
{
    const QString path = m_dir->filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

QString TestSqlcmd::readFile(const QString &name) const
{
    QFile f(m_dir->filePath(name));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

void TestSqlcmd::output_data()
{
    QTest::addColumn<QStringList>("args"); // -S folder is added
    QTest::addColumn<QString>("input");    // standard input
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("exitCode");

    const QString all = "SELECT HospNum, LastName, BirthDate, Visits FROM people ORDER BY HospNum";

    // learn.microsoft.com: sqlcmd utility, "Output format from Transact-SQL queries" (headings
    // padded to the column, a line of dashes), -W, -h, -s, -w, -y, -Y, -k, -e; "(N rows affected)"
    // after a blank line.
    // Widths are ODBC's display sizes (learn.microsoft.com: Display Size, ODBC appendix D):
    // int 11, tinyint 3, bit 1, decimal precision + 2, float 24, date 10, timestamp 20 + digits.
    QTest::newRow("headings, NULL, datetime, -W")
        << QStringList{"-W", "-Q", all} << QString()
        << "HospNum LastName BirthDate Visits\n"
           "------- -------- --------- ------\n"
           "0001 Peña 1987-02-28 13:45:10.123 3\n"
           "0002 O'Brien NULL 0\n"
           "0003 NULL 2001-12-31 00:00:00.000 NULL\n"
           "\n"
           "(3 rows affected)\n"
        << QString() << 0;
    QTest::newRow("no headings, separator")
        << QStringList{"-h", "-1", "-W", "-s", "|", "-Q", all + " DESC"} << QString()
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
        << QString()
        << "0x4E616D6500000000|0.1|0.3333333|12:10:05.1237|2007-05-08 12:35:29.1234567 +12:15|1968-10-23 12:45:37.1237|"
           "3148.2900|1.50\n"
           "\n"
           "(1 row affected)\n"
        << QString() << 0;
    QTest::newRow("padded to the type's width, numbers right")
        << QStringList{"-Q", "SELECT Visits, BirthDate FROM people WHERE HospNum = '0001'"} << QString()
        << "Visits      BirthDate              \n"
           "----------- -----------------------\n"
           "          3 1987-02-28 13:45:10.123\n"
           "\n"
           "(1 row affected)\n"
        << QString() << 0;
    QTest::newRow("each type's display width; decimals keep their scale, money four places")
        << QStringList{"-Q", "SELECT CAST('ab' AS varchar(5)) AS v, CAST(N'x' AS nvarchar(3)) AS n, "
                             "CAST(1.5 AS decimal(5,2)) AS d, CAST(2 AS money) AS m, CAST(1 AS bit) AS b, "
                             "CAST('2001-02-03' AS date) AS dt, CAST(3 AS tinyint) AS t, CAST(1.5 AS float) AS f"}
        << QString()
        << "v     n   d       m                     b dt         t   f                       \n"
           "----- --- ------- --------------------- - ---------- --- ------------------------\n"
           "ab    x      1.50                2.0000 1 2001-02-03   3                      1.5\n"
           "\n"
           "(1 row affected)\n"
        << QString() << 0;
    // learn.microsoft.com: PI (Transact-SQL) shows 3.14159265358979: float to 15 digits, real to 7.
    QTest::newRow("float and real digits")
        << QStringList{"-W", "-h", "-1", "-Q", "SELECT PI(), CAST(0.1 AS real), CAST(1e20 AS float)"} << QString()
        << "3.14159265358979 0.1 1E+20\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("rows affected by a change")
        << QStringList{"-Q", "UPDATE people SET Visits = 1 WHERE HospNum <> '0002'"} << QString()
        << "\n(2 rows affected)\n" << QString() << 0;
    QTest::newRow("no count under SET NOCOUNT ON")
        << QStringList{"-W", "-Q", "SET NOCOUNT ON; SELECT 1 AS a"} << QString() << "a\n-\n1\n" << QString() << 0;
    QTest::newRow("an empty result still has its headings")
        << QStringList{"-W", "-Q", "SELECT HospNum FROM people WHERE 1 = 0"} << QString()
        << "HospNum\n-------\n\n(0 rows affected)\n" << QString() << 0;
    QTest::newRow("-h repeats the headings")
        << QStringList{"-W", "-h", "2", "-Q", "SELECT HospNum FROM people ORDER BY HospNum"} << QString()
        << "HospNum\n-------\n0001\n0002\n\nHospNum\n-------\n0003\n\n(3 rows affected)\n" << QString() << 0;
    // "When an output line exceeds the specified column width, it wraps on to the next line": a
    // column that does not fit starts the next line.
    QTest::newRow("-w wraps a line before the column that does not fit")
        << QStringList{"-W", "-h", "-1", "-w", "20", "-Q",
                       "SELECT HospNum, LastName, BirthDate, Visits FROM people WHERE HospNum = '0001'"}
        << QString()
        << "0001 Peña\n1987-02-28 13:45:10.123\n3\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("-Y limits sized text, the heading still shows")
        << QStringList{"-Y", "3", "-Q", "SELECT LastName FROM people WHERE HospNum = '0002'"} << QString()
        << "LastName\n--------\nO'B     \n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("-y limits large text")
        << QStringList{"-y", "4", "-Q", "SELECT CAST('abcdef' AS varchar(max)) AS v"} << QString()
        << "v   \n----\nabcd\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("-y 0: large text as wide as its widest value")
        << QStringList{"-y", "0", "-Q", "SELECT CAST('abcdef' AS varchar(max)) AS v"} << QString()
        << "v     \n------\nabcdef\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("-k1: each control character a blank")
        << QStringList{"-k1", "-W", "-h", "-1", "-Q", "SELECT 'a' + CHAR(9) + CHAR(10) + 'b'"} << QString()
        << "a  b\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("-k2: each run of them one blank")
        << QStringList{"-k2", "-W", "-h", "-1", "-Q", "SELECT 'a' + CHAR(9) + CHAR(10) + 'b'"} << QString()
        << "a b\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("-e echoes the batch")
        << QStringList{"-e", "-W", "-Q", "SELECT 1 AS a"} << QString()
        << "SELECT 1 AS a\na\n-\n1\n\n(1 row affected)\n" << QString() << 0;

    // learn.microsoft.com: sqlcmd utility, -r, -m, -b, "Informational messages"; RAISERROR
    // (Transact-SQL): a message text raises number 50000.
    const QString mixed = "PRINT 'one'; SELECT 2 AS two; RAISERROR('three', 16, 5); PRINT 'four'";
    const QString three = "Msg 50000, Level 16, State 5, Server TALVOR, Line 1\nthree\n";
    QTest::newRow("messages and errors on the output, in order with the rows")
        << QStringList{"-W", "-Q", mixed} << QString()
        << "one\ntwo\n---\n2\n\n(1 row affected)\n" + three + "four\n" << QString() << 0;
    QTest::newRow("-r0 sends errors to standard error")
        << QStringList{"-W", "-r0", "-Q", mixed} << QString() << "one\ntwo\n---\n2\n\n(1 row affected)\nfour\n"
        << three << 0;
    QTest::newRow("-r1 sends every message to standard error")
        << QStringList{"-W", "-r1", "-Q", mixed} << QString() << "two\n---\n2\n\n(1 row affected)\n"
        << "one\n" + three + "four\n" << 0;
    QTest::newRow("-m hides errors below its level")
        << QStringList{"-m", "16", "-Q", "RAISERROR('low', 11, 1); RAISERROR('high', 16, 1)"} << QString()
        << "Msg 50000, Level 16, State 1, Server TALVOR, Line 1\nhigh\n" << QString() << 0;
    QTest::newRow("-m-1 heads informational messages too")
        << QStringList{"-m-1", "-Q", "PRINT 'hi'"} << QString()
        << "Msg 0, Level 0, State 1, Server TALVOR, Line 1\nhi\n" << QString() << 0;
    QTest::newRow("error on the output, status 0 without -b")
        << QStringList{"-Q", "SELECT * FROM nosuch"} << QString()
        << "Msg 208, Level 16, State 1, Server TALVOR, Line 1\nInvalid object name 'nosuch'.\n" << QString() << 0;
    QTest::newRow("-b gives status 1")
        << QStringList{"-b", "-Q", "SELECT * FROM nosuch"} << QString()
        << "Msg 208, Level 16, State 1, Server TALVOR, Line 1\nInvalid object name 'nosuch'.\n" << QString() << 1;
    QTest::newRow("-V: errors below its level do not fail")
        << QStringList{"-b", "-V", "16", "-Q", "RAISERROR('minor', 11, 1)"} << QString()
        << "Msg 50000, Level 11, State 1, Server TALVOR, Line 1\nminor\n" << QString() << 0;
    QTest::newRow("-t cancels a batch past its time")
        << QStringList{"-b", "-h", "-1", "-t", "1", "-Q",
                       "WITH r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT COUNT(*) FROM r OPTION (MAXRECURSION 0)"}
        << QString() << "Sqlcmd: Error: Query timeout expired.\n" << QString() << 1;
    QTest::newRow("-t cancels a loop of quick statements")
        << QStringList{"-b", "-t", "1", "-Q",
                       "DECLARE @i int = 0 WHILE @i < 2000000000 SET @i = @i + 1 PRINT 'never'"}
        << QString() << "Sqlcmd: Error: Query timeout expired.\n" << QString() << 1;

    // learn.microsoft.com: sqlcmd utility, -d; "Informational messages" (USE).
    QTest::newRow("-d starts in another database")
        << QStringList{"-d", "Build_File", "-Q", "SELECT COUNT(*) FROM people"} << QString()
        << "Msg 208, Level 16, State 1, Server TALVOR, Line 1\nInvalid object name 'people'.\n" << QString() << 0;
    QTest::newRow("-d naming no database ends the run")
        << QStringList{"-d", "Nowhere", "-Q", "SELECT 1"} << QString() << QString()
        << "Sqlcmd: Error: Cannot open database \"Nowhere\" requested by the login. The login failed.\n" << 1;
    QTest::newRow("USE reports the change")
        << QStringList{"-Q", "USE Build_File"} << QString() << "Changed database context to 'Build_File'.\n"
        << QString() << 0;

    // learn.microsoft.com: sqlcmd - use the utility (batches from standard input, EXIT), -q.
    QTest::newRow("standard input, last batch without GO")
        << QStringList{"-W", "-h", "-1"} << "SELECT 'a' AS x\nGO\nSELECT 'b' AS x\n"
        << "a\n\n(1 row affected)\nb\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("EXIT ends the input")
        << QStringList{"-W", "-h", "-1"} << "SELECT 'a' AS x\nGO\nexit\nSELECT 'b' AS x\n"
        << "a\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow("-q runs first, then standard input")
        << QStringList{"-W", "-h", "-1", "-q", "SELECT 1"} << "SELECT 2\nGO\n"
        << "1\n\n(1 row affected)\n2\n\n(1 row affected)\n" << QString() << 0;
}

void TestSqlcmd::output()
{
    QFETCH(QStringList, args);
    QFETCH(QString, input);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, exitCode);

    const SqlcmdRun r = SqlcmdRun::start(args << "-S" << m_folder, input.toUtf8());
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, out);
    QCOMPARE(r.exitCode, exitCode);
}

void TestSqlcmd::scripts_data()
{
    QTest::addColumn<QStringList>("args");  // -S folder is added; the run starts in the test's folder
    QTest::addColumn<QStringList>("files"); // name, text, name, text...
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("exitCode");

    // learn.microsoft.com: sqlcmd commands, "GO [count]"; sqlcmd utility, -b.
    const QString script = "SELECT COUNT(*) AS n FROM people\n"
                           "GO\n"
                           "INSERT INTO people (HospNum) VALUES ('0004')\n"
                           "\n"
                           "SELECT * FROM nosuch\n"
                           " go \n"
                           "SELECT COUNT(*) AS n FROM people\n";
    const QString nosuchLine3 = "Msg 208, Level 16, State 1, Server TALVOR, Line 3\nInvalid object name 'nosuch'.\n";
    QTest::newRow("GO batches, the error's line within its batch")
        << QStringList{"-W", "-i", "s.sql"} << QStringList{"s.sql", script}
        << "n\n-\n3\n\n(1 row affected)\n\n(1 row affected)\n" + nosuchLine3 + "n\n-\n4\n\n(1 row affected)\n"
        << QString() << 0;
    QTest::newRow("-b stops after the failing batch")
        << QStringList{"-W", "-b", "-i", "s.sql"} << QStringList{"s.sql", script}
        << "n\n-\n3\n\n(1 row affected)\n\n(1 row affected)\n" + nosuchLine3 << QString() << 1;
    QTest::newRow("the conformance form: -h -1 -s | -W -b")
        << QStringList{"-h", "-1", "-s", "|", "-W", "-b", "-i", "case.sql"}
        << QStringList{"case.sql", "SELECT HospNum, LastName, Visits FROM people WHERE HospNum < '0003' ORDER BY HospNum\n"
                                   "PRINT 'done'\nGO\nSELECT 1/0 AS z\nGO\nSELECT 'never'\n"}
        << "0001|Peña|3\n0002|O'Brien|0\n\n(2 rows affected)\ndone\n"
           "Msg 8134, Level 16, State 1, Server TALVOR, Line 1\nDivide by zero error encountered.\n"
        << QString() << 1;
    QTest::newRow("GO n runs the batch n times")
        << QStringList{"-i", "g.sql"} << QStringList{"g.sql", "PRINT 'x'\nGO 3\n"} << "x\nx\nx\n" << QString() << 0;
    QTest::newRow("several -i files, each ending its last batch")
        << QStringList{"-i", "a.sql,b.sql"} << QStringList{"a.sql", "PRINT 'a'", "b.sql", "PRINT 'b'\n"}
        << "a\nb\n" << QString() << 0;

    // learn.microsoft.com: sqlcmd - use with scripting variables (-v, :setvar, precedence, a
    // variable not defined); sqlcmd commands (:r, :on error, :setvar without a value).
    QTest::newRow("variables from -v and :setvar")
        << QStringList{"-W", "-h", "-1", "-v", "Table=people", "Who=some one", "-i", "v.sql"}
        << QStringList{"v.sql", ":setvar Column LastName\n"
                                "SELECT $(Column) FROM $(Table) WHERE HospNum = '0002'\nPRINT '$(Who)'\nGO\n"}
        << "O'Brien\n\n(1 row affected)\nsome one\n" << QString() << 0;
    QTest::newRow(":setvar wins over -v, a quoted value keeps its blanks and doubled quotes")
        << QStringList{"-v", "Who=cmdline", "-i", "w.sql"}
        << QStringList{"w.sql", ":setvar Who \"the \"\"admin\"\"\"\nPRINT '$(Who)'\nGO\n"} << "the \"admin\"\n"
        << QString() << 0;
    QTest::newRow("an undefined variable is reported and left as written")
        << QStringList{"-i", "u.sql"} << QStringList{"u.sql", ":setvar X 1\n:setvar X\nPRINT '$(X)'\nGO\n"}
        << "$(X)\n" << "'X' scripting variable not defined.\n" << 0;
    QTest::newRow("with -b an undefined variable ends the run")
        << QStringList{"-b", "-i", "u.sql"} << QStringList{"u.sql", "PRINT '$(X)'\nGO\n"} << QString()
        << "'X' scripting variable not defined.\n" << 1;
    QTest::newRow("-x leaves variables alone")
        << QStringList{"-x", "-i", "u.sql"} << QStringList{"u.sql", "PRINT '$(X)'\nGO\n"} << "$(X)\n" << QString() << 0;
    QTest::newRow(":r reads a file relative to the current directory")
        << QStringList{"-i", "scripts/main.sql"}
        << QStringList{"scripts/main.sql", "PRINT 'main'\n:r inc/part.sql\nGO\n", "inc/part.sql", "PRINT 'part'\n"}
        << "main\npart\n" << QString() << 0;
    QTest::newRow(":setvar SQLCMDCOLSEP changes the separator")
        << QStringList{"-W", "-i", "c.sql"} << QStringList{"c.sql", ":setvar SQLCMDCOLSEP ;\nSELECT 1 AS a, 2 AS b\nGO\n"}
        << "a;b\n-;-\n1;2\n\n(1 row affected)\n" << QString() << 0;
    QTest::newRow(":on error exit")
        << QStringList{"-i", "e.sql"}
        << QStringList{"e.sql", ":on error exit\nSELECT * FROM nosuch\nGO\nPRINT 'after'\nGO\n"}
        << "Msg 208, Level 16, State 1, Server TALVOR, Line 1\nInvalid object name 'nosuch'.\n" << QString() << 1;
    QTest::newRow(":on error ignore overrides -b")
        << QStringList{"-b", "-i", "e.sql"}
        << QStringList{"e.sql", ":on error ignore\nSELECT * FROM nosuch\nGO\nPRINT 'after'\nGO\n"}
        << "Msg 208, Level 16, State 1, Server TALVOR, Line 1\nInvalid object name 'nosuch'.\nafter\n" << QString() << 0;
    QTest::newRow("an unknown command is a syntax error")
        << QStringList{"-i", "x.sql"} << QStringList{"x.sql", "PRINT 'a'\n:nosuch\nGO\n"} << "a\n"
        << "Sqlcmd: Error: Syntax error at line 2 near command ':NOSUCH' in file 'x.sql'.\n" << 0;
    QTest::newRow(":reset forgets the batch so far")
        << QStringList{"-i", "r.sql"} << QStringList{"r.sql", "PRINT 'dropped'\n:reset\nPRINT 'kept'\nGO\n"}
        << "kept\n" << QString() << 0;

    // learn.microsoft.com: sqlcmd commands, [:]QUIT and [:]EXIT[(statement)]: EXIT(query) ends with
    // the query's first column; RAISERROR with state 127 ends with the message's number (Linux
    // passes on its low byte: 50000 % 256 = 80).
    QTest::newRow("quit ends the run without the pending batch")
        << QStringList{"-i", "q.sql"} << QStringList{"q.sql", "PRINT 'a'\nGO\nPRINT 'b'\n:quit\nPRINT 'c'\n"} << "a\n"
        << QString() << 0;
    QTest::newRow("EXIT(query) runs the batch and ends with its value")
        << QStringList{"-W", "-h", "-1", "-i", "q.sql"} << QStringList{"q.sql", "PRINT 'a'\nEXIT(SELECT 7)\nPRINT 'b'\n"}
        << "a\n7\n\n(1 row affected)\n" << QString() << 7;
    QTest::newRow("RAISERROR with state 127 ends the run with its number")
        << QStringList{"-i", "q.sql"} << QStringList{"q.sql", "RAISERROR('stop here', 10, 127)\nGO\nPRINT 'never'\nGO\n"}
        << "stop here\n" << QString() << 80;

    // An administrator's script: the database and values from -v, a check read in with :r,
    // stopping at the first failure.
    QTest::newRow("an administrator's script")
        << QStringList{"-W", "-v", "Db=Patient_Data", "MinVisits=1", "Patient=0001", "-i", "admin.sql"}
        << QStringList{"admin.sql", ":setvar Dept 18\n:on error exit\nUSE $(Db)\nGO\n:r checks.sql\n"
                                    "SELECT COUNT(*) AS patients FROM people WHERE Visits >= $(MinVisits)\nGO\n"
                                    "UPDATE people SET Visits = Visits + 1 WHERE HospNum = '$(Patient)'\nGO\n"
                                    "SELECT * FROM tbMissing\nGO\nPRINT 'never'\n",
                       "checks.sql", "PRINT 'checking $(Db) for department $(Dept)'\n"}
        << "Changed database context to 'Patient_Data'.\nchecking Patient_Data for department 18\n"
           "patients\n--------\n1\n\n(1 row affected)\n\n(1 row affected)\n"
           "Msg 208, Level 16, State 1, Server TALVOR, Line 1\nInvalid object name 'tbMissing'.\n"
        << QString() << 1;
}

void TestSqlcmd::scripts()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, files);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(int, exitCode);

    for (qsizetype i = 0; i + 1 < files.size(); i += 2)
        writeFile(files.at(i), files.at(i + 1));
    const SqlcmdRun r = SqlcmdRun::start(args << "-S" << m_folder, {}, m_dir->path());
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, out);
    QCOMPARE(r.exitCode, exitCode);
}

void TestSqlcmd::outputFiles_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("script"); // standard input
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("fileText");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    // learn.microsoft.com: sqlcmd utility, -o ("-r has no effect if you use -o"); sqlcmd commands,
    // :Out and :Error (a file, STDOUT or STDERR).
    QTest::newRow("-o takes results and messages, -r has no effect")
        << QStringList{"-W", "-r1", "-o", "out.txt"} << "PRINT 'p'\nSELECT 1 AS a\nSELECT * FROM nosuch\nGO\n"
        << "out.txt"
        << "p\na\n-\n1\n\n(1 row affected)\nMsg 208, Level 16, State 1, Server TALVOR, Line 3\nInvalid object name 'nosuch'.\n"
        << QString() << QString();
    QTest::newRow(":out moves the results to a file and back")
        << QStringList{} << ":out part.txt\nPRINT 'in the file'\nGO\n:out stdout\nPRINT 'on the screen'\nGO\n"
        << "part.txt" << "in the file\n" << "on the screen\n" << QString();
    QTest::newRow(":error takes the errors -r moves")
        << QStringList{"-r0"} << ":error errors.txt\nPRINT 'ok'\nSELECT * FROM nosuch\nGO\n" << "errors.txt"
        << "Msg 208, Level 16, State 1, Server TALVOR, Line 2\nInvalid object name 'nosuch'.\n" << "ok\n" << QString();
}

void TestSqlcmd::outputFiles()
{
    QFETCH(QStringList, args);
    QFETCH(QString, script);
    QFETCH(QString, file);
    QFETCH(QString, fileText);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const SqlcmdRun r = SqlcmdRun::start(args << "-S" << m_folder, script.toUtf8(), m_dir->path());
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.err, err);
    QCOMPARE(r.out, out);
    QCOMPARE(readFile(file), fileText);
}

void TestSqlcmd::refusedCommandLines_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("complaint"); // part of what standard error says

    // learn.microsoft.com: sqlcmd utility: -h is -1 or a row count, -w more than 8 and less
    // than 65536, -Q and -i exclude each other, -E with -U or -P is an error, -W does not go with
    // -y or -Y, every -i file must exist before anything runs.
    QTest::newRow("-h 0") << QStringList{"-h", "0", "-Q", "SELECT 1"} << "'-h 0'";
    QTest::newRow("-w 8") << QStringList{"-w", "8", "-Q", "SELECT 1"} << "'-w 8'";
    QTest::newRow("-t 0") << QStringList{"-t", "0", "-Q", "SELECT 1"} << "'-t 0'";
    QTest::newRow("-Q with -i") << QStringList{"-Q", "SELECT 1", "-i", "x.sql"} << "-Q and the -i";
    QTest::newRow("-E with -U") << QStringList{"-E", "-U", "sa", "-Q", "SELECT 1"} << "-E and the -U/-P";
    QTest::newRow("-W with -y") << QStringList{"-W", "-y", "10", "-Q", "SELECT 1"} << "-W and the -y/-Y";
    QTest::newRow("an unknown option") << QStringList{"-z", "-Q", "SELECT 1"} << "'-z': Unknown Option";
    QTest::newRow("an -i file that is not there")
        << QStringList{"-i", "there.sql,missing.sql"} << "Error occurred while opening or operating on file missing.sql";
    QTest::newRow("-v without a name") << QStringList{"-v", "=1", "-Q", "SELECT 1"} << "'-v =1'";
}

void TestSqlcmd::refusedCommandLines()
{
    QFETCH(QStringList, args);
    QFETCH(QString, complaint);

    writeFile(QStringLiteral("there.sql"), QStringLiteral("PRINT 'ran'\n"));
    const SqlcmdRun r = SqlcmdRun::start(args << "-S" << m_folder, {}, m_dir->path());
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.startsWith(QLatin1String("Sqlcmd: ")) && r.err.contains(complaint), qPrintable(r.err));
}

void TestSqlcmd::passwordNeverShows()
{
    const QString secret = QStringLiteral("s3cr3t;}=x");
    const SqlcmdRun odbc = SqlcmdRun::start({"-S", "NoSuchTalvorDsn", "-U", "sa", "-P", secret, "-Q", "SELECT 1"});
    QCOMPARE(odbc.exitCode, 1);
    QVERIFY(!odbc.err.isEmpty());
    QVERIFY(!odbc.err.contains(secret) && !odbc.out.contains(secret));

    qputenv("SQLCMDPASSWORD", secret.toUtf8());
    const SqlcmdRun fromEnvironment =
        SqlcmdRun::start({"-S", "Driver=NoSuchDriver;Server=nowhere", "-U", "sa", "-Q", "SELECT 1"});
    qunsetenv("SQLCMDPASSWORD");
    QCOMPARE(fromEnvironment.exitCode, 1);
    QVERIFY(!fromEnvironment.err.contains(secret) && !fromEnvironment.out.contains(secret));
}

// A file in the folder that is no database: the shell still runs, and says once, apart from the
// script's output, which file it left out.
void TestSqlcmd::aStrayFileIsNamedOnStandardError()
{
    writeFile(QStringLiteral("db/Zzz.sqlite"), QStringLiteral("a note, not a database\n"));
    const SqlcmdRun r = SqlcmdRun::start({"-S", m_folder, "-h", "-1", "-Q", "SET NOCOUNT ON; SELECT COUNT(*) FROM people"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("3"));
    QCOMPARE(r.err.count(QLatin1String("Zzz.sqlite")), 1);
}

QTEST_GUILESS_MAIN(TestSqlcmd)
#include "tst_sqlcmd.moc"
