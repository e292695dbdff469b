// DATEADD, DATEDIFF, DATEPART, DATENAME and EOMONTH, and the names of the dateparts.

#include "tsql/DateTime.h"

#include "tsql/DateCalendar.h"
#include "tsql/Errors.h"

namespace tsql::dt {

using namespace cal;

namespace {

struct PartName {
    std::string_view name;
    Part part;
};

constexpr PartName partNames[] = {
    {"year", Part::Year},           {"yy", Part::Year},          {"yyyy", Part::Year},
    {"quarter", Part::Quarter},     {"qq", Part::Quarter},       {"q", Part::Quarter},
    {"month", Part::Month},         {"mm", Part::Month},         {"m", Part::Month},
    {"dayofyear", Part::DayOfYear}, {"dy", Part::DayOfYear},     {"y", Part::DayOfYear},
    {"day", Part::Day},             {"dd", Part::Day},           {"d", Part::Day},
    {"week", Part::Week},           {"wk", Part::Week},          {"ww", Part::Week},
    {"weekday", Part::WeekDay},     {"dw", Part::WeekDay},       {"w", Part::WeekDay},
    {"hour", Part::Hour},           {"hh", Part::Hour},
    {"minute", Part::Minute},       {"mi", Part::Minute},        {"n", Part::Minute},
    {"second", Part::Second},       {"ss", Part::Second},        {"s", Part::Second},
    {"millisecond", Part::Millisecond}, {"ms", Part::Millisecond},
    {"microsecond", Part::Microsecond}, {"mcs", Part::Microsecond},
    {"nanosecond", Part::Nanosecond},   {"ns", Part::Nanosecond},
    {"tzoffset", Part::TZoffset},   {"tz", Part::TZoffset},
    {"iso_week", Part::IsoWeek},    {"isowk", Part::IsoWeek},    {"isoww", Part::IsoWeek},
};

bool isDatePart(Part p) { return p <= Part::WeekDay || p == Part::IsoWeek; }
bool isTimePart(Part p) { return p >= Part::Hour && p <= Part::Nanosecond; }

// 9810 for a datepart the type has not got: a time has no year, a date no hour, and only
// datetimeoffset and datetime2 (always +00:00) an offset.
void requireTypeHas(Part p, const SqlType &t, std::string_view function)
{
    const bool missing = (t.base == Base::Time && isDatePart(p)) || (t.base == Base::Date && isTimePart(p)) ||
                         (p == Part::TZoffset && t.base != Base::DateTimeOffset && t.base != Base::DateTime2);
    if (missing)
        throw err::make(9810, partName(p), function, t.name());
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0); }

// 1 = the first day of the week SET DATEFIRST names ... 7.
int weekday(std::int64_t day, int dateFirst) { return (dayOfWeek(day) - dateFirst % 7 + 7) % 7 + 1; }

int isoWeek(std::int64_t day)
{
    // The week belongs to the year of its Thursday; week 1 holds that year's first Thursday.
    const int mondayBased = (dayOfWeek(day) + 6) % 7;
    const std::int64_t thursday = day - mondayBased + 3;
    int y, m, d;
    civil(thursday, y, m, d);
    return static_cast<int>((thursday - dayNumber(y, 1, 1)) / 7) + 1;
}

// The months since year 1 moved by n, the day kept where the month has it, else its last day.
bool addMonths(DateTime &v, std::int64_t n)
{
    const std::int64_t months = std::int64_t{v.year} * 12 + (v.month - 1) + n;
    if (months < 12 || months >= 10000 * 12)
        return false;
    v.year = static_cast<int>(months / 12);
    v.month = static_cast<int>(months % 12) + 1;
    if (v.day > daysInMonth(v.year, v.month))
        v.day = daysInMonth(v.year, v.month);
    return true;
}

// Ticks since 0001-01-01 00:00 UTC: DATEDIFF compares datetimeoffset values as instants.
__int128 instant(const DateTime &v)
{
    return static_cast<__int128>(dayOf(v)) * TicksPerDay + timeOf(v) - v.offsetMinutes * TicksPerMinute;
}

} // namespace

std::optional<Part> partFromName(std::string_view name)
{
    for (const PartName &p : partNames)
        if (iequals(name, p.name))
            return p.part;
    return std::nullopt;
}

Part requirePart(std::string_view name, std::string_view function)
{
    if (const std::optional<Part> p = partFromName(name))
        return *p;
    throw err::make(155, name, function);
}

std::string_view partName(Part part)
{
    for (const PartName &p : partNames)
        if (p.part == part)
            return p.name;
    return {};
}

DateTime add(Part part, std::int64_t number, const DateTime &v, const SqlType &t)
{
    if (part == Part::TZoffset || part == Part::IsoWeek)
        throw err::make(9806, partName(part), "dateadd");
    requireTypeHas(part, t, "dateadd");
    if (isLegacy(t) && (part == Part::Microsecond || part == Part::Nanosecond))
        throw err::make(9810, partName(part), "dateadd", t.name());
    if (number < -2147483648LL || number > 2147483647LL)
        throw err::make(8115, "expression", "int");
    const DateTime held = normalize(v, t);
    DateTime r = held;
    bool inRange = true;
    std::int64_t days = 0, ticks = 0;
    switch (part) {
    case Part::Year: inRange = addMonths(r, number * 12); break;
    case Part::Quarter: inRange = addMonths(r, number * 3); break;
    case Part::Month: inRange = addMonths(r, number); break;
    case Part::DayOfYear: case Part::Day: case Part::WeekDay: days = number; break;
    case Part::Week: days = number * 7; break;
    case Part::Hour: ticks = number * TicksPerHour; break;
    case Part::Minute: ticks = number * TicksPerMinute; break;
    case Part::Second: ticks = number * TicksPerSecond; break;
    case Part::Millisecond: ticks = number * 10'000; break;
    case Part::Microsecond: ticks = number * 10; break;
    // 100 ns is the finest tick: 49 ns are nothing, 50 ns are 100.
    case Part::Nanosecond: ticks = (number + (number < 0 ? -50 : 50)) / 100; break;
    default: break;
    }
    if (inRange && (days != 0 || ticks != 0)) {
        std::int64_t total = timeOf(held) + ticks;
        std::int64_t day = dayOf(held) + days + floorDiv(total, TicksPerDay);
        total -= floorDiv(total, TicksPerDay) * TicksPerDay;
        if (t.base == Base::Time)
            day = Day1900; // a time goes round the clock
        inRange = day >= 0 && day <= MaxDay;
        if (inRange) {
            setDay(r, day);
            setTime(r, total);
        }
    }
    std::optional<DateTime> fitted;
    if (inRange)
        fitted = fit(r, t);
    if (!fitted)
        throw err::make(517, t.name());
    return *fitted;
}

std::int64_t diff(Part part, const DateTime &start, const DateTime &end, const SqlType &startType,
                  const SqlType &endType, const Settings &, bool big)
{
    if (part == Part::TZoffset || part == Part::IsoWeek)
        throw err::make(9806, partName(part), "datediff");
    const DateTime a = normalize(start, startType);
    const DateTime b = normalize(end, endType);
    const __int128 ia = instant(a), ib = instant(b);
    auto buckets = [&](__int128 unit) {
        auto f = [unit](__int128 x) { return x / unit - (x % unit != 0 && x < 0 ? 1 : 0); };
        return f(ib) - f(ia);
    };
    // Calendar boundaries are those of the UTC dates.
    auto civilOf = [](__int128 ticks, int &y, int &m, int &d) {
        civil(static_cast<std::int64_t>(ticks / TicksPerDay), y, m, d);
    };
    __int128 result = 0;
    int ya, ma, da, yb, mb, db;
    civilOf(ia < 0 ? 0 : ia, ya, ma, da);
    civilOf(ib < 0 ? 0 : ib, yb, mb, db);
    switch (part) {
    case Part::Year: result = yb - ya; break;
    case Part::Quarter: result = (yb * 4 + (mb - 1) / 3) - (ya * 4 + (ma - 1) / 3); break;
    case Part::Month: result = (yb * 12 + mb) - (ya * 12 + ma); break;
    case Part::DayOfYear: case Part::Day: case Part::WeekDay: result = buckets(TicksPerDay); break;
    // Weeks end on Saturday whatever SET DATEFIRST says; day 0 was a Monday, so -1 a Sunday.
    case Part::Week: {
        const __int128 shift = TicksPerDay;
        auto f = [](__int128 x) { return x / (7 * TicksPerDay); };
        result = f(ib + shift) - f(ia + shift);
        break;
    }
    case Part::Hour: result = buckets(TicksPerHour); break;
    case Part::Minute: result = buckets(TicksPerMinute); break;
    case Part::Second: result = buckets(TicksPerSecond); break;
    case Part::Millisecond: result = buckets(10'000); break;
    case Part::Microsecond: result = buckets(10); break;
    case Part::Nanosecond: result = (ib - ia) * 100; break;
    default: break;
    }
    const __int128 low = big ? INT64_MIN : INT32_MIN, high = big ? INT64_MAX : INT32_MAX;
    if (result < low || result > high)
        throw err::make(535);
    return static_cast<std::int64_t>(result);
}

std::int64_t part(Part p, const DateTime &value, const SqlType &t, const Settings &settings)
{
    requireTypeHas(p, t, "datepart");
    const DateTime v = normalize(value, t);
    const std::int64_t day = dayOf(v);
    switch (p) {
    case Part::Year: return v.year;
    case Part::Quarter: return (v.month - 1) / 3 + 1;
    case Part::Month: return v.month;
    case Part::DayOfYear: return day - dayNumber(v.year, 1, 1) + 1;
    case Part::Day: return v.day;
    case Part::Week: {
        // Week 1 is the one holding January 1st; weeks start on DATEFIRST's day.
        const std::int64_t jan1 = dayNumber(v.year, 1, 1);
        return (day - jan1 + weekday(jan1, settings.dateFirst) - 1) / 7 + 1;
    }
    case Part::WeekDay: return weekday(day, settings.dateFirst);
    case Part::Hour: return v.hour;
    case Part::Minute: return v.minute;
    case Part::Second: return v.second;
    case Part::Millisecond: return v.millisecond;
    case Part::Microsecond: return v.ticks() / 10;
    case Part::Nanosecond: return v.ticks() * 100;
    case Part::TZoffset: return v.offsetMinutes;
    case Part::IsoWeek: return isoWeek(day);
    }
    return 0;
}

std::string name(Part p, const DateTime &value, const SqlType &t, const Settings &settings)
{
    requireTypeHas(p, t, "datename");
    const DateTime v = normalize(value, t);
    switch (p) {
    case Part::Month: return std::string(monthName(v.month));
    case Part::WeekDay: return std::string(weekdayName(dayOfWeek(dayOf(v))));
    case Part::TZoffset: {
        const int m = v.offsetMinutes < 0 ? -v.offsetMinutes : v.offsetMinutes;
        const std::string hh = std::to_string(100 + m / 60).substr(1), mm = std::to_string(100 + m % 60).substr(1);
        return (v.offsetMinutes < 0 ? "-" : "+") + hh + ':' + mm;
    }
    default: return std::to_string(part(p, v, t, settings));
    }
}

DateTime endOfMonth(const DateTime &v, std::int64_t monthsToAdd)
{
    DateTime r;
    r.year = v.year;
    r.month = v.month;
    r.day = 1;
    if (!validDate(v.year, v.month, v.day) || monthsToAdd < -120'000 || monthsToAdd > 120'000 ||
        !addMonths(r, monthsToAdd))
        throw err::make(517, "date");
    r.day = daysInMonth(r.year, r.month);
    return r;
}

} // namespace tsql::dt
