#include "Variables.h"

#include <QRegularExpression>

namespace sqlcmd {

void Variables::set(const QString &name, const QString &value)
{
    m_values.insert(name.toUpper(), Entry{name, value});
}

void Variables::remove(const QString &name)
{
    m_values.remove(name.toUpper());
}

std::optional<QString> Variables::value(const QString &name) const
{
    const auto it = m_values.constFind(name.toUpper());
    if (it != m_values.constEnd())
        return it->value;
    if (m_environment && !name.isEmpty() && qEnvironmentVariableIsSet(name.toLocal8Bit().constData()))
        return qEnvironmentVariable(name.toLocal8Bit().constData());
    return std::nullopt;
}

QList<QPair<QString, QString>> Variables::all() const
{
    QList<QPair<QString, QString>> out;
    for (const Entry &e : m_values)
        out.append({e.name, e.value});
    return out;
}

QString Variables::expand(const QString &line, QString *undefined) const
{
    if (!line.contains(QLatin1String("$(")))
        return line;
    static const QRegularExpression reference(QStringLiteral(R"(\$\(([^()\s"]+)\))"));
    QString out;
    qsizetype from = 0;
    QRegularExpressionMatchIterator it = reference.globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += line.mid(from, m.capturedStart() - from);
        const std::optional<QString> v = value(m.captured(1));
        if (v) {
            out += *v;
        } else {
            out += m.captured(0);
            if (undefined && undefined->isEmpty())
                *undefined = m.captured(1);
        }
        from = m.capturedEnd();
    }
    return out + line.mid(from);
}

bool Variables::validName(const QString &name)
{
    static const QRegularExpression bad(QStringLiteral(R"([\s"'=]|^\$\()"));
    return !name.isEmpty() && !bad.match(name).hasMatch();
}

std::optional<QString> Variables::parseValue(const QString &text)
{
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('"'))) {
        if (t.contains(QRegularExpression(QStringLiteral(R"(\s)"))))
            return std::nullopt;
        return t;
    }
    QString value;
    for (qsizetype i = 1; i < t.size(); ++i) {
        if (t.at(i) != QLatin1Char('"')) {
            value += t.at(i);
            continue;
        }
        if (i + 1 < t.size() && t.at(i + 1) == QLatin1Char('"')) {
            value += QLatin1Char('"');
            ++i;
            continue;
        }
        // The closing quote must end the value.
        if (i + 1 != t.size())
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

} // namespace sqlcmd
