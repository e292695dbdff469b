#include "tsql/DateCalendar.h"

#include "tsql/Types.h"

namespace tsql::dt::cal {

namespace {

constexpr std::string_view months[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr std::string_view weekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// As SQL Server prints them in styles 130 and 131 (Windows' Arabic names of the Hijri months).
constexpr std::string_view hijriMonths[] = {
    "محرم",        "صفر",   "ربيع الأول", "ربيع الثاني", "جمادى الأولى", "جمادى الثانية",
    "رجب",         "شعبان", "رمضان",      "شوال",        "ذو القعدة",    "ذو الحجة",
};

constexpr std::int64_t HijriEpoch = dayNumber(622, 7, 18);

constexpr bool hijriLeap(int y) { return (14 + 11 * y) % 30 < 11; }

constexpr std::int64_t hijriDay(int y, int m, int d)
{
    return HijriEpoch - 1 + std::int64_t{y - 1} * 354 + (3 + 11 * std::int64_t{y}) / 30 + 29 * (m - 1) + m / 2 + d;
}

} // namespace

std::string_view monthName(int m) { return months[m - 1]; }
std::string_view shortMonthName(int m) { return months[m - 1].substr(0, 3); }
std::string_view weekdayName(int dow) { return weekdays[dow]; }

int monthFromName(std::string_view word)
{
    for (int m = 1; m <= 12; ++m)
        if (iequals(word, months[m - 1]) || iequals(word, months[m - 1].substr(0, 3)))
            return m;
    return 0;
}

std::optional<HijriDate> toHijri(std::int64_t day)
{
    if (day < HijriEpoch)
        return std::nullopt;
    const int y = static_cast<int>((30 * (day - HijriEpoch) + 10646) / 10631);
    int m = 12;
    while (m > 1 && hijriDay(y, m, 1) > day)
        --m;
    return HijriDate{y, m, static_cast<int>(day - hijriDay(y, m, 1)) + 1};
}

std::optional<std::int64_t> fromHijri(int y, int m, int d)
{
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1)
        return std::nullopt;
    const int length = m % 2 == 1 || (m == 12 && hijriLeap(y)) ? 30 : 29;
    if (d > length)
        return std::nullopt;
    return hijriDay(y, m, d);
}

std::string_view hijriMonthName(int m) { return hijriMonths[m - 1]; }

int hijriMonthFromName(std::string_view word)
{
    for (int m = 1; m <= 12; ++m)
        if (word == hijriMonths[m - 1])
            return m;
    return 0;
}

} // namespace tsql::dt::cal
