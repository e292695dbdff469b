// SQLite's own shell on the engine's files with libtalvor_tsql loaded: it reads and checks
// them, and changes nothing the engine sees.

#include "EngineFixture.h"

#include <QProcess>
#include <QTest>

namespace {

// What the shell printed and how it ended.
struct ShellRun {
    QString out, err;
    int exitCode = -1;
};

ShellRun shell(const QString &file, bool load, const QString &sql)
{
    QStringList args{QStringLiteral("-batch"), file};
    if (load)
        args << QStringLiteral("-cmd") << QStringLiteral(".load ") + QStringLiteral(TALVOR_TSQL_EXTENSION);
    args << sql;
    QProcess p;
    p.start(QStringLiteral(TALVOR_SQLITE3_SHELL), args);
    ShellRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    r.exitCode = p.exitCode();
    return r;
}

} // namespace

class TestExtension : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStringLiteral(TALVOR_SQLITE3_SHELL).isEmpty())
            QSKIP("the sqlite3 shell is not installed (scripts/install-deps installs it)");
#ifdef TALVOR_SANITIZE
        QSKIP("a library built with the sanitizers cannot be loaded by the system's sqlite3 shell");
#endif
        // Text indexes (COLLATE TSQL), CHECK and FOREIGN KEY triggers calling the engine's
        // functions, an identity, a computed column, in both files.
        m_db.loadHospital();
        const QString out = m_db.batch(
            "CREATE TABLE tbWard (WardID int NOT NULL PRIMARY KEY, Name varchar(20) NOT NULL UNIQUE, "
            "Beds smallint NULL DEFAULT (10) CHECK (Beds >= 0))\n"
            "CREATE TABLE tbBed (BedID int IDENTITY(1, 1) NOT NULL PRIMARY KEY, "
            "WardID int NOT NULL REFERENCES tbWard (WardID), Twice AS (BedID * 2))\n"
            "INSERT INTO tbWard (WardID, Name) VALUES (1, 'North'), (2, 'south')\n"
            "INSERT INTO tbBed (WardID) VALUES (1), (2)\n"
            "CREATE TABLE Build_File.dbo.tbCoOccupation (ID bigint IDENTITY(1, 1) NOT NULL, Code varchar(10) NULL, "
            "Description varchar(500) NULL CHECK (Description <> ''))\n"
            "CREATE INDEX ixCode ON Build_File.dbo.tbCoOccupation (Code)\n"
            "INSERT INTO Build_File.dbo.tbCoOccupation (Code, Description) VALUES ('011', 'Nurse'), ('012', 'Clerk')");
        QVERIFY2(!out.contains(QLatin1String("Msg ")), qPrintable(out));
        m_db.close();
    }

    void shellRuns_data();
    void shellRuns();
    void engineSeesNoChange();

private:
    QString file(const QString &database) const { return m_db.folder() + "/" + database + ".sqlite"; }

    EngineFixture m_db;
};

void TestExtension::shellRuns_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<bool>("load");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("error"); // a part of what the shell says on standard error

    // sqlite.org: PRAGMA integrity_check; Run-Time Loadable Extensions
    QTest::newRow("check") << "Patient_Data" << true << "PRAGMA integrity_check" << "ok" << "";
    QTest::newRow("check the other file") << "Build_File" << true << "PRAGMA integrity_check" << "ok" << "";
    // Without it the schema names a collation and functions SQLite does not know.
    QTest::newRow("check without the extension") << "Patient_Data" << false << "PRAGMA integrity_check" << "" << "tsql";
    QTest::newRow("read in the engine's order") << "Patient_Data" << true
                                                << "SELECT Name FROM tbWard WHERE Name = 'NORTH' OR Name >= 'S' ORDER BY Name"
                                                << "North\nsouth" << "";
    QTest::newRow("computed column") << "Patient_Data" << true << "SELECT sum(Twice) FROM tbBed" << "6" << "";

    // sqlite.org: PRAGMA query_only
    QTest::newRow("catalogue unchanged") << "Patient_Data" << true << "DELETE FROM __tsql_objects" << ""
                                         << "attempt to write a readonly database";
    QTest::newRow("identity unchanged") << "Build_File" << true << "UPDATE __tsql_identity SET last = 0" << ""
                                        << "attempt to write a readonly database";
    QTest::newRow("rows unchanged") << "Patient_Data" << true << "UPDATE tbWard SET Beds = 20" << ""
                                    << "attempt to write a readonly database";
    QTest::newRow("schema unchanged") << "Patient_Data" << true << "DROP TRIGGER IF EXISTS x; CREATE TABLE extra (x)" << ""
                                      << "attempt to write a readonly database";
    QTest::newRow("guard kept") << "Patient_Data" << true << "PRAGMA query_only = 0" << "" << "not authorized";
}

void TestExtension::shellRuns()
{
    QFETCH(QString, database);
    QFETCH(bool, load);
    QFETCH(QString, sql);
    QFETCH(QString, out);
    QFETCH(QString, error);
    const ShellRun r = shell(file(database), load, sql);
    QCOMPARE(r.out, out);
    if (error.isEmpty()) {
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
    } else {
        QVERIFY2(r.err.contains(error, Qt::CaseInsensitive), qPrintable(r.err));
        QVERIFY(r.exitCode != 0);
    }
}

void TestExtension::engineSeesNoChange()
{
    // After the shell has been at the files, the engine opens them whole and as they were.
    m_db.reopen();
    QCOMPARE(m_db.batch("DBCC CHECKDB WITH NO_INFOMSGS"), QString());
    QCOMPARE(m_db.batch("DBCC CHECKDB ('Build_File') WITH NO_INFOMSGS"), QString());
    QCOMPARE(m_db.run("SELECT sum(Beds) FROM tbWard"), QStringLiteral("20"));
    QCOMPARE(m_db.run("INSERT INTO Build_File.dbo.tbCoOccupation (Code) VALUES ('013')"), QStringLiteral("(1 rows)"));
    QCOMPARE(m_db.run("SELECT max(ID) FROM Build_File.dbo.tbCoOccupation"), QStringLiteral("3"));
    m_db.close();
}

QTEST_GUILESS_MAIN(TestExtension)
#include "tst_extension.moc"
