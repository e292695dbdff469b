// talvor-sqlcmd: a command-line Transact-SQL shell in the manner of SQL Server's sqlcmd, on an
// embedded database folder or on SQL Server through ODBC.

#include "BatchReader.h"
#include "Login.h"
#include "Options.h"
#include "Shell.h"

#include "platform/data/Connection.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void printError(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

QString decode(const QByteArray &bytes)
{
    // Scripts are UTF-8, with or without the byte-order mark Windows editors add.
    return QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
}

// Runs the batches of a text; false when the shell must stop.
bool runBatches(sqlcmd::Shell &shell, const sqlcmd::BatchReader::Batch &b)
{
    for (int i = 0; i < b.repeat; ++i) {
        if (!shell.runBatch(b.text))
            return false;
    }
    return true;
}

bool runScript(sqlcmd::Shell &shell, const QString &text)
{
    sqlcmd::BatchReader reader;
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (auto b = reader.addLine(line)) {
            if (!runBatches(shell, *b))
                return false;
        }
        if (reader.quit())
            return true;
    }
    if (auto b = reader.finish())
        return runBatches(shell, *b);
    return true;
}

void runInput(sqlcmd::Shell &shell)
{
    const bool interactive = sqlcmd::inputIsTerminal();
    sqlcmd::BatchReader reader;
    std::string line;
    for (;;) {
        if (interactive) {
            std::fprintf(stdout, "%d> ", reader.pendingLines() + 1);
            std::fflush(stdout);
        }
        if (!std::getline(std::cin, line))
            break;
        QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        if (text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        if (auto b = reader.addLine(text)) {
            if (!runBatches(shell, *b))
                return;
        }
        if (reader.quit())
            return;
    }
    if (auto b = reader.finish())
        runBatches(shell, *b);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const sqlcmd::ParseResult parsed = sqlcmd::parseArguments(app.arguments().mid(1));
    if (!parsed.error.isEmpty()) {
        printError(parsed.error);
        return 1;
    }
    sqlcmd::Options options = parsed.options;
    if (options.help) {
        std::fputs(sqlcmd::usageText().toUtf8().constData(), stdout);
        return 0;
    }
    if (options.server.isEmpty())
        options.server = qEnvironmentVariable("TALVOR_DATABASE");
    if (options.server.isEmpty()) {
        printError(QStringLiteral("Sqlcmd: Error: No database given: use -S with a database folder, "
                                  "an ODBC connection string or a DSN."));
        return 1;
    }

    std::FILE *out = stdout;
    if (!options.outputFile.isEmpty()) {
        out = std::fopen(QFile::encodeName(options.outputFile).constData(), "w");
        if (!out) {
            printError(QStringLiteral("Sqlcmd: Error: The file '%1' cannot be written.").arg(options.outputFile));
            return 1;
        }
    }

    std::unique_ptr<platform::Connection> connection;
    try {
        const bool embedded = platform::isEmbeddedTarget(options.server);
        sqlcmd::Login login = sqlcmd::loginFor(options, embedded);
        connection = platform::openConnection(login.target, login.user, login.password);
        login.password.fill(QLatin1Char(' '));
        if (!options.database.isEmpty()
            && options.database.compare(connection->currentDatabase(), Qt::CaseInsensitive) != 0) {
            connection->execute(QStringLiteral("USE ") + options.database);
        }
    } catch (const platform::DatabaseError &e) {
        if (e.number() != 0)
            printError(QStringLiteral("Msg %1, Level %2, State %3, Line 1\n%4")
                           .arg(e.number()).arg(e.severity()).arg(e.state()).arg(e.description()));
        else
            printError(QStringLiteral("Sqlcmd: Error: ") + e.description());
        return 1;
    } catch (const platform::Failure &e) {
        printError(QStringLiteral("Sqlcmd: Error: ") + e.description());
        return 1;
    }

    sqlcmd::PrintOptions print;
    print.headings = options.headings;
    print.separator = options.separator;
    print.trimSpaces = options.trimSpaces;
    sqlcmd::Shell shell(*connection, print, out, options.exitOnError);

    bool unreadable = false;
    if (!options.query.isEmpty()) {
        shell.runBatch(options.query);
    } else if (!options.inputFiles.isEmpty()) {
        for (const QString &path : options.inputFiles) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                printError(QStringLiteral("Sqlcmd: Error: Error occurred while opening or operating on file %1 "
                                          "(Reason: %2).").arg(path, file.errorString()));
                unreadable = true;
                break;
            }
            if (!runScript(shell, decode(file.readAll())))
                break;
        }
    } else {
        runInput(shell);
    }
    std::fflush(out);
    if (out != stdout)
        std::fclose(out);
    if (unreadable)
        return 1;
    return options.exitOnError && shell.anyError() ? 1 : 0;
}
