// Schema statements an administrator runs, against Microsoft's reference pages: views, DROP ...
// IF EXISTS, ALTER TABLE adding and dropping columns and constraints, defaults, computed
// columns and sp_rename. Each case is a batch on its own tables, so the cases do not meet.

#include "EngineFixture.h"

#include <QTest>

class TestConformanceSchema : public QObject {
    Q_OBJECT

private slots:
    void init() { m_db = std::make_unique<EngineFixture>(); }
    void cleanup() { m_db.reset(); }

    void views_data();
    void views() { check(); }
    void dropping_data();
    void dropping() { check(); }
    void columns_data();
    void columns() { check(); }
    void constraints_data();
    void constraints() { check(); }
    void renaming_data();
    void renaming() { check(); }

private:
    static void addCases();
    void check();
    std::unique_ptr<EngineFixture> m_db;
};

void TestConformanceSchema::addCases()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
}

// The setup batch must run clean; the case's batch gives its values (row counts left out) and
// messages, and an expected "Msg N" without text asks for the number alone.
void TestConformanceSchema::check()
{
    QFETCH(QString, setup);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    if (!setup.isEmpty()) {
        const QString out = m_db->batch(setup);
        QVERIFY2(!out.contains(QLatin1String("Msg ")), qPrintable(out));
    }
    QString actual = m_db->batchValues(sql);
    if (expected.startsWith(QLatin1String("Msg ")) && !expected.contains(QLatin1Char(':')))
        actual = actual.section(QLatin1Char(':'), 0, 0);
    QCOMPARE(actual, expected);
}

static const char *people = "CREATE TABLE p (id int NOT NULL PRIMARY KEY, name varchar(20), ward varchar(5)); "
                            "INSERT INTO p VALUES (1, 'Ann', 'A'), (2, 'Bob', 'B'), (3, 'Cid', 'A')";

void TestConformanceSchema::views_data()
{
    addCases();
    // learn.microsoft.com: CREATE VIEW (Transact-SQL)
    QTest::newRow("queried with a where") << people << "EXEC ('CREATE VIEW wa AS SELECT id, name FROM p WHERE ward = ''A'''); "
                                                       "SELECT name FROM wa WHERE id > 1"
                                          << "Cid";
    QTest::newRow("joined like a table") << people << "EXEC ('CREATE VIEW v AS SELECT id, ward FROM p'); "
                                                      "SELECT COUNT(*) FROM v JOIN p ON p.id = v.id WHERE v.ward = 'A'"
                                         << "2";
    QTest::newRow("column list") << people << "EXEC ('CREATE VIEW v (n, w) AS SELECT name, ward FROM p'); SELECT n FROM v WHERE w = 'B'"
                                 << "Bob";
    QTest::newRow("view over a view") << people << "EXEC ('CREATE VIEW v1 AS SELECT * FROM p WHERE id < 3'); "
                                                   "EXEC ('CREATE VIEW v2 AS SELECT name FROM v1 WHERE ward = ''A'''); SELECT * FROM v2"
                                      << "Ann";
    QTest::newRow("with an aggregate and a join") << people << "EXEC ('CREATE VIEW v AS SELECT ward, COUNT(*) AS n FROM p GROUP BY ward'); "
                                                               "SELECT ward FROM v WHERE n = 2"
                                                  << "A";
    QTest::newRow("name taken") << people << "CREATE VIEW p AS SELECT 1 AS x"
                                << "Msg 2714: There is already an object named 'p' in the database.";
    QTest::newRow("columns need names") << people << "CREATE VIEW v AS SELECT id + 1 FROM p"
                                        << "Msg 4511: Create View or Function failed because no column name was specified for column 1.";
    QTest::newRow("columns must differ") << people << "CREATE VIEW v AS SELECT id, id FROM p"
                                         << "Msg 4506: Column names in each view or function must be unique. Column name 'id' in "
                                            "view or function 'v' is specified more than once.";
    QTest::newRow("no order by without top") << people << "CREATE VIEW v AS SELECT id FROM p ORDER BY id" << "Msg 1033";
    QTest::newRow("order by with top") << people << "EXEC ('CREATE VIEW v AS SELECT TOP 1 id FROM p ORDER BY id DESC'); SELECT id FROM v" << "3";
    QTest::newRow("unknown table") << "" << "CREATE VIEW v AS SELECT * FROM nosuch" << "Msg 208: Invalid object name 'nosuch'.";
    // learn.microsoft.com: INFORMATION_SCHEMA.VIEWS, INFORMATION_SCHEMA.TABLES (Transact-SQL)
    QTest::newRow("information_schema") << people << "EXEC ('CREATE VIEW v AS SELECT id FROM p'); "
                                                     "SELECT TABLE_NAME FROM INFORMATION_SCHEMA.VIEWS; "
                                                     "SELECT TABLE_NAME, TABLE_TYPE FROM INFORMATION_SCHEMA.TABLES ORDER BY TABLE_NAME"
                                        << "v\np|BASE TABLE\nv|VIEW";
    QTest::newRow("object_id of a view") << people << "EXEC ('CREATE VIEW v AS SELECT id FROM p'); "
                                                      "SELECT CASE WHEN OBJECT_ID('v', 'V') IS NULL THEN 0 ELSE 1 END, OBJECT_ID('v', 'U')"
                                         << "1|NULL";
    // learn.microsoft.com: ALTER VIEW (Transact-SQL); DROP VIEW (Transact-SQL)
    QTest::newRow("alter view") << people << "EXEC ('CREATE VIEW v AS SELECT id FROM p'); EXEC ('ALTER VIEW v AS SELECT name FROM p WHERE id = 2'); "
                                             "SELECT * FROM v"
                                << "Bob";
    QTest::newRow("alter a missing view") << people << "ALTER VIEW nosuch AS SELECT 1 AS x" << "Msg 208: Invalid object name 'nosuch'.";
    QTest::newRow("drop view") << people << "EXEC ('CREATE VIEW v AS SELECT id FROM p'); DROP VIEW v; SELECT * FROM v"
                               << "Msg 208: Invalid object name 'v'.";
    QTest::newRow("drop view if exists") << "" << "DROP VIEW IF EXISTS nosuch; SELECT 1" << "1";
    QTest::newRow("drop a missing view") << "" << "DROP VIEW nosuch"
                                         << "Msg 3701: Cannot drop the view 'nosuch', because it does not exist or you do not have permission.";
    QTest::newRow("drop view of a table") << people << "DROP VIEW p" << "Msg 3706";
}

void TestConformanceSchema::dropping_data()
{
    addCases();
    // learn.microsoft.com: DROP TABLE (Transact-SQL), "DROP TABLE IF EXISTS"
    QTest::newRow("drop table if exists, missing") << "" << "DROP TABLE IF EXISTS nosuch; SELECT 1" << "1";
    QTest::newRow("drop table if exists, present") << people << "DROP TABLE IF EXISTS p; SELECT OBJECT_ID('p')" << "NULL";
    QTest::newRow("drop a missing table") << "" << "DROP TABLE nosuch"
                                          << "Msg 3701: Cannot drop the table 'nosuch', because it does not exist or you do not have permission.";
    QTest::newRow("drop table of a view") << people + QStringLiteral("; EXEC ('CREATE VIEW v AS SELECT id FROM p')") << "DROP TABLE v" << "Msg 3705";
    QTest::newRow("drop a referenced table") << "CREATE TABLE pa (id int PRIMARY KEY); CREATE TABLE ch (pid int "
                                                "CONSTRAINT fk FOREIGN KEY REFERENCES pa (id))"
                                             << "DROP TABLE pa"
                                             << "Msg 3726: Could not drop object 'pa' because it is referenced by a FOREIGN KEY constraint.";
}

void TestConformanceSchema::columns_data()
{
    addCases();
    // learn.microsoft.com: ALTER TABLE (Transact-SQL), "Adding and dropping columns"
    // The batch that adds a column cannot name it: it is compiled before the column exists.
    QTest::newRow("add a column, same batch") << people << "ALTER TABLE p ADD note varchar(10) NULL; SELECT note FROM p"
                                              << "Msg 207: Invalid column name 'note'.";
    QTest::newRow("add a column") << people + QStringLiteral("; ALTER TABLE p ADD note varchar(10) NULL")
                                  << "SELECT COUNT(*) FROM p WHERE note IS NULL" << "3";
    QTest::newRow("add with a default fills old rows") << people + QStringLiteral("; ALTER TABLE p ADD n int NOT NULL DEFAULT 7")
                                                       << "SELECT SUM(n) FROM p" << "21";
    QTest::newRow("add nullable with default leaves nulls") << people + QStringLiteral("; ALTER TABLE p ADD n int NULL DEFAULT 7")
                                                            << "SELECT COUNT(n) FROM p" << "0";
    QTest::newRow("add with values fills old rows") << people + QStringLiteral("; ALTER TABLE p ADD n int NULL DEFAULT 7 WITH VALUES")
                                                    << "SELECT SUM(n) FROM p" << "21";
    QTest::newRow("add not null without default") << people << "ALTER TABLE p ADD n int NOT NULL" << "Msg 4901";
    QTest::newRow("add a name taken") << people << "ALTER TABLE p ADD name int"
                                      << "Msg 2705: Column names in each table must be unique. Column name 'name' in table 'p' is specified more than once.";
    QTest::newRow("drop column") << people << "ALTER TABLE p DROP COLUMN ward; SELECT ward FROM p" << "Msg 207: Invalid column name 'ward'.";
    QTest::newRow("drop two columns") << people << "ALTER TABLE p DROP COLUMN ward, name; SELECT * FROM p WHERE id = 2" << "2";
    QTest::newRow("drop column if exists") << people << "ALTER TABLE p DROP COLUMN IF EXISTS nosuch; SELECT COUNT(*) FROM p" << "3";
    QTest::newRow("drop a missing column") << people << "ALTER TABLE p DROP COLUMN nosuch"
                                           << "Msg 4924: ALTER TABLE DROP COLUMN failed because column 'nosuch' does not exist in table 'p'.";
    QTest::newRow("drop an indexed column") << people + QStringLiteral("; CREATE INDEX ixWard ON p (ward)") << "ALTER TABLE p DROP COLUMN ward"
                                            << "Msg 5074: The index 'ixWard' is dependent on column 'ward'.\n"
                                               "Msg 4922: ALTER TABLE DROP COLUMN ward failed because one or more objects access this column.";
    QTest::newRow("drop a column with a default") << "CREATE TABLE d (id int, n int CONSTRAINT dfN DEFAULT 1)" << "ALTER TABLE d DROP COLUMN n"
                                                  << "Msg 5074: The object 'dfN' is dependent on column 'n'.\n"
                                                     "Msg 4922: ALTER TABLE DROP COLUMN n failed because one or more objects access this column.";
    QTest::newRow("alter column type") << people << "ALTER TABLE p ALTER COLUMN ward varchar(10) NULL; SELECT COL_LENGTH('p', 'ward')" << "10";
    // learn.microsoft.com: CREATE TABLE (Transact-SQL), "DEFAULT" and "computed_column_expression"
    QTest::newRow("default getdate") << "CREATE TABLE d (id int, at datetime DEFAULT getdate())"
                                     << "INSERT INTO d (id) VALUES (1); SELECT COUNT(*) FROM d WHERE ABS(DATEDIFF(minute, at, GETDATE())) < 5"
                                     << "1";
    QTest::newRow("default expression") << "CREATE TABLE d (id int, code varchar(10) DEFAULT ('X' + 'Y'))"
                                        << "INSERT INTO d (id) VALUES (1); INSERT INTO d DEFAULT VALUES; SELECT id, code FROM d ORDER BY id"
                                        << "NULL|XY\n1|XY";
    QTest::newRow("computed column") << "CREATE TABLE c (a int, b int, s AS a + b)" << "INSERT INTO c (a, b) VALUES (1, 2); SELECT s FROM c"
                                     << "3";
    // A computed column has its expression's type (CAST and CONVERT: a varchar without a length
    // is varchar(30)), so a day's text compares with it as text, and an index on it is read.
    const QString days = QStringLiteral("CREATE TABLE c (id int, d datetime, t AS CONVERT(varchar, d, 101), m AS CAST(id AS money) / 3); "
                                        "INSERT INTO c (id, d) VALUES (1, '2026-12-06 10:00'), (2, '2026-12-05')");
    QTest::newRow("computed column typed by its expression")
        << days << "SELECT name, TYPE_NAME(system_type_id), max_length FROM sys.columns WHERE object_id = OBJECT_ID('c') AND is_computed = 1 ORDER BY name"
        << "m|money|8\nt|varchar|30";
    QTest::newRow("computed text column compared as text") << days << "SELECT id FROM c WHERE t = '12/06/2026'" << "1";
    QTest::newRow("index on a computed column") << days + QStringLiteral("; CREATE INDEX ixT ON c (t)")
                                                << "SELECT id, t FROM c WHERE t >= '12/06/2026' ORDER BY t" << "1|12/06/2026";
    // learn.microsoft.com: ALTER TABLE (Transact-SQL), ALTER COLUMN: the modified column can't be
    // used in a computed column; dropping one is refused the same way, with the messages of an
    // index in the way (5074 names the computed column).
    QTest::newRow("drop a column a computed column reads") << days << "ALTER TABLE c DROP COLUMN d"
                                                          << "Msg 5074: The column 't' is dependent on column 'd'.\n"
                                                             "Msg 4922: ALTER TABLE DROP COLUMN d failed because one or more objects access this column.";
    QTest::newRow("retype a column a computed column reads") << days << "ALTER TABLE c ALTER COLUMN id bigint"
                                                            << "Msg 5074: The column 'm' is dependent on column 'id'.\n"
                                                               "Msg 4922: ALTER TABLE ALTER COLUMN id failed because one or more objects access this column.";
    QTest::newRow("drop the computed column first") << days << "ALTER TABLE c DROP COLUMN t; ALTER TABLE c DROP COLUMN d; SELECT COUNT(*) FROM c"
                                                    << "2";
    QTest::newRow("computed column is not written") << "CREATE TABLE c (a int, b int, s AS a + b)" << "INSERT INTO c (a, b, s) VALUES (1, 2, 3)"
                                                    << "Msg 271";
}

void TestConformanceSchema::constraints_data()
{
    addCases();
    const QString family = QStringLiteral("CREATE TABLE pa (id int NOT NULL PRIMARY KEY); INSERT INTO pa VALUES (1), (2); "
                                          "CREATE TABLE ch (id int, pid int); INSERT INTO ch VALUES (10, 1)");
    // learn.microsoft.com: ALTER TABLE table_constraint (Transact-SQL); "Primary and foreign key constraints"
    QTest::newRow("check against old rows") << people << "ALTER TABLE p ADD CONSTRAINT ckId CHECK (id > 1)"
                                            << "Msg 547: The ALTER TABLE statement conflicted with the CHECK constraint \"ckId\". The "
                                               "conflict occurred in database \"Patient_Data\", table \"dbo.p\", column 'id'.";
    QTest::newRow("check with nocheck") << people << "ALTER TABLE p WITH NOCHECK ADD CONSTRAINT ckId CHECK (id > 1); "
                                                     "INSERT INTO p VALUES (0, 'Zed', 'Z')"
                                        << "Msg 547: The INSERT statement conflicted with the CHECK constraint \"ckId\". The conflict "
                                           "occurred in database \"Patient_Data\", table \"dbo.p\", column 'id'.";
    QTest::newRow("check passes unknown") << people << "ALTER TABLE p ADD CONSTRAINT ckWard CHECK (ward IN ('A', 'B')); "
                                                       "INSERT INTO p VALUES (4, 'Dee', NULL); SELECT COUNT(*) FROM p"
                                          << "4";
    QTest::newRow("check on update") << people << "ALTER TABLE p ADD CONSTRAINT ckWard CHECK (ward <> 'Z'); UPDATE p SET ward = 'Z'"
                                     << "Msg 547";
    QTest::newRow("unique") << people << "ALTER TABLE p ADD CONSTRAINT uqName UNIQUE (name); INSERT INTO p VALUES (4, 'Ann', 'C')"
                            << "Msg 2627: Violation of UNIQUE KEY constraint 'uqName'. Cannot insert duplicate key in object 'dbo.p'. "
                               "The duplicate key value is (Ann).";
    QTest::newRow("unique over duplicates") << people << "ALTER TABLE p ADD CONSTRAINT uqWard UNIQUE (ward)" << "Msg 1505";
    QTest::newRow("primary key") << "CREATE TABLE k (id int NOT NULL, v int); INSERT INTO k VALUES (1, 1)"
                                 << "ALTER TABLE k ADD CONSTRAINT pk PRIMARY KEY (id); INSERT INTO k VALUES (1, 2)"
                                 << "Msg 2627: Violation of PRIMARY KEY constraint 'pk'. Cannot insert duplicate key in object 'dbo.k'. "
                                    "The duplicate key value is (1).";
    QTest::newRow("primary key on a nullable column") << "CREATE TABLE k (id int NULL)" << "ALTER TABLE k ADD CONSTRAINT pk PRIMARY KEY (id)"
                                                      << "Msg 8111";
    QTest::newRow("second primary key") << people << "ALTER TABLE p ADD CONSTRAINT pk2 PRIMARY KEY (id)" << "Msg 1779";
    QTest::newRow("default for") << people << "ALTER TABLE p ADD CONSTRAINT dfWard DEFAULT 'W' FOR ward; "
                                              "INSERT INTO p (id, name) VALUES (4, 'Dee'); SELECT ward FROM p WHERE id = 4"
                                 << "W";
    QTest::newRow("foreign key, child side") << family << "ALTER TABLE ch ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES pa (id); "
                                                          "INSERT INTO ch VALUES (11, 3)"
                                             << "Msg 547: The INSERT statement conflicted with the FOREIGN KEY constraint \"fk\". The "
                                                "conflict occurred in database \"Patient_Data\", table \"dbo.pa\", column 'id'.";
    QTest::newRow("foreign key, parent side") << family << "ALTER TABLE ch ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES pa (id); "
                                                           "DELETE FROM pa WHERE id = 1"
                                              << "Msg 547: The DELETE statement conflicted with the REFERENCE constraint \"fk\". The "
                                                 "conflict occurred in database \"Patient_Data\", table \"dbo.ch\", column 'pid'.";
    QTest::newRow("foreign key null passes") << family << "ALTER TABLE ch ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES pa (id); "
                                                          "INSERT INTO ch VALUES (12, NULL); SELECT COUNT(*) FROM ch"
                                             << "2";
    QTest::newRow("foreign key over orphans") << family + QStringLiteral("; INSERT INTO ch VALUES (11, 9)")
                                              << "ALTER TABLE ch ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES pa (id)"
                                              << "Msg 547: The ALTER TABLE statement conflicted with the FOREIGN KEY constraint \"fk\". "
                                                 "The conflict occurred in database \"Patient_Data\", table \"dbo.pa\", column 'id'.";
    QTest::newRow("foreign key cascade") << family << "ALTER TABLE ch ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES pa (id) ON DELETE CASCADE; "
                                                      "DELETE FROM pa WHERE id = 1; SELECT COUNT(*) FROM ch"
                                         << "0";
    QTest::newRow("drop constraint") << people << "ALTER TABLE p ADD CONSTRAINT ckId CHECK (id < 10); ALTER TABLE p DROP CONSTRAINT ckId; "
                                                  "INSERT INTO p VALUES (11, 'Kim', 'K'); SELECT COUNT(*) FROM p"
                                     << "4";
    QTest::newRow("drop foreign key") << family << "ALTER TABLE ch ADD CONSTRAINT fk FOREIGN KEY (pid) REFERENCES pa (id); "
                                                   "ALTER TABLE ch DROP CONSTRAINT fk; INSERT INTO ch VALUES (11, 9); SELECT COUNT(*) FROM ch"
                                      << "2";
    QTest::newRow("drop a missing constraint") << people << "ALTER TABLE p DROP CONSTRAINT nosuch" << "Msg 3728: 'nosuch' is not a constraint.\n"
                                                                                                      "Msg 3727: Could not drop constraint. See previous errors.";
    QTest::newRow("drop constraint if exists") << people << "ALTER TABLE p DROP CONSTRAINT IF EXISTS nosuch; SELECT 1" << "1";
    QTest::newRow("constraint name taken") << people << "ALTER TABLE p ADD CONSTRAINT p CHECK (id > 0)" << "Msg 2714";
}

void TestConformanceSchema::renaming_data()
{
    addCases();
    // learn.microsoft.com: sp_rename (Transact-SQL), examples A and B
    const QString caution = QStringLiteral("Caution: Changing any part of an object name could break scripts and stored procedures.");
    QTest::newRow("table") << people << "EXEC sp_rename 'p', 'people'; SELECT COUNT(*) FROM people" << caution + "\n3";
    QTest::newRow("old name gone") << people << "EXEC sp_rename 'p', 'people'; SELECT COUNT(*) FROM p"
                                   << caution + "\nMsg 208: Invalid object name 'p'.";
    QTest::newRow("column") << people << "EXEC sp_rename 'p.ward', 'unit', 'COLUMN'; EXEC ('SELECT unit FROM p WHERE id = 2')" << caution + "\nB";
    QTest::newRow("rename keeps the index") << people + QStringLiteral("; CREATE INDEX ixWard ON p (ward)")
                                            << "EXEC sp_rename 'p', 'people'; SELECT COUNT(*) FROM sys.indexes WHERE name = 'ixWard' "
                                               "AND object_id = OBJECT_ID('people')"
                                            << caution + "\n1";
    QTest::newRow("missing object") << "" << "EXEC sp_rename 'nosuch', 'other'" << "Msg 15248";
    QTest::newRow("name taken") << people + QStringLiteral("; CREATE TABLE q (x int)") << "EXEC sp_rename 'p', 'q'" << "Msg 15335";
}

QTEST_GUILESS_MAIN(TestConformanceSchema)
#include "tst_conformance_schema.moc"
