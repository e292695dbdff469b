#pragma once
// A syslog socket of the test's own: a Unix datagram socket in a temporary folder that the audit
// trail is pointed at, and a reader of what arrives there, independent of the writer.

#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace audittest {

struct SyslogMessage {
    int priority = -1; // facility * 8 + severity
    QString tag;
    qint64 pid = 0;
    QString sdId;
    QMap<QString, QString> params;
    QByteArray raw;
};

// "<PRI>Mmm dd hh:mm:ss tag[pid]: [id name="value" ...]", values unescaped as RFC 5424 says.
inline SyslogMessage parseSyslog(const QByteArray &datagram)
{
    static const QRegularExpression frame(
        QStringLiteral(R"re(^<(\d{1,3})>[A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d ([^\[ ]+)\[(\d+)\]: )re"
                       R"re(\[([^ \]]+)((?: [^= ]+="(?:[^"\\\]]|\\.)*")*)\]$)re"));
    static const QRegularExpression param(QStringLiteral(R"re( ([^= ]+)="((?:[^"\\\]]|\\.)*)")re"));
    static const QRegularExpression escaped(QStringLiteral(R"re(\\(["\\\]]))re"));
    SyslogMessage message;
    message.raw = datagram;
    const auto match = frame.match(QString::fromUtf8(datagram));
    if (!match.hasMatch())
        return message;
    message.priority = match.captured(1).toInt();
    message.tag = match.captured(2);
    message.pid = match.captured(3).toLongLong();
    message.sdId = match.captured(4);
    for (auto it = param.globalMatch(match.captured(5)); it.hasNext();) {
        const auto p = it.next();
        message.params.insert(p.captured(1), QString(p.captured(2)).replace(escaped, QStringLiteral("\\1")));
    }
    return message;
}

class PrivateSyslog {
public:
    PrivateSyslog()
    {
        m_path = m_dir.filePath(QStringLiteral("log"));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.toLocal8Bit().constData(), sizeof address.sun_path - 1);
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~PrivateSyslog()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PrivateSyslog(const PrivateSyslog &) = delete;
    PrivateSyslog &operator=(const PrivateSyslog &) = delete;

    bool isValid() const { return m_fd >= 0; }
    QString path() const { return m_path; }

    // Everything that arrived since the last call, in order of arrival.
    QList<SyslogMessage> take()
    {
        QList<SyslogMessage> messages;
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n < 0)
                return messages;
            messages << parseSyslog(QByteArray(buffer, n));
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    int m_fd = -1;
};

} // namespace audittest
