#include "platform/audit/AuditTrail.h"

#include "platform/audit/AuditFile.h"
#include "platform/audit/SyslogSocket.h"

#include <QCoreApplication>
#include <QSettings>
#include <QSysInfo>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace platform::audit {

namespace {

struct Session {
    bool configured = false;
    QString file;
    QString user;
    bool toldTheClerk = false;
    bool fileFailureRecorded = false;
    QString socketPath = SyslogSocket::defaultPath;
    std::unique_ptr<SyslogSocket> socket;
    std::function<void(const QString &)> notice;
};

Session &session()
{
    static Session s;
    return s;
}

// Who sits at the workstation: named by records before a sign-in, and after an integrated
// sign-in, where the database login is this account.
QString workstationAccount()
{
#ifdef Q_OS_UNIX
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

AuditRecord makeRecord(const QString &event, const QString &outcome, const QString &user, const Fields &fields)
{
    AuditRecord r;
    r.time = QDateTime::currentDateTimeUtc();
    r.event = event;
    r.outcome = outcome;
    r.user = user.isEmpty() ? workstationAccount() : user;
    r.host = QSysInfo::machineHostName();
    r.pid = QCoreApplication::applicationPid();
    r.fields = fields;
    return r;
}

QString sendToSyslog(const AuditRecord &record)
{
    Session &s = session();
    if (!s.socket)
        s.socket = std::make_unique<SyslogSocket>(s.socketPath);
    return s.socket->send(syslogDatagram(record, record.time.toLocalTime()));
}

void tellTheClerkOnce(const QString &file, const QString &fileFailure, const QString &syslogFailure)
{
    Session &s = session();
    if (s.toldTheClerk)
        return;
    // Set first: telling may run an event loop in which more records are made.
    s.toldTheClerk = true;
    QString text;
    if (syslogFailure.isEmpty())
        text = QStringLiteral("The access audit (who looked at which patient) cannot be written to %1: %2\n\n"
                              "It goes to the system log instead. Please tell your system administrator.")
                   .arg(file, fileFailure);
    else if (fileFailure.isEmpty())
        text = QStringLiteral("The access audit (who looked at which patient) cannot be written to the system "
                              "log: %1\n\nPlease tell your system administrator.")
                   .arg(syslogFailure);
    else
        text = QStringLiteral("The access audit (who looked at which patient) cannot be written to %1 (%2) nor "
                              "to the system log (%3).\n\nPlease tell your system administrator.")
                   .arg(file, fileFailure, syslogFailure);
    if (s.notice)
        s.notice(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

void deliver(const AuditRecord &record)
{
    Session &s = session();
    if (!s.configured) {
        s.file = configuredFile();
        s.configured = true;
    }
    const QByteArray line = jsonLine(record);
    QString fileFailure;
    if (!s.file.isEmpty()) {
        fileFailure = appendWholeLine(s.file, line);
        if (fileFailure.isEmpty())
            return;
        // The administrators reading the system log learn why the file's records are there.
        if (!s.fileFailureRecorded) {
            s.fileFailureRecorded = true;
            sendToSyslog(makeRecord(QStringLiteral("auditFileFailed"), outcomeName(Outcome::Failure), record.user,
                                    {{QStringLiteral("file"), s.file}, {QStringLiteral("error"), fileFailure}}));
        }
    }
    const QString syslogFailure = sendToSyslog(record);
    // The last place left, so the record is not lost without a trace.
    if (!syslogFailure.isEmpty())
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    if (!fileFailure.isEmpty() || !syslogFailure.isEmpty())
        tellTheClerkOnce(s.file, fileFailure, syslogFailure);
}

void recordAs(const QString &user, Event event, Outcome outcome, const Fields &fields) noexcept
{
    // Auditing must never be what stops a clerk's work.
    try {
        deliver(makeRecord(eventName(event), outcomeName(outcome), user, fields));
    } catch (...) {
    }
}

} // namespace

QString eventName(Event event)
{
    switch (event) {
    case Event::SignIn: return QStringLiteral("signIn");
    case Event::Search: return QStringLiteral("search");
    case Event::Registrations: return QStringLiteral("registrations");
    case Event::RecordOpened: return QStringLiteral("recordOpened");
    case Event::MaintenanceStarted: return QStringLiteral("maintenanceStarted");
    case Event::MaintenanceFinished: return QStringLiteral("maintenanceFinished");
    case Event::SignOut: return QStringLiteral("signOut");
    }
    return {};
}

QString outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Success: return QStringLiteral("success");
    case Outcome::Failure: return QStringLiteral("failure");
    case Outcome::NotFound: return QStringLiteral("notFound");
    case Outcome::Refused: return QStringLiteral("refused");
    case Outcome::Partial: return QStringLiteral("partial");
    }
    return {};
}

void record(Event event, Outcome outcome, const Fields &fields)
{
    recordAs(session().user, event, outcome, fields);
}

void recordSignIn(const QString &user, const QString &database, const QString &reason)
{
    Fields fields{{QStringLiteral("database"), database}};
    if (!reason.isEmpty())
        fields.append({QStringLiteral("reason"), reason});
    recordAs(user, Event::SignIn, reason.isEmpty() ? Outcome::Success : Outcome::Failure, fields);
    if (reason.isEmpty())
        session().user = user;
}

Scope::Scope(Event event, Fields fields)
    : m_event(event)
    , m_fields(std::move(fields))
{
}

Scope::Scope(Scope &&other) noexcept
    : m_event(other.m_event)
    , m_fields(std::move(other.m_fields))
    , m_outcome(other.m_outcome)
    , m_exceptions(other.m_exceptions)
{
    other.m_live = false;
}

Scope::~Scope()
{
    if (m_live)
        record(m_event, std::uncaught_exceptions() > m_exceptions ? Outcome::Failure : m_outcome, m_fields);
}

void Scope::set(const QString &name, const QVariant &value)
{
    for (auto &field : m_fields)
        if (field.first == name) {
            field.second = value;
            return;
        }
    m_fields.append({name, value});
}

void setNotice(std::function<void(const QString &)> notice)
{
    session().notice = std::move(notice);
}

QString configuredFile()
{
    const QString fromEnvironment = qEnvironmentVariable("TALVOR_AUDIT_FILE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // The system-wide file, which the site's administrators keep; the user's own settings are
    // not read for it.
    const QSettings site(QSettings::SystemScope, QStringLiteral("Talvor"), QStringLiteral("Patient Brelmontaxis"));
    return site.value(QStringLiteral("audit/file")).toString();
}

void setSyslogSocketForTests(const QString &path)
{
    Session &s = session();
    s.socketPath = path.isEmpty() ? SyslogSocket::defaultPath : path;
    s.socket.reset();
}

void restartForTests()
{
    Session &s = session();
    s.configured = false;
    s.file.clear();
    s.user.clear();
    s.toldTheClerk = false;
    s.fileFailureRecorded = false;
    s.socket.reset();
}

} // namespace platform::audit
