#pragma once
// A syslog socket of the test's own, and a reader of what arrives there that is independent of
// the writer: "<PRI>Mmm dd hh:mm:ss tag[pid]: [id name="value" ...]", values unescaped as RFC 5424
// says.

#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace audittest {

struct SyslogMessage {
    int priority = -1;
    QString tag;
    qint64 pid = 0;
    QMap<QString, QString> params;
};

class PrivateSyslog {
public:
    PrivateSyslog()
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, qPrintable(path()), sizeof address.sun_path - 1);
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        m_bound = ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~PrivateSyslog() { ::close(m_fd); }

    bool isValid() const { return m_bound; }
    QString path() const { return m_dir.filePath(QStringLiteral("log")); }

    // Everything that arrived since the last call, in order.
    QList<SyslogMessage> take()
    {
        static const QRegularExpression frame(QStringLiteral(
            R"re(^<(\d+)>[A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d ([^\[ ]+)\[(\d+)\]: \[talvor@32473((?: \w+="(?:[^"\\\]]|\\.)*")*)\]$)re"));
        static const QRegularExpression param(QStringLiteral(R"re( (\w+)="((?:[^"\\\]]|\\.)*)")re"));
        static const QRegularExpression escaped(QStringLiteral(R"re(\\(["\\\]]))re"));
        QList<SyslogMessage> messages;
        char buffer[65536];
        for (ssize_t n; (n = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;) {
            SyslogMessage m;
            const auto match = frame.match(QString::fromUtf8(buffer, n));
            if (match.hasMatch()) {
                m = {match.captured(1).toInt(), match.captured(2), match.captured(3).toLongLong(), {}};
                for (auto it = param.globalMatch(match.captured(4)); it.hasNext();) {
                    const auto p = it.next();
                    m.params.insert(p.captured(1), p.captured(2).replace(escaped, QStringLiteral("\\1")));
                }
            }
            messages << m;
        }
        return messages;
    }

private:
    QTemporaryDir m_dir;
    int m_fd = -1;
    bool m_bound = false;
};

} // namespace audittest
