// The access audit trail of a whole program run: the real sign-in, search, record and
// maintenance windows, driven as a clerk and an administrator would.

#include "../platform/PrivateSyslog.h"
#include "../search/SearchTestDatabase.h"
#include "../search/SearchWindowFixture.h"

#include "maintenance/frmAdmin.h"
#include "platform/audit/AuditTrail.h"
#include "platform/files/TextFile.h"
#include "platform/ui/MessageBox.h"
#include "standins/StandIns.h"
#include "startup/Module1.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString wrongPassword = QStringLiteral("Wr0ng-Pa55word");

template <typename Window>
Window *window()
{
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<Window *>(top))
            return found;
    return nullptr;
}

void search(frmMain2 *w, const QString &lastName)
{
    w->txtLastName->setText(lastName);
    QTest::keyClick(w->txtLastName, Qt::Key_Return);
}

} // namespace

class TestAuditTrail : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_database, m_programFolder, m_auditFolder;
    QStringList m_messages;

    // Signs in with a wrong password first, then the right one.
    frmMain2 *startProgram()
    {
        platform::audit::restartForTests();
        m_messages.clear();
        QTimer::singleShot(0, [] {
            QWidget *dialog = QApplication::activeModalWidget();
            QVERIFY(dialog);
            for (const QString &password : {wrongPassword, QStringLiteral("demo")}) {
                dialog->findChild<QLineEdit *>(QStringLiteral("txtUserName"))->setText(QStringLiteral("demo"));
                dialog->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
                QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
            }
        });
        return Module1::Main() == 0 ? window<frmMain2>() : nullptr;
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
        delete window<frmAdmin>();
        delete window<frmMain2>();
        delete Module1::currentUser();
    }

    void anUnwritableFileGoesToTheSystemLogAndIsToldOnce()
    {
        audittest::PrivateSyslog syslog;
        QVERIFY(syslog.isValid());
        platform::audit::setSyslogSocketForTests(syslog.path());
        // A folder where the file should be: nobody can append to it, root included.
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(m_auditFolder.path()));
        frmMain2 *w = startProgram();
        QVERIFY(w);
        search(w, QStringLiteral("DELA"));
        search(w, QStringLiteral("GARCIA"));
        platform::audit::setSyslogSocketForTests(QString());

        QCOMPARE(m_messages.filter(QStringLiteral("access audit")).size(), 1);
        QStringList events;
        for (const audittest::SyslogMessage &m : syslog.take())
            events << m.params.value("event") + ' ' + m.params.value("outcome") + ' ' + m.params.value("lastName");
        QCOMPARE(events, (QStringList{"auditFileFailed failure ", "signIn failure ", "signIn success ",
                                      "registrations success ", "search success DELA", "search success GARCIA"}));
    }

    // Last: the program's end is its event loop's end.
    void aClerksDayFromSignInToTheEnd()
    {
        const QString path = m_auditFolder.filePath(QStringLiteral("audit.jsonl"));
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(path));
        frmMain2 *w = startProgram();
        QVERIFY(w);
        search(w, QStringLiteral("DELA"));
        QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(w->Grid1, 1, 0));
        const QString newest = w->Grid2->textMatrix(1, 1);
        QTest::mouseDClick(w->Grid2->viewport(), Qt::LeftButton, {}, searchtest::cellCentre(w->Grid2, 1, 3));
        for (const QString &number : {QStringLiteral("IP-1001"), QStringLiteral("OP-1001")}) {
            w->txtIDNum->setText(number);
            QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);
        }
        search(w, QStringLiteral("O'")); // refused before it is sent
        QTest::mouseClick(w->cmdAdmin, Qt::LeftButton);
        QVERIFY(window<frmAdmin>());
        QTest::mouseClick(window<frmAdmin>()->cmdUpdate, Qt::LeftButton);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(!text.contains(wrongPassword.toUtf8()), "a password reached the trail");
        const QString db = m_database.path();
        const QStringList expected = {
            "signIn failure database=" + db + " reason=The user name or the password is not right.",
            "signIn success database=" + db,
            "registrations success admDate=" + searchtest::todayMdy() + " hospNum= rows=3",
            "search success birthDate= firstName= hospNum= lastName=DELA middleName= patients=2",
            "registrations success admDate= hospNum=H0001 rows=4",
            "recordOpened success hospNum=H0001 idNum=" + newest + " via=grid",
            "recordOpened success hospNum=H0001 idNum=IP-1001 via=admissionNumber",
            "recordOpened notFound hospNum= idNum=OP-1001 via=admissionNumber",
            "search failure birthDate= firstName= hospNum=H0001 lastName=O' middleName= patients=0",
            "maintenanceStarted success button=Update Database",
            // The small database lacks tables the upgrade works on; the run goes past them.
            "maintenanceFinished partial button=Update Database refusedStatements",
            "signOut success",
        };
        QStringList seen;
        for (const QByteArray &line : text.split('\n')) {
            const QJsonObject r = QJsonDocument::fromJson(line).object();
            if (r.isEmpty())
                continue;
            QCOMPARE(r.value("user").toString(), QStringLiteral("demo"));
            QString summary = r.value("event").toString() + ' ' + r.value("outcome").toString();
            // The fields after the six every record has, by name.
            for (const QString &name : r.keys())
                if (!QStringList{"time", "event", "outcome", "user", "host", "pid"}.contains(name))
                    summary += ' ' + name + (name == "refusedStatements" ? QString() : '=' + r.value(name).toVariant().toString());
            seen << summary;
        }
        QCOMPARE(seen, expected);
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
