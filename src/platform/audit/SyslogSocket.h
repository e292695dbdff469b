#pragma once

#include <QByteArray>
#include <QString>

namespace platform::audit {

// Sends datagrams to the system log's local socket. syslog(3) would do, but it always writes to
// /dev/log; this writer takes the socket's path, so a test can read what the program sends on a
// socket of its own. The connection is kept and made again once when the log daemon restarted.
class SyslogSocket {
public:
    static inline const QString defaultPath = QStringLiteral("/dev/log");

    explicit SyslogSocket(const QString &path = defaultPath);
    ~SyslogSocket();
    SyslogSocket(const SyslogSocket &) = delete;
    SyslogSocket &operator=(const SyslogSocket &) = delete;

    QString path() const { return m_path; }
    // Returns an empty text, or why the datagram was not taken.
    QString send(const QByteArray &datagram);

private:
    QString connectSocket();
    void disconnectSocket();

    QString m_path;
    int m_fd = -1;
};

} // namespace platform::audit
