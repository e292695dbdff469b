#include "tsql/Types.h"

#include "tsql/Errors.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tsql {

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char &c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

bool iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

Category SqlType::category() const
{
    switch (base) {
    case Base::Bit: case Base::TinyInt: case Base::SmallInt: case Base::Int: case Base::BigInt:
        return Category::Integer;
    case Base::Decimal: case Base::Money: case Base::Float: case Base::Real:
        return Category::Number;
    case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar: case Base::Text: case Base::NText:
        return Category::Text;
    case Base::DateTime: case Base::SmallDateTime: case Base::Date:
        return Category::DateTime;
    case Base::Unknown:
        break;
    }
    return Category::Unknown;
}

std::string SqlType::name() const
{
    switch (base) {
    case Base::Bit: return "bit";
    case Base::TinyInt: return "tinyint";
    case Base::SmallInt: return "smallint";
    case Base::Int: return "int";
    case Base::BigInt: return "bigint";
    case Base::Decimal: return "decimal";
    case Base::Money: return "money";
    case Base::Float: return "float";
    case Base::Real: return "real";
    case Base::Char: return "char";
    case Base::VarChar: return "varchar";
    case Base::NChar: return "nchar";
    case Base::NVarChar: return "nvarchar";
    case Base::Text: return "text";
    case Base::NText: return "ntext";
    case Base::DateTime: return "datetime";
    case Base::SmallDateTime: return "smalldatetime";
    case Base::Date: return "date";
    case Base::Unknown: break;
    }
    return "";
}

// max is stored as -1 because SQLite's type grammar only takes numbers in parentheses.
std::string SqlType::declared() const
{
    switch (base) {
    case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar:
        return name() + "(" + std::to_string(length == 0 ? 1 : length) + ")";
    case Base::Decimal:
        return name() + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    default:
        return name();
    }
}

std::string SqlType::display() const
{
    std::string d = declared();
    if (length == -1)
        return name() + "(max)";
    return d;
}

int SqlType::maxLength() const
{
    switch (base) {
    case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar:
        return length > 0 ? length : (length == 0 ? 1 : 0);
    default:
        return 0;
    }
}

std::optional<Base> baseFromName(std::string_view n)
{
    const std::string s = lower(n);
    static const std::pair<const char *, Base> names[] = {
        {"bit", Base::Bit}, {"tinyint", Base::TinyInt}, {"smallint", Base::SmallInt}, {"int", Base::Int},
        {"integer", Base::Int}, {"bigint", Base::BigInt}, {"decimal", Base::Decimal}, {"numeric", Base::Decimal},
        {"money", Base::Money}, {"smallmoney", Base::Money}, {"float", Base::Float}, {"real", Base::Real},
        {"char", Base::Char}, {"varchar", Base::VarChar}, {"nchar", Base::NChar}, {"nvarchar", Base::NVarChar},
        {"text", Base::Text}, {"ntext", Base::NText}, {"datetime", Base::DateTime},
        {"smalldatetime", Base::SmallDateTime}, {"date", Base::Date}, {"datetime2", Base::DateTime},
    };
    for (const auto &[name, base] : names)
        if (s == name)
            return base;
    return std::nullopt;
}

SqlType parseDeclared(std::string_view declared)
{
    SqlType t;
    const auto paren = declared.find('(');
    const auto name = declared.substr(0, paren);
    t.base = baseFromName(name.substr(0, name.find(' '))).value_or(Base::Unknown);
    if (paren != std::string_view::npos) {
        int a = 0, b = 0;
        const std::string rest(declared.substr(paren + 1));
        const int n = std::sscanf(rest.c_str(), "%d , %d", &a, &b);
        if (t.base == Base::Decimal) {
            t.precision = a;
            t.scale = n > 1 ? b : 0;
        } else {
            t.length = a;
        }
    } else if (t.base == Base::Decimal) {
        t.precision = 18;
    }
    return t;
}

// Hand-written because bulk loads format and read millions of these.
std::string formatStorage(const DateTime &d)
{
    std::string r(23, '0');
    auto put = [&](std::size_t at, int value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            r[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    put(0, d.year, 4);
    r[4] = '-';
    put(5, d.month, 2);
    r[7] = '-';
    put(8, d.day, 2);
    r[10] = ' ';
    put(11, d.hour, 2);
    r[13] = ':';
    put(14, d.minute, 2);
    r[16] = ':';
    put(17, d.second, 2);
    r[19] = '.';
    put(20, d.millisecond, 3);
    return r;
}

static bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
static int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}
static bool validDate(int y, int m, int d)
{
    return y >= 1 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

std::optional<DateTime> parseStorage(std::string_view s)
{
    if (s.size() != 23 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':' || s[19] != '.')
        return std::nullopt;
    bool ok = true;
    auto get = [&](std::size_t at, int width) {
        int v = 0;
        for (int i = 0; i < width; ++i) {
            const char c = s[at + static_cast<std::size_t>(i)];
            ok = ok && c >= '0' && c <= '9';
            v = v * 10 + (c - '0');
        }
        return v;
    };
    DateTime d{get(0, 4), get(5, 2), get(8, 2), get(11, 2), get(14, 2), get(17, 2), get(20, 3)};
    if (!ok)
        return std::nullopt;
    return d;
}

namespace {

// A small cursor over the text of a date literal.
struct Scan {
    std::string_view s;
    std::size_t i = 0;
    void blanks() { while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i; }
    bool at(char c) const { return i < s.size() && s[i] == c; }
    bool end() const { return i >= s.size(); }
    int digits(int &count, int maxCount)
    {
        int v = 0;
        count = 0;
        while (i < s.size() && count < maxCount && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i] - '0');
            ++i;
            ++count;
        }
        return v;
    }
};

bool parseTime(Scan &sc, DateTime &d)
{
    int n = 0;
    d.hour = sc.digits(n, 2);
    if (n == 0 || !sc.at(':'))
        return false;
    ++sc.i;
    d.minute = sc.digits(n, 2);
    if (n == 0)
        return false;
    if (sc.at(':')) {
        ++sc.i;
        d.second = sc.digits(n, 2);
        if (n == 0)
            return false;
        if (sc.at('.') || sc.at(':')) {
            ++sc.i;
            int frac = sc.digits(n, 9);
            int ms = frac;
            for (int k = n; k < 3; ++k)
                ms *= 10;
            for (int k = n; k > 3; --k)
                ms /= 10;
            d.millisecond = ms;
        }
    }
    sc.blanks();
    if (sc.i + 1 < sc.s.size() + 1 && sc.i < sc.s.size()) {
        const std::string ampm = lower(sc.s.substr(sc.i, 2));
        if (ampm == "am" || ampm == "pm") {
            if (d.hour > 12)
                return false;
            if (ampm == "am" && d.hour == 12)
                d.hour = 0;
            else if (ampm == "pm" && d.hour < 12)
                d.hour += 12;
            sc.i += 2;
        }
    }
    return d.hour < 24 && d.minute < 60 && d.second < 60;
}

} // namespace

DateTime textToDateTime(std::string_view text, int style)
{
    Scan sc{text};
    sc.blanks();
    DateTime d;
    d.year = 1900;
    int n1 = 0, n2 = 0, n3 = 0;
    bool outOfRange = false;
    if (sc.i < sc.s.size() && std::isalpha(static_cast<unsigned char>(sc.s[sc.i]))) {
        // "Dec  5 2026  8:30AM", the form CONVERT gives without a style.
        static const char *months[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
        const std::string m = lower(sc.s.substr(sc.i, 3));
        d.month = 0;
        for (int k = 0; k < 12; ++k)
            if (m == months[k])
                d.month = k + 1;
        if (d.month == 0)
            throw err::badDate();
        while (sc.i < sc.s.size() && std::isalpha(static_cast<unsigned char>(sc.s[sc.i])))
            ++sc.i;
        sc.blanks();
        d.day = sc.digits(n2, 2);
        sc.blanks();
        if (sc.at(','))
            ++sc.i;
        sc.blanks();
        d.year = sc.digits(n3, 4);
        if (n2 == 0 || n3 != 4)
            throw err::badDate();
        if (!validDate(d.year, d.month, d.day))
            outOfRange = true;
        sc.blanks();
        if (!sc.end() && !parseTime(sc, d))
            throw err::badDate();
        sc.blanks();
        if (!sc.end())
            throw err::badDate();
        if (outOfRange || d.year < 1753)
            throw err::dateOutOfRange();
        return d;
    }
    const int a = sc.digits(n1, 8);
    if (n1 == 8 && (sc.end() || sc.at(' ') || sc.at('T'))) {
        d.year = a / 10000;
        d.month = a / 100 % 100;
        d.day = a % 100;
    } else if (n1 == 4 && (sc.at('-') || sc.at('/') || sc.at('.'))) {
        const char sep = sc.s[sc.i++];
        d.year = a;
        d.month = sc.digits(n2, 2);
        if (n2 == 0 || !sc.at(sep))
            throw err::badDate();
        ++sc.i;
        d.day = sc.digits(n3, 2);
        if (n3 == 0)
            throw err::badDate();
    } else if (n1 >= 1 && n1 <= 2 && (sc.at('/') || sc.at('-') || sc.at('.'))) {
        const char sep = sc.s[sc.i++];
        const int b = sc.digits(n2, 2);
        if (n2 == 0 || !sc.at(sep))
            throw err::badDate();
        ++sc.i;
        int y = sc.digits(n3, 4);
        if (n3 != 4 && n3 != 2)
            throw err::badDate();
        if (n3 == 2)
            y += y < 50 ? 2000 : 1900;
        d.year = y;
        // Style 103 reads day first; every other reading here is the US month-first one.
        if (style == 103) {
            d.day = a;
            d.month = b;
        } else {
            d.month = a;
            d.day = b;
        }
    } else if (n1 == 0 || n1 <= 2) {
        // A time of day alone is that time on 1900-01-01.
        sc.i = 0;
        sc.blanks();
        if (!parseTime(sc, d))
            throw err::badDate();
        sc.blanks();
        if (!sc.end())
            throw err::badDate();
        return d;
    } else {
        throw err::badDate();
    }
    if (!validDate(d.year, d.month, d.day))
        outOfRange = true;
    if (sc.at('T'))
        ++sc.i;
    sc.blanks();
    if (!sc.end() && !parseTime(sc, d))
        throw err::badDate();
    sc.blanks();
    if (!sc.end())
        throw err::badDate();
    if (outOfRange || d.year < 1753)
        throw err::dateOutOfRange();
    return d;
}

std::string formatStyle(const DateTime &d, int style)
{
    static const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char buf[64];
    switch (style) {
    case 1: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d.month, d.day, d.year % 100); break;
    case 101: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.month, d.day, d.year); break;
    case 3: std::snprintf(buf, sizeof buf, "%02d/%02d/%02d", d.day, d.month, d.year % 100); break;
    case 103: std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", d.day, d.month, d.year); break;
    case 102: std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", d.year, d.month, d.day); break;
    case 110: std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", d.month, d.day, d.year); break;
    case 111: std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", d.year, d.month, d.day); break;
    case 112: std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day); break;
    case 23: std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day); break;
    case 8: case 108: std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", d.hour, d.minute, d.second); break;
    case 20: case 120:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour, d.minute, d.second);
        break;
    case 21: case 25: case 121: return formatStorage(d);
    case 126:
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", d.year, d.month, d.day, d.hour,
                      d.minute, d.second, d.millisecond);
        break;
    default: {
        // Style 0, SQL Server's default: "Jan  1 2020 12:00AM".
        const int h12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", months[d.month - 1], d.day, d.year, h12,
                      d.minute, d.hour < 12 ? "AM" : "PM");
        break;
    }
    }
    return buf;
}

static std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

static void civilFromDays(std::int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

DateTime addDays(const DateTime &dt, std::int64_t days)
{
    DateTime r = dt;
    civilFromDays(daysFromCivil(dt.year, dt.month, dt.day) + days, r.year, r.month, r.day);
    return r;
}

DateTime now()
{
    const auto t = std::chrono::system_clock::now();
    const std::time_t secs = std::chrono::system_clock::to_time_t(t);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count() % 1000;
    std::tm tm{};
    localtime_r(&secs, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms)};
}

std::optional<std::int64_t> parseInteger(std::string_view text, bool &overflow)
{
    overflow = false;
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    std::string_view s = text.substr(b, e - b);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    if (s.empty())
        return std::int64_t{0}; // SQL Server reads an empty or blank string as 0
    std::int64_t v = 0;
    const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range) {
        overflow = true;
        return std::nullopt;
    }
    if (ec != std::errc() || p != s.data() + s.size())
        return std::nullopt;
    return v;
}

std::optional<double> parseFloat(std::string_view text)
{
    const std::string s = rtrimBlanks(text);
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return 0.0;
    const char *start = s.c_str() + b;
    char *end = nullptr;
    const double v = std::strtod(start, &end);
    if (end == start || *end != '\0' || std::isnan(v) || std::isinf(v))
        return std::nullopt;
    return v;
}

std::string formatFloat(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

std::size_t utf8Length(std::string_view s)
{
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string utf8Left(std::string_view s, std::size_t n)
{
    std::size_t count = 0, i = 0;
    for (; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == n)
                break;
            ++count;
        }
    }
    return std::string(s.substr(0, i));
}

std::string rtrimBlanks(std::string_view s)
{
    std::size_t e = s.size();
    while (e > 0 && s[e - 1] == ' ')
        --e;
    return std::string(s.substr(0, e));
}

} // namespace tsql
