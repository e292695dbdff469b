#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>

namespace platform::ui {

// The one date parser of the program: month/day/four-digit-year with one- or two-digit month and
// day, a valid calendar day, years 100 to 9999, optionally followed by a blank and a time of day
// (h:mm, h:mm:ss, with an optional AM/PM). Nothing else reads as a date.
std::optional<QDateTime> parseDateText(const QString &text);
inline bool isDateText(const QString &text) { return parseDateText(text).has_value(); }
// "mm/dd/yyyy"
QString formatMdy(const QDate &date);
// The default text of a date-and-time value in a grid: the system locale's short date, plus the
// time when it is not midnight.
QString defaultDateTimeText(const QDateTime &value);

} // namespace platform::ui
