// Where the audit trail's records go and what they hold there, and what happens when the file
// a site named cannot take them.

#include "PrivateSyslog.h"

#include "platform/audit/AuditTrail.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace audit = platform::audit;
using audittest::PrivateSyslog;
using audittest::SyslogMessage;

namespace {

QList<QJsonObject> jsonLines(const QString &path)
{
    QFile file(path);
    QList<QJsonObject> objects;
    if (!file.open(QIODevice::ReadOnly))
        return objects;
    while (!file.atEnd()) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(file.readLine(), &error);
        objects << (error.error == QJsonParseError::NoError ? document.object() : QJsonObject{{"unreadable", true}});
    }
    return objects;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestAudit : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PrivateSyslog> m_syslog;
    QStringList m_notices;

private slots:
    void initTestCase()
    {
        // The machine's own system-wide settings must not decide where these records go.
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_dir.filePath(QStringLiteral("xdg")));
        audit::setNotice([this](const QString &text) { m_notices << text; });
    }

    void init()
    {
        m_syslog = std::make_unique<PrivateSyslog>();
        QVERIFY(m_syslog->isValid());
        audit::setSyslogSocketForTests(m_syslog->path());
        qunsetenv("TALVOR_AUDIT_FILE");
        QFile::remove(m_dir.filePath(QStringLiteral("xdg/Talvor/Patient Brelmontaxis.conf")));
        audit::restartForTests();
        m_notices.clear();
    }

    void whereRecordsGo_data()
    {
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("siteSetting");
        QTest::addColumn<QString>("expected"); // a file name, or "syslog"
        QTest::newRow("nothing named") << "" << "" << "syslog";
        QTest::newRow("the variable") << "env.jsonl" << "" << "env.jsonl";
        QTest::newRow("the system-wide setting") << "" << "site.jsonl" << "site.jsonl";
        QTest::newRow("the variable before the setting") << "env.jsonl" << "site.jsonl" << "env.jsonl";
    }
    void whereRecordsGo()
    {
        QFETCH(QString, environment);
        QFETCH(QString, siteSetting);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        if (!environment.isEmpty())
            qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(folder.filePath(environment)));
        if (!siteSetting.isEmpty()) {
            QSettings site(QSettings::SystemScope, QStringLiteral("Talvor"), QStringLiteral("Patient Brelmontaxis"));
            site.setValue(QStringLiteral("audit/file"), folder.filePath(siteSetting));
        }
        audit::record(audit::Event::SignOut, audit::Outcome::Success);

        const QList<SyslogMessage> logged = m_syslog->take();
        const QStringList files = QDir(folder.path()).entryList(QDir::Files);
        if (expected == QLatin1String("syslog")) {
            QCOMPARE(logged.size(), 1);
            QCOMPARE(files, QStringList());
        } else {
            QCOMPARE(logged.size(), 0);
            QCOMPARE(files, QStringList{expected});
        }
        QVERIFY(m_notices.isEmpty());
    }

    void theFileGetsOneJsonLinePerRecord()
    {
        const QString path = m_dir.filePath(QStringLiteral("audit.jsonl"));
        QFile::remove(path);
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(path));
        // The mode comes from the trail, not from whatever umask the session has.
        const mode_t umaskBefore = ::umask(0);
        audit::recordSignIn(QStringLiteral("demo"), QStringLiteral("/srv/site"), QString());
        ::umask(umaskBefore);
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
        const QString awkward = QStringLiteral("O'Brien \"Jr\" \\ ] Santi\u00f1o\n\t\u0001");
        audit::record(audit::Event::Search, audit::Outcome::Success,
                      {{QStringLiteral("lastName"), awkward}, {QStringLiteral("patients"), 17}});

        struct stat st{};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
        const QByteArray text = contents(path);
        QCOMPARE(text.count('\n'), 2);
        QVERIFY2(text.startsWith("{\"time\":"), text.constData());

        const QList<QJsonObject> lines = jsonLines(path);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].value("event").toString(), QStringLiteral("signIn"));
        QCOMPARE(lines[0].value("database").toString(), QStringLiteral("/srv/site"));
        const QJsonObject search = lines[1];
        QCOMPARE(search.value("event").toString(), QStringLiteral("search"));
        QCOMPARE(search.value("outcome").toString(), QStringLiteral("success"));
        QCOMPARE(search.value("user").toString(), QStringLiteral("demo"));
        QCOMPARE(search.value("host").toString(), QSysInfo::machineHostName());
        QCOMPARE(search.value("pid").toInteger(), QCoreApplication::applicationPid());
        QCOMPARE(search.value("lastName").toString(), awkward);
        QCOMPARE(search.value("patients").toInt(), 17);
        const QDateTime time = QDateTime::fromString(search.value("time").toString(), Qt::ISODateWithMs);
        QCOMPARE(time.timeSpec(), Qt::UTC);
        QVERIFY(time >= before && time <= QDateTime::currentDateTimeUtc());

        // Appended, never replaced: a later session adds its lines below.
        audit::restartForTests();
        audit::record(audit::Event::SignOut, audit::Outcome::Success);
        QVERIFY(contents(path).startsWith(text));
        QCOMPARE(jsonLines(path).size(), 3);
    }

    void systemLogFrame_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("priority");
        const int success = int(audit::Outcome::Success), failure = int(audit::Outcome::Failure);
        // authpriv is facility 10: info 10 * 8 + 6, notice 10 * 8 + 5.
        QTest::newRow("plain, success is info") << "DELA CRUZ" << "DELA CRUZ" << success << 86;
        QTest::newRow("failure is notice") << "DELA CRUZ" << "DELA CRUZ" << failure << 85;
        QTest::newRow("the three escaped characters") << "a\"b\\c]d" << "a\"b\\c]d" << success << 86;
        QTest::newRow("letters outside ASCII") << "Santi\u00f1o \u00c5" << "Santi\u00f1o \u00c5" << success << 86;
        QTest::newRow("a line break cannot start a line") << "x\ny\rz" << "x?y?z" << success << 86;
        QTest::newRow("a long value is cut") << QString(300, QLatin1Char('A')) << QString(256, QLatin1Char('A')) + "..."
                                             << success << 86;
    }
    void systemLogFrame()
    {
        QFETCH(QString, value);
        QFETCH(QString, logged);
        QFETCH(int, outcome);
        QFETCH(int, priority);
        audit::record(audit::Event::Search, audit::Outcome(outcome),
                      {{QStringLiteral("lastName"), value}, {QStringLiteral("patients"), 3}});
        const QList<SyslogMessage> messages = m_syslog->take();
        QCOMPARE(messages.size(), 1);
        const SyslogMessage &m = messages.first();
        QVERIFY2(m.priority >= 0, m.raw.constData());
        QCOMPARE(m.priority, priority);
        QCOMPARE(m.tag, QStringLiteral("talvor-search"));
        QCOMPARE(m.pid, QCoreApplication::applicationPid());
        QCOMPARE(m.params.value("event"), QStringLiteral("search"));
        QCOMPARE(m.params.value("pid"), QString::number(QCoreApplication::applicationPid()));
        QCOMPARE(m.params.value("host"), QSysInfo::machineHostName());
        QCOMPARE(m.params.value("patients"), QStringLiteral("3"));
        QCOMPARE(m.params.value("lastName"), logged);
    }

    // Each way a file can refuse a line: the records reach the system log, the clerk is told
    // once, and the file holds no part of a line.
    void anUnwritableFileFallsBackToTheSystemLog_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << "folder";
        QTest::newRow("inside a file") << "inside a file";
        QTest::newRow("a full disk") << "full disk";
        QTest::newRow("a size limit cuts the line short") << "size limit";
    }
    void anUnwritableFileFallsBackToTheSystemLog()
    {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        QString path = folder.path();
        const QByteArray earlier = "{\"earlier\":true}\n";
        if (kind == QLatin1String("inside a file") || kind == QLatin1String("size limit")) {
            QFile file(folder.filePath(QStringLiteral("audit.jsonl")));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
            path = file.fileName() + (kind == QLatin1String("inside a file") ? QStringLiteral("/audit.jsonl") : QString());
        }
        if (kind == QLatin1String("full disk"))
            path = QStringLiteral("/dev/full");
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(path));

        rlimit limitBefore{};
        if (kind == QLatin1String("size limit")) {
            std::signal(SIGXFSZ, SIG_IGN);
            ::getrlimit(RLIMIT_FSIZE, &limitBefore);
            rlimit tight = limitBefore;
            tight.rlim_cur = rlim_t(earlier.size() + 10);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tight), 0);
        }
        audit::record(audit::Event::Search, audit::Outcome::Success, {{QStringLiteral("lastName"), QStringLiteral("MA")}});
        audit::record(audit::Event::SignOut, audit::Outcome::Success);
        if (kind == QLatin1String("size limit"))
            ::setrlimit(RLIMIT_FSIZE, &limitBefore);

        QCOMPARE(m_notices.size(), 1);
        QVERIFY2(m_notices.first().contains(path) && m_notices.first().contains(QStringLiteral("system log")),
                 qPrintable(m_notices.first()));
        const QList<SyslogMessage> logged = m_syslog->take();
        QStringList events;
        for (const SyslogMessage &m : logged)
            events << m.params.value("event");
        QCOMPARE(events, (QStringList{"auditFileFailed", "search", "signOut"}));
        QCOMPARE(logged.first().params.value("file"), path);
        QVERIFY(!logged.first().params.value("error").isEmpty());
        QCOMPARE(logged[1].params.value("lastName"), QStringLiteral("MA"));
        if (kind == QLatin1String("size limit"))
            QCOMPARE(contents(path), earlier);
    }

    void noSystemLogIsToldOnceAndTheProgramGoesOn()
    {
        audit::setSyslogSocketForTests(m_dir.filePath(QStringLiteral("no-such-socket")));
        audit::record(audit::Event::Search, audit::Outcome::Success);
        audit::record(audit::Event::SignOut, audit::Outcome::Success);
        QCOMPARE(m_notices.size(), 1);
        QVERIFY2(m_notices.first().contains(QStringLiteral("system log")), qPrintable(m_notices.first()));
    }
};

QTEST_GUILESS_MAIN(TestAudit)
#include "tst_audit.moc"
