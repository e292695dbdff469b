#include "platform/ui/DateText.h"

#include <QLocale>
#include <QRegularExpression>

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

QString defaultDateTimeText(const QDateTime &value)
{
    const QLocale locale = QLocale::system();
    QString text = locale.toString(value.date(), QLocale::ShortFormat);
    if (value.time() != QTime(0, 0))
        text += QLatin1Char(' ') + locale.toString(value.time(), QLocale::ShortFormat);
    return text;
}

} // namespace platform::ui
