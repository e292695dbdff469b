#include "Shell.h"

#include "platform/data/Connection.h"

#include <QRegularExpression>

namespace sqlcmd {

namespace {

// The line of the batch on which a statement starts, counted from 1 as the server counts it.
int startLine(const QString &batch, const QString &statement, qsizetype &from)
{
    const QString head = statement.trimmed();
    const qsizetype at = head.isEmpty() ? -1 : batch.indexOf(head, from);
    if (at < 0)
        return 1;
    from = at + head.size();
    return static_cast<int>(batch.left(at).count(QLatin1Char('\n'))) + 1;
}

// Only USE changes the database; asking the connection after every statement would cost a round
// trip to SQL Server each time.
bool changesDatabase(const QString &statement)
{
    static const QRegularExpression use(QStringLiteral(R"(^\s*use\b)"),
                                        QRegularExpression::CaseInsensitiveOption);
    return use.match(statement).hasMatch();
}

} // namespace

Shell::Shell(platform::Connection &connection, const PrintOptions &print, std::FILE *out,
             bool exitOnError)
    : m_connection(connection), m_printer(print, out), m_out(out), m_exitOnError(exitOnError)
{
}

void Shell::reportError(const QString &text, int number, int severity, int state, int line)
{
    // Results printed so far come first, as they would on a terminal.
    std::fflush(m_out);
    const QByteArray bytes = QStringLiteral("Msg %1, Level %2, State %3, Line %4\n%5\n")
                                 .arg(number).arg(severity).arg(state).arg(line).arg(text)
                                 .toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    // Informational messages (level 10 and below) are no failure.
    if (severity > 10)
        m_anyError = true;
}

bool Shell::runBatch(const QString &batch)
{
    QStringList statements;
    try {
        statements = m_connection.splitBatch(batch);
    } catch (const platform::DatabaseError &e) {
        reportError(e.description(), e.number(), e.severity(), e.state(), 1);
        return !(m_exitOnError && m_anyError);
    }
    qsizetype searchFrom = 0;
    for (const QString &statement : statements) {
        const int line = startLine(batch, statement, searchFrom);
        try {
            const bool use = changesDatabase(statement);
            const QString before = use ? m_connection.currentDatabase() : QString();
            auto rs = m_connection.openRecordset(statement);
            m_printer.print(*rs);
            if (use) {
                const QString after = m_connection.currentDatabase();
                if (after.compare(before, Qt::CaseInsensitive) != 0)
                    m_printer.printLine(QStringLiteral("Changed database context to '%1'.").arg(after));
            }
        } catch (const platform::DatabaseError &e) {
            reportError(e.description(), e.number(), e.severity(), e.state(), line);
        } catch (const platform::Failure &e) {
            reportError(e.description(), 0, 16, 1, line);
        }
        if (m_exitOnError && m_anyError)
            return false;
    }
    std::fflush(m_out);
    return true;
}

} // namespace sqlcmd
