// The access audit trail of a whole program run: the real sign-in, search window, record window
// and maintenance window, driven as a clerk and an administrator would, with the trail in a file
// and, when the file cannot take it, in a syslog socket of the test's own.

#include "../platform/PrivateSyslog.h"
#include "../search/SearchTestDatabase.h"
#include "../search/SearchWindowFixture.h"

#include "maintenance/frmAdmin.h"
#include "platform/audit/AuditTrail.h"
#include "platform/files/TextFile.h"
#include "platform/ui/MessageBox.h"
#include "search/frmMain2.h"
#include "standins/StandIns.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace audit = platform::audit;

namespace {

const QString wrongPassword = QStringLiteral("Wr0ng-Pa55word");

// Answers the sign-in dialog once it is up: a wrong password first, then the right one.
void signInWithOneMistake()
{
    QTimer::singleShot(0, [] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        QTimer::singleShot(30000, dialog, &QWidget::close);
        for (const QString &password : {wrongPassword, QStringLiteral("demo")}) {
            dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("demo"));
            dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        }
    });
}

template <typename Window>
Window *window()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<Window *>(top))
            return found;
    return nullptr;
}

// What a record says, in a form one line of a test can compare: the event, the outcome and the
// named fields, "event outcome name=value ...".
QString summary(const QJsonObject &record, const QStringList &names)
{
    QString text = record.value("event").toString() + ' ' + record.value("outcome").toString();
    for (const QString &name : names)
        text += ' ' + name + '=' + record.value(name).toVariant().toString();
    return text;
}

} // namespace

class TestAuditTrail : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_database, m_programFolder, m_auditFolder;
    QStringList m_messages;

    void startProgram()
    {
        audit::restartForTests();
        m_messages.clear();
        signInWithOneMistake();
        QCOMPARE(Module1::Main(), 0);
        QVERIFY(window<frmMain2>());
    }

private slots:
    void initTestCase()
    {
        searchtest::createDatabase(m_database.path(), QDate::currentDate());
        qputenv("TALVOR_DATABASE", QFile::encodeName(m_database.path()));
        platform::files::setProgramFolderForTests(m_programFolder.path());
        platform::ui::MessageBox::setResponder([this](const platform::ui::ShownMessage &m) { m_messages << m.text; });
        standins::registerComponents();
    }

    void cleanup()
    {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (qobject_cast<frmMain2 *>(top) || qobject_cast<frmAdmin *>(top))
                delete top;
        delete Module1::currentUser();
    }

    void anUnwritableFileGoesToTheSystemLogAndIsToldOnce()
    {
        audittest::PrivateSyslog syslog;
        QVERIFY(syslog.isValid());
        audit::setSyslogSocketForTests(syslog.path());
        // A folder where the file should be: no process can append to it, not even root's.
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(m_auditFolder.path()));
        startProgram();
        frmMain2 *w = window<frmMain2>();
        for (const QString &name : {QStringLiteral("DELA"), QStringLiteral("GARCIA")}) {
            w->txtLastName->setText(name);
            QTest::keyClick(w->txtLastName, Qt::Key_Return);
        }
        audit::setSyslogSocketForTests(QString());

        const QStringList notices = m_messages.filter(QStringLiteral("access audit"));
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices.first().contains(m_auditFolder.path()), qPrintable(notices.first()));
        QStringList events;
        for (const audittest::SyslogMessage &m : syslog.take())
            events << m.params.value("event") + ' ' + m.params.value("outcome") + ' ' + m.params.value("user") + ' '
                          + m.params.value("lastName");
        QCOMPARE(events, (QStringList{"auditFileFailed failure demo ", "signIn failure demo ", "signIn success demo ",
                                      "registrations success demo ", "search success demo DELA",
                                      "search success demo GARCIA"}));
    }

    // Last: the program's end is its event loop's end.
    void aClerksDayFromSignInToTheEnd()
    {
        const QString path = m_auditFolder.filePath(QStringLiteral("audit.jsonl"));
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(path));
        const QDateTime start = QDateTime::currentDateTimeUtc().addMSecs(-1);
        startProgram();
        frmMain2 *w = window<frmMain2>();

        w->txtLastName->setText(QStringLiteral("DELA"));
        QTest::keyClick(w->txtLastName, Qt::Key_Return);
        QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(w->Grid1, 1, 0));
        const QString newest = w->Grid2->textMatrix(1, 1);
        QTest::mouseDClick(w->Grid2->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(w->Grid2, 1, 3));
        for (const QString &number : {QStringLiteral("IP-1001"), QStringLiteral("OP-1001")}) {
            w->txtIDNum->setText(number);
            QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);
        }
        // A search the guard refuses to send is recorded as failed.
        w->txtLastName->setText(QStringLiteral("O'"));
        QTest::keyClick(w->txtLastName, Qt::Key_Return);
        QTest::mouseClick(w->cmdAdmin, Qt::LeftButton);
        auto *admin = window<frmAdmin>();
        QVERIFY(admin);
        QTest::mouseClick(admin->cmdUpdate, Qt::LeftButton);
        QVERIFY(!admin->isRunning());
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(!text.contains(wrongPassword.toUtf8()), "a password reached the trail");
        QList<QJsonObject> records;
        for (const QByteArray &line : text.split('\n'))
            if (!line.isEmpty())
                records << QJsonDocument::fromJson(line).object();

        const QStringList expected = {
            "signIn failure database=" + m_database.path() + " reason=The user name or the password is not right.",
            "signIn success database=" + m_database.path() + " reason=",
            "registrations success hospNum= admDate=" + searchtest::todayMdy() + " rows=3",
            "search success hospNum= lastName=DELA firstName= middleName= birthDate= patients=2",
            "registrations success hospNum=H0001 admDate= rows=4",
            "recordOpened success hospNum=H0001 idNum=" + newest + " via=grid",
            "recordOpened success hospNum=H0001 idNum=IP-1001 via=admissionNumber",
            "recordOpened notFound hospNum= idNum=OP-1001 via=admissionNumber",
            "search failure hospNum=H0001 lastName=O' firstName= middleName= birthDate= patients=0",
            "maintenanceStarted success button=Update Database",
        };
        const QHash<QString, QStringList> names = {
            {"signIn", {"database", "reason"}},
            {"registrations", {"hospNum", "admDate", "rows"}},
            {"search", {"hospNum", "lastName", "firstName", "middleName", "birthDate", "patients"}},
            {"recordOpened", {"hospNum", "idNum", "via"}},
            {"maintenanceStarted", {"button"}},
            {"maintenanceFinished", {"button", "refusedStatements"}},
        };
        QStringList seen;
        for (const QJsonObject &r : records)
            seen << summary(r, names.value(r.value("event").toString()));
        QCOMPARE(seen.mid(0, expected.size()), expected);
        QCOMPARE(seen.size(), expected.size() + 2);

        // The run went on past the statements this small database refuses, as its log shows.
        const QJsonObject finished = records.at(expected.size());
        QCOMPARE(finished.value("event").toString(), QStringLiteral("maintenanceFinished"));
        QCOMPARE(finished.value("button").toString(), QStringLiteral("Update Database"));
        const int refused = finished.value("refusedStatements").toInt();
        QCOMPARE(finished.value("outcome").toString(), QString(refused > 0 ? "partial" : "success"));
        QCOMPARE(summary(records.last(), {}), QStringLiteral("signOut success"));

        for (const QJsonObject &r : records) {
            QCOMPARE(r.value("user").toString(), QStringLiteral("demo"));
            QCOMPARE(r.value("host").toString(), QSysInfo::machineHostName());
            QCOMPARE(r.value("pid").toInteger(), QCoreApplication::applicationPid());
            const QDateTime time = QDateTime::fromString(r.value("time").toString(), Qt::ISODateWithMs);
            QVERIFY(time.timeSpec() == Qt::UTC && time >= start && time <= QDateTime::currentDateTimeUtc());
        }
    }
};

int main(int argc, char **argv)
{
    // The sign-in remembers the last database in the user's settings: keep ours apart.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QApplication app(argc, argv);
    TestAuditTrail test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_audit.moc"
