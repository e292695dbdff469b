// CONVERT(varchar, value, style): the text of every date and time style.
//
// A style is a date part and a time part. A date prints only the date part of a style and a
// time only the time part; a style with nothing for the type is refused (281), as is a style
// SQL Server does not have. datetime shows milliseconds as ':mmm' or '.mmm'; the newer types show
// their scale's digits after a period. A datetimeoffset adds its offset after a time part.

#include "tsql/DateTime.h"

#include "tsql/DateCalendar.h"
#include "tsql/Errors.h"

namespace tsql::dt {

using namespace cal;

namespace {

enum class DatePart {
    None,
    MonDdYyyy,  // "Aug 23 2019", the day padded with a blank
    DdMonYyyy,  // "23 Aug 2019"
    DdMonYy,    // "23 Aug 19"
    MonDdCommaYyyy, MonDdCommaYy,
    Numeric,    // three numbers with a separator in an order
    Compact,    // "20190823", "190823"
    HijriName,  // " 22 <month> 1440"
    HijriNumeric,
};

enum class TimePart {
    None,
    HhMiAmPm,       // " 1:39PM"
    HhMiSsMsAmPm,   // " 1:39:17:090PM"
    HhMiSsMs24,     // "13:39:17:090"
    HhMiSs24,       // "13:39:17"
    HhMiSsDotMs24,  // "13:39:17.090"
    HhMiSsSpaceAmPm, // " 1:39:17 PM"
    Iso,            // "T13:39:17.090", the fraction left out when it is zero
};

struct Style {
    DatePart date = DatePart::None;
    const char *order = "";   // for Numeric: "mdy", "ymd", ...
    char separator = 0;       // for Numeric
    bool century = true;      // four-digit years
    TimePart time = TimePart::None;
};

std::optional<Style> lookup(int style)
{
    const bool century = style >= 100;
    switch (style) {
    case 0: case 100: return Style{DatePart::MonDdYyyy, "", 0, true, TimePart::HhMiAmPm};
    case 1: case 101: return Style{DatePart::Numeric, "mdy", '/', century};
    case 2: case 102: return Style{DatePart::Numeric, "ymd", '.', century};
    case 3: case 103: return Style{DatePart::Numeric, "dmy", '/', century};
    case 4: case 104: return Style{DatePart::Numeric, "dmy", '.', century};
    case 5: case 105: return Style{DatePart::Numeric, "dmy", '-', century};
    case 6: case 106: return Style{century ? DatePart::DdMonYyyy : DatePart::DdMonYy};
    case 7: case 107: return Style{century ? DatePart::MonDdCommaYyyy : DatePart::MonDdCommaYy};
    case 8: case 24: case 108: return Style{DatePart::None, "", 0, true, TimePart::HhMiSs24};
    case 9: case 109: return Style{DatePart::MonDdYyyy, "", 0, true, TimePart::HhMiSsMsAmPm};
    case 10: case 110: return Style{DatePart::Numeric, "mdy", '-', century};
    case 11: case 111: return Style{DatePart::Numeric, "ymd", '/', century};
    case 12: case 112: return Style{DatePart::Compact, "ymd", 0, century};
    case 13: case 113: return Style{DatePart::DdMonYyyy, "", 0, true, TimePart::HhMiSsMs24};
    case 14: case 114: return Style{DatePart::None, "", 0, true, TimePart::HhMiSsMs24};
    case 20: case 120: return Style{DatePart::Numeric, "ymd", '-', true, TimePart::HhMiSs24};
    case 21: case 25: case 121: return Style{DatePart::Numeric, "ymd", '-', true, TimePart::HhMiSsDotMs24};
    case 22: return Style{DatePart::Numeric, "mdy", '/', false, TimePart::HhMiSsSpaceAmPm};
    case 23: return Style{DatePart::Numeric, "ymd", '-', true};
    case 126: case 127: return Style{DatePart::Numeric, "ymd", '-', true, TimePart::Iso};
    case 130: return Style{DatePart::HijriName, "", 0, true, TimePart::HhMiSsMsAmPm};
    case 131: return Style{DatePart::HijriNumeric, "dmy", '/', true, TimePart::HhMiSsMsAmPm};
    default: return std::nullopt;
    }
}

std::string zeros(std::int64_t value, int width)
{
    std::string s = std::to_string(value);
    return s.size() < static_cast<std::size_t>(width) ? std::string(static_cast<std::size_t>(width) - s.size(), '0') + s : s;
}

std::string blanks(int value) { return value < 10 ? ' ' + std::to_string(value) : std::to_string(value); }

std::string datePart(const Style &s, const DateTime &v)
{
    const std::string yyyy = zeros(v.year, 4);
    const std::string yy = zeros(v.year % 100, 2);
    const std::string year = s.century ? yyyy : yy;
    const std::string mon(shortMonthName(v.month));
    switch (s.date) {
    case DatePart::MonDdYyyy: return mon + ' ' + blanks(v.day) + ' ' + yyyy;
    case DatePart::DdMonYyyy: return zeros(v.day, 2) + ' ' + mon + ' ' + yyyy;
    case DatePart::DdMonYy: return zeros(v.day, 2) + ' ' + mon + ' ' + yy;
    case DatePart::MonDdCommaYyyy: return mon + ' ' + zeros(v.day, 2) + ", " + yyyy;
    case DatePart::MonDdCommaYy: return mon + ' ' + zeros(v.day, 2) + ", " + yy;
    case DatePart::Compact: return year + zeros(v.month, 2) + zeros(v.day, 2);
    case DatePart::HijriName:
    case DatePart::HijriNumeric: {
        const std::optional<HijriDate> h = toHijri(dayOf(v));
        if (!h)
            throw err::make(9814);
        if (s.date == DatePart::HijriName)
            return blanks(h->day) + ' ' + std::string(hijriMonthName(h->month)) + ' ' + zeros(h->year, 4);
        return blanks(h->day) + '/' + zeros(h->month, 2) + '/' + zeros(h->year, 4);
    }
    case DatePart::Numeric: {
        std::string out;
        for (const char *c = s.order; *c; ++c) {
            if (!out.empty())
                out += s.separator;
            out += *c == 'y' ? year : zeros(*c == 'm' ? v.month : v.day, 2);
        }
        return out;
    }
    case DatePart::None: break;
    }
    return {};
}

// The fraction of the second: datetime's three digits, or the newer types' scale's digits.
std::string fraction(const DateTime &v, const SqlType &t, char legacySeparator)
{
    if (isLegacy(t))
        return legacySeparator + zeros(v.millisecond, 3);
    if (t.scale == 0)
        return {};
    return '.' + zeros(v.ticks(), 7).substr(0, t.scale > 7 ? 7 : t.scale);
}

std::string timePart(TimePart part, const DateTime &v, const SqlType &t)
{
    const int h12 = v.hour % 12 == 0 ? 12 : v.hour % 12;
    const char *meridiem = v.hour < 12 ? "AM" : "PM";
    const std::string mi = zeros(v.minute, 2);
    const std::string ss = zeros(v.second, 2);
    const std::string hh = zeros(v.hour, 2);
    switch (part) {
    case TimePart::HhMiAmPm: return blanks(h12) + ':' + mi + meridiem;
    case TimePart::HhMiSsMsAmPm: return blanks(h12) + ':' + mi + ':' + ss + fraction(v, t, ':') + meridiem;
    case TimePart::HhMiSsMs24: return hh + ':' + mi + ':' + ss + fraction(v, t, ':');
    case TimePart::HhMiSs24: return hh + ':' + mi + ':' + ss;
    case TimePart::HhMiSsDotMs24: return hh + ':' + mi + ':' + ss + fraction(v, t, '.');
    case TimePart::HhMiSsSpaceAmPm: return blanks(h12) + ':' + mi + ':' + ss + ' ' + meridiem;
    case TimePart::Iso: return hh + ':' + mi + ':' + ss + (v.ticks() == 0 ? std::string() : fraction(v, t, '.'));
    case TimePart::None: break;
    }
    return {};
}

std::string offsetText(int minutes)
{
    const int m = minutes < 0 ? -minutes : minutes;
    return (minutes < 0 ? "-" : "+") + zeros(m / 60, 2) + ':' + zeros(m % 60, 2);
}

} // namespace

std::string format(const DateTime &value, const SqlType &t, int style)
{
    if (!isValid(value, t))
        throw err::internal("an invalid " + t.name() + " value was to be formatted");
    if (style == DefaultStyle)
        style = isLegacy(t) ? 0 : 121;
    std::optional<Style> s = lookup(style);
    const bool hasDate = t.base != Base::Time;
    const bool hasTime = t.base != Base::Date;
    if (!s || (!hasDate && s->time == TimePart::None) || (!hasTime && s->date == DatePart::None))
        throw err::make(281, style, t.name());
    DateTime v = value;
    const bool offset = t.base == Base::DateTimeOffset && s->time != TimePart::None;
    if (offset && style == 127) {
        // ISO 8601 with Z is the UTC time.
        const std::int64_t utc = dayOf(v) * TicksPerDay + timeOf(v) - v.offsetMinutes * TicksPerMinute;
        setDay(v, utc / TicksPerDay);
        setTime(v, utc % TicksPerDay);
    }
    std::string out = hasDate ? datePart(*s, v) : std::string();
    if (hasTime && s->time != TimePart::None) {
        if (!out.empty())
            out += s->time == TimePart::Iso ? 'T' : ' ';
        out += timePart(s->time, v, t);
    }
    if (offset)
        out += style == 127 ? "Z" : (style == 126 ? "" : " ") + offsetText(v.offsetMinutes);
    return out;
}

} // namespace tsql::dt
