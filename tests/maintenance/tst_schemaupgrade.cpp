// The database upgrade, run from the real window against copies of the demo site.

#include "MaintenanceSite.h"
#include "maintenance/frmAdmin.h"
#include "platform/Failure.h"
#include "platform/data/Connection.h"
#include "platform/ui/MessageBox.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace maintenancetest;

class SchemaUpgradeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void lookUps_data();
    void lookUps();
    void layoutAfterUpgrade_data();
    void layoutAfterUpgrade();
    void firstRunLog();
    void secondRunAddsNothing();
    void historyRowsSurviveTwoUpgrades();
    void scenarios_data();
    void scenarios();
    void civilStatusRewritten_data();
    void civilStatusRewritten();
    void clickDuringRunStartsNothing();
    void lookUpFailureStopsTheRun();
    void closingDuringRun();

private:
    // One site upgraded twice in initTestCase; most checks look at it.
    std::unique_ptr<Site> m_site;
    std::unique_ptr<frmAdmin> m_window;
    QStringList m_firstRun;     // log lines of the first run, newest first
    QStringList m_secondRun;    // lines the second run added
    QString m_educationAfterFirstRun;
    QList<QVariantList> m_masterHistBefore, m_hisMasterBefore, m_hisOutPatientBefore;
    QStringList m_messages;
};

namespace {
const QString masterHistRows = QStringLiteral(
    "SELECT ID, HospNum, LastName, Ver, Action, ActionBy FROM patient_data.dbo.tbMasterHist "
    "ORDER BY ID");
const QString hisMasterRows = QStringLiteral(
    "SELECT HospNum, LastName, Occupation, EditNum, ActionBy FROM patient_data.dbo.tbhisMaster "
    "ORDER BY HospNum, EditNum");
const QString hisOutPatientRows = QStringLiteral(
    "SELECT IDNum, HospNum, ClinicCode FROM patient_data.dbo.tbhisOutPatient ORDER BY IDNum");
} // namespace

void SchemaUpgradeTest::initTestCase()
{
    platform::ui::MessageBox::setResponder(
        [this](const platform::ui::ShownMessage &m) { m_messages.append(m.text); });

    m_site = std::make_unique<Site>();
    // History the site already holds: rows with gaps in the identity numbers, and a history
    // table the demo does not have yet.
    m_site->exec("INSERT INTO patient_data.dbo.tbMasterHist (HospNum, LastName, Ver, Action, "
                 "ActionBy) VALUES ('H1', 'KEPT', 1, 'Edit', 'nurse1')");
    m_site->exec("INSERT INTO patient_data.dbo.tbMasterHist (HospNum, LastName, Ver, Action, "
                 "ActionBy) VALUES ('H2', 'GONE', 1, 'Edit', 'nurse1')");
    m_site->exec("INSERT INTO patient_data.dbo.tbMasterHist (HospNum, LastName, Ver, Action, "
                 "ActionBy) VALUES ('H3', 'O''KEPT', 2, 'Delete', 'nurse2')");
    m_site->exec("DELETE FROM patient_data.dbo.tbMasterHist WHERE HospNum = 'H2'");
    m_site->exec("INSERT INTO patient_data.dbo.tbhisMaster (HospNum, LastName, Occupation, "
                 "EditNum, ActionBy) VALUES ('H1', 'KEPT', 'Welder', 3, 'clerk')");
    m_site->exec("SELECT * INTO patient_data.dbo.tbhisOutPatient FROM "
                 "patient_data.dbo.tbOutPatient WHERE 1=0");
    m_site->exec("INSERT INTO patient_data.dbo.tbhisOutPatient (IDNum, HospNum, AdmDate, "
                 "ClinicCode) VALUES ('OP-H1', 'H1', '01/02/2024', 'PED')");
    m_masterHistBefore = m_site->rows(masterHistRows);
    m_hisMasterBefore = m_site->rows(hisMasterRows);
    m_hisOutPatientBefore = m_site->rows(hisOutPatientRows);
    QVERIFY(m_masterHistBefore.size() >= 2);

    m_window = std::make_unique<frmAdmin>(m_site->connection());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    runUpgrade(*m_window);
    m_firstRun = logLines(*m_window);
    m_educationAfterFirstRun = m_site->columnType("Patient_Data", "tbMaster2", "Education");
    runUpgrade(*m_window);
    m_secondRun = logLines(*m_window).mid(0, logLines(*m_window).size() - m_firstRun.size());
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    // For the documentation: the window as an administrator sees it after two runs.
    const QString screenshot = qEnvironmentVariable("TALVOR_MAINTENANCE_SCREENSHOT");
    if (!screenshot.isEmpty())
        QVERIFY(m_window->grab().save(screenshot));
}

void SchemaUpgradeTest::cleanupTestCase()
{
    platform::ui::MessageBox::setResponder({});
}

void SchemaUpgradeTest::init()
{
    m_messages.clear();
}

void SchemaUpgradeTest::lookUps_data()
{
    QTest::addColumn<bool>("column");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("where"); // table, or database
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("logged"); // empty: nothing logged
    QTest::addColumn<QString>("currentDatabase");
    QTest::newRow("column present") << true << "LastName" << "tbMaster" << "LastName"
                                    << "LastName - tbMaster" << "Patient_Data";
    QTest::newRow("column in another case") << true << "lastNAME" << "TBMASTER" << "LastName"
                                            << "LastName - TBMASTER" << "Patient_Data";
    QTest::newRow("column missing") << true << "NickName" << "tbMaster" << ""
                                    << "New Added FieldsNickName" << "Patient_Data";
    QTest::newRow("table present") << false << "tbMaster" << "Patient_Data" << "tbMaster"
                                   << "tbMaster - Patient_Data" << "Patient_Data";
    QTest::newRow("table in another case") << false << "TBCOCIVILSTATUS" << "build_file"
                                           << "tbcocivilstatus" << "tbcocivilstatus - build_file"
                                           << "Build_File";
    QTest::newRow("table missing") << false << "tbNothing" << "Build_File" << "" << ""
                                   << "Build_File";
}

void SchemaUpgradeTest::lookUps()
{
    QFETCH(bool, column);
    QFETCH(QString, name);
    QFETCH(QString, where);
    QFETCH(QString, result);
    QFETCH(QString, logged);
    QFETCH(QString, currentDatabase);
    Site site;
    frmAdmin window(site.connection());
    // The look-up must switch the database itself, whatever was current before.
    site.exec(column ? QStringLiteral("USE Build_File") : QStringLiteral("USE Patient_Data"));
    const QString found = column ? window.CheckColumnName(name, where)
                                 : window.CheckTableName(name, where);
    QCOMPARE(found, result);
    QCOMPARE(logLines(window), logged.isEmpty() ? QStringList() : QStringList{logged});
    QCOMPARE(site.connection()->currentDatabase().toLower(), currentDatabase.toLower());
}

void SchemaUpgradeTest::layoutAfterUpgrade_data()
{
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("type");
    const auto row = [](const char *db, const char *table, const char *column, const char *type) {
        QTest::addRow("%s.%s", table, column) << db << table << column << type;
    };
    const char *pd = "Patient_Data";
    // Widened
    row(pd, "tbPatient", "ReferredFrom", "varchar(50)");
    row(pd, "tbMaster", "Occupation", "varchar(500)");
    row(pd, "tbMaster2", "SpouseAddress", "varchar(500)");
    row(pd, "tbMaster2", "SpouseEmail", "varchar(50)");
    row(pd, "tbMaster2", "Education", "varchar(250)"); // added as smallint, widened next run
    row(pd, "tbPatientGuarantor", "GuarantorName", "varchar(100)");
    // Added
    row(pd, "tbPatient", "FormDate", "datetime");
    row(pd, "tbPatientInformant", "InformantCelNum", "varchar(15)");
    row(pd, "tbPatientGuarantor", "PatientRelationship", "varchar(30)");
    row(pd, "tbMaster2", "MotherEmpAddress", "varchar(500)");
    row(pd, "tbMaster2", "ContactHospNum", "varchar(50)");
    row(pd, "tbMaster", "VerifiedBy", "varchar(30)");
    row(pd, "tbMaster", "CellNum3", "varchar(20)");
    row(pd, "tbMaster", "HouseStreetTemp", "varchar(100)");
    // History tables: the source's current columns plus the bookkeeping ones
    row(pd, "tbhisMaster", "Occupation", "varchar(500)");
    row(pd, "tbhisMaster", "EditNum", "int");
    row(pd, "tbhisMaster", "ActionBy", "varchar(20)");
    row(pd, "tbhisMaster", "ActionDate", "datetime");
    row(pd, "tbhisMaster2", "Education", "varchar(250)");
    row(pd, "tbhisPatient", "FormDate", "datetime");
    row(pd, "tbhisOutPatientHistory", "EditNum", "int");
    row(pd, "tbhisMasterAllergies", "Allergy", "varchar(100)");
    row(pd, "tbMasterHist", "Country", "varchar(50)");
    row(pd, "tbMasterHist", "ID", "bigint");
    row(pd, "tbMasterHist", "Ver", "int");
    row(pd, "tbMasterHist", "ActionBy", "varchar(30)");
    row(pd, "tbMaster2Hist", "ContactHospNum", "varchar(50)");
    row(pd, "tbMaster2Hist", "Ver", "int");
    // The occupation code table, created by the upgrade
    row("Build_File", "tbCoOccupation", "ID", "bigint");
    row("Build_File", "tbCoOccupation", "Code", "varchar(10)");
    row("Build_File", "tbCoOccupation", "Description", "varchar(500)");
    row("Build_File", "tbCoOccupation", "Status", "varchar(1)");
}

void SchemaUpgradeTest::layoutAfterUpgrade()
{
    QFETCH(QString, database);
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QString, type);
    QCOMPARE(m_site->columnType(database, table, column), type);
}

void SchemaUpgradeTest::firstRunLog()
{
    QCOMPARE(m_educationAfterFirstRun, QStringLiteral("smallint"));
    // Newest first: the last look-up of the run stands at the top, the first one lower down.
    QCOMPARE(m_firstRun.first(), QStringLiteral("New Added FieldsVer"));
    const qsizetype formDate = m_firstRun.lastIndexOf(QStringLiteral("New Added FieldsFormDate"));
    QVERIFY(formDate > 0);
    // Below the first look-up stand only failures of the widenings: the occupation table,
    // Education, MotherEmpAddress and FatherEmpAddress do not exist yet.
    const QStringList widenings = m_firstRun.mid(formDate + 1);
    QCOMPARE(widenings.size(), 4);
    for (const QString &line : widenings)
        QVERIFY2(!isLookUpLine(line), qPrintable(line));
    QVERIFY(widenings.last().contains("tbcooccupation", Qt::CaseInsensitive));
    // tbCoOccupation was missing, so its look-up found nothing and it was created.
    QVERIFY(!m_firstRun.contains(QStringLiteral("tbCoOccupation - Build_file")));
}

void SchemaUpgradeTest::secondRunAddsNothing()
{
    // Once the layout is there, every statement succeeds: only look-up lines are written.
    for (const QString &line : m_secondRun)
        QVERIFY2(isLookUpLine(line), qPrintable(line));
    QVERIFY(m_secondRun.contains(QStringLiteral("tbCoOccupation - Build_file")));
    QVERIFY(m_secondRun.contains(QStringLiteral("Education - tbmaster2")));
    QVERIFY(m_secondRun.contains(QStringLiteral("FormDate - tbPatient")));
    // The history tables were made again from their sources, so only the bookkeeping columns
    // are missing again: EditNum eleven times, ActionBy and ActionDate, and the five master
    // history columns.
    const QStringList added = m_secondRun.filter(QRegularExpression("^New Added Fields"));
    QCOMPARE(added.size(), 19);
    QCOMPARE(added.count(QStringLiteral("New Added FieldsEditNum")), 11);
    QCOMPARE(m_secondRun.size(), 64 + 1); // every column look-up, and the occupation table found
}

void SchemaUpgradeTest::historyRowsSurviveTwoUpgrades()
{
    QCOMPARE(m_site->rows(masterHistRows), m_masterHistBefore);
    QCOMPARE(m_site->rows(hisMasterRows), m_hisMasterBefore);
    QCOMPARE(m_site->rows(hisOutPatientRows), m_hisOutPatientBefore);
    // The identity goes on after the kept numbers instead of reusing them.
    m_site->exec("INSERT INTO patient_data.dbo.tbMasterHist (HospNum, LastName) VALUES ('H9', 'NEW')");
    const QList<QVariantList> newest = m_site->rows(
        "SELECT ID FROM patient_data.dbo.tbMasterHist WHERE HospNum = 'H9'");
    QCOMPARE(newest.size(), 1);
    QVERIFY(newest.first().first().toLongLong() > m_masterHistBefore.last().first().toLongLong());
    // Nothing is left behind from carrying the rows.
    m_site->exec("USE Patient_Data");
    QVERIFY(m_site->rows("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES "
                         "WHERE TABLE_NAME LIKE '%KeptRows'").isEmpty());
}

void SchemaUpgradeTest::scenarios_data()
{
    // `expected` lines must stand together in the log, newest first. "!text" stands for a
    // failure line that contains text ("!" for any failure).
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("present column: no ALTER")
        << QStringList{"ALTER TABLE patient_data.dbo.tbPatient ADD FormDate datetime NULL"}
        << QStringList{"New Added FieldsFormDate", "FormDate - tbPatient",
                       "!FatherEmpAddress"}; // nothing between the look-up and the widenings
    QTest::newRow("missing column: added")
        << QStringList{}
        << QStringList{"New Added FieldsInformantCelNum", "New Added FieldsFormDate",
                       "New Added FieldsFormDate"};
    QTest::newRow("column in another case: ALTER fails")
        << QStringList{"ALTER TABLE patient_data.dbo.tbPatient ADD formdate datetime NULL"}
        << QStringList{"New Added FieldsFormDate", "!", "formdate - tbPatient"};
    QTest::newRow("missing source table")
        << QStringList{"DROP TABLE patient_data.dbo.tbMasterAllergies"}
        << QStringList{"New Added FieldsEditNum", "!", "New Added FieldsEditNum",
                       "New Added FieldsEditNum"};
    QTest::newRow("table with the bare base name: no copy")
        << QStringList{"SELECT * INTO patient_data.dbo.Patient2 FROM patient_data.dbo.tbPatient2 WHERE 1=0"}
        << QStringList{"Patient2 - Patient_Data", "!tbhisPatient2"};
}

void SchemaUpgradeTest::scenarios()
{
    QFETCH(QStringList, setup);
    QFETCH(QStringList, expected);
    Site site;
    for (const QString &sql : setup)
        site.exec(sql);
    frmAdmin window(site.connection());
    runUpgrade(window);
    const QStringList log = logLines(window);

    const auto matches = [](const QString &line, const QString &pattern) {
        if (!pattern.startsWith(QLatin1Char('!')))
            return line == pattern;
        return !isLookUpLine(line) && line.contains(pattern.mid(1), Qt::CaseInsensitive);
    };
    bool found = false;
    for (qsizetype at = 0; !found && at + expected.size() <= log.size(); ++at) {
        found = true;
        for (qsizetype k = 0; found && k < expected.size(); ++k)
            found = matches(log.at(at + k), expected.at(k));
    }
    if (!found)
        qWarning().noquote() << log.join(QLatin1Char('\n'));
    QVERIFY(found);
}

void SchemaUpgradeTest::civilStatusRewritten_data()
{
    QTest::addColumn<QStringList>("setup");
    const QString remove = "DELETE FROM build_file.dbo.tbcocivilstatus WHERE civilstatusID IN (6, 7)";
    QTest::newRow("other names") << QStringList{
        remove, "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (6, 'Separated')",
        "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (7, 'Widowed')"};
    QTest::newRow("absent") << QStringList{remove};
    QTest::newRow("only 7") << QStringList{
        remove, "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (7, 'Annulled')"};
}

void SchemaUpgradeTest::civilStatusRewritten()
{
    QFETCH(QStringList, setup);
    Site site;
    for (const QString &sql : setup)
        site.exec(sql);
    const qsizetype othersBefore =
        site.rows("SELECT * FROM build_file.dbo.tbcocivilstatus WHERE civilstatusID NOT IN (6, 7)").size();
    frmAdmin window(site.connection());
    runUpgrade(window);
    const QList<QVariantList> codes = site.rows(
        "SELECT * FROM build_file.dbo.tbcocivilstatus WHERE civilstatusID IN (6, 7) "
        "ORDER BY civilstatusID");
    QCOMPARE(codes.size(), 2);
    QCOMPARE(codes.at(0).at(0).toInt(), 6);
    QCOMPARE(codes.at(0).at(1).toString(), QStringLiteral("Common Law"));
    QCOMPARE(codes.at(1).at(0).toInt(), 7);
    QCOMPARE(codes.at(1).at(1).toString(), QStringLiteral("Annulled"));
    QCOMPARE(site.rows("SELECT * FROM build_file.dbo.tbcocivilstatus WHERE civilstatusID NOT IN (6, 7)").size(),
             othersBefore);
}

void SchemaUpgradeTest::clickDuringRunStartsNothing()
{
    Site reference;
    frmAdmin plain(reference.connection());
    runUpgrade(plain);

    Site site;
    frmAdmin window(site.connection());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bool clicked = false;
    bool enabledDuringRun = true;
    // Fires at the run's first yield, like a user's impatient second click.
    QTimer::singleShot(0, &window, [&] {
        enabledDuringRun = window.cmdUpdate->isEnabled() || window.cmdClearOccupation->isEnabled()
            || window.cmdUploadOccupation->isEnabled();
        QTest::mouseClick(window.cmdUpdate, Qt::LeftButton);
        window.cmdUpdate->click();
        clicked = true;
    });
    runUpgrade(window);
    QVERIFY(clicked);
    QVERIFY(!enabledDuringRun);
    QVERIFY(window.cmdUpdate->isEnabled());
    QVERIFY(window.cmdClearOccupation->isEnabled());
    QVERIFY(window.cmdUploadOccupation->isEnabled());
    QCOMPARE(logLines(window).size(), logLines(plain).size());
}

void SchemaUpgradeTest::lookUpFailureStopsTheRun()
{
    // Without Build_File the occupation table's look-up cannot switch to it: the run stops there
    // with one message, what it changed stays, and the buttons come back.
    Site site({QStringLiteral("Build_File")});
    const QList<QVariantList> before = site.rows(hisMasterRows);
    const QList<QVariantList> masterHistBefore = site.rows(masterHistRows);
    frmAdmin window(site.connection());
    runUpgrade(window);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().startsWith(QStringLiteral("The database update could not finish.")));
    QCOMPARE(site.columnType("Patient_Data", "tbPatient", "FormDate"), QStringLiteral("datetime"));
    QCOMPARE(site.columnType("Patient_Data", "tbhisMaster", "EditNum"), QStringLiteral("int"));
    // The rows of the history tables rebuilt before the stop are back; the master history
    // tables were never reached.
    QCOMPARE(site.rows(hisMasterRows), before);
    QCOMPARE(site.rows(masterHistRows), masterHistBefore);
    QVERIFY(window.cmdUpdate->isEnabled());
    QVERIFY(window.cmdUploadOccupation->isEnabled());
}

void SchemaUpgradeTest::closingDuringRun()
{
    // The search window opens this window with delete-on-close; closing it mid-run must let the
    // run finish first and then discard the window.
    Site site;
    QPointer<frmAdmin> window = new frmAdmin(site.connection());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    bool visibleAfterClose = false;
    QTimer::singleShot(0, window, [&] {
        window->close();
        visibleAfterClose = window && window->isVisible();
    });
    QTest::mouseClick(window->cmdUpdate, Qt::LeftButton);
    QVERIFY(visibleAfterClose);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(site.columnType("Patient_Data", "tbMaster2Hist", "Ver"), QStringLiteral("int"));
}

QTEST_MAIN(SchemaUpgradeTest)
#include "tst_schemaupgrade.moc"
