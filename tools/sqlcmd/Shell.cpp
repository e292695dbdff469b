#include "Shell.h"

#include "Output.h"

#include <QRegularExpression>

#include <cstdio>

namespace sqlcmd {

namespace {

// :r nests; a file that reads itself must still end.
const int maxIncludeDepth = 100;

// EXIT(query)'s return values when the query gives no number.
const int exitErrorBefore = -100;
const int exitNoRows = -101;
const int exitNotNumber = -102;

std::optional<int> toInt(const QString &s, bool *ok)
{
    bool isInteger = false;
    const qlonglong n = s.trimmed().toLongLong(&isInteger);
    if (isInteger) {
        *ok = true;
        return static_cast<int>(n);
    }
    const double d = s.trimmed().toDouble(ok);
    return *ok ? std::optional<int>(static_cast<int>(d)) : std::nullopt;
}

} // namespace

// What one run of a batch produced that the shell acts on afterwards.
class Shell::Events final : public BatchEvents {
public:
    explicit Events(Shell &shell) : m_shell(shell) {}

    void rows(ResultCursor &cursor) override
    {
        if (quit)
            return;
        lastCell = m_shell.m_printer.print(cursor);
    }
    void done(qint64 count) override
    {
        if (!quit)
            m_shell.m_printer.printCount(count);
    }
    void message(const ServerMessage &m) override
    {
        if (quit)
            return;
        const int level = m_shell.m_settings.errorLevel;
        // -m hides errors below its level; informational messages always show.
        if (!(m.isError() && !m.fromClient && m.severity < level))
            m_shell.m_printer.printMessage(m, m_shell.m_target.serverName(), level < 0);
        if (m.isError() && (m.fromClient || m.severity >= m_shell.m_settings.severityLevel))
            failed = true;
        // RAISERROR with state 127 ends sqlcmd with the message's number as its exit code.
        if (!m.fromClient && m.state == 127) {
            quit = true;
            quitCode = m.number;
        }
    }

    bool failed = false;
    bool quit = false;
    int quitCode = 0;
    // The first cell of the last row of the last result set; nullopt when it had no row.
    std::optional<std::optional<QString>> lastCell;

private:
    Shell &m_shell;
};

Shell::Shell(BatchTarget &target, Output &output, Variables &variables, const ShellSettings &settings)
    : m_target(target), m_output(output), m_variables(variables), m_settings(settings), m_printer(output),
      m_exitOnError(settings.exitOnError)
{
    Format f;
    f.trimSpaces = settings.trimSpaces;
    f.controlCharacters = settings.controlCharacters;
    m_printer.setFormat(f);
}

void Shell::applyVariables()
{
    const auto number = [&](const char *name, int current) {
        bool ok = false;
        const int n = m_variables.value(QLatin1String(name)).value_or(QString()).toInt(&ok);
        return ok ? n : current;
    };
    Format f = m_printer.format();
    if (const auto sep = m_variables.value(QStringLiteral("SQLCMDCOLSEP")))
        f.separator = *sep;
    f.headers = number("SQLCMDHEADERS", f.headers);
    f.screenWidth = number("SQLCMDCOLWIDTH", f.screenWidth);
    f.maxVarWidth = number("SQLCMDMAXVARTYPEWIDTH", f.maxVarWidth);
    f.maxFixedWidth = number("SQLCMDMAXFIXEDTYPEWIDTH", f.maxFixedWidth);
    m_printer.setFormat(f);
    m_settings.errorLevel = number("SQLCMDERRORLEVEL", m_settings.errorLevel);
    m_target.setQueryTimeout(number("SQLCMDSTATTIMEOUT", 0));
}

void Shell::stop(int code)
{
    m_stopped = true;
    m_exitCode = code;
}

void Shell::shellError(const QString &text)
{
    m_output.shellError(text + QLatin1Char('\n'));
    if (m_exitOnError)
        stop(1);
}

void Shell::syntaxError(const Command &command, const ScriptReader::Line &line)
{
    QString text = QStringLiteral("Sqlcmd: Error: Syntax error at line %1 near command '%2'").arg(line.number).arg(command.word);
    if (!line.file.isEmpty())
        text += QStringLiteral(" in file '%1'").arg(line.file);
    shellError(text + QLatin1Char('.'));
}

bool Shell::drain()
{
    while (!m_stopped) {
        const std::optional<ScriptReader::Line> line = m_reader.next();
        if (!line)
            break;
        handleLine(*line);
    }
    // The end of the input ends the last batch as GO would.
    if (!m_stopped)
        runBatch(1);
    m_output.flush();
    return !m_stopped;
}

bool Shell::runFile(const QString &path)
{
    QString reason;
    if (!m_reader.pushFile(path, &reason)) {
        m_output.shellError(QStringLiteral("Sqlcmd: Error: Error occurred while opening or operating on file %1 (Reason: %2).\n")
                                .arg(path, reason));
        stop(1);
        return false;
    }
    return drain();
}

bool Shell::runText(const QString &text)
{
    m_reader.pushText(text);
    return drain();
}

bool Shell::runStandardInput(bool interactive)
{
    std::function<void()> prompt;
    if (interactive) {
        prompt = [this] {
            m_output.flush();
            std::fprintf(stdout, "%lld> ", static_cast<long long>(m_batch.size()) + 1);
            std::fflush(stdout);
        };
    }
    m_reader.pushStandardInput(std::move(prompt));
    return drain();
}

void Shell::handleLine(const ScriptReader::Line &line)
{
    QString text = line.text;
    if (m_settings.substitute) {
        QString undefined;
        text = m_variables.expand(text, &undefined);
        if (!undefined.isEmpty()) {
            shellError(QStringLiteral("'%1' scripting variable not defined.").arg(undefined));
            if (m_stopped)
                return;
        }
    }
    const Command command = parseCommand(text, m_settings.terminator);
    if (command.kind == Command::Kind::None)
        m_batch << text;
    else
        handleCommand(command, line);
}

void Shell::handleCommand(const Command &c, const ScriptReader::Line &line)
{
    QString reason;
    switch (c.kind) {
    case Command::Kind::None:
        break;
    case Command::Kind::Go:
        runBatch(c.count);
        break;
    case Command::Kind::Quit:
        stop(0);
        break;
    case Command::Kind::Exit:
        // Plain EXIT leaves without running what is pending; EXIT(...) runs it first.
        if (c.exitQuery)
            runBatch(1, c.exitQuery);
        if (!m_stopped)
            stop(0);
        break;
    case Command::Kind::Reset:
        m_batch.clear();
        break;
    case Command::Kind::List:
        if (!m_batch.isEmpty())
            m_output.result(m_batch.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        break;
    case Command::Kind::ListVar:
        for (const auto &[name, value] : m_variables.all())
            m_output.result(QStringLiteral("%1 = \"%2\"\n").arg(name, value));
        break;
    case Command::Kind::SetVar:
        setVariable(c, line);
        break;
    case Command::Kind::Include:
        if (m_reader.depth() > maxIncludeDepth) {
            syntaxError(c, line);
        } else if (!m_reader.pushFile(c.argument, &reason)) {
            shellError(QStringLiteral("Sqlcmd: Error: Error occurred while opening or operating on file %1 (Reason: %2).")
                           .arg(c.argument, reason));
        }
        break;
    case Command::Kind::OnError:
        m_exitOnError = c.argument == QLatin1String("exit");
        break;
    case Command::Kind::Out:
    case Command::Kind::Error: {
        const bool ok = c.kind == Command::Kind::Out ? m_output.redirectResults(c.argument, &reason)
                                                     : m_output.redirectErrors(c.argument, &reason);
        if (!ok)
            shellError(QStringLiteral("Sqlcmd: Error: Error occurred while opening or operating on file %1 (Reason: %2).")
                           .arg(c.argument, reason));
        break;
    }
    case Command::Kind::Help:
        m_output.result(QStringLiteral(
            ":!! and :ED are not available.\n"
            ":error <file>|stdout|stderr  sends errors to a file or a stream\n"
            ":exit[(query)]               leaves, with the query's first column as the exit code\n"
            ":help                        shows this list\n"
            ":list                        prints the batch so far\n"
            ":listvar                     lists the scripting variables\n"
            ":on error exit|ignore        what a failing batch does\n"
            ":out <file>|stdout|stderr    sends results to a file or a stream\n"
            ":quit                        leaves\n"
            ":r <file>                    reads a script file in place of this line\n"
            ":reset                       forgets the batch so far\n"
            ":setvar <name> [\"value\"]     sets or (without a value) removes a variable\n"
            "GO [count]                   runs the batch, count times\n"));
        break;
    case Command::Kind::Unknown:
        syntaxError(c, line);
        break;
    }
}

void Shell::setVariable(const Command &c, const ScriptReader::Line &line)
{
    const qsizetype blank = c.argument.indexOf(QRegularExpression(QStringLiteral(R"(\s)")));
    const QString name = blank < 0 ? c.argument : c.argument.left(blank);
    const QString rest = blank < 0 ? QString() : c.argument.mid(blank).trimmed();
    if (!Variables::validName(name)) {
        syntaxError(c, line);
        return;
    }
    if (rest.isEmpty()) {
        m_variables.remove(name);
    } else if (const std::optional<QString> value = Variables::parseValue(rest)) {
        m_variables.set(name, *value);
    } else {
        syntaxError(c, line);
        return;
    }
    applyVariables();
}

void Shell::runBatch(int count, const std::optional<QString> &exitQuery)
{
    QString text = m_batch.join(QLatin1Char('\n'));
    m_batch.clear();
    const bool withQuery = exitQuery && !exitQuery->isEmpty();
    if (withQuery)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + *exitQuery;
    if (text.trimmed().isEmpty())
        return;
    for (int i = 0; i < count && !m_stopped; ++i) {
        if (m_settings.echo)
            m_output.result(text + QLatin1Char('\n'));
        Events events(*this);
        m_target.run(text, events);
        m_output.flush();
        if (events.quit) {
            stop(events.quitCode);
        } else if (withQuery) {
            bool ok = false;
            std::optional<int> code;
            if (events.failed)
                code = exitErrorBefore;
            else if (!events.lastCell)
                code = exitNoRows;
            else if (*events.lastCell)
                code = toInt(**events.lastCell, &ok);
            stop(code.value_or(exitNotNumber));
        } else if (events.failed && m_exitOnError) {
            stop(1);
        }
    }
}

} // namespace sqlcmd
