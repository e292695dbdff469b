#include "platform/ui/DateText.h"

#include <QLocale>
#include <QRegularExpression>
#include <functional>

namespace platform::ui {

std::optional<QDateTime> parseDateText(const QString &text)
{
    static const QRegularExpression re(QStringLiteral(
        R"(^(\d{1,2})/(\d{1,2})/(\d{4})(?: (\d{1,2}):(\d{2})(?::(\d{2}))?(?: ?([AaPp][Mm]))?)?$)"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int year = m.captured(3).toInt();
    if (year < 100)
        return std::nullopt;
    const QDate date(year, m.captured(1).toInt(), m.captured(2).toInt());
    if (!date.isValid())
        return std::nullopt;
    QTime time(0, 0);
    if (m.hasCaptured(4)) {
        int hour = m.captured(4).toInt();
        const QString ampm = m.captured(7).toUpper();
        if (!ampm.isEmpty()) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (ampm == QLatin1String("PM") ? 12 : 0);
        }
        time = QTime(hour, m.captured(5).toInt(), m.hasCaptured(6) ? m.captured(6).toInt() : 0);
        if (!time.isValid())
            return std::nullopt;
    }
    return QDateTime(date, time);
}

QString formatMdy(const QDate &date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

namespace {

// Calls `plain` on each run of pattern letters outside quoted text and keeps the rest as it is,
// so a literal such as 'h' in a locale's pattern is never taken for a field.
QString rewriteFields(const QString &pattern, const std::function<QString(const QString &run)> &plain)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        if (!quoted && c.isLetter())
            while (end < pattern.size() && pattern.at(end) == c)
                ++end;
        const QString run = pattern.mid(i, end - i);
        out += quoted || !c.isLetter() ? run : plain(run);
        i = end;
    }
    return out;
}

// The old date-time text always wrote the year with four digits, whatever the short date's own.
QString shortDatePattern(const QLocale &locale)
{
    return rewriteFields(locale.dateFormat(QLocale::ShortFormat), [](const QString &run) {
        return run == QLatin1String("yy") ? QStringLiteral("yyyy") : run;
    });
}

// The long time pattern is the one with seconds; the time zone it may carry was never shown.
QString timePattern(const QLocale &locale)
{
    const QString pattern = rewriteFields(locale.timeFormat(QLocale::LongFormat), [](const QString &run) {
        return run.startsWith(QLatin1Char('t')) ? QString() : run;
    });
    return pattern.simplified();
}

} // namespace

QLocale workstationLocale()
{
    const QLocale locale;
    // A machine with no locale set reads and writes dates the way an en-US workstation does.
    return locale.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : locale;
}

QString defaultDateTimeText(const QDateTime &value, const QLocale &locale)
{
    QString text = locale.toString(value.date(), shortDatePattern(locale));
    if (value.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(value.time(), timePattern(locale));
    return text;
}

QString defaultDateTimeText(const QDateTime &value)
{
    return defaultDateTimeText(value, workstationLocale());
}

} // namespace platform::ui
