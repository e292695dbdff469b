#pragma once
// How sqlcmd writes values of the types whose text is not simply the value's own.

#include <QByteArray>
#include <QString>

namespace sqlcmd {

// float with 15 significant digits, real with 7, and an upper-case exponent: 3.14159265358979,
// 1E+20.
QString floatText(double value, bool real);
// 0x and two upper-case hex digits a byte.
QString binaryText(const QByteArray &bytes);

struct DateTimeParts {
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0;
    qint64 ticks = 0;       // the fraction of the second in 100-nanosecond units
    int offsetMinutes = 0;  // datetimeoffset
};
// By type name: date, time(n), smalldatetime, datetime, datetime2(n), datetimeoffset(n);
// `digits` is n, the fraction digits of the last three.
QString dateTimeText(const DateTimeParts &parts, const QString &base, int digits);

} // namespace sqlcmd
