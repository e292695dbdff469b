#include "BatchReader.h"

#include <QRegularExpression>

namespace sqlcmd {

std::optional<BatchReader::Batch> BatchReader::addLine(const QString &line)
{
    static const QRegularExpression go(QStringLiteral(R"(^\s*go(?:\s+(\d+))?\s*$)"),
                                       QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression leave(QStringLiteral(R"(^\s*:?(exit|quit)\s*$)"),
                                          QRegularExpression::CaseInsensitiveOption);
    if (m_quit)
        return std::nullopt;
    const QRegularExpressionMatch m = go.match(line);
    if (m.hasMatch()) {
        Batch b{m_text, m.captured(1).isEmpty() ? 1 : std::max(1, m.captured(1).toInt())};
        m_text.clear();
        m_lines = 0;
        if (b.text.trimmed().isEmpty())
            return std::nullopt;
        return b;
    }
    if (leave.match(line).hasMatch()) {
        m_quit = true;
        m_text.clear();
        m_lines = 0;
        return std::nullopt;
    }
    if (m_lines > 0)
        m_text += QLatin1Char('\n');
    m_text += line;
    ++m_lines;
    return std::nullopt;
}

std::optional<BatchReader::Batch> BatchReader::finish()
{
    if (m_text.trimmed().isEmpty())
        return std::nullopt;
    Batch b{m_text, 1};
    m_text.clear();
    m_lines = 0;
    return b;
}

} // namespace sqlcmd
