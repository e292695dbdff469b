#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

namespace sqlcmd {

// The command line, in the manner of SQL Server's sqlcmd.
struct Options {
    // Connection
    QString server;                  // -S: embedded folder, ODBC connection string or DSN
    QString database;                // -d, empty when not given
    QString user;                    // -U
    std::optional<QString> password; // -P
    bool trusted = false;            // -E
    QString workstation;             // -H
    int loginTimeout = -1;           // -l seconds, -1 when not given
    int queryTimeout = 0;            // -t seconds, 0 for none
    bool encrypt = false;            // -N
    bool trustServerCertificate = false; // -C

    // Input and output
    QString query;                   // -Q
    QString initialQuery;            // -q
    QStringList inputFiles;          // -i, in order
    QString outputFile;              // -o
    bool echo = false;               // -e
    QList<QPair<QString, QString>> variables; // -v, in order
    bool noVariables = false;        // -x
    bool noEnvironment = false;      // -X
    QString terminator = QStringLiteral("GO"); // -c

    // Formatting
    int headers = 0;                 // -h: 0 once per result set, -1 none, n every n rows
    QString separator = QStringLiteral(" "); // -s
    int screenWidth = 0;             // -w, 0 when not given
    bool trimSpaces = false;         // -W
    int maxVarWidth = 256;           // -y
    int maxFixedWidth = 0;           // -Y
    int controlCharacters = 0;       // -k: 1 each becomes a blank, 2 each run of them does

    // Errors
    bool exitOnError = false;        // -b
    int errorLevel = 0;              // -m
    int severityLevel = 0;           // -V
    int redirect = -1;               // -r: -1 not given, 0 errors, 1 every message

    bool help = false;               // -?
};

struct ParseResult {
    Options options;
    QString error; // empty when the command line was understood
};

ParseResult parseArguments(const QStringList &arguments); // without the program name

QString usageText();

} // namespace sqlcmd
