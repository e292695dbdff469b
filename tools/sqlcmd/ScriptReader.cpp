#include "ScriptReader.h"

#include <QFile>

#include <iostream>
#include <string>

namespace sqlcmd {

namespace {

QStringList splitLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    // A final line break ends the last line rather than starting an empty one.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

QString ScriptReader::decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    const auto utf16 = [&](bool little) {
        QString s;
        s.resize((bytes.size() - 2) / 2);
        for (qsizetype i = 0; i < s.size(); ++i) {
            const auto lo = static_cast<uchar>(bytes[2 + 2 * i + (little ? 0 : 1)]);
            const auto hi = static_cast<uchar>(bytes[2 + 2 * i + (little ? 1 : 0)]);
            s[i] = QChar(static_cast<char16_t>(hi << 8 | lo));
        }
        return s;
    };
    if (bytes.startsWith("\xFF\xFE"))
        return utf16(true);
    if (bytes.startsWith("\xFE\xFF"))
        return utf16(false);
    return QString::fromUtf8(bytes);
}

bool ScriptReader::pushFile(const QString &path, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    Source s;
    s.file = path;
    s.lines = splitLines(decode(file.readAll()));
    m_sources.push_back(std::move(s));
    return true;
}

void ScriptReader::pushText(const QString &text)
{
    Source s;
    s.lines = splitLines(text);
    m_sources.push_back(std::move(s));
}

void ScriptReader::pushStandardInput(std::function<void()> prompt)
{
    Source s;
    s.standardInput = true;
    s.prompt = std::move(prompt);
    m_sources.push_back(std::move(s));
}

std::optional<ScriptReader::Line> ScriptReader::next()
{
    while (!m_sources.empty()) {
        Source &s = m_sources.back();
        if (s.standardInput) {
            if (s.prompt)
                s.prompt();
            std::string line;
            if (std::getline(std::cin, line)) {
                QString text = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
                if (text.endsWith(QLatin1Char('\r')))
                    text.chop(1);
                return Line{text, {}, static_cast<int>(++s.next)};
            }
        } else if (s.next < s.lines.size()) {
            const qsizetype n = s.next++;
            return Line{s.lines.at(n), s.file, static_cast<int>(n + 1)};
        }
        m_sources.pop_back();
    }
    return std::nullopt;
}

} // namespace sqlcmd
