#pragma once
// Dates and times as SQL Server holds, reads, prints and computes them: date, time(n),
// smalldatetime, datetime, datetime2(n) and datetimeoffset(n). Every value that becomes a
// date-time goes through here and is valid afterwards; formatting never indexes a table with
// an unchecked number.
//
// Errors through the catalogue (tsql/Errors.h): 241 for text that is no date, 242 for a date out
// of the target's range, 295/296 for smalldatetime, 8115 for arithmetic past the range, 281 for
// a CONVERT style that does not exist, 9810 and the like where SQL Server raises them.

#include "tsql/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace tsql::dt {

// Session settings that change how text is read and dates are counted (SET DATEFORMAT,
// SET DATEFIRST, SET LANGUAGE us_english only).
struct Settings {
    std::string dateFormat = "mdy"; // mdy, dmy, ymd, ydm, myd, dym
    int dateFirst = 7;              // 1 = Monday ... 7 = Sunday
};

// True when the fields make a valid value of type t (range included: datetime from 1753-01-01,
// smalldatetime 1900-01-01 to 2079-06-06 23:59, the others 0001-01-01 to 9999-12-31).
bool isValid(const DateTime &v, const SqlType &t);

// The value as type t holds it: datetime rounded to .000, .003 or .007 seconds (the
// documentation's table: 23:59:59.999 becomes the next day), smalldatetime to the minute
// (29.998 seconds down, 29.999 up), datetime2/time to t.scale digits, date without its time,
// time without its date. Throws 242/8115 when rounding leaves the range.
DateTime normalize(const DateTime &v, const SqlType &t);

// Text to a date-time of type t, as CAST/CONVERT and implicit conversion read it: the numeric
// forms in the session's DATEFORMAT, the alphabetic forms ("Apr 15 1998", "15 April 1998"),
// ISO 8601 ("1998-04-15T14:30:00.123"), unseparated ("19980415"), times alone, AM/PM, and for
// CONVERT the style's own order (e.g. 103 is dmy). The empty string (or blanks) is 1900-01-01.
// The result is normalized for t.
DateTime parse(std::string_view text, const SqlType &t, int style = 0, const Settings &settings = {});
std::optional<DateTime> tryParse(std::string_view text, const SqlType &t, int style = 0,
                                 const Settings &settings = {});

// CONVERT(varchar, v, style) for a value of type t: every style SQL Server documents for it
// (0-14, 20-25, 100-114, 120-131 where they exist; 0/100 "Jan  1 2020 12:00AM", 101
// "01/01/2020", 120 "2020-01-01 00:00:00", 121 "2020-01-01 00:00:00.000" (datetime2 with its
// digits), 126 ISO 8601, 127 with Z, 130/131 Hijri). Throws 281 for a style that does not exist.
std::string format(const DateTime &v, const SqlType &t, int style = 0);

// The storage form in SQLite: text that sorts in time order and reads back exactly.
// datetime and smalldatetime "YYYY-MM-DD HH:MM:SS.fff"; date "YYYY-MM-DD"; time
// "HH:MM:SS.fffffff"; datetime2 "YYYY-MM-DD HH:MM:SS.fffffff"; datetimeoffset the UTC instant
// "YYYY-MM-DD HH:MM:SS.fffffff" followed by " +hh:mm" (so that text order is instant order).
std::string toStorage(const DateTime &v, const SqlType &t);
// Reads any of the storage forms above (and the older 23-character form for every type);
// nullopt for text that is none of them.
std::optional<DateTime> fromStorage(std::string_view s, const SqlType &t);

// datetime and smalldatetime as numbers: days since 1900-01-01, the fraction the time of day.
// 8115 ("... to data type datetime.") outside the range.
DateTime fromDays(double days, const SqlType &t);
double toDays(const DateTime &v);

// The current time of the machine, local and UTC, to 100 ns.
DateTime now();
DateTime utcNow();

enum class Part {
    Year, Quarter, Month, DayOfYear, Day, Week, WeekDay, Hour, Minute, Second, Millisecond, Microsecond,
    Nanosecond, TZoffset, IsoWeek,
};
// year/yy/yyyy, quarter/qq/q, month/mm/m, dayofyear/dy/y, day/dd/d, week/wk/ww, weekday/dw/w,
// hour/hh, minute/mi/n, second/ss/s, millisecond/ms, microsecond/mcs, nanosecond/ns,
// tzoffset/tz, iso_week/isowk/isoww; nullopt for anything else (the caller raises 155).
std::optional<Part> partFromName(std::string_view name);

DateTime add(Part part, std::int64_t number, const DateTime &v, const SqlType &t); // DATEADD
std::int64_t diff(Part part, const DateTime &start, const DateTime &end, const SqlType &startType,
                  const SqlType &endType, const Settings &settings = {}); // DATEDIFF: boundaries crossed
std::int64_t part(Part part, const DateTime &v, const SqlType &t, const Settings &settings = {}); // DATEPART
std::string name(Part part, const DateTime &v, const SqlType &t, const Settings &settings = {}); // DATENAME
DateTime endOfMonth(const DateTime &v, int monthsToAdd = 0);                     // EOMONTH
DateTime addDays(const DateTime &v, double days, const SqlType &t);              // datetime + number

} // namespace tsql::dt
