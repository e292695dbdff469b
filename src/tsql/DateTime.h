#pragma once
// Dates and times as SQL Server holds, reads, prints and computes them: date, time(n),
// smalldatetime, datetime, datetime2(n) and datetimeoffset(n). Every value that becomes a
// date-time goes through here and is valid afterwards; formatting never indexes a table with
// an unchecked number.
//
// A value of type t is a DateTime with the fields t has: a date has 00:00:00 as its time, a
// time 1900-01-01 as its date, and only datetimeoffset a non-zero offsetMinutes (its fields are
// the local time). The scale of time/datetime2/datetimeoffset is t.scale as given (0..7).
//
// Errors through the catalogue (tsql/Errors.h): 241 for text that is no date, 242 for a date out
// of the target's range, 295/296 for smalldatetime, 8115 for arithmetic past the range, 281 for
// a CONVERT style that does not exist, 517 for DATEADD past the range, 535 for DATEDIFF past int,
// 155 for a datepart name that does not exist, 9806/9810 for a datepart a function or a type
// does not take, 9808 for DATEFORMAT ydm with the newer types, 9814 before the Hijri calendar.

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
bool isDateFormat(std::string_view format); // one of the six orders, any case

// True when the fields make a valid value of type t (range included: datetime from 1753-01-01,
// smalldatetime 1900-01-01 to 2079-06-06 23:59, the others 0001-01-01 to 9999-12-31, and a
// datetimeoffset whose UTC instant is in range too). The offset of a type without one is
// ignored, so that now() can be formatted as any type.
bool isValid(const DateTime &v, const SqlType &t);

// The value as type t holds it: datetime rounded to .000, .003 or .007 seconds (the
// documentation's table: 23:59:59.999 becomes the next day), smalldatetime to the minute
// (29.998 seconds down, 29.999 up), datetime2/time/datetimeoffset to t.scale digits (half up; a
// time wraps past midnight), date without its time, time without its date, the offset kept only
// by datetimeoffset. Throws 242 ("datetime2 ... to a <t> ...") when rounding leaves the range.
DateTime normalize(const DateTime &v, const SqlType &t);

// CAST/CONVERT from one date-time type to another: normalize() with SQL Server's messages (242
// naming both types, 206 between date and time) and CONVERT's styles: 0 keeps the local time of a
// datetimeoffset, 1 takes its UTC time; any other style to datetimeoffset is 9809.
DateTime convert(const DateTime &v, const SqlType &from, const SqlType &to, int style = 0);

// Text to a date-time of type t, as CAST/CONVERT and implicit conversion read it: the numeric
// forms in the session's DATEFORMAT, the alphabetic forms ("Apr 15 1998", "15 April 1998",
// "April 1998"), ISO 8601 ("1998-04-15T14:30:00.123", with Z or an offset), unseparated
// ("19980415", "980415", "1998"), times alone, AM/PM, and for CONVERT the style's own order
// (e.g. 103 is dmy, 131 a Hijri date). The empty string (or blanks) is 1900-01-01. The result is
// normalized for t. `textType` names the text's type in message 242 (varchar or nvarchar).
DateTime parse(std::string_view text, const SqlType &t, int style = 0, const Settings &settings = {},
               const SqlType &textType = SqlType(Base::VarChar));
std::optional<DateTime> tryParse(std::string_view text, const SqlType &t, int style = 0,
                                 const Settings &settings = {});

// CONVERT(varchar, v, style) for a value of type t. DefaultStyle is CAST and CONVERT without a
// style: 0 for datetime and smalldatetime, 121 for the others ("2020-01-01 00:00:00.0000000",
// time and date their own part of it, datetimeoffset with " +hh:mm"). Every documented style:
// 0-14, 20-25, 100-114, 120, 121, 126, 127, 130, 131 (Hijri, month names in Arabic). A date prints
// the date part of a style, a time the time part; a style with no part for the type, or no such
// style, throws 281.
constexpr int DefaultStyle = -1;
std::string format(const DateTime &v, const SqlType &t, int style = DefaultStyle);

// The storage form in SQLite: text that sorts in time order and reads back exactly.
// datetime and smalldatetime "YYYY-MM-DD HH:MM:SS.fff"; date "YYYY-MM-DD"; time
// "HH:MM:SS.fffffff"; datetime2 "YYYY-MM-DD HH:MM:SS.fffffff"; datetimeoffset the UTC instant
// "YYYY-MM-DD HH:MM:SS.fffffff" followed by " +hh:mm" (so that text order is instant order).
std::string toStorage(const DateTime &v, const SqlType &t);
// Reads any of the storage forms above (and the older 23-character form for every type) as a
// value of type t; nullopt for text that is none of them or a value t cannot hold.
std::optional<DateTime> fromStorage(std::string_view s, const SqlType &t);

// datetime and smalldatetime as numbers: days since 1900-01-01, the fraction the time of day
// (CAST(1.5 AS datetime) is 1900-01-02 12:00). Only these two types convert from and to numbers;
// for the others the caller raises 529. 8115 ("... to data type datetime.") outside the range.
bool convertsWithNumbers(const SqlType &t);
DateTime fromDays(double days, const SqlType &t);
double toDays(const DateTime &v, const SqlType &t);
DateTime addDays(const DateTime &v, double days, const SqlType &t); // datetime + number, datetime - number

// The current time of the machine to 100 ns: local time with the machine's offset in
// offsetMinutes (normalize() drops it for the types without one), and UTC.
DateTime now();
DateTime utcNow();

enum class Part {
    Year, Quarter, Month, DayOfYear, Day, Week, WeekDay, Hour, Minute, Second, Millisecond, Microsecond,
    Nanosecond, TZoffset, IsoWeek,
};
// year/yy/yyyy, quarter/qq/q, month/mm/m, dayofyear/dy/y, day/dd/d, week/wk/ww, weekday/dw/w,
// hour/hh, minute/mi/n, second/ss/s, millisecond/ms, microsecond/mcs, nanosecond/ns,
// tzoffset/tz, iso_week/isowk/isoww, in any case; nullopt for anything else.
std::optional<Part> partFromName(std::string_view name);
Part requirePart(std::string_view name, std::string_view function = "datepart"); // 155 "'x' is not a recognized datepart option."
std::string_view partName(Part part);    // "year", "iso_week": the name SQL Server's messages use

DateTime add(Part part, std::int64_t number, const DateTime &v, const SqlType &t); // DATEADD
std::int64_t diff(Part part, const DateTime &start, const DateTime &end, const SqlType &startType,
                  const SqlType &endType, const Settings &settings = {},
                  bool big = false); // DATEDIFF (int) or DATEDIFF_BIG (bigint): boundaries crossed
std::int64_t part(Part part, const DateTime &v, const SqlType &t, const Settings &settings = {}); // DATEPART
std::string name(Part part, const DateTime &v, const SqlType &t, const Settings &settings = {}); // DATENAME
DateTime endOfMonth(const DateTime &v, std::int64_t monthsToAdd = 0); // EOMONTH: a date

} // namespace tsql::dt
