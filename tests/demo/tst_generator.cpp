#include "demo/DemoDatabase.h"

#include "platform/data/EmbeddedConnection.h"
#include "platform/security/Password.h"

#include <QTemporaryDir>
#include <QTest>

using platform::EmbeddedConnection;

namespace {

const int patients = 400;

const QStringList tables = {
    "tbMaster", "tbMaster2", "tbPatient", "tbPatient2", "tbOutPatient", "tbPatientDiagnosis",
    "tbPatientGuarantor", "tbPatientHistory", "tbMasterAllergies", "tbPatientInformant",
    "tbOutPatientHistory", "tbhisMaster", "tbhisPatient", "tbMasterHist"};

// Every row of every table as text, leaving out rows dated today: those are meant to move with
// the calendar.
QStringList dump(const QString &folder)
{
    auto conn = EmbeddedConnection::open(folder);
    const QDate today = QDate::currentDate();
    QStringList lines;
    for (const QString &t : tables) {
        auto rs = conn->openRecordset(QStringLiteral("SELECT * FROM Patient_Data.dbo.") + t);
        for (; !rs->eof(); rs->moveNext()) {
            QStringList cells;
            bool dated = false;
            for (int i = 0; i < rs->fieldCount(); ++i) {
                const QVariant v = rs->value(i);
                dated = dated || (v.typeId() == QMetaType::QDateTime && v.toDateTime().date() == today);
                cells << (v.isNull() ? QStringLiteral("<null>") : v.toString());
            }
            if (!dated)
                lines << t + QLatin1Char('|') + cells.join(QLatin1Char('|'));
        }
    }
    return lines;
}

} // namespace

class TestDemoDb : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sameSeedSameRows();
    void layoutBeforeTheUpgrade_data();
    void layoutBeforeTheUpgrade();
    void contentAPatientSearchMeets_data();
    void contentAPatientSearchMeets();
    void demoUser();
    void refusesAFolderWithADatabase();

private:
    QTemporaryDir m_dir;
    QString m_first;
    std::unique_ptr<EmbeddedConnection> m_conn;
};

void TestDemoDb::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_first = m_dir.filePath(QStringLiteral("first"));
    int last = -1;
    bool ordered = true;
    demo::create(m_first, {patients, 7}, [&](int percent) {
        ordered = ordered && percent >= last && percent <= 100;
        last = percent;
    });
    QVERIFY(ordered);
    QCOMPARE(last, 100);
    m_conn = EmbeddedConnection::open(m_first);
}

void TestDemoDb::sameSeedSameRows()
{
    const QString second = m_dir.filePath(QStringLiteral("second"));
    const QString other = m_dir.filePath(QStringLiteral("other"));
    demo::create(second, {patients, 7});
    demo::create(other, {patients, 8});
    const QStringList a = dump(m_first);
    QVERIFY(a.size() > patients * 6);
    QCOMPARE(dump(second), a);
    QVERIFY(dump(other) != a);
}

void TestDemoDb::layoutBeforeTheUpgrade_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("type");  // empty: the column must be absent
    QTest::addColumn<int>("length");    // of text columns

    // Columns the upgrade widens are there, narrower.
    QTest::newRow("Occupation") << "Patient_Data" << "tbMaster" << "Occupation" << "varchar" << 50;
    QTest::newRow("ReferredFrom") << "Patient_Data" << "tbPatient" << "ReferredFrom" << "varchar" << 30;
    QTest::newRow("SpouseAddress") << "Patient_Data" << "tbMaster2" << "SpouseAddress" << "varchar" << 100;
    QTest::newRow("SpouseEmail") << "Patient_Data" << "tbMaster2" << "SpouseEmail" << "varchar" << 30;
    QTest::newRow("GuarantorName") << "Patient_Data" << "tbPatientGuarantor" << "GuarantorName" << "varchar" << 50;
    QTest::newRow("BirthDate") << "Patient_Data" << "tbMaster" << "BirthDate" << "datetime" << 0;
    QTest::newRow("AdmDate") << "Patient_Data" << "tbOutPatient" << "AdmDate" << "datetime" << 0;
    // Columns the upgrade adds are not.
    QTest::newRow("VerifiedBy") << "Patient_Data" << "tbMaster" << "VerifiedBy" << "" << 0;
    QTest::newRow("CellNum2") << "Patient_Data" << "tbMaster" << "CellNum2" << "" << 0;
    QTest::newRow("Country") << "Patient_Data" << "tbMaster" << "Country" << "" << 0;
    QTest::newRow("Education") << "Patient_Data" << "tbMaster2" << "Education" << "" << 0;
    QTest::newRow("MotherEmpAddress") << "Patient_Data" << "tbMaster2" << "MotherEmpAddress" << "" << 0;
    QTest::newRow("FormDate") << "Patient_Data" << "tbPatient" << "FormDate" << "" << 0;
    QTest::newRow("InformantCelNum") << "Patient_Data" << "tbPatientInformant" << "InformantCelNum" << "" << 0;
    // History tables an older upgrade made.
    QTest::newRow("tbhisMaster EditNum") << "Patient_Data" << "tbhisMaster" << "EditNum" << "int" << 0;
    QTest::newRow("tbMasterHist ID") << "Patient_Data" << "tbMasterHist" << "ID" << "bigint" << 0;
    QTest::newRow("civil status") << "Build_File" << "tbcocivilstatus" << "CivilStatus" << "varchar" << 30;
    QTest::newRow("no occupation codes yet") << "Build_File" << "tbCoOccupation" << "Description" << "" << 0;
}

void TestDemoDb::layoutBeforeTheUpgrade()
{
    QFETCH(QString, database);
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, type);
    QFETCH(int, length);
    m_conn->execute(QStringLiteral("USE ") + database);
    auto rs = m_conn->openRecordset(QStringLiteral(
        "SELECT * FROM INFORMATION_SCHEMA.COLUMNS where COLUMN_NAME = '%1' and TABLE_NAME = '%2'").arg(column, table));
    QCOMPARE(rs->eof(), type.isEmpty());
    if (type.isEmpty())
        return;
    QCOMPARE(rs->field(QStringLiteral("DATA_TYPE")).toString(), type);
    if (length > 0)
        QCOMPARE(rs->field(QStringLiteral("CHARACTER_MAXIMUM_LENGTH")).toInt(), length);
}

void TestDemoDb::contentAPatientSearchMeets_data()
{
    QTest::addColumn<QString>("sql"); // a count
    QTest::addColumn<int>("atLeast");
    QTest::addColumn<int>("atMost");

    const QString today = QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
    QTest::newRow("every patient") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster" << patients << patients;
    QTest::newRow("about three admissions each") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbPatient"
                                                 << patients * 5 / 2 << patients * 7 / 2;
    QTest::newRow("about three visits each") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbOutPatient"
                                             << patients * 5 / 2 << patients * 7 / 2;
    QTest::newRow("admissions today")
        << "SELECT COUNT(*) FROM Patient_Data.dbo.tbPatient WHERE CONVERT(varchar,AdmDate,101) = '" + today + "'"
        << 1 << patients;
    QTest::newRow("visits today")
        << "SELECT COUNT(*) FROM Patient_Data.dbo.tbOutPatient WHERE CONVERT(varchar,AdmDate,101) = '" + today + "'"
        << 1 << patients;
    QTest::newRow("admission numbers distinct across both tables")
        << "SELECT COUNT(*) FROM Patient_Data.dbo.tbPatient p INNER JOIN Patient_Data.dbo.tbOutPatient o ON p.IDNum = o.IDNum"
        << 0 << 0;
    QTest::newRow("visits without a patient record")
        << "SELECT COUNT(*) FROM Patient_Data.dbo.tbOutPatient o LEFT OUTER JOIN Patient_Data.dbo.tbMaster m "
           "ON o.HospNum = m.HospNum WHERE m.HospNum IS NULL" << 1 << 10;
    QTest::newRow("apostrophes in names") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster WHERE LastName LIKE '%''%'"
                                          << 1 << patients / 10;
    QTest::newRow("accents in names") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster WHERE LastName LIKE '%ñ%'"
                                      << 1 << patients / 5;
    // Entered through the forms, a missing middle name is empty text; NULL is the rare import.
    QTest::newRow("empty middle names") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster WHERE MiddleName = ''"
                                        << patients / 50 << patients / 10;
    QTest::newRow("NULL middle names") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster WHERE MiddleName IS NULL"
                                       << 1 << patients / 100;
    QTest::newRow("missing birth dates") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster WHERE BirthDate IS NULL"
                                         << 1 << patients / 10;
    QTest::newRow("no address at all")
        << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster WHERE HouseStreet IS NULL AND Barangay IS NULL AND ZipCode IS NULL"
        << 1 << patients / 20;
    QTest::newRow("history rows") << "SELECT COUNT(*) FROM Patient_Data.dbo.tbMasterHist" << 1 << patients;
    QTest::newRow("civil status codes 1 to 5")
        << "SELECT COUNT(*) FROM build_file.dbo.tbcocivilstatus WHERE civilstatusID IN (1, 2, 3, 4, 5)" << 5 << 5;
}

void TestDemoDb::contentAPatientSearchMeets()
{
    QFETCH(QString, sql);
    QFETCH(int, atLeast);
    QFETCH(int, atMost);
    auto rs = m_conn->openRecordset(sql);
    const qlonglong n = rs->value(0).toLongLong();
    QVERIFY2(n >= atLeast && n <= atMost, qPrintable(QString::number(n)));
}

void TestDemoDb::demoUser()
{
    auto rs = m_conn->openRecordset(QStringLiteral(
        "SELECT PasswordHash, DeptCode FROM Build_File.dbo.tbTalvorUser WHERE UserID = 'demo'"));
    QVERIFY(!rs->eof());
    QCOMPARE(rs->field(QStringLiteral("DeptCode")).toString(), QStringLiteral("18"));
    const QString hash = rs->field(QStringLiteral("PasswordHash")).toString();
    QVERIFY(platform::security::verifyPassword(hash, QStringLiteral("demo")));
    QVERIFY(!platform::security::verifyPassword(hash, QStringLiteral("Demo")));
}

void TestDemoDb::refusesAFolderWithADatabase()
{
    QVERIFY_THROWS_EXCEPTION(platform::Failure, demo::create(m_first, {10, 1}));
    // The database there is untouched.
    QCOMPARE(m_conn->openRecordset(QStringLiteral("SELECT COUNT(*) FROM Patient_Data.dbo.tbMaster"))->value(0).toInt(),
             patients);
}

QTEST_GUILESS_MAIN(TestDemoDb)
#include "tst_generator.moc"
