#include "Command.h"

#include <QRegularExpression>

namespace sqlcmd {

namespace {

QString unquoted(const QString &s)
{
    if (s.size() >= 2 && s.startsWith(QLatin1Char('"')) && s.endsWith(QLatin1Char('"')))
        return s.mid(1, s.size() - 2);
    return s;
}

} // namespace

Command parseCommand(const QString &line, const QString &terminator)
{
    Command c;
    const QString t = line.trimmed();
    if (t.isEmpty())
        return c;

    const QRegularExpression go(QStringLiteral(R"(^%1(?:\s+(\S+))?$)").arg(QRegularExpression::escape(terminator)),
                                QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = go.match(t); m.hasMatch()) {
        c.word = terminator.toUpper();
        bool ok = true;
        if (!m.captured(1).isEmpty())
            c.count = m.captured(1).toInt(&ok);
        c.kind = ok && c.count > 0 ? Command::Kind::Go : Command::Kind::Unknown;
        return c;
    }

    // EXIT's query may span parentheses of its own: it runs from the first '(' to the last ')'.
    static const QRegularExpression exit(QStringLiteral(R"(^:?exit\s*(?:\((.*)\))?$)"),
                                         QRegularExpression::CaseInsensitiveOption |
                                             QRegularExpression::DotMatchesEverythingOption);
    if (const QRegularExpressionMatch m = exit.match(t); m.hasMatch()) {
        c.kind = Command::Kind::Exit;
        c.word = QStringLiteral(":EXIT");
        if (m.capturedStart(1) >= 0)
            c.exitQuery = m.captured(1).trimmed();
        return c;
    }
    static const QRegularExpression bare(QStringLiteral(R"(^:?(quit|reset)$)"), QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = bare.match(t); m.hasMatch()) {
        c.kind = m.captured(1).compare(QLatin1String("quit"), Qt::CaseInsensitive) == 0 ? Command::Kind::Quit
                                                                                        : Command::Kind::Reset;
        c.word = QLatin1Char(':') + m.captured(1).toUpper();
        return c;
    }
    if (!t.startsWith(QLatin1Char(':')))
        return c;

    static const QRegularExpression colon(QStringLiteral(R"(^:(\S+)\s*(.*)$)"));
    const QRegularExpressionMatch m = colon.match(t);
    const QString word = m.captured(1).toLower();
    c.word = QLatin1Char(':') + m.captured(1).toUpper();
    c.argument = m.captured(2).trimmed();
    c.kind = Command::Kind::Unknown;
    if (word == QLatin1String("setvar") && !c.argument.isEmpty()) {
        c.kind = Command::Kind::SetVar;
    } else if (word == QLatin1String("listvar") && c.argument.isEmpty()) {
        c.kind = Command::Kind::ListVar;
    } else if (word == QLatin1String("list") && c.argument.isEmpty()) {
        c.kind = Command::Kind::List;
    } else if (word == QLatin1String("help") && c.argument.isEmpty()) {
        c.kind = Command::Kind::Help;
    } else if (word == QLatin1String("r") && !c.argument.isEmpty()) {
        c.kind = Command::Kind::Include;
        c.argument = unquoted(c.argument);
    } else if ((word == QLatin1String("out") || word == QLatin1String("error")) && !c.argument.isEmpty()) {
        c.kind = word == QLatin1String("out") ? Command::Kind::Out : Command::Kind::Error;
        c.argument = unquoted(c.argument);
    } else if (word == QLatin1String("on")) {
        static const QRegularExpression onError(QStringLiteral(R"(^error\s+(exit|ignore)$)"),
                                                QRegularExpression::CaseInsensitiveOption);
        if (const QRegularExpressionMatch e = onError.match(c.argument); e.hasMatch()) {
            c.kind = Command::Kind::OnError;
            c.argument = e.captured(1).toLower();
        }
        c.word = QStringLiteral(":ON ERROR");
    }
    return c;
}

} // namespace sqlcmd
