// Update Database killed part way (power cut, task manager): the databases open again whole and
// a second run completes. The run being killed is this program started again as a child.
#include "../maintenance/MaintenanceSite.h"
#include "Integrity.h"

#include "maintenance/frmAdmin.h"
#include "platform/data/Connection.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <cstdio>

using namespace maintenancetest;

namespace {

constexpr char childVariable[] = "TALVOR_UPGRADE_CHILD";

// The child: run the update on the given folder until killed (or done).
int runChild(const QString &folder)
{
    platform::ui::MessageBox::setResponder([](const platform::ui::ShownMessage &) {});
    auto connection = platform::openConnection(folder);
    frmAdmin window(connection.get());
    std::printf("started\n");
    std::fflush(stdout);
    QTest::mouseClick(window.cmdUpdate, Qt::LeftButton);
    return 0;
}

// Rows in every history table and holding table, so that a row in either place counts once.
qint64 allHistoryRows(Site &site)
{
    qint64 n = 0;
    const QList<QVariantList> tables = site.rows(
        "SELECT TABLE_NAME FROM patient_data.INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME LIKE 'tbhis%' "
        "OR TABLE_NAME LIKE 'tbMaster%Hist%'");
    for (const QVariantList &table : tables)
        n += site.rows("SELECT COUNT(*) FROM patient_data.dbo." + table.first().toString()).value(0).value(0).toLongLong();
    return n;
}

QStringList holdingTables(Site &site)
{
    QStringList names;
    for (const QVariantList &row : site.rows("SELECT TABLE_NAME FROM patient_data.INFORMATION_SCHEMA.TABLES "
                                             "WHERE TABLE_NAME LIKE '%[_]KeptRows'"))
        names << row.first().toString();
    return names;
}

} // namespace

class TestKilledUpgrade : public QObject {
    Q_OBJECT
private slots:
    void secondRunCompletes_data()
    {
        QTest::addColumn<int>("killAfterMs");
        // The run takes a fraction of a second on the test site: several points inside it.
        for (int ms : {0, 10, 25, 50, 80, 120, 200})
            QTest::addRow("after %d ms", ms) << ms;
    }
    void secondRunCompletes()
    {
        QFETCH(int, killAfterMs);
        QStringList messages;
        platform::ui::MessageBox::setResponder([&messages](const platform::ui::ShownMessage &m) { messages << m.text; });
        Site site;
        const QString folder = site.folder();
        const qint64 historyBefore = allHistoryRows(site);

        QProcess child;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(childVariable), folder);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(60000));
        QTest::qWait(killAfterMs);
        const bool killedMidway = child.state() == QProcess::Running;
        if (killedMidway) {
            child.kill();
            QVERIFY(child.waitForFinished());
        }
        qInfo("child %s", killedMidway ? "killed during the run" : "had finished");

        for (const QString &file : QDir(folder).entryList({QStringLiteral("*.sqlite")}, QDir::Files))
            QCOMPARE(integrity(QDir(folder).filePath(file)), QStringLiteral("ok"));
        // Whatever the moment, every history row is in its table or set aside, never both.
        QCOMPARE(allHistoryRows(site), historyBefore);
        qInfo("set aside: %s", qPrintable(holdingTables(site).join(QLatin1String(", "))));

        auto connection = platform::openConnection(folder);
        frmAdmin window(connection.get());
        runUpgrade(window);
        QCOMPARE(messages, QStringList());
        QCOMPARE(holdingTables(site), QStringList());
        QCOMPARE(allHistoryRows(site), historyBefore);
        QVERIFY(site.tableExists(QStringLiteral("Patient_Data"), QStringLiteral("tbMasterHist")));
        QCOMPARE(site.columnType(QStringLiteral("Patient_Data"), QStringLiteral("tbhisMaster"), QStringLiteral("EditNum")),
                 QStringLiteral("int"));
        platform::ui::MessageBox::setResponder({});
    }

    // The states a killed run can leave, made by hand: the next run takes over what was set
    // aside, or stops with one message and leaves it where it is.
    void leftOverRows_data()
    {
        QTest::addColumn<QStringList>("state");
        QTest::addColumn<bool>("completes");
        QTest::addColumn<QString>("logLine");
        const QString keep = "SELECT * INTO patient_data.dbo.tbhisMaster_KeptRows FROM patient_data.dbo.tbhisMaster";
        const QString drop = "DROP TABLE patient_data.dbo.tbhisMaster";
        const QString remake = "SELECT * INTO patient_data.dbo.tbhisMaster FROM patient_data.dbo.tbMaster WHERE 1=0";
        QTest::newRow("killed after the drop")
            << QStringList{keep, drop} << true << "Rows of tbhisMaster kept by an unfinished update wait in tbhisMaster_KeptRows.";
        const QString waits = "Rows of tbhisMaster kept by an unfinished update wait in tbhisMaster_KeptRows.";
        const QString backAtOnce = "Rows of tbhisMaster kept by an unfinished update were put back.";
        const QString written = "INSERT INTO patient_data.dbo.tbhisMaster (HospNum, LastName) VALUES ('H0NEW', 'WRITTEN SINCE')";
        const QStringList finish = {"ALTER TABLE patient_data.dbo.tbhisMaster ADD EditNum int",
                                    "ALTER TABLE patient_data.dbo.tbhisMaster ADD ActionBy varchar(20)",
                                    "ALTER TABLE patient_data.dbo.tbhisMaster ADD ActionDate datetime"};
        // Made again but not finished: the table's rows join the kept ones until it is.
        QTest::newRow("killed after the table was made again") << QStringList{keep, drop, remake} << true << waits;
        QTest::newRow("a row written since") << QStringList{keep, drop, remake, written} << true << waits;
        QTest::newRow("a row written to the finished table")
            << QStringList{keep, drop, remake} + finish + QStringList{written} << true << backAtOnce;
        QTest::newRow("master history set aside")
            << QStringList{"SELECT * INTO patient_data.dbo.tbMasterHist_KeptRows FROM patient_data.dbo.tbMasterHist",
                           "DROP TABLE patient_data.dbo.tbMasterHist"}
            << true << "Rows of tbMasterHist kept by an unfinished update wait in tbMasterHist_KeptRows.";
        const QString keepMasterHist = "SELECT * INTO patient_data.dbo.tbMasterHist_KeptRows FROM patient_data.dbo.tbMasterHist";
        const QString dropMasterHist = "DROP TABLE patient_data.dbo.tbMasterHist";
        const QString remakeMasterHist = "Select * Into patient_data.dbo.tbMasterHist From  patient_data.dbo.tbmaster  WHERE 1=0;";
        // Made again but not finished: the kept rows wait so that their numbers survive.
        QTest::newRow("master history made again")
            << QStringList{keepMasterHist, dropMasterHist, remakeMasterHist}
            << true << "Rows of tbMasterHist kept by an unfinished update wait in tbMasterHist_KeptRows.";
        QTest::newRow("master history made again with its numbering")
            << QStringList{keepMasterHist, dropMasterHist, remakeMasterHist,
                           "alter table patient_data.dbo.tbMasterHist add ID bigint IDENTITY (1, 1) NOT NULL ;"}
            << true << "Rows of tbMasterHist kept by an unfinished update wait in tbMasterHist_KeptRows.";
        QTest::newRow("rows that no longer fit")
            << QStringList{keep, drop, remake} + finish
                   + QStringList{"ALTER TABLE patient_data.dbo.tbhisMaster ALTER COLUMN HospNum varchar(1) NULL"}
            << false << QString();
    }
    void leftOverRows()
    {
        QFETCH(QStringList, state);
        QFETCH(bool, completes);
        QFETCH(QString, logLine);
        QStringList messages;
        platform::ui::MessageBox::setResponder([&messages](const platform::ui::ShownMessage &m) { messages << m.text; });
        Site site;
        {
            // The killed run is the second one, so the master history rows have their numbers.
            frmAdmin first(site.connection());
            runUpgrade(first);
            QCOMPARE(messages, QStringList());
        }
        // Master history with a gap in its numbers, which renumbering would close.
        for (const char *name : {"KEPT", "GONE", "ALSO KEPT"})
            site.exec(QStringLiteral("INSERT INTO patient_data.dbo.tbMasterHist (HospNum, LastName) VALUES ('H1', '%1')")
                          .arg(QLatin1String(name)));
        site.exec("DELETE FROM patient_data.dbo.tbMasterHist WHERE LastName = 'GONE'");
        const qint64 before = allHistoryRows(site);
        QVERIFY(before > 0);
        const QString masterHistNumbers = "SELECT ID FROM patient_data.dbo.tbMasterHist ORDER BY ID";
        const QList<QVariantList> numbersBefore = site.rows(masterHistNumbers);
        QVERIFY(!numbersBefore.isEmpty());
        for (const QString &sql : state)
            site.exec(sql);
        const qint64 written = allHistoryRows(site) - before; // rows inserted by the state itself

        frmAdmin window(site.connection());
        runUpgrade(window);
        if (completes) {
            QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1String(" | "))));
            QVERIFY2(logLines(window).contains(logLine), qPrintable(logLines(window).mid(0, 5).join('\n')));
            QCOMPARE(holdingTables(site), QStringList());
        } else {
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().contains(QLatin1String("tbhisMaster_KeptRows")), qPrintable(messages.first()));
            QCOMPARE(holdingTables(site), QStringList{QStringLiteral("tbhisMaster_KeptRows")});
        }
        QCOMPARE(allHistoryRows(site), before + written);
        if (completes) // the master history rows keep their numbers
            QCOMPARE(site.rows(masterHistNumbers), numbersBefore);
        platform::ui::MessageBox::setResponder({});
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString childFolder = qEnvironmentVariable(childVariable);
    if (!childFolder.isEmpty())
        return runChild(childFolder);
    TestKilledUpgrade test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_killedupgrade.moc"
