#include "Shell.h"

#include "platform/data/Connection.h"


namespace sqlcmd {


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
    // The batch goes to the connection whole; what it produces is printed in order.
    struct Printer final : platform::BatchSink {
        Shell &shell;
        explicit Printer(Shell &s) : shell(s) {}
        void rows(platform::Recordset &rs) override { shell.m_printer.print(rs); }
        void done(qint64 count) override { shell.m_printer.printCount(count); }
        void message(const platform::DatabaseMessage &m) override
        {
            if (m.isError())
                shell.reportError(m.text, m.number, m.severity, m.state, m.line);
            else
                shell.m_printer.printLine(m.text);
        }
    } printer(*this);
    try {
        m_connection.runBatch(batch, printer);
    } catch (const platform::DatabaseError &e) {
        reportError(e.description(), e.number(), e.severity(), e.state(), 1);
    } catch (const platform::Failure &e) {
        reportError(e.description(), 0, 16, 1, 1);
    }
    std::fflush(m_out);
    return !(m_exitOnError && m_anyError);
}

} // namespace sqlcmd
