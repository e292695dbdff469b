#include "SqlcmdRun.h"

#include <QCoreApplication>
#include <QProcess>

SqlcmdRun SqlcmdRun::start(const QStringList &args, const QByteArray &input, const QString &workingDirectory)
{
    QProcess p;
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/talvor-sqlcmd"), args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        p.kill();
    return {QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError()),
            p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1};
}
