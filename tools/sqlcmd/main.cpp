// talvor-sqlcmd: a command-line Transact-SQL shell in the manner of SQL Server's sqlcmd, on an
// embedded database folder or on SQL Server through ODBC.

#include "ConnectionTarget.h"
#include "EngineTarget.h"
#include "Login.h"
#include "Options.h"
#include "Output.h"
#include "Shell.h"
#include "Variables.h"

#include "platform/data/Connection.h"
#include "tsql/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <csignal>
#include <cstdio>

namespace {

// sqlcmd's own wait for a login that does not answer.
const int defaultLoginTimeout = 8;

void printError(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

QString fileError(const QString &path, const QString &reason)
{
    return QStringLiteral("Sqlcmd: Error: Error occurred while opening or operating on file %1 (Reason: %2).")
        .arg(path, reason);
}

// The scripting variables the options set, which scripts may read and some of them change.
void setOptionVariables(sqlcmd::Variables &v, const sqlcmd::Options &o)
{
    v.set(QStringLiteral("SQLCMDSERVER"), o.server);
    v.set(QStringLiteral("SQLCMDDBNAME"), o.database);
    v.set(QStringLiteral("SQLCMDUSER"), o.user);
    v.set(QStringLiteral("SQLCMDWORKSTATION"), o.workstation.isEmpty() ? QSysInfo::machineHostName() : o.workstation);
    v.set(QStringLiteral("SQLCMDLOGINTIMEOUT"), QString::number(o.loginTimeout < 0 ? defaultLoginTimeout : o.loginTimeout));
    v.set(QStringLiteral("SQLCMDSTATTIMEOUT"), QString::number(o.queryTimeout));
    v.set(QStringLiteral("SQLCMDHEADERS"), QString::number(o.headers));
    v.set(QStringLiteral("SQLCMDCOLSEP"), o.separator);
    v.set(QStringLiteral("SQLCMDCOLWIDTH"), QString::number(o.screenWidth));
    v.set(QStringLiteral("SQLCMDERRORLEVEL"), QString::number(o.errorLevel));
    v.set(QStringLiteral("SQLCMDMAXVARTYPEWIDTH"), QString::number(o.maxVarWidth));
    v.set(QStringLiteral("SQLCMDMAXFIXEDTYPEWIDTH"), QString::number(o.maxFixedWidth));
}

std::unique_ptr<sqlcmd::BatchTarget> openEmbedded(const sqlcmd::Options &o)
{
    const QString folder = QFileInfo(QDir::fromNativeSeparators(o.server)).absoluteFilePath();
    QString database = o.database;
    // Without -d the shell starts where the program does, when the folder has that database.
    if (database.isEmpty() && QFileInfo::exists(folder + QStringLiteral("/Patient_Data.sqlite")))
        database = QStringLiteral("Patient_Data");
    tsql::SessionOptions session;
    session.hostName = (o.workstation.isEmpty() ? QSysInfo::machineHostName() : o.workstation).toStdString();
    session.applicationName = "SQLCMD";
    auto opened = tsql::Session::open(QFile::encodeName(folder).toStdString(), database.toStdString(), session);
    // On standard error, so that a script's output stays as the script wrote it.
    for (const std::string &warning : opened->openWarnings())
        printError(QString::fromStdString(warning));
    return std::make_unique<sqlcmd::EngineTarget>(std::move(opened));
}

std::unique_ptr<sqlcmd::BatchTarget> openOdbc(const sqlcmd::Options &o)
{
    sqlcmd::Login login = sqlcmd::loginFor(o, false);
    platform::ConnectionOptions options;
    options.loginTimeoutSeconds = o.loginTimeout < 0 ? defaultLoginTimeout : o.loginTimeout;
    options.encrypt = o.encrypt;
    options.trustServerCertificate = o.trustServerCertificate;
    options.database = o.database;
    auto connection = platform::openConnection(login.target, login.user, login.password, options);
    login.password.fill(QLatin1Char(' '));
    return std::make_unique<sqlcmd::ConnectionTarget>(std::move(connection));
}

} // namespace

int main(int argc, char *argv[])
{
    // A file size limit (ulimit -f) then fails the write with an error the program reports,
    // instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
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
        options.server = qEnvironmentVariable("SQLCMDSERVER");
    if (options.server.isEmpty())
        options.server = qEnvironmentVariable("TALVOR_DATABASE");
    if (options.server.isEmpty()) {
        printError(QStringLiteral("Sqlcmd: Error: No database given: use -S with a database folder, "
                                  "an ODBC connection string or a DSN."));
        return 1;
    }
    // Every input file must be there before anything runs.
    for (const QString &path : options.inputFiles) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            printError(fileError(path, file.errorString()));
            return 1;
        }
    }

    sqlcmd::Variables variables;
    variables.setUseEnvironment(!options.noEnvironment);
    setOptionVariables(variables, options);
    for (const auto &[name, value] : options.variables) {
        if (!sqlcmd::Variables::validName(name)) {
            printError(QStringLiteral("Sqlcmd: Error: Invalid variable name '%1'.").arg(name));
            return 1;
        }
        variables.set(name, value);
    }

    sqlcmd::Output output;
    QString reason;
    if (!options.outputFile.isEmpty() && !output.openOutputFile(options.outputFile, &reason)) {
        printError(fileError(options.outputFile, reason));
        return 1;
    }
    output.setMessageRedirection(options.redirect);

    std::unique_ptr<sqlcmd::BatchTarget> target;
    try {
        target = platform::isEmbeddedTarget(options.server) ? openEmbedded(options) : openOdbc(options);
    } catch (const tsql::Error &e) {
        printError(QStringLiteral("Sqlcmd: Error: ") + QString::fromUtf8(e.what()));
        return 1;
    } catch (const platform::Failure &e) {
        printError(QStringLiteral("Sqlcmd: Error: ") + e.description());
        return 1;
    }

    sqlcmd::ShellSettings settings;
    settings.exitOnError = options.exitOnError;
    settings.errorLevel = options.errorLevel;
    settings.severityLevel = options.severityLevel;
    settings.echo = options.echo;
    settings.substitute = !options.noVariables;
    settings.trimSpaces = options.trimSpaces;
    settings.controlCharacters = options.controlCharacters;
    settings.terminator = options.terminator;
    sqlcmd::Shell shell(*target, output, variables, settings);
    shell.applyVariables();

    if (!options.query.isEmpty()) {
        shell.runText(options.query);
    } else if (!options.inputFiles.isEmpty()) {
        for (const QString &path : options.inputFiles) {
            if (!shell.runFile(path))
                break;
        }
    } else {
        if (!options.initialQuery.isEmpty())
            shell.runText(options.initialQuery);
        if (!shell.stopped())
            shell.runStandardInput(sqlcmd::inputIsTerminal());
    }
    output.flush();
    return shell.exitCode();
}
