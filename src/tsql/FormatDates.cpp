// FORMAT for date-times: .NET's standard and custom date and time format strings, and a time of
// day as a .NET TimeSpan, in the en-US culture.

#include "tsql/DateCalendar.h"
#include "tsql/FormatText.h"

namespace tsql::fmt {

std::string padded(long long v, int width)
{
    std::string s = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return v < 0 ? "-" + s : s;
}

// A quoted ('...' or "...") or escaped (\x) literal at f[i]; i moves past it.
bool literal(std::string_view f, std::size_t &i, std::string &out)
{
    const char c = f[i];
    if (c == '\\') {
        if (i + 1 >= f.size())
            throw Invalid{};
        out += f[i + 1];
        i += 2;
        return true;
    }
    if (c == '\'' || c == '"') {
        const std::size_t end = f.find(c, i + 1);
        if (end == std::string_view::npos)
            throw Invalid{};
        out += f.substr(i + 1, end - i - 1);
        i = end + 1;
        return true;
    }
    return false;
}

namespace {

int runLength(std::string_view f, std::size_t i)
{
    std::size_t j = i;
    while (j < f.size() && f[j] == f[i])
        ++j;
    return static_cast<int>(j - i);
}

std::string offsetText(int minutes, int n)
{
    const char sign = minutes < 0 ? '-' : '+';
    const int m = minutes < 0 ? -minutes : minutes;
    if (n == 1)
        return sign + std::to_string(m / 60);
    if (n == 2)
        return sign + padded(m / 60, 2);
    return sign + padded(m / 60, 2) + ":" + padded(m % 60, 2);
}

std::string customDate(const DateTime &d, std::string_view f, bool hasOffset)
{
    std::string out;
    const std::string fraction = padded(d.ticks(), 7);
    for (std::size_t i = 0; i < f.size();) {
        const char c = f[i];
        if (literal(f, i, out))
            continue;
        const int n = runLength(f, i);
        switch (c) {
        case 'd':
            if (n <= 2)
                out += padded(d.day, n);
            else {
                const std::string_view name = dt::cal::weekdayName(dt::cal::dayOfWeek(dt::cal::dayOf(d)));
                out += n == 3 ? name.substr(0, 3) : name;
            }
            break;
        case 'M':
            out += n <= 2 ? padded(d.month, n) : std::string(n == 3 ? dt::cal::shortMonthName(d.month) : dt::cal::monthName(d.month));
            break;
        case 'y':
            out += n <= 2 ? padded(d.year % 100, n) : padded(d.year, n);
            break;
        case 'h': out += padded(d.hour % 12 == 0 ? 12 : d.hour % 12, n > 2 ? 2 : n); break;
        case 'H': out += padded(d.hour, n > 2 ? 2 : n); break;
        case 'm': out += padded(d.minute, n > 2 ? 2 : n); break;
        case 's': out += padded(d.second, n > 2 ? 2 : n); break;
        case 'f':
            if (n > 7)
                throw Invalid{};
            out += fraction.substr(0, static_cast<std::size_t>(n));
            break;
        case 'F': {
            if (n > 7)
                throw Invalid{};
            std::string digits = fraction.substr(0, static_cast<std::size_t>(n));
            while (!digits.empty() && digits.back() == '0')
                digits.pop_back();
            // Nothing to show takes its decimal point with it.
            if (digits.empty() && !out.empty() && out.back() == '.')
                out.pop_back();
            out += digits;
            break;
        }
        case 't': out += n == 1 ? std::string(d.hour < 12 ? "A" : "P") : std::string(d.hour < 12 ? "AM" : "PM"); break;
        case 'z': out += offsetText(hasOffset ? d.offsetMinutes : 0, n); break;
        case 'K':
            for (int k = 0; k < n; ++k)
                out += hasOffset ? offsetText(d.offsetMinutes, 3) : std::string();
            break;
        case 'g': out += "A.D."; break;
        case '%': break; // marks a lone custom specifier
        default: out.append(static_cast<std::size_t>(n), c); break;
        }
        i += static_cast<std::size_t>(n);
    }
    return out;
}

} // namespace

std::string formatDate(DateTime d, std::string_view f, bool hasOffset)
{
    if (f.size() != 1)
        return customDate(d, f, hasOffset);
    switch (f[0]) {
    case 'd': return customDate(d, "M/d/yyyy", hasOffset);
    case 'D': return customDate(d, "dddd, MMMM d, yyyy", hasOffset);
    case 'f': return customDate(d, "dddd, MMMM d, yyyy h:mm tt", hasOffset);
    case 'F': return customDate(d, "dddd, MMMM d, yyyy h:mm:ss tt", hasOffset);
    case 'g': return customDate(d, "M/d/yyyy h:mm tt", hasOffset);
    case 'G': return customDate(d, "M/d/yyyy h:mm:ss tt", hasOffset);
    case 'm': case 'M': return customDate(d, "MMMM d", hasOffset);
    case 'y': case 'Y': return customDate(d, "MMMM yyyy", hasOffset);
    case 't': return customDate(d, "h:mm tt", hasOffset);
    case 'T': return customDate(d, "h:mm:ss tt", hasOffset);
    case 'o': case 'O': return customDate(d, "yyyy'-'MM'-'dd'T'HH':'mm':'ss'.'fffffffK", hasOffset);
    case 's': return customDate(d, "yyyy'-'MM'-'dd'T'HH':'mm':'ss", hasOffset);
    case 'r': case 'R': case 'u': case 'U':
        if (hasOffset) { // these show universal time
            const std::int64_t ticks = dt::cal::dayOf(d) * dt::cal::TicksPerDay + dt::cal::timeOf(d) -
                                       d.offsetMinutes * dt::cal::TicksPerMinute;
            dt::cal::setDay(d, ticks / dt::cal::TicksPerDay);
            dt::cal::setTime(d, ticks % dt::cal::TicksPerDay);
        }
        if (f[0] == 'u')
            return customDate(d, "yyyy'-'MM'-'dd HH':'mm':'ss'Z'", false);
        if (f[0] == 'U')
            return customDate(d, "dddd, MMMM d, yyyy h:mm:ss tt", false);
        return customDate(d, "ddd, dd MMM yyyy HH':'mm':'ss 'GMT'", false);
    default: throw Invalid{};
    }
}

// A time of day is a .NET TimeSpan: its own specifiers, and every other character must be quoted.
std::string formatTime(const DateTime &d, std::string_view f)
{
    const std::string fraction = padded(d.ticks(), 7);
    const std::string clock = padded(d.hour, 2) + ":" + padded(d.minute, 2) + ":" + padded(d.second, 2);
    if (f.size() == 1) {
        switch (f[0]) {
        case 'c': case 't': case 'T': return d.ticks() ? clock + "." + fraction : clock;
        case 'g': {
            std::string s = std::to_string(d.hour) + clock.substr(2);
            std::string fr = fraction;
            while (!fr.empty() && fr.back() == '0')
                fr.pop_back();
            return fr.empty() ? s : s + "." + fr;
        }
        case 'G': return "0:" + clock + "." + fraction;
        default: throw Invalid{};
        }
    }
    std::string out;
    for (std::size_t i = 0; i < f.size();) {
        if (literal(f, i, out))
            continue;
        const char c = f[i];
        const int n = runLength(f, i);
        switch (c) {
        case 'd': out += padded(0, n); break;
        case 'h': if (n > 2) throw Invalid{}; out += padded(d.hour, n); break;
        case 'm': if (n > 2) throw Invalid{}; out += padded(d.minute, n); break;
        case 's': if (n > 2) throw Invalid{}; out += padded(d.second, n); break;
        case 'f': if (n > 7) throw Invalid{}; out += fraction.substr(0, static_cast<std::size_t>(n)); break;
        case 'F': {
            if (n > 7)
                throw Invalid{};
            std::string digits = fraction.substr(0, static_cast<std::size_t>(n));
            while (!digits.empty() && digits.back() == '0')
                digits.pop_back();
            out += digits;
            break;
        }
        case '%': break;
        default: throw Invalid{};
        }
        i += static_cast<std::size_t>(n);
    }
    return out;
}

// A number as decimal digits: value = 0.<digits> * 10^point, with its sign. Exact for integers
} // namespace tsql::fmt
