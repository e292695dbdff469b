// The engine answers only in Transact-SQL: SQLite's schema tables, its pragma functions, its own
// functions, its statements and the engine's hidden tables are unreachable by any statement, and
// each answers with the error SQL Server gives for a name it does not know.

#include "EngineFixture.h"

#include <QTest>

class TestSealed : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_db = std::make_unique<EngineFixture>();
        m_db->loadHospital();
    }
    void cleanupTestCase() { m_db.reset(); }

    void refused_data();
    void refused();
    void legitimateNamesStillWork_data();
    void legitimateNamesStillWork();
    void reservedNamesCannotBeCreated_data();
    void reservedNamesCannotBeCreated();

private:
    std::unique_ptr<EngineFixture> m_db;
};

// learn.microsoft.com: Database engine events and errors: 208 "Invalid object name '%.*ls'.",
// 207 "Invalid column name '%.*ls'.", 195 "'%.*ls' is not a recognized built-in function name.",
// 2812 "Could not find stored procedure '%.*ls'." (a batch's first statement may be a procedure
// name without EXEC), 102/156 syntax.
void TestSealed::refused_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("error");

    QTest::newRow("schema table") << "SELECT * FROM sqlite_master" << "Msg 208";
    QTest::newRow("schema table, new name") << "SELECT * FROM sqlite_schema" << "Msg 208";
    QTest::newRow("schema table of a database") << "SELECT * FROM Build_File..sqlite_master" << "Msg 208";
    QTest::newRow("schema table, three parts") << "SELECT * FROM Patient_Data.main.sqlite_master" << "Msg 208";
    QTest::newRow("temporary schema") << "SELECT * FROM temp.sqlite_master" << "Msg 208";
    QTest::newRow("tempdb schema") << "SELECT * FROM tempdb..sqlite_master" << "Msg 208";
    QTest::newRow("statistics table") << "SELECT * FROM sqlite_stat1" << "Msg 208";
    QTest::newRow("sequence table") << "SELECT * FROM sqlite_sequence" << "Msg 208";
    QTest::newRow("pragma function") << "SELECT name FROM pragma_table_info('tbMaster')" << "Msg 208";
    QTest::newRow("pragma function, no arguments") << "SELECT * FROM pragma_database_list" << "Msg 208";
    QTest::newRow("pragma function in a join")
        << "SELECT m.HospNum FROM tbMaster m JOIN pragma_index_list('tbMaster') p ON 1 = 1" << "Msg 208";
    QTest::newRow("pragma in a subquery") << "SELECT HospNum FROM tbMaster WHERE HospNum IN (SELECT name FROM pragma_collation_list)"
                                          << "Msg 208";
    QTest::newRow("engine's identity table") << "SELECT * FROM __tsql_identity" << "Msg 208";
    QTest::newRow("engine's object table") << "SELECT * FROM __tsql_objects" << "Msg 208";
    QTest::newRow("engine's table in another database") << "SELECT * FROM Build_File.dbo.__tsql_objects" << "Msg 208";
    QTest::newRow("an index as a table") << "SELECT * FROM [tbMaster$PK_tbMaster]" << "Msg 208";
    QTest::newRow("system view's table") << "SELECT * FROM tsql_sys_1('Patient_Data')" << "Msg 208";

    for (const char *f : {"sqlite_version()", "sqlite_source_id()", "randomblob(4)", "zeroblob(4)", "hex(1)",
                          "load_extension('x')", "printf('%d', 1)", "typeof(1)", "quote(1)", "changes()",
                          "total_changes()", "last_insert_rowid()", "glob('a', 'a')", "instr('a', 'a')",
                          "substr('abc', 1, 1)", "ifnull(1, 2)", "likelihood(1, 0.5)", "json_extract('{}', '$')",
                          "sqlite_compileoption_used('x')", "tsql_cast(1, 1)", "tsql_fn('getdate')",
                          "tsql_raise(1)", "fts3_tokenizer('x')", "readfile('/etc/passwd')", "unhex('41')"}) {
        QTest::newRow(f) << QStringLiteral("SELECT %1").arg(QLatin1String(f)) << "Msg 195";
    }
    QTest::newRow("function in WHERE") << "SELECT HospNum FROM tbMaster WHERE typeof(HospNum) = 'text'" << "Msg 195";
    QTest::newRow("function in ORDER BY") << "SELECT HospNum FROM tbMaster ORDER BY random()" << "Msg 195";

    QTest::newRow("rowid") << "SELECT rowid FROM tbMaster" << "Msg 207";
    QTest::newRow("_rowid_") << "SELECT _rowid_ FROM tbMaster" << "Msg 207";
    QTest::newRow("oid in WHERE") << "SELECT HospNum FROM tbMaster WHERE oid = 1" << "Msg 207";

    QTest::newRow("PRAGMA") << "PRAGMA integrity_check" << "Msg 2812";
    QTest::newRow("VACUUM") << "VACUUM" << "Msg 2812";
    QTest::newRow("ANALYZE") << "ANALYZE" << "Msg 2812";
    QTest::newRow("REINDEX") << "REINDEX" << "Msg 2812";
    QTest::newRow("ATTACH") << "ATTACH DATABASE '/tmp/x.sqlite' AS x" << "Msg 156";
    QTest::newRow("DETACH") << "DETACH DATABASE Build_File" << "Msg 156";
    QTest::newRow("INDEXED BY") << "SELECT * FROM tbMaster INDEXED BY x" << "Msg 156";
    QTest::newRow("numbered parameter") << "SELECT ?1" << "Msg 102";
    QTest::newRow("named parameter") << "SELECT :a" << "Msg 102";
    QTest::newRow("blob literal") << "SELECT x'41'" << "Msg 207";
}

void TestSealed::refused()
{
    QFETCH(QString, sql);
    QFETCH(QString, error);
    const QString got = m_db->run(sql);
    QVERIFY2(got.startsWith(error + QLatin1Char(':')), qPrintable(got));
}

// What a fault in the sealing could take away: names that merely look like the refused ones.
void TestSealed::legitimateNamesStillWork_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rows");
    QTest::newRow("CTE named like the schema table")
        << "WITH sqlite_master AS (SELECT 1 AS a) SELECT a FROM sqlite_master" << "1";
    QTest::newRow("alias named rowid") << "SELECT 1 AS rowid" << "1";
    QTest::newRow("T-SQL function SQLite also has") << "SELECT UPPER('a'), ABS(-2), ROUND(2.5, 0)" << "A|2|3.0";
    QTest::newRow("column called typeof")
        << "SELECT typeof FROM (SELECT 'x' AS typeof) AS t" << "x";
}

void TestSealed::legitimateNamesStillWork()
{
    QFETCH(QString, sql);
    QFETCH(QString, rows);
    QCOMPARE(m_db->run(sql), rows);
}

// The names SQLite and the engine keep for themselves are taken in every database, as a system
// object's name is in SQL Server: 2714 "There is already an object named '%.*ls' in the database."
void TestSealed::reservedNamesCannotBeCreated_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("table sqlite_") << "CREATE TABLE sqlite_x (a int)";
    QTest::newRow("table SQLITE_ any case") << "CREATE TABLE SQLite_X (a int)";
    QTest::newRow("table __tsql") << "CREATE TABLE __tsql_x (a int)";
    QTest::newRow("view") << "CREATE VIEW sqlite_v AS SELECT 1 AS a";
    QTest::newRow("select into") << "SELECT 1 AS a INTO __tsql_identity2";
}

void TestSealed::reservedNamesCannotBeCreated()
{
    QFETCH(QString, sql);
    QVERIFY2(m_db->run(sql).startsWith(QLatin1String("Msg 2714:")), qPrintable(m_db->run(sql)));
}

QTEST_GUILESS_MAIN(TestSealed)
#include "tst_sealed.moc"
