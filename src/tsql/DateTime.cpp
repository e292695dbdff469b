// Ranges, rounding, conversions between the date-time types, the storage form, the numbers
// datetime and smalldatetime convert with, and the machine's clock.

#include "tsql/DateTime.h"

#include "tsql/DateCalendar.h"
#include "tsql/Errors.h"

#include <cmath>
#include <ctime>

namespace tsql::dt {

using namespace cal;

namespace {

bool fieldsValid(const DateTime &v)
{
    return validDate(v.year, v.month, v.day) && v.hour >= 0 && v.hour <= 23 && v.minute >= 0 && v.minute <= 59 &&
           v.second >= 0 && v.second <= 59 && v.millisecond >= 0 && v.millisecond <= 999 && v.subMillisecond >= 0 &&
           v.subMillisecond <= 9999 && v.offsetMinutes >= -14 * 60 && v.offsetMinutes <= 14 * 60;
}

bool dayInRange(std::int64_t day, const SqlType &t)
{
    switch (t.base) {
    case Base::DateTime: return day >= Day1753 && day <= MaxDay;
    case Base::SmallDateTime: return day >= Day1900 && day <= Day2079;
    default: return day >= 0 && day <= MaxDay;
    }
}

// A datetimeoffset must also be in range as a UTC instant (9999-12-31 23:00 -05:00 is not).
bool utcInRange(std::int64_t day, std::int64_t time, int offsetMinutes)
{
    const std::int64_t utc = day * TicksPerDay + time - offsetMinutes * TicksPerMinute;
    return utc >= 0 && utc < (MaxDay + 1) * TicksPerDay;
}

std::int64_t roundToScale(std::int64_t time, int scale)
{
    std::int64_t unit = 1;
    for (int i = scale < 7 ? scale : 7; i < 7; ++i)
        unit *= 10;
    return (time + unit / 2) / unit * unit;
}

DateTime make(std::int64_t day, std::int64_t time, int offsetMinutes)
{
    DateTime r;
    setDay(r, day);
    setTime(r, time);
    r.offsetMinutes = offsetMinutes;
    return r;
}

// Days since 1900-01-01 in datetime's 1/300 s, back to a value of t; 8115 outside t's range.
DateTime fromLegacyTotal(std::int64_t total, const SqlType &t)
{
    std::int64_t days = total / LegacyTicksPerDay;
    std::int64_t legacy = total % LegacyTicksPerDay;
    if (legacy < 0) {
        legacy += LegacyTicksPerDay;
        --days;
    }
    const std::int64_t day = Day1900 + days;
    std::optional<DateTime> r;
    if (day >= 0 && day <= MaxDay)
        r = fit(make(day, fromLegacyTicks(legacy), 0), t);
    if (!r)
        throw err::make(8115, "expression", t.name());
    return *r;
}

std::string digits(std::int64_t value, int width)
{
    std::string s(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10)
        s[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    return s;
}

std::string dateText(const DateTime &v)
{
    return digits(v.year, 4) + '-' + digits(v.month, 2) + '-' + digits(v.day, 2);
}

std::string timeText(const DateTime &v, int fraction)
{
    std::string s = digits(v.hour, 2) + ':' + digits(v.minute, 2) + ':' + digits(v.second, 2) + '.';
    return fraction == 3 ? s + digits(v.millisecond, 3) : s + digits(v.ticks(), 7);
}

// Reads `width` digits at `at`; false when one is no digit.
bool number(std::string_view s, std::size_t at, std::size_t width, int &out)
{
    out = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

bool readDate(std::string_view s, DateTime &v)
{
    return s.size() >= 10 && s[4] == '-' && s[7] == '-' && number(s, 0, 4, v.year) && number(s, 5, 2, v.month) &&
           number(s, 8, 2, v.day);
}

// "HH:MM:SS." followed by `fraction` digits.
bool readTime(std::string_view s, int fraction, DateTime &v)
{
    int f = 0;
    if (s.size() != 9 + static_cast<std::size_t>(fraction) || s[2] != ':' || s[5] != ':' || s[8] != '.' ||
        !number(s, 0, 2, v.hour) || !number(s, 3, 2, v.minute) || !number(s, 6, 2, v.second) ||
        !number(s, 9, static_cast<std::size_t>(fraction), f))
        return false;
    v.setTicks(fraction == 3 ? std::int64_t{f} * 10'000 : f);
    return true;
}

} // namespace

std::optional<DateTime> cal::fit(const DateTime &v, const SqlType &t)
{
    if (!fieldsValid(v))
        return std::nullopt;
    std::int64_t day = dayOf(v);
    std::int64_t time = timeOf(v);
    switch (t.base) {
    case Base::Date:
        time = 0;
        break;
    case Base::Time:
        day = Day1900;
        time = roundToScale(time, t.scale) % TicksPerDay;
        break;
    case Base::DateTime: {
        std::int64_t legacy = toLegacyTicks(time);
        if (legacy == LegacyTicksPerDay) {
            legacy = 0;
            ++day;
        }
        time = fromLegacyTicks(legacy);
        break;
    }
    case Base::SmallDateTime: {
        // Rounded as datetime first: 29.998 s is 29.997 and stays in its minute, 29.999 is 30.000.
        std::int64_t minutes = (toLegacyTicks(time) + 30 * 300) / (60 * 300);
        if (minutes == 24 * 60) {
            minutes = 0;
            ++day;
        }
        time = minutes * TicksPerMinute;
        break;
    }
    case Base::DateTime2:
    case Base::DateTimeOffset:
        time = roundToScale(time, t.scale);
        if (time == TicksPerDay) {
            time = 0;
            ++day;
        }
        break;
    default:
        return std::nullopt;
    }
    const int offset = t.base == Base::DateTimeOffset ? v.offsetMinutes : 0;
    if (!dayInRange(day, t) || !utcInRange(day, time, offset))
        return std::nullopt;
    return make(day, time, offset);
}

bool isDateFormat(std::string_view format)
{
    for (std::string_view f : {"mdy", "dmy", "ymd", "ydm", "myd", "dym"})
        if (iequals(format, f))
            return true;
    return false;
}

bool isValid(const DateTime &v, const SqlType &t)
{
    if (!t.isDateTime() || !fieldsValid(v))
        return false;
    const std::int64_t day = dayOf(v);
    if (t.base == Base::DateTimeOffset)
        return utcInRange(day, timeOf(v), v.offsetMinutes);
    return dayInRange(day, t);
}

DateTime normalize(const DateTime &v, const SqlType &t)
{
    if (const std::optional<DateTime> r = fit(v, t))
        return *r;
    throw err::make(242, "datetime2", t.name());
}

DateTime convert(const DateTime &v, const SqlType &from, const SqlType &to, int style)
{
    if ((from.base == Base::Date && to.base == Base::Time) || (from.base == Base::Time && to.base == Base::Date))
        throw err::make(206, from.name(), to.name());
    if (to.base == Base::DateTimeOffset && style != 0 && style != 1)
        throw err::make(9809, style, from.name(), to.name());
    DateTime source = v;
    if (from.base != Base::DateTimeOffset) {
        source.offsetMinutes = 0;
    } else if (style == 1 && to.base != Base::DateTimeOffset) {
        const std::int64_t utc = dayOf(v) * TicksPerDay + timeOf(v) - v.offsetMinutes * TicksPerMinute;
        if (utc < 0 || utc >= (MaxDay + 1) * TicksPerDay)
            throw err::make(242, from.name(), to.name());
        source = make(utc / TicksPerDay, utc % TicksPerDay, 0);
    }
    if (const std::optional<DateTime> r = fit(source, to))
        return *r;
    throw err::make(242, from.name(), to.name());
}

std::string toStorage(const DateTime &v, const SqlType &t)
{
    if (!isValid(v, t))
        throw err::internal("an invalid " + t.name() + " value reached storage");
    switch (t.base) {
    case Base::Date: return dateText(v);
    case Base::Time: return timeText(v, 7);
    case Base::DateTime:
    case Base::SmallDateTime: return dateText(v) + ' ' + timeText(v, 3);
    case Base::DateTime2: return dateText(v) + ' ' + timeText(v, 7);
    default: {
        const std::int64_t utc = dayOf(v) * TicksPerDay + timeOf(v) - v.offsetMinutes * TicksPerMinute;
        const DateTime u = make(utc / TicksPerDay, utc % TicksPerDay, 0);
        const int offset = v.offsetMinutes < 0 ? -v.offsetMinutes : v.offsetMinutes;
        return dateText(u) + ' ' + timeText(u, 7) + (v.offsetMinutes < 0 ? " -" : " +") + digits(offset / 60, 2) +
               ':' + digits(offset % 60, 2);
    }
    }
}

std::optional<DateTime> fromStorage(std::string_view s, const SqlType &t)
{
    DateTime v;
    bool ok = false;
    switch (s.size()) {
    case 10: ok = readDate(s, v); break;
    case 16: ok = readTime(s, 7, v); break;
    case 23: ok = readDate(s, v) && s[10] == ' ' && readTime(s.substr(11), 3, v); break;
    case 27: ok = readDate(s, v) && s[10] == ' ' && readTime(s.substr(11), 7, v); break;
    case 34: {
        int hours = 0, minutes = 0;
        ok = readDate(s, v) && s[10] == ' ' && readTime(s.substr(11, 16), 7, v) && s[27] == ' ' &&
             (s[28] == '+' || s[28] == '-') && number(s, 29, 2, hours) && s[31] == ':' && number(s, 32, 2, minutes) &&
             fieldsValid(v) && minutes < 60;
        if (ok) {
            const int offset = (s[28] == '-' ? -1 : 1) * (hours * 60 + minutes);
            const std::int64_t local = dayOf(v) * TicksPerDay + timeOf(v) + offset * TicksPerMinute;
            ok = local >= 0 && local < (MaxDay + 1) * TicksPerDay;
            if (ok)
                v = make(local / TicksPerDay, local % TicksPerDay, offset);
        }
        break;
    }
    default: break;
    }
    if (!ok)
        return std::nullopt;
    return fit(v, t);
}

bool convertsWithNumbers(const SqlType &t) { return isLegacy(t); }

DateTime fromDays(double days, const SqlType &t)
{
    if (!isLegacy(t))
        throw err::internal(t.name() + " does not convert from numbers");
    // Well past both ends of datetime's range, so that the arithmetic below cannot overflow.
    if (!std::isfinite(days) || days < -60'000.0 || days > 3'000'000.0)
        throw err::make(8115, "expression", t.name());
    const double whole = std::floor(days);
    const auto fraction = static_cast<std::int64_t>(std::llround((days - whole) * LegacyTicksPerDay));
    return fromLegacyTotal(static_cast<std::int64_t>(whole) * LegacyTicksPerDay + fraction, t);
}

double toDays(const DateTime &v, const SqlType &t)
{
    const DateTime held = normalize(v, t);
    return static_cast<double>(dayOf(held) - Day1900) +
           static_cast<double>(toLegacyTicks(timeOf(held))) / static_cast<double>(LegacyTicksPerDay);
}

DateTime addDays(const DateTime &v, double days, const SqlType &t)
{
    if (!isLegacy(t))
        throw err::internal(t.name() + " does not add numbers");
    if (!std::isfinite(days) || days < -4'000'000.0 || days > 4'000'000.0)
        throw err::make(8115, "expression", t.name());
    const DateTime held = normalize(v, t);
    const std::int64_t total = (dayOf(held) - Day1900) * LegacyTicksPerDay + toLegacyTicks(timeOf(held)) +
                               static_cast<std::int64_t>(std::llround(days * LegacyTicksPerDay));
    return fromLegacyTotal(total, t);
}

namespace {

DateTime fromClock(bool local)
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const std::time_t seconds = ts.tv_sec;
    std::tm tm{};
    if (local)
        localtime_r(&seconds, &tm);
    else
        gmtime_r(&seconds, &tm);
    DateTime r;
    r.year = tm.tm_year + 1900;
    r.month = tm.tm_mon + 1;
    r.day = tm.tm_mday;
    r.hour = tm.tm_hour;
    r.minute = tm.tm_min;
    r.second = tm.tm_sec > 59 ? 59 : tm.tm_sec; // a leap second stays in its minute
    r.setTicks(ts.tv_nsec / 100);
    r.offsetMinutes = local ? static_cast<int>(tm.tm_gmtoff / 60) : 0;
    return r;
}

} // namespace

DateTime now() { return fromClock(true); }
DateTime utcNow() { return fromClock(false); }

} // namespace tsql::dt
