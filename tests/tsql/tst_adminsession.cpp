// An administrator's morning at the shell, on a small data set in the demo database's layout:
// admissions per hour, patients registered twice, each patient's last visit, a birth date put
// right through a join, and a view of today's in-patients. Dates are set relative to today so
// "today" in the queries means the day the test runs.

#include "EngineFixture.h"

#include <QTest>

class TestAdminSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_db.reset(); }

    void queries_data();
    void queries();

private:
    std::unique_ptr<EngineFixture> m_db;
};

void TestAdminSession::initTestCase()
{
    m_db = std::make_unique<EngineFixture>();
    m_db->script({
        "CREATE TABLE Patient_Data.dbo.tbMaster ([HospNum] varchar(10) NOT NULL PRIMARY KEY, [LastName] varchar(30) NULL, "
        "[FirstName] varchar(30) NULL, [MiddleName] varchar(30) NULL, [BirthDate] datetime NULL, [Sex] varchar(1) NULL, "
        "[CivilStatus] int NULL, [City] varchar(50) NULL)",
        "CREATE TABLE Patient_Data.dbo.tbPatient ([IDNum] varchar(10) NOT NULL PRIMARY KEY, [HospNum] varchar(10) NOT NULL, "
        "[AdmDate] datetime NOT NULL, [DischDate] datetime NULL, [AdmissionType] varchar(20) NULL, [RoomID] varchar(10) NULL)",
        "CREATE TABLE Patient_Data.dbo.tbOutPatient ([IDNum] varchar(10) NOT NULL PRIMARY KEY, [HospNum] varchar(10) NOT NULL, "
        "[AdmDate] datetime NOT NULL, [ClinicCode] varchar(10) NULL)",
        "CREATE INDEX ixAdmDate ON Patient_Data.dbo.tbPatient (AdmDate)",
        // H0003 is H0001 typed in capitals; H0006 is H0004 again; H0005 is H0002 with a mistyped
        // birth date; H0007 and H0008 share a name but no known birth date.
        "INSERT INTO Patient_Data.dbo.tbMaster (HospNum, LastName, FirstName, BirthDate, Sex) VALUES "
        "('H0001', 'Dela Cruz', 'Juan', '1990-01-02', 'M'), ('H0002', 'Santos', 'Maria', '1985-07-15', 'F'), "
        "('H0003', 'DELA CRUZ', 'JUAN', '1990-01-02', 'M'), ('H0004', 'Reyes', 'Ana', '1970-03-05', 'F'), "
        "('H0005', 'Santos', 'Maria', '1985-07-16', 'F'), ('H0006', 'Reyes', 'Ana', '1970-03-05', 'F'), "
        "('H0007', 'Lim', 'Ben', NULL, 'M'), ('H0008', 'Lim', 'Ben', NULL, 'M')",
    });
    const QString out = m_db->batch(
        "DECLARE @today datetime = CAST(CAST(GETDATE() AS date) AS datetime); "
        "INSERT INTO Patient_Data.dbo.tbPatient (IDNum, HospNum, AdmDate, DischDate, RoomID) VALUES "
        "('A0001', 'H0001', DATEADD(minute, 495, @today), NULL, '201'), "
        "('A0002', 'H0002', DATEADD(minute, 530, @today), NULL, '305'), "
        "('A0003', 'H0004', DATEADD(minute, 845, @today), DATEADD(hour, 16, @today), '204'), "
        "('A0004', 'H0006', DATEADD(minute, -30, @today), NULL, '202'), "
        "('A0005', 'H0001', DATEADD(hour, 10, DATEADD(day, -3, @today)), DATEADD(day, -2, @today), '210'), "
        "('A0006', 'H0007', DATEADD(minute, 885, @today), NULL, '207'); "
        "INSERT INTO Patient_Data.dbo.tbOutPatient (IDNum, HospNum, AdmDate, ClinicCode) VALUES "
        "('O0001', 'H0002', DATEADD(hour, 9, DATEADD(day, -2, @today)), 'MED'), "
        "('O0002', 'H0004', DATEADD(hour, 7, @today), 'OB'), "
        "('O0003', 'H0005', DATEADD(day, -10, @today), 'PED'), "
        "('O0004', 'H0001', DATEADD(minute, 630, @today), 'MED')");
    QVERIFY2(!out.contains(QLatin1String("Msg ")), qPrintable(out));
}

void TestAdminSession::queries_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");

    // 08:15 and 08:50, 14:05 and 14:45 today; 23:30 yesterday is not today's.
    QTest::newRow("today's admissions per hour")
        << "SELECT DATEPART(hour, AdmDate) AS Hr, COUNT(*) AS Admissions FROM Patient_Data.dbo.tbPatient "
           "WHERE AdmDate >= CAST(GETDATE() AS date) AND AdmDate < DATEADD(day, 1, CAST(GETDATE() AS date)) "
           "GROUP BY DATEPART(hour, AdmDate) ORDER BY Hr"
        << "8|2\n14|2";
    QTest::newRow("admissions per hour by date cast")
        << "SELECT DATEPART(hh, AdmDate), COUNT(*) FROM tbPatient WHERE CAST(AdmDate AS date) = CAST(GETDATE() AS date) "
           "GROUP BY DATEPART(hh, AdmDate) HAVING COUNT(*) > 1 ORDER BY 1 DESC"
        << "14|2\n8|2";
    // Names compare without regard to case; unknown birth dates never match.
    QTest::newRow("registered twice, self-join")
        << "SELECT a.HospNum, b.HospNum FROM Patient_Data.dbo.tbMaster a JOIN Patient_Data.dbo.tbMaster b "
           "ON a.LastName = b.LastName AND a.FirstName = b.FirstName AND a.BirthDate = b.BirthDate AND a.HospNum < b.HospNum "
           "ORDER BY a.HospNum"
        << "H0001|H0003\nH0004|H0006";
    QTest::newRow("registered twice, subquery")
        << "SELECT HospNum FROM tbMaster m WHERE EXISTS (SELECT 1 FROM tbMaster o WHERE o.LastName = m.LastName "
           "AND o.FirstName = m.FirstName AND o.BirthDate = m.BirthDate AND o.HospNum <> m.HospNum) ORDER BY HospNum"
        << "H0001\nH0003\nH0004\nH0006";
    QTest::newRow("registered twice, grouped")
        << "SELECT HospNum FROM tbMaster WHERE LastName + '|' + FirstName + '|' + CONVERT(varchar(8), BirthDate, 112) IN "
           "(SELECT LastName + '|' + FirstName + '|' + CONVERT(varchar(8), BirthDate, 112) FROM tbMaster "
           "GROUP BY LastName, FirstName, BirthDate HAVING COUNT(*) > 1) ORDER BY HospNum"
        << "H0001\nH0003\nH0004\nH0006";
    QTest::newRow("last visit of each patient")
        << "WITH visits AS (SELECT HospNum, IDNum, AdmDate FROM tbPatient UNION ALL SELECT HospNum, IDNum, AdmDate FROM tbOutPatient), "
           "ranked AS (SELECT HospNum, IDNum, ROW_NUMBER() OVER (PARTITION BY HospNum ORDER BY AdmDate DESC) AS rn FROM visits) "
           "SELECT r.HospNum, m.LastName, r.IDNum FROM ranked r JOIN tbMaster m ON m.HospNum = r.HospNum WHERE rn = 1 "
           "ORDER BY r.HospNum"
        << "H0001|Dela Cruz|O0004\nH0002|Santos|A0002\nH0004|Reyes|A0003\nH0005|Santos|O0003\nH0006|Reyes|A0004\nH0007|Lim|A0006";
    QTest::newRow("last in-patient stay, derived table")
        << "SELECT HospNum, IDNum FROM (SELECT HospNum, IDNum, ROW_NUMBER() OVER (PARTITION BY HospNum ORDER BY AdmDate DESC) AS rn "
           "FROM tbPatient) AS t WHERE rn = 1 AND HospNum = 'H0001'"
        << "H0001|A0001";
    // The out-patient visit names the patient whose birth date was mistyped; afterwards that
    // patient is found as a second registration of H0002.
    QTest::newRow("fix a birth date through a join")
        << "BEGIN TRAN; UPDATE m SET BirthDate = '19850715' FROM Patient_Data.dbo.tbMaster m JOIN Patient_Data.dbo.tbOutPatient o "
           "ON o.HospNum = m.HospNum WHERE o.IDNum = 'O0003'; SELECT @@ROWCOUNT; "
           "SELECT HospNum, BirthDate FROM tbMaster WHERE LastName = 'Santos' ORDER BY HospNum; "
           "SELECT a.HospNum, b.HospNum FROM tbMaster a JOIN tbMaster b ON a.LastName = b.LastName AND a.FirstName = b.FirstName "
           "AND a.BirthDate = b.BirthDate AND a.HospNum < b.HospNum ORDER BY a.HospNum; ROLLBACK; "
           "SELECT BirthDate FROM tbMaster WHERE HospNum = 'H0005'"
        << "1\nH0002|1985-07-15 00:00:00.000\nH0005|1985-07-15 00:00:00.000\nH0001|H0003\nH0002|H0005\nH0004|H0006\n"
           "1985-07-16 00:00:00.000";
    // A0003 went home; A0004 came in yesterday.
    QTest::newRow("view of today's in-patients")
        << "EXEC ('CREATE VIEW dbo.vwInPatientsToday AS SELECT p.IDNum, p.HospNum, m.LastName, m.FirstName, p.RoomID, p.AdmDate "
           "FROM dbo.tbPatient p JOIN dbo.tbMaster m ON m.HospNum = p.HospNum "
           "WHERE p.DischDate IS NULL AND p.AdmDate >= CAST(CAST(GETDATE() AS date) AS datetime)'); "
           "SELECT IDNum, LastName, RoomID FROM Patient_Data.dbo.vwInPatientsToday WHERE RoomID LIKE '2%' ORDER BY IDNum; "
           "SELECT COUNT(*) FROM vwInPatientsToday; DROP VIEW vwInPatientsToday"
        << "A0001|Dela Cruz|201\nA0006|Lim|207\n3";
}

void TestAdminSession::queries()
{
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    const QString actual = sql.contains(QLatin1Char(';')) ? m_db->batchValues(sql) : m_db->run(sql);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestAdminSession)
#include "tst_adminsession.moc"
