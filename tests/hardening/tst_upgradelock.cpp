// One upgrade of a database at a time. The lock is the database's application lock, so it is
// checked on the engine's sessions as SQL Server documents sp_getapplock, and through the
// maintenance window as a second administrator would meet it.
#include "../maintenance/MaintenanceSite.h"

#include "maintenance/UpgradeLock.h"
#include "maintenance/frmAdmin.h"
#include "platform/data/Connection.h"
#include "platform/ui/MessageBox.h"
#include "tsql/Session.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <QProcess>

#include <cstdio>
#include <unistd.h>

using namespace maintenancetest;

namespace {

constexpr char childVariable[] = "TALVOR_APPLOCK_CHILD";

// The return status the batch leaves in @r, and the messages it raised.
std::pair<int, QString> call(tsql::Session &session, const QString &procedureCall)
{
    auto run = session.run(("DECLARE @r int; " + procedureCall + "; SELECT @r").toStdString());
    int status = -12345;
    QString messages;
    while (run->next()) {
        if (run->item() == tsql::BatchRun::Item::Rows && run->rows().next())
            status = int(run->rows().value(0).asInteger());
        else if (run->item() == tsql::BatchRun::Item::Message)
            messages += QString::fromStdString(run->message().text);
    }
    return {status, messages};
}

QString lockCall(const char *resource, const char *mode, const char *owner = "Session")
{
    return QStringLiteral("EXEC @r = sp_getapplock @Resource = N'%1', @LockMode = '%2', @LockOwner = '%3', @LockTimeout = 0")
        .arg(QLatin1String(resource), QLatin1String(mode), QLatin1String(owner));
}

} // namespace

class TestUpgradeLock : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        platform::ui::MessageBox::setResponder([this](const platform::ui::ShownMessage &m) { m_messages << m.text; });
    }

    void appLocks_data();
    void appLocks();
    void lockGoesWithItsProcess();
    void releasingALockNotHeld();
    void secondUpgradeChangesNothing();

private:
    QStringList m_messages;
};

// learn.microsoft.com: sp_getapplock (Transact-SQL), "Return code values": 0 granted at once,
// -1 timed out, -999 a parameter or call error; the resource name is compared binary.
void TestUpgradeLock::appLocks_data()
{
    QTest::addColumn<QString>("first");  // run on the first session, in Patient_Data
    QTest::addColumn<QString>("second"); // then on the second
    QTest::addColumn<int>("status");     // what the second call returns
    QTest::newRow("exclusive, then exclusive") << lockCall("Upgrade", "Exclusive") << lockCall("Upgrade", "Exclusive") << -1;
    QTest::newRow("shared, then shared") << lockCall("Upgrade", "Shared") << lockCall("Upgrade", "Shared") << 0;
    QTest::newRow("shared, then exclusive") << lockCall("Upgrade", "Shared") << lockCall("Upgrade", "Exclusive") << -1;
    QTest::newRow("update, then shared") << lockCall("Upgrade", "Update") << lockCall("Upgrade", "Shared") << -1;
    QTest::newRow("another name") << lockCall("Upgrade", "Exclusive") << lockCall("Other", "Exclusive") << 0;
    QTest::newRow("names differ in letter case") << lockCall("Upgrade", "Exclusive") << lockCall("UPGRADE", "Exclusive") << 0;
    QTest::newRow("another database") << lockCall("Upgrade", "Exclusive")
                                      << "USE Build_File; " + lockCall("Upgrade", "Exclusive") << 0;
    QTest::newRow("released first") << lockCall("Upgrade", "Exclusive") + "; EXEC @r = sp_releaseapplock 'Upgrade', 'Session'"
                                    << lockCall("Upgrade", "Exclusive") << 0;
    QTest::newRow("a transaction's lock outlives nothing but its transaction")
        << "BEGIN TRAN; " + lockCall("Upgrade", "Exclusive", "Transaction") + "; COMMIT"
        << lockCall("Upgrade", "Exclusive") << 0;
    QTest::newRow("held by its transaction")
        << "BEGIN TRAN; " + lockCall("Upgrade", "Exclusive", "Transaction")
        << lockCall("Upgrade", "Exclusive") << -1;
    QTest::newRow("a transaction's lock outside a transaction") << QString()
                                                                << lockCall("Upgrade", "Exclusive", "Transaction") << -999;
    QTest::newRow("no such mode") << QString() << lockCall("Upgrade", "Sideways") << -999;
}

void TestUpgradeLock::appLocks()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, status);
    Site site;
    auto a = tsql::Session::open(site.folder().toStdString(), "Patient_Data");
    auto b = tsql::Session::open(site.folder().toStdString(), "Patient_Data");
    if (!first.isEmpty())
        QVERIFY(call(*a, first).first >= 0);
    QCOMPARE(call(*b, second).first, status);
}

// A run killed with its lock held (power cut, task manager) must not block the next one. The
// holder is this program started again as a child.
void TestUpgradeLock::lockGoesWithItsProcess()
{
    Site site;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(childVariable), site.folder());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForReadyRead(30000));
    QCOMPARE(child.readLine().trimmed(), QByteArray("held"));
    auto s = tsql::Session::open(site.folder().toStdString(), "Patient_Data");
    QCOMPARE(call(*s, lockCall("Upgrade", "Exclusive")).first, -1);
    child.kill();
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(call(*s, lockCall("Upgrade", "Exclusive")).first, 0);
}

// learn.microsoft.com: sp_releaseapplock (Transact-SQL): -999 for a lock not held, with 1223.
void TestUpgradeLock::releasingALockNotHeld()
{
    Site site;
    auto s = tsql::Session::open(site.folder().toStdString(), "Patient_Data");
    const auto [status, messages] = call(*s, QStringLiteral("EXEC @r = sp_releaseapplock @Resource = N'Upgrade', @LockOwner = 'Session'"));
    QCOMPARE(status, -999);
    QCOMPARE(messages, QStringLiteral("Cannot release the application lock (Database Principal: 'public', Resource: "
                                      "'Upgrade') because it is not currently held."));
}

// While another workstation's run holds the lock, Update Database says so and changes nothing;
// once that run has ended, the same button upgrades.
void TestUpgradeLock::secondUpgradeChangesNothing()
{
    Site site;
    auto other = platform::openConnection(site.folder());
    frmAdmin window(site.connection());
    const QString before = site.columnType(QStringLiteral("Patient_Data"), QStringLiteral("tbPatient"), QStringLiteral("FormDate"));
    QVERIFY(before != QLatin1String("datetime"));
    {
        const maintenance::UpgradeLock running(other.get());
        m_messages.clear();
        runUpgrade(window);
        QCOMPARE(m_messages.size(), 1);
        QVERIFY2(m_messages.first().contains(QLatin1String("An upgrade of this database is already running (started by "))
                     && m_messages.first().endsWith(QLatin1String("Nothing was changed.")),
                 qPrintable(m_messages.first()));
        QCOMPARE(logLines(window), QStringList());
        QCOMPARE(site.columnType(QStringLiteral("Patient_Data"), QStringLiteral("tbPatient"), QStringLiteral("FormDate")), before);
    }
    m_messages.clear();
    runUpgrade(window);
    QVERIFY2(!m_messages.join(QLatin1Char(' ')).contains(QLatin1String("already running")), qPrintable(m_messages.join(' ')));
    QVERIFY(!logLines(window).isEmpty());
    QCOMPARE(site.columnType(QStringLiteral("Patient_Data"), QStringLiteral("tbPatient"), QStringLiteral("FormDate")),
             QStringLiteral("datetime"));
}

int main(int argc, char **argv)
{
    // The child: holds the lock until it is killed.
    if (const QByteArray folder = qgetenv(childVariable); !folder.isEmpty()) {
        auto s = tsql::Session::open(folder.toStdString(), "Patient_Data");
        if (call(*s, lockCall("Upgrade", "Exclusive")).first != 0)
            return 1;
        std::printf("held\n");
        std::fflush(stdout);
        ::pause();
        return 0;
    }
    QApplication app(argc, argv);
    TestUpgradeLock test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_upgradelock.moc"
