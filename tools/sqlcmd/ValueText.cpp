#include "ValueText.h"

namespace sqlcmd {

QString floatText(double value, bool real)
{
    return QString::number(value, 'g', real ? 7 : 15).toUpper();
}

QString binaryText(const QByteArray &bytes)
{
    return QStringLiteral("0x") + QString::fromLatin1(bytes.toHex().toUpper());
}

QString dateTimeText(const DateTimeParts &p, const QString &base, int digits)
{
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    const QString date = QStringLiteral("%1-%2-%3").arg(p.year, 4, 10, QLatin1Char('0')).arg(two(p.month), two(p.day));
    QString time = two(p.hour) + QLatin1Char(':') + two(p.minute) + QLatin1Char(':') + two(p.second);
    const QString fraction = QStringLiteral("%1").arg(p.ticks, 7, 10, QLatin1Char('0'));
    if (base == QLatin1String("date"))
        return date;
    if (base == QLatin1String("smalldatetime"))
        return date + QLatin1Char(' ') + time;
    if (base == QLatin1String("datetime"))
        return date + QLatin1Char(' ') + time + QLatin1Char('.') + fraction.left(3);
    if (digits > 0)
        time += QLatin1Char('.') + fraction.left(digits);
    if (base == QLatin1String("time"))
        return time;
    QString text = date + QLatin1Char(' ') + time;
    if (base == QLatin1String("datetimeoffset")) {
        const int m = std::abs(p.offsetMinutes);
        text += QStringLiteral(" %1%2:%3").arg(p.offsetMinutes < 0 ? '-' : '+').arg(two(m / 60), two(m % 60));
    }
    return text;
}

} // namespace sqlcmd
