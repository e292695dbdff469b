// Changes to tables: DML checks, IDENTITY, ALTER TABLE, SELECT INTO, and that a statement that
// fails leaves everything as it was.

#include "EngineFixture.h"

#include <QTest>

class TestSchema : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_db = std::make_unique<EngineFixture>();
        m_db->loadHospital();
    }
    void cleanup() { m_db.reset(); }

    void changes_data();
    void changes();
    void failedStatementChangesNothing_data();
    void failedStatementChangesNothing();
    void upgradeRunsTwice();

private:
    std::unique_ptr<EngineFixture> m_db;
};

void TestSchema::changes_data()
{
    // Steps that must succeed, then a last step with its expected outcome, then a check query.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QString>("rows");

    const QString occupation = "create table Build_File.dbo.tbCoOccupation (ID bigint IDENTITY (1, 1) NOT NULL, "
                               "[Code] [varchar](10) NULL,[Description] [varchar](500)  NULL,[Status] [varchar](1)  NULL)";
    const QString numbered = "CREATE TABLE t (ID int IDENTITY(10, 5), Name varchar(10))";

    // Values checked as they go in.
    QTest::newRow("too long text") << QStringList{} << "INSERT INTO tbMaster (HospNum, LastName) VALUES ('H100', 'ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ')"
                                   << "Msg 2628: String or binary data would be truncated in table 'Patient_Data.dbo.tbMaster', column "
                                      "'LastName'. Truncated value: 'ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWX'."
                                   << "SELECT count(*) FROM tbMaster" << "5";
    QTest::newRow("trailing blanks fit") << QStringList{} << "INSERT INTO tbMaster (HospNum, Sex) VALUES ('H100', 'F     ')"
                                         << "(1 rows)" << "SELECT '[' + Sex + ']' FROM tbMaster WHERE HospNum = 'H100'" << "[F]";
    QTest::newRow("update too long") << QStringList{} << "UPDATE tbMaster SET ZipCode = ZipCode + '0' WHERE HospNum = 'H001'"
                                     << "Msg 2628: String or binary data would be truncated in table 'Patient_Data.dbo.tbMaster', column "
                                        "'ZipCode'. Truncated value: '1000'."
                                     << "SELECT ZipCode FROM tbMaster WHERE HospNum = 'H001'" << "1000";
    QTest::newRow("bad date") << QStringList{} << "INSERT INTO tbPatient VALUES ('H001', 'A009', '13/45/2026', NULL)"
                              << "Msg 242: The conversion of a varchar data type to a datetime data type resulted in an out-of-range value."
                              << "SELECT count(*) FROM tbPatient" << "3";
    QTest::newRow("no date") << QStringList{} << "UPDATE tbPatient SET AdmDate = 'soon'"
                             << "Msg 241: Conversion failed when converting date and/or time from character string."
                             << "SELECT count(*) FROM tbPatient WHERE AdmDate IS NULL" << "0";
    QTest::newRow("smallint range") << QStringList{"CREATE TABLE t (a smallint, b int, c tinyint)"} << "INSERT INTO t (a) VALUES (40000)"
                                    << "Msg 220: Arithmetic overflow error for data type smallint, value = 40000."
                                    << "SELECT count(*) FROM t" << "0";
    QTest::newRow("int range") << QStringList{"CREATE TABLE t (a smallint, b int, c tinyint)"} << "INSERT INTO t (b) VALUES (3000000000)"
                               << "Msg 8115: Arithmetic overflow error converting expression to data type int."
                               << "SELECT count(*) FROM t" << "0";
    QTest::newRow("text into int") << QStringList{"CREATE TABLE t (a smallint, b int, c tinyint)"} << "INSERT INTO t (b) VALUES ('12a')"
                                   << "Msg 245: Conversion failed when converting the varchar value '12a' to data type int."
                                   << "SELECT count(*) FROM t" << "0";
    QTest::newRow("number text into int") << QStringList{"CREATE TABLE t (a smallint, b int, c tinyint)"}
                                          << "INSERT INTO t VALUES ('7', ' 8 ', 9)" << "(1 rows)" << "SELECT a + b + c FROM t" << "24";
    QTest::newRow("primary key") << QStringList{} << "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (6, 'Common Law');"
                                 << "Msg 2627: Violation of PRIMARY KEY constraint 'PK_tbcocivilstatus'. Cannot insert duplicate key "
                                    "in object 'dbo.tbcocivilstatus'. The duplicate key value is (6)."
                                 << "SELECT CivilStatus FROM build_file.dbo.tbcocivilstatus WHERE civilstatusID = 6" << "Widowed";
    QTest::newRow("not null") << QStringList{} << "INSERT INTO tbPatient (HospNum) VALUES ('H001')"
                              << "Msg 515: Cannot insert the value NULL into column 'IDNum', table 'Patient_Data.dbo.tbPatient'; "
                                 "column does not allow nulls. INSERT fails."
                              << "SELECT count(*) FROM tbPatient" << "3";
    QTest::newRow("values longer than columns") << QStringList{} << "INSERT INTO tbOutPatient (HospNum, IDNum) VALUES ('H001', 'O9', NULL)"
                                                << "Msg 110: There are fewer columns in the INSERT statement than values specified in the "
                                                   "VALUES clause. The number of values in the VALUES clause must match the number of "
                                                   "columns specified in the INSERT statement."
                                                << "SELECT count(*) FROM tbOutPatient" << "2";
    QTest::newRow("values shorter than columns") << QStringList{} << "INSERT INTO tbOutPatient (HospNum, IDNum, AdmDate) VALUES ('H001', 'O9')"
                                                 << "Msg 109: There are more columns in the INSERT statement than values specified in the "
                                                    "VALUES clause. The number of values in the VALUES clause must match the number of "
                                                    "columns specified in the INSERT statement."
                                                 << "SELECT count(*) FROM tbOutPatient" << "2";
    QTest::newRow("no column list, wrong count") << QStringList{} << "INSERT INTO tbOutPatient VALUES ('H001', 'O9')"
                                                 << "Msg 213: Column name or number of supplied values does not match table definition."
                                                 << "SELECT count(*) FROM tbOutPatient" << "2";

    // IDENTITY.
    QTest::newRow("identity numbering") << QStringList{numbered, "INSERT INTO t (Name) VALUES ('a')", "INSERT INTO t (Name) SELECT LastName FROM tbMaster WHERE Sex = 'M'"}
                                        << "INSERT INTO t (Name) VALUES ('z')" << "(1 rows)" << "SELECT ID FROM t ORDER BY ID" << "10\n15\n20\n25";
    QTest::newRow("identity after delete keeps counting") << QStringList{numbered, "INSERT INTO t (Name) VALUES ('a'), ('b')", "DELETE FROM t"}
                                                          << "INSERT INTO t (Name) VALUES ('c')" << "(1 rows)" << "SELECT ID, Name FROM t" << "20|c";
    QTest::newRow("truncate resets identity") << QStringList{numbered, "INSERT INTO t (Name) VALUES ('a'), ('b')", "TRUNCATE TABLE t"}
                                              << "INSERT INTO t (Name) VALUES ('c')" << "(1 rows)" << "SELECT ID, Name FROM t" << "10|c";
    QTest::newRow("explicit identity refused") << QStringList{numbered} << "INSERT INTO t (ID, Name) VALUES (1, 'a')"
                                               << "Msg 544: Cannot insert explicit value for identity column in table 't' when "
                                                  "IDENTITY_INSERT is set to OFF."
                                               << "SELECT count(*) FROM t" << "0";
    QTest::newRow("identity value without list") << QStringList{numbered} << "INSERT INTO t VALUES (1, 'a')"
                                                 << "Msg 8101: An explicit value for the identity column in table 't' can only be "
                                                    "specified when a column list is used and IDENTITY_INSERT is ON."
                                                 << "SELECT count(*) FROM t" << "0";
    QTest::newRow("identity insert moves numbering on")
        << QStringList{numbered, "SET IDENTITY_INSERT t ON", "INSERT INTO t (ID, Name) VALUES (100, 'x')", "SET IDENTITY_INSERT t OFF"}
        << "INSERT INTO t (Name) VALUES ('y')" << "(1 rows)" << "SELECT ID, Name FROM t ORDER BY ID" << "100|x\n105|y";
    QTest::newRow("second identity") << QStringList{numbered} << "ALTER TABLE t ADD Other bigint IDENTITY(1,1)"
                                     << "Msg 2744: Multiple identity columns specified for table 't'. Only one identity column per table is allowed."
                                     << "SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 't'" << "2";
    QTest::newRow("add identity numbers existing rows")
        << QStringList{"CREATE TABLE t (Name varchar(10))", "INSERT INTO t VALUES ('a'), ('b'), ('c')"}
        << "alter table t add ID bigint IDENTITY (1, 1) NOT NULL ;" << "(-1 rows)" << "SELECT ID, Name FROM t ORDER BY ID" << "1|a\n2|b\n3|c";
    QTest::newRow("added identity goes on")
        << QStringList{"CREATE TABLE t (Name varchar(10))", "INSERT INTO t VALUES ('a'), ('b'), ('c')", "alter table t add ID bigint IDENTITY (1, 1) NOT NULL ;"}
        << "INSERT INTO t (Name) VALUES ('d') " << "(1 rows)" << "SELECT ID FROM t WHERE Name = 'd'" << "4";
    QTest::newRow("select into carries identity")
        << QStringList{numbered, "INSERT INTO t (Name) VALUES ('a'), ('b')", "Select * Into patient_data.dbo.t2 From  patient_data.dbo.t  WHERE 1=0;"}
        << "INSERT INTO t2 (Name) VALUES ('c')" << "(1 rows)" << "SELECT ID, Name FROM t2" << "10|c";
    QTest::newRow("select into with rows continues")
        << QStringList{numbered, "INSERT INTO t (Name) VALUES ('a'), ('b')", "SELECT * INTO t2 FROM t"}
        << "INSERT INTO t2 (Name) VALUES ('c')" << "(1 rows)" << "SELECT ID, Name FROM t2 ORDER BY ID" << "10|a\n15|b\n20|c";
    QTest::newRow("select into exists") << QStringList{} << "Select * Into patient_data.dbo.tbPatient From  patient_data.dbo.tbMaster  WHERE 1=0;"
                                        << "Msg 2714: There is already an object named 'tbPatient' in the database."
                                        << "SELECT count(*) FROM tbPatient" << "3";

    // ALTER TABLE.
    QTest::newRow("widen varchar keeps data") << QStringList{}
                                              << "alter table patient_data.dbo.tbmaster  alter column Occupation varchar(500) null "
                                              << "(-1 rows)"
                                              << "SELECT Occupation, CHARACTER_MAXIMUM_LENGTH FROM tbMaster, INFORMATION_SCHEMA.COLUMNS "
                                                 "WHERE HospNum = 'H001' AND TABLE_NAME = 'tbMaster' AND COLUMN_NAME = 'Occupation'"
                                              << "Clerk|500";
    QTest::newRow("widened column takes longer text")
        << QStringList{"alter table patient_data.dbo.tbmaster  alter column Occupation varchar(500) null "}
        << "UPDATE tbMaster SET Occupation = '0123456789012345678901234567890123456789012345678901234567890123456789' WHERE HospNum = 'H001'"
        << "(1 rows)" << "SELECT LEN(Occupation) FROM tbMaster WHERE HospNum = 'H001'" << "70";
    QTest::newRow("smallint to varchar converts")
        << QStringList{"CREATE TABLE tbmaster2 (HospNum varchar(10), Education smallint NULL)", "INSERT INTO tbmaster2 VALUES ('H001', 3), ('H002', NULL)"}
        << "alter table patient_data.dbo.tbmaster2  alter column Education varchar(250) null " << "(-1 rows)"
        << "SELECT HospNum, Education + '!' FROM tbmaster2 ORDER BY HospNum" << "H001|3!\nH002|NULL";
    QTest::newRow("smallint holding only nulls becomes varchar")
        << QStringList{"CREATE TABLE tbmaster2 (HospNum varchar(10), Education smallint NULL)", "INSERT INTO tbmaster2 VALUES ('H001', NULL)",
                       "alter table patient_data.dbo.tbmaster2  alter column Education varchar(250) null "}
        << "UPDATE tbmaster2 SET Education = 'College graduate' WHERE HospNum = 'H001'" << "(1 rows)"
        << "SELECT Education + '!', DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM tbmaster2, INFORMATION_SCHEMA.COLUMNS "
           "WHERE TABLE_NAME = 'tbmaster2' AND COLUMN_NAME = 'Education'"
        << "College graduate!|varchar|250";
    QTest::newRow("varchar to datetime converts")
        << QStringList{"CREATE TABLE t (d varchar(20))", "INSERT INTO t VALUES ('12/05/2026'), ('2026-01-31 10:00')"}
        << "ALTER TABLE t ALTER COLUMN d datetime" << "(-1 rows)" << "SELECT d FROM t ORDER BY d"
        << "2026-01-31 10:00:00.000\n2026-12-05 00:00:00.000";
    QTest::newRow("alter missing column") << QStringList{}
                                          << "alter table patient_data.dbo.tbmaster  alter column SpouseEmail varchar(50) null "
                                          << "Msg 4924: ALTER TABLE ALTER COLUMN failed because column 'SpouseEmail' does not exist in table 'tbmaster'."
                                          << "SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'tbMaster'" << "10";
    QTest::newRow("alter missing table") << QStringList{}
                                         << "alter table build_file.dbo.tbcooccupation  alter column description varchar(500) null "
                                         << "Msg 4902: Cannot find the object \"build_file.dbo.tbcooccupation\" because it does not exist or you do not have permissions."
                                         << "SELECT count(*) FROM Build_File.INFORMATION_SCHEMA.TABLES" << "1";
    QTest::newRow("add existing column") << QStringList{}
                                         << "alter table patient_data.dbo.tbmaster add  Occupation [varchar](50) NULL"
                                         << "Msg 2705: Column names in each table must be unique. Column name 'Occupation' in table 'tbMaster' is specified more than once."
                                         << "SELECT count(*) FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'tbMaster'" << "10";
    QTest::newRow("add columns") << QStringList{"alter table patient_data.dbo.tbmaster add VerifiedBy varchar(30) "}
                                 << "alter table patient_data.dbo.tbmaster add  HouseStreetTemp  [varchar](100) NULL" << "(-1 rows)"
                                 << "SELECT COLUMN_NAME, ORDINAL_POSITION, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS "
                                    "WHERE TABLE_NAME = 'tbMaster' AND ORDINAL_POSITION > 10"
                                 << "VerifiedBy|11|30\nHouseStreetTemp|12|100";
    QTest::newRow("add not null to filled table") << QStringList{} << "ALTER TABLE tbPatient ADD Ward varchar(5) NOT NULL"
                                                  << "Msg 4901: ALTER TABLE only allows columns to be added that can contain nulls, or "
                                                     "have a DEFAULT definition specified, or the column being added is an identity or "
                                                     "timestamp column, or alternatively if none of the previous conditions are "
                                                     "satisfied the table must be empty to allow addition of this column. Column 'Ward' "
                                                     "cannot be added to non-empty table 'tbPatient' because it does not satisfy these conditions."
                                                  << "SELECT count(*) FROM tbPatient" << "3";
    QTest::newRow("rebuild keeps indexes") << QStringList{"CREATE TABLE t (a int, b int)", "CREATE UNIQUE INDEX ixA ON t (a)",
                                                          "INSERT INTO t VALUES (1, 5)", "ALTER TABLE t ALTER COLUMN b varchar(10)"}
                                           << "INSERT INTO t VALUES (1, 2)"
                                           << "Msg 2601: Cannot insert duplicate key row in object 'dbo.t' with unique index 'ixA'. The duplicate key value is (1)."
                                           << "SELECT count(*) FROM t" << "1";
    QTest::newRow("indexed column cannot change type") << QStringList{} << "ALTER TABLE tbPatient ALTER COLUMN AdmDate varchar(30)"
                                                       << "Msg 5074: The index 'ixAdm' is dependent on column 'AdmDate'."
                                                       << "SELECT DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS WHERE COLUMN_NAME = 'AdmDate' AND TABLE_NAME = 'tbPatient'"
                                                       << "datetime";

    // CREATE / DROP / TRUNCATE.
    QTest::newRow("create exact text") << QStringList{} << occupation << "(-1 rows)"
                                       << "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE FROM Build_File.INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME, ORDINAL_POSITION"
                                       << "civilstatusID|int|NULL|NO\nCivilStatus|varchar|50|YES\nID|bigint|NULL|NO\nCode|varchar|10|YES\n"
                                          "Description|varchar|500|YES\nStatus|varchar|1|YES";
    QTest::newRow("create twice") << QStringList{occupation} << occupation
                                  << "Msg 2714: There is already an object named 'tbCoOccupation' in the database."
                                  << "SELECT count(*) FROM build_file.dbo.tbcooccupation" << "0";
    QTest::newRow("duplicate column") << QStringList{} << "CREATE TABLE t (a int, A int)"
                                      << "Msg 2705: Column names in each table must be unique. Column name 'A' in table 't' is specified more than once."
                                      << "SELECT count(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 't'" << "0";
    QTest::newRow("two identities") << QStringList{} << "CREATE TABLE t (a int IDENTITY, b int IDENTITY(1,1))"
                                    << "Msg 2744: Multiple identity columns specified for table 't'. Only one identity column per table is allowed."
                                    << "SELECT count(*) FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = 't'" << "0";
    QTest::newRow("drop missing") << QStringList{} << "drop table patient_data.dbo.tbhisMaster "
                                  << "Msg 3701: Cannot drop the table 'patient_data.dbo.tbhisMaster', because it does not exist or you do not have permission."
                                  << "SELECT count(*) FROM tbMaster" << "5";
    QTest::newRow("truncate missing") << QStringList{} << "truncate table build_file.dbo.tbcooccupation"
                                      << "Msg 4701: Cannot find the object \"build_file.dbo.tbcooccupation\" because it does not exist or you do not have permissions."
                                      << "SELECT count(*) FROM tbMaster" << "5";
    QTest::newRow("civil status rewrite") << QStringList{"delete from build_file.dbo.tbcocivilstatus where civilstatusID = '6'",
                                                         "delete from build_file.dbo.tbcocivilstatus where civilstatusID = '7'",
                                                         "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (6, 'Common Law');"}
                                          << "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (7, 'Annulled');" << "(1 rows)"
                                          << "SELECT * FROM build_file.dbo.tbcocivilstatus WHERE civilstatusID > 2 ORDER BY 1"
                                          << "6|Common Law\n7|Annulled";
    QTest::newRow("occupation with apostrophe") << QStringList{occupation}
                                                << " insert into build_file.dbo.tbcoOccupation (Code,Description) VALUES('12'34','Cook')"
                                                << "Msg 105: Unclosed quotation mark after the character string ')'."
                                                << "SELECT count(*) FROM build_file.dbo.tbcooccupation" << "0";
    QTest::newRow("occupation load") << QStringList{occupation, " insert into build_file.dbo.tbcoOccupation (Code,Description) VALUES('A1   ','Accountant')"}
                                     << " insert into build_file.dbo.tbcoOccupation (Code,Description) VALUES('','')" << "(1 rows)"
                                     << "SELECT ID, '[' + Code + ']', Description, Status FROM build_file.dbo.tbcooccupation ORDER BY ID"
                                     << "1|[A1   ]|Accountant|NULL\n2|[]||NULL";
}

void TestSchema::changes()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, last);
    QFETCH(QString, outcome);
    QFETCH(QString, check);
    QFETCH(QString, rows);
    m_db->script(steps);
    QCOMPARE(m_db->run(last), outcome);
    QCOMPARE(m_db->run(check), rows);
}

void TestSchema::failedStatementChangesNothing_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("error");

    QTest::newRow("second row too long") << "INSERT INTO tbOutPatient VALUES ('H001', 'O7', NULL), ('H001', 'O8-TOO-LONG', NULL)" << 2628;
    QTest::newRow("update hits a bad value") << "UPDATE tbMaster SET BirthDate = CASE WHEN HospNum = 'H004' THEN 'bad' ELSE '01/01/2000' END" << 241;
    QTest::newRow("narrowing that does not fit") << "ALTER TABLE tbMaster ALTER COLUMN HouseStreet varchar(5) NULL" << 2628;
    QTest::newRow("indexed column") << "ALTER TABLE tbMaster ALTER COLUMN LastName varchar(5) NULL" << 5074;
    QTest::newRow("conversion that does not fit") << "ALTER TABLE tbMaster ALTER COLUMN HouseStreet int" << 245;
    QTest::newRow("date conversion that does not fit") << "ALTER TABLE tbMaster ALTER COLUMN HouseStreet datetime" << 241;
    QTest::newRow("not null over nulls") << "ALTER TABLE tbMaster ALTER COLUMN MiddleName varchar(50) NOT NULL" << 515;
    QTest::newRow("insert select with a bad row") << "INSERT INTO tbPatient (HospNum, IDNum, AdmDate) SELECT HospNum, HospNum, HouseStreet FROM tbMaster" << 241;
}

// The table, its columns and its indexes are exactly as before a statement that failed.
void TestSchema::failedStatementChangesNothing()
{
    QFETCH(QString, sql);
    QFETCH(int, error);
    const QString snapshot = "SELECT * FROM tbMaster ORDER BY HospNum";
    const QString columns = "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS";
    const QString others = "SELECT * FROM tbPatient UNION ALL SELECT HospNum, IDNum, AdmDate, NULL FROM tbOutPatient ORDER BY 2";
    const QString beforeRows = m_db->run(snapshot), beforeColumns = m_db->run(columns), beforeOthers = m_db->run(others);
    QVERIFY(m_db->run(sql).startsWith(QStringLiteral("Msg %1:").arg(error)));
    QCOMPARE(m_db->run(snapshot), beforeRows);
    QCOMPARE(m_db->run(columns), beforeColumns);
    QCOMPARE(m_db->run(others), beforeOthers);
    // The name index still answers (a lost index would not show in the rows).
    QCOMPARE(m_db->run("CREATE INDEX ixName ON tbMaster (LastName)"),
             QStringLiteral("Msg 1913: The operation failed because an index or statistics with name 'ixName' already exists on table 'Patient_Data.dbo.tbMaster'."));
}

// The maintenance upgrade's history rebuild, run twice: drop, existence check, copy, add column.
void TestSchema::upgradeRunsTwice()
{
    for (int run = 0; run < 2; ++run) {
        const QString drop = m_db->run("drop table patient_data.dbo.tbhisMaster ");
        QCOMPARE(drop.startsWith("Msg 3701"), run == 0);
        QCOMPARE(m_db->run("Use Patient_Data"), QStringLiteral("(-1 rows)"));
        QCOMPARE(m_db->run("SELECT * FROM INFORMATION_SCHEMA.TABLES where TABLE_NAME = 'Master'"), QString());
        QCOMPARE(m_db->run("Select * Into patient_data.dbo.tbhisMaster From  patient_data.dbo.tbMaster  WHERE 1=0;"), QStringLiteral("(0 rows)"));
        QCOMPARE(m_db->run("Use Patient_DATA"), QStringLiteral("(-1 rows)"));
        QCOMPARE(m_db->run("SELECT * FROM INFORMATION_SCHEMA.COLUMNS where COLUMN_NAME = 'EditNum' and TABLE_NAME = 'tbhismaster'  "), QString());
        QCOMPARE(m_db->run("alter table patient_data.dbo.tbhismaster add EditNum  int"), QStringLiteral("(-1 rows)"));
    }
    QCOMPARE(m_db->run("SELECT COLUMN_NAME FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_NAME = 'tbhisMaster' AND ORDINAL_POSITION IN (1, 11)"),
             QStringLiteral("HospNum\nEditNum"));
    QCOMPARE(m_db->session().currentDatabase(), std::string("Patient_Data"));
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
