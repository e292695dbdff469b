#include "Output.h"

#include <QFile>

#include <cerrno>
#include <cstring>

namespace sqlcmd {

Output::Output()
{
    m_results.file = stdout;
    m_errors.file = stderr;
}

Output::~Output()
{
    flush();
    close(m_results);
    close(m_errors);
}

bool Output::open(Stream &stream, const QString &target, QString *error)
{
    std::FILE *file = nullptr;
    bool owned = false;
    if (target.compare(QLatin1String("STDOUT"), Qt::CaseInsensitive) == 0) {
        file = stdout;
    } else if (target.compare(QLatin1String("STDERR"), Qt::CaseInsensitive) == 0) {
        file = stderr;
    } else {
        // An existing file is truncated, as each new run overwrites its output.
        file = std::fopen(QFile::encodeName(target).constData(), "w");
        if (!file) {
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        owned = true;
    }
    if (stream.file)
        std::fflush(stream.file);
    close(stream);
    stream.file = file;
    stream.owned = owned;
    return true;
}

void Output::close(Stream &stream)
{
    if (stream.owned && stream.file)
        std::fclose(stream.file);
    stream.file = nullptr;
    stream.owned = false;
}

bool Output::openOutputFile(const QString &path, QString *error)
{
    if (!open(m_results, path, error))
        return false;
    m_outputFile = true;
    return true;
}

bool Output::redirectResults(const QString &target, QString *error)
{
    return open(m_results, target, error);
}

bool Output::redirectErrors(const QString &target, QString *error)
{
    return open(m_errors, target, error);
}

void Output::write(Stream &stream, const QString &text)
{
    // What went to the other stream before must show before this, as on a terminal.
    Stream &other = &stream == &m_results ? m_errors : m_results;
    if (other.file != stream.file)
        std::fflush(other.file);
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream.file);
}

void Output::result(const QString &text)
{
    write(m_results, text);
}

void Output::message(const QString &text, int severity)
{
    const bool toErrors = !m_outputFile && (m_redirect == 1 || (m_redirect == 0 && severity > 10));
    write(toErrors ? m_errors : m_results, text);
}

void Output::shellError(const QString &text)
{
    write(m_errors, text);
    std::fflush(m_errors.file);
}

void Output::flush()
{
    if (m_results.file)
        std::fflush(m_results.file);
    if (m_errors.file)
        std::fflush(m_errors.file);
}

} // namespace sqlcmd
