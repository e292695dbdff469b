#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
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
// The workstation's locale for dates and times; en-US where none is set (the C locale).
QLocale workstationLocale();
// The default text of a date-and-time value, as the grids and the record window show it: the
// locale's short date with a four-digit year and, unless the value is exactly midnight, a blank
// and the time with seconds ("12/6/2026 4:58:43 PM" on an en-US workstation).
QString defaultDateTimeText(const QDateTime &value, const QLocale &locale);
QString defaultDateTimeText(const QDateTime &value);

} // namespace platform::ui
