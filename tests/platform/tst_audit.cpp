// Where the audit trail's records go, what they hold there, and what happens when the file a
// site named cannot take them.

#include "PrivateSyslog.h"

#include "platform/audit/AuditTrail.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QSysInfo>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace audit = platform::audit;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString awkward = QStringLiteral("O\"Brien \\ ] Santi\u00f1o\n\u0001");

} // namespace

class TestAudit : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<audittest::PrivateSyslog> m_syslog;
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
        m_syslog = std::make_unique<audittest::PrivateSyslog>();
        QVERIFY(m_syslog->isValid());
        audit::setSyslogSocketForTests(m_syslog->path());
        qunsetenv("TALVOR_AUDIT_FILE");
        QSettings(QSettings::SystemScope, QStringLiteral("Talvor"), QStringLiteral("Patient Brelmontaxis")).clear();
        audit::restartForTests();
        m_notices.clear();
    }

    void whereRecordsGo_data()
    {
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("siteSetting");
        QTest::addColumn<QString>("expected"); // a file's name, or empty for the system log
        QTest::newRow("nothing named") << "" << "" << "";
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
        if (!siteSetting.isEmpty())
            QSettings(QSettings::SystemScope, QStringLiteral("Talvor"), QStringLiteral("Patient Brelmontaxis"))
                .setValue(QStringLiteral("audit/file"), folder.filePath(siteSetting));
        audit::record(audit::Event::SignOut, audit::Outcome::Success);
        QCOMPARE(m_syslog->take().size(), expected.isEmpty() ? 1 : 0);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), expected.isEmpty() ? QStringList() : QStringList{expected});
    }

    void theFileGetsWholeJsonLines()
    {
        const QString path = m_dir.filePath(QStringLiteral("audit.jsonl"));
        const QByteArray earlier = "{\"earlier\":true}\n";
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(path));
        // The mode comes from the trail, not from the session's umask.
        const mode_t umaskBefore = ::umask(0);
        audit::record(audit::Event::SignOut, audit::Outcome::Success);
        ::umask(umaskBefore);
        struct stat st{};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));

        QFile(path).resize(0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append) && file.write(earlier) == earlier.size());
        file.close();
        audit::record(audit::Event::Search, audit::Outcome::Success, {{"lastName", awkward}, {"patients", 17}});
        const QByteArray text = contents(path);
        QVERIFY(text.startsWith(earlier) && text.endsWith('\n'));
        const QJsonObject r = QJsonDocument::fromJson(text.mid(earlier.size())).object();
        QVERIFY2(text.mid(earlier.size()).startsWith("{\"time\":"), text.constData());
        QCOMPARE(r.value("event").toString(), QStringLiteral("search"));
        QCOMPARE(r.value("lastName").toString(), awkward);
        QCOMPARE(r.value("patients").toInt(), 17);
        QCOMPARE(r.value("host").toString(), QSysInfo::machineHostName());
        QCOMPARE(r.value("pid").toInteger(), QCoreApplication::applicationPid());
        const QDateTime time = QDateTime::fromString(r.value("time").toString(), Qt::ISODateWithMs);
        QVERIFY(time.timeSpec() == Qt::UTC && qAbs(time.secsTo(QDateTime::currentDateTimeUtc())) < 60);
    }

    void systemLogMessages_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("priority"); // authpriv (10) * 8 + info (6) or notice (5)
        const int success = int(audit::Outcome::Success);
        QTest::newRow("success is info") << "DELA CRUZ" << "DELA CRUZ" << success << 86;
        QTest::newRow("failure is notice") << "DELA CRUZ" << "DELA CRUZ" << int(audit::Outcome::Failure) << 85;
        QTest::newRow("escapes, letters outside ASCII, no line breaks") << awkward << "O\"Brien \\ ] Santi\u00f1o??"
                                                                         << success << 86;
        QTest::newRow("a long value is cut") << QString(300, 'A') << QString(256, 'A') + "..." << success << 86;
    }
    void systemLogMessages()
    {
        QFETCH(QString, value);
        QFETCH(QString, logged);
        QFETCH(int, outcome);
        QFETCH(int, priority);
        audit::record(audit::Event::Search, audit::Outcome(outcome), {{"lastName", value}, {"patients", 3}});
        const QList<audittest::SyslogMessage> messages = m_syslog->take();
        QCOMPARE(messages.size(), 1);
        const audittest::SyslogMessage &m = messages.first();
        QCOMPARE(m.priority, priority);
        QCOMPARE(m.tag, QStringLiteral("talvor-search"));
        QCOMPARE(m.pid, QCoreApplication::applicationPid());
        QCOMPARE(m.params.value("event"), QStringLiteral("search"));
        QCOMPARE(m.params.value("patients"), QStringLiteral("3"));
        QCOMPARE(m.params.value("lastName"), logged);
    }

    // Each way a file can refuse a line: the records reach the system log, the clerk is told
    // once, and the file holds no part of a line.
    void anUnwritableFileFallsBackToTheSystemLog_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"a folder", "inside a file", "a full disk", "a size limit cuts the line short"})
            QTest::newRow(kind) << kind;
    }
    void anUnwritableFileFallsBackToTheSystemLog()
    {
        QFETCH(QString, kind);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("audit.jsonl"));
        const QByteArray earlier = "{\"earlier\":true}\n";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(earlier) == earlier.size());
        f.close();
        const QString path = kind == "a folder" ? folder.path()
                             : kind == "inside a file" ? file + "/audit.jsonl"
                             : kind == "a full disk" ? QStringLiteral("/dev/full") : file;
        qputenv("TALVOR_AUDIT_FILE", QFile::encodeName(path));
        rlimit limitBefore{};
        ::getrlimit(RLIMIT_FSIZE, &limitBefore);
        if (kind.startsWith("a size limit")) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit tight = limitBefore;
            tight.rlim_cur = rlim_t(earlier.size() + 10);
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &tight), 0);
        }
        audit::record(audit::Event::Search, audit::Outcome::Success, {{"lastName", "MA"}});
        audit::record(audit::Event::SignOut, audit::Outcome::Success);
        ::setrlimit(RLIMIT_FSIZE, &limitBefore);

        QCOMPARE(m_notices.size(), 1);
        QVERIFY2(m_notices.first().contains(path) && m_notices.first().contains("system log"), qPrintable(m_notices[0]));
        QStringList events;
        for (const audittest::SyslogMessage &m : m_syslog->take())
            events << m.params.value("event") + ' ' + m.params.value("file") + m.params.value("lastName");
        QCOMPARE(events, (QStringList{"auditFileFailed " + path, "search MA", "signOut "}));
        QCOMPARE(contents(file), earlier);
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
