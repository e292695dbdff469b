#include "platform/data/Connection.h"
#include "platform/data/EmbeddedConnection.h"
#include "platform/data/OdbcConnection.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

bool isEmbeddedTarget(const QString &target)
{
    // Every ODBC connection string holds key=value pairs; no folder name we accept does.
    if (target.contains(QLatin1Char('=')))
        return false;
    if (QFileInfo(target).isDir())
        return true;
    // A folder that does not exist yet is still meant as one when it reads as a path; a bare
    // word is a DSN.
    return target.contains(QLatin1Char('/')) || target.contains(QLatin1Char('\\'));
}

std::unique_ptr<Connection> openConnection(const QString &target, const QString &user,
                                           const QString &password, const ConnectionOptions &options)
{
    if (isEmbeddedTarget(target))
        return EmbeddedConnection::open(QDir::fromNativeSeparators(target));
    return openOdbcConnection(target, user, password, options);
}

} // namespace platform
