#pragma once
// The arithmetic under the date-time types, shared by the files that implement DateTime.h:
// day numbers of the proleptic Gregorian calendar, time of day in 100 ns ticks, datetime's
// 1/300 s ticks, us_english names and the tabular Hijri calendar CONVERT's styles 130/131 use.
// Nothing here throws; callers check ranges before they index a table.

#include "tsql/Value.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tsql::dt::cal {

constexpr std::int64_t TicksPerSecond = 10'000'000;
constexpr std::int64_t TicksPerMinute = 60 * TicksPerSecond;
constexpr std::int64_t TicksPerHour = 60 * TicksPerMinute;
constexpr std::int64_t TicksPerDay = 24 * TicksPerHour;
// datetime counts the time of day in 1/300 s.
constexpr std::int64_t LegacyTicksPerDay = 86'400 * 300;

constexpr bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

constexpr int daysInMonth(int y, int m)
{
    constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

constexpr bool validDate(int y, int m, int d)
{
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

// Days since 0001-01-01 (day 0); valid for years 1..9999.
constexpr std::int64_t dayNumber(int y, int m, int d)
{
    const std::int64_t yy = y - 1;
    std::int64_t days = yy * 365 + yy / 4 - yy / 100 + yy / 400;
    constexpr int before[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    days += before[m - 1] + (m > 2 && isLeap(y) ? 1 : 0);
    return days + d - 1;
}

constexpr void civil(std::int64_t day, int &y, int &m, int &d)
{
    // 400-year cycles of 146097 days, then centuries, 4-year cycles and years.
    std::int64_t n = day;
    const std::int64_t q400 = n / 146097;
    n %= 146097;
    std::int64_t q100 = n / 36524;
    if (q100 == 4)
        q100 = 3;
    n -= q100 * 36524;
    const std::int64_t q4 = n / 1461;
    n %= 1461;
    std::int64_t q1 = n / 365;
    if (q1 == 4)
        q1 = 3;
    n -= q1 * 365;
    y = static_cast<int>(q400 * 400 + q100 * 100 + q4 * 4 + q1 + 1);
    m = 1;
    while (n >= daysInMonth(y, m)) {
        n -= daysInMonth(y, m);
        ++m;
    }
    d = static_cast<int>(n) + 1;
}

constexpr std::int64_t MaxDay = dayNumber(9999, 12, 31);
constexpr std::int64_t Day1753 = dayNumber(1753, 1, 1);
constexpr std::int64_t Day1900 = dayNumber(1900, 1, 1);
constexpr std::int64_t Day2079 = dayNumber(2079, 6, 6);

// 0 = Sunday ... 6 = Saturday. 0001-01-01 was a Monday.
constexpr int dayOfWeek(std::int64_t day) { return static_cast<int>((day + 1) % 7); }

inline std::int64_t dayOf(const DateTime &v) { return dayNumber(v.year, v.month, v.day); }

inline std::int64_t timeOf(const DateTime &v)
{
    return v.hour * TicksPerHour + v.minute * TicksPerMinute + v.second * TicksPerSecond + v.ticks();
}

inline void setDay(DateTime &v, std::int64_t day) { civil(day, v.year, v.month, v.day); }

inline void setTime(DateTime &v, std::int64_t ticks)
{
    v.hour = static_cast<int>(ticks / TicksPerHour);
    v.minute = static_cast<int>(ticks / TicksPerMinute % 60);
    v.second = static_cast<int>(ticks / TicksPerSecond % 60);
    v.setTicks(ticks % TicksPerSecond);
}

// 100 ns ticks of a day to datetime's 1/300 s, half up (.995 s becomes .997, .999 the next second).
constexpr std::int64_t toLegacyTicks(std::int64_t ticks) { return (ticks * 3 + 50'000) / 100'000; }
// Back to whole milliseconds as datetime shows them (.003, .007), in 100 ns ticks.
constexpr std::int64_t fromLegacyTicks(std::int64_t legacy)
{
    const std::int64_t seconds = legacy / 300;
    const std::int64_t ms = ((legacy % 300) * 10 + 1) / 3;
    return seconds * TicksPerSecond + ms * 10'000;
}

// us_english, SET LANGUAGE's default.
std::string_view monthName(int m);      // "January"
std::string_view shortMonthName(int m); // "Jan"
std::string_view weekdayName(int dow);  // 0 = "Sunday"
// 1..12 for a full or three-letter month name in any case; 0 otherwise.
int monthFromName(std::string_view word);

// The tabular Hijri calendar of the "Kuwaiti algorithm" (30-year cycle, leap years where
// (14 + 11y) mod 30 < 11), day 1 of year 1 being 0622-07-18 of the proleptic Gregorian calendar.
struct HijriDate {
    int year, month, day;
};
std::optional<HijriDate> toHijri(std::int64_t day);      // nullopt before the epoch
std::optional<std::int64_t> fromHijri(int y, int m, int d); // nullopt for no such Hijri date
std::string_view hijriMonthName(int m); // Arabic, UTF-8
int hijriMonthFromName(std::string_view word);

// Kinds of type. datetime and smalldatetime keep SQL Server's older rules for reading text.
inline bool isLegacy(const SqlType &t) { return t.base == Base::DateTime || t.base == Base::SmallDateTime; }
inline bool hasScale(const SqlType &t)
{
    return t.base == Base::Time || t.base == Base::DateTime2 || t.base == Base::DateTimeOffset;
}
// The value rounded and range-checked for t, as normalize() without its error; nullopt when
// the fields are out of their ranges or the result is out of t's range.
std::optional<DateTime> fit(const DateTime &v, const SqlType &t);

} // namespace tsql::dt::cal
