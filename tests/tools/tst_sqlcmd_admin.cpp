// An administrator's maintenance script run with talvor-sqlcmd -b -i on a demo database, as it
// would be run against SQL Server. What sqlcmd prints follows Microsoft's pages named beside each
// part of the expected output.
#include "SqlcmdRun.h"

#include "demo/DemoDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char *setupScript = R"(CREATE TABLE dbo.tbWard (WardCode char(4) NOT NULL PRIMARY KEY,
                          Beds int NOT NULL CHECK (Beds > 0),
                          Remarks varchar(40) NULL)
PRINT 'made $(Table)'
)";

const char *adminScript = R"(USE $(Db)
GO
:setvar Table dbo.tbWard
:r setup.sql
GO
SET NOCOUNT ON
DECLARE @n int = (SELECT COUNT(*) FROM $(Table))
IF EXISTS (SELECT 1 FROM sys.tables WHERE name = 'tbWard')
    PRINT 'tbWard has ' + CAST(@n AS varchar(10)) + ' rows'
BEGIN TRY
    BEGIN TRANSACTION
    INSERT INTO $(Table) (WardCode, Beds) VALUES ('ICU', 8)
    INSERT INTO $(Table) (WardCode, Beds) VALUES ('ER', 0)
    COMMIT TRANSACTION
END TRY
BEGIN CATCH
    IF @@TRANCOUNT > 0
        ROLLBACK TRANSACTION
    PRINT 'Rolled back: error ' + CAST(ERROR_NUMBER() AS varchar(10))
END CATCH
SELECT COUNT(*) AS wards, @@TRANCOUNT AS open_transactions FROM $(Table)
GO
SELECT c.name, TYPE_NAME(c.user_type_id) AS type, c.max_length, c.is_nullable
FROM sys.columns AS c
WHERE c.object_id = OBJECT_ID('$(Table)')
ORDER BY c.column_id
GO
DBCC CHECKDB WITH NO_INFOMSGS
GO
EXEC sp_help 'tbMaster'
GO
)";

} // namespace

class TestSqlcmdAdmin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void script();
    void failingBatchStopsTheRun();

private:
    void writeFile(const QString &name, const QByteArray &text);
    QTemporaryDir m_dir;
    QString m_folder;
};

void TestSqlcmdAdmin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.filePath(QStringLiteral("demo"));
    demo::create(m_folder, demo::Options{200, 7});
    writeFile(QStringLiteral("setup.sql"), setupScript);
    writeFile(QStringLiteral("admin.sql"), adminScript);
}

void TestSqlcmdAdmin::writeFile(const QString &name, const QByteArray &text)
{
    QFile f(m_dir.filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void TestSqlcmdAdmin::script()
{
    const SqlcmdRun r = SqlcmdRun::start({"-b", "-W", "-v", "Db=Patient_Data", "-i", "admin.sql", "-S", m_folder}, {},
                                         m_dir.path());
    QCOMPARE(r.err, QString());
    // -b: no error reached the client (the failing insert was caught), so the run ends with 0.
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'));

    const QString expectedStart =
        // USE: the informational message 5701 is printed as its text alone.
        "Changed database context to 'Patient_Data'.\n"
        // :setvar before :r: the variable is replaced in the included file too.
        "made dbo.tbWard\n"
        // SET NOCOUNT ON: no "(n rows affected)" from here on, for the rest of the session.
        "tbWard has 0 rows\n"
        // learn.microsoft.com: TRY...CATCH: the CHECK violation (547) goes to CATCH; the
        // transaction is rolled back there, so the first insert is undone too.
        "Rolled back: error 547\n"
        "wards open_transactions\n"
        "----- -----------------\n"
        "0 0\n"
        // learn.microsoft.com: sys.columns: max_length in bytes, is_nullable 0 for a PRIMARY
        // KEY column and a NOT NULL one.
        "name type max_length is_nullable\n"
        "---- ---- ---------- -----------\n"
        "WardCode char 4 0\n"
        "Beds int 4 0\n"
        "Remarks varchar 40 1\n"
        // learn.microsoft.com: DBCC CHECKDB: WITH NO_INFOMSGS suppresses all informational
        // messages, so a sound database prints nothing.
        // learn.microsoft.com: sp_help: first the object's name, owner, type and creation date.
        "Name Owner Type Created_datetime\n"
        "---- ----- ---- ----------------\n";
    QVERIFY2(r.out.startsWith(expectedStart), qPrintable(r.out.left(2000)));
    const QString afterStart = r.out.mid(expectedStart.size());
    QVERIFY2(afterStart.startsWith(QLatin1String("tbMaster dbo user table ")), qPrintable(afterStart.left(200)));
    // Then the columns, with sp_help's headings.
    QVERIFY(lines.contains(QLatin1String(
        "Column_name Type Computed Length Prec Scale Nullable TrimTrailingBlanks FixedLenNullInSource Collation")));
    QVERIFY2(!r.out.contains(QLatin1String("Msg ")), qPrintable(r.out));

    // The database is left as SQL Server would leave it: the table made, no ward in it.
    const SqlcmdRun check = SqlcmdRun::start(
        {"-h", "-1", "-W", "-Q", "SET NOCOUNT ON SELECT COUNT(*) FROM Patient_Data.dbo.tbWard", "-S", m_folder});
    QCOMPARE(check.out, QString("0\n"));
}

// -b: an error with severity above 10 that reaches the client ends the run after its batch with
// exit code 1; the next batch never runs.
void TestSqlcmdAdmin::failingBatchStopsTheRun()
{
    writeFile(QStringLiteral("fail.sql"), "USE Patient_Data\nGO\nSET NOCOUNT ON\n"
                                          "INSERT INTO dbo.tbWard (WardCode, Beds) VALUES ('X', -1)\n"
                                          "PRINT 'same batch goes on'\nGO\nPRINT 'next batch'\nGO\n");
    const SqlcmdRun r = SqlcmdRun::start({"-b", "-i", "fail.sql", "-S", m_folder}, {}, m_dir.path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.out.contains(QLatin1String("Msg 547, Level 16, State 0, Server TALVOR, Line 2\n"
                                          "The INSERT statement conflicted with the CHECK constraint")),
             qPrintable(r.out));
    QVERIFY2(r.out.contains(QLatin1String("same batch goes on\n")), qPrintable(r.out));
    QVERIFY2(!r.out.contains(QLatin1String("next batch")), qPrintable(r.out));
}

QTEST_MAIN(TestSqlcmdAdmin)
#include "tst_sqlcmd_admin.moc"
