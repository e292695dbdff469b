#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace sqlcmd {

// The command line, in the manner of SQL Server's sqlcmd.
struct Options {
    QString server;                  // -S: embedded folder, ODBC connection string or DSN
    QString database;                // -d, empty when not given
    QString query;                   // -Q
    QStringList inputFiles;          // -i, in order
    QString outputFile;              // -o
    QString user;                    // -U
    std::optional<QString> password; // -P
    bool trusted = false;            // -E
    bool headings = true;            // false for -h -1
    QString separator = QStringLiteral(" "); // -s
    bool trimSpaces = false;         // -W
    bool exitOnError = false;        // -b
    bool help = false;               // -?
};

struct ParseResult {
    Options options;
    QString error; // empty when the command line was understood
};

ParseResult parseArguments(const QStringList &arguments); // without the program name

QString usageText();

} // namespace sqlcmd
