#include "platform/audit/SyslogSocket.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace platform::audit {

SyslogSocket::SyslogSocket(const QString &path)
    : m_path(path)
{
}

SyslogSocket::~SyslogSocket()
{
    disconnectSocket();
}

#ifdef Q_OS_UNIX

QString SyslogSocket::connectSocket()
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(m_path);
    if (name.isEmpty() || size_t(name.size()) >= sizeof(address.sun_path))
        return QStringLiteral("%1 cannot name a socket").arg(m_path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));

    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return qt_error_string(errno);
    // A log daemon that has stopped reading must not freeze the window: a second at most, then
    // the record counts as not written.
    const timeval timeout{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        const QString failure = QStringLiteral("%1: %2").arg(m_path, qt_error_string(errno));
        disconnectSocket();
        return failure;
    }
    return {};
}

void SyslogSocket::disconnectSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QString SyslogSocket::send(const QByteArray &datagram)
{
    QString failure;
    // The second round is for a daemon that restarted since the last record: the old
    // connection then refuses, a new one reaches the new daemon.
    for (int round = 0; round < 2; ++round) {
        if (m_fd < 0) {
            failure = connectSocket();
            if (!failure.isEmpty())
                return failure;
        }
        ssize_t sent;
        do
            sent = ::send(m_fd, datagram.constData(), size_t(datagram.size()), MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        if (sent == datagram.size())
            return {};
        const int error = sent < 0 ? errno : EMSGSIZE;
        failure = QStringLiteral("%1: %2").arg(m_path, qt_error_string(error));
        disconnectSocket();
        if (error != ECONNREFUSED && error != ENOTCONN && error != ECONNRESET)
            break;
    }
    return failure;
}

#else

QString SyslogSocket::connectSocket()
{
    return QStringLiteral("this system has no syslog socket");
}

void SyslogSocket::disconnectSocket()
{
}

QString SyslogSocket::send(const QByteArray &)
{
    return connectSocket();
}

#endif

} // namespace platform::audit
