#pragma once
// Runs the built talvor-sqlcmd as a user would, and keeps what it printed and how it ended.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct SqlcmdRun {
    QString out, err;
    int exitCode = -1; // -1 when it crashed or did not finish

    static SqlcmdRun start(const QStringList &args, const QByteArray &input = {},
                           const QString &workingDirectory = {});
};
