#include "platform/audit/AuditFile.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform::audit {

#ifdef Q_OS_UNIX

namespace {

QString systemError(int error)
{
    return qt_error_string(error);
}

} // namespace

QString appendWholeLine(const QString &path, const QByteArray &line)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0)
        return systemError(errno);
    // Two programs of one workstation may share the file; the lock keeps the size read below
    // from moving before the line is written or taken back.
    const bool locked = ::flock(fd, LOCK_EX) == 0;
    struct stat before {};
    const bool regular = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);

    QString failure;
    qsizetype written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd, line.constData() + written, size_t(line.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = systemError(n < 0 ? errno : ENOSPC);
            break;
        }
        written += n;
    }
    // A line cut short would leave half a record that the next line runs into.
    if (!failure.isEmpty() && written > 0 && regular && ::ftruncate(fd, before.st_size) != 0)
        failure += QStringLiteral(" (a part of the line could not be taken back)");
    if (locked)
        ::flock(fd, LOCK_UN);
    if (::close(fd) != 0 && failure.isEmpty())
        failure = systemError(errno);
    return failure;
}

#else

QString appendWholeLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    const qint64 before = file.size();
    if (file.write(line) != line.size() || !file.flush()) {
        const QString failure = file.errorString();
        file.resize(before);
        return failure;
    }
    return {};
}

#endif

} // namespace platform::audit
