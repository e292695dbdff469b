// FORMAT(value, format [, culture]): .NET's standard and custom format strings for numbers,
// dates and times, in the en-US culture only. A format .NET would refuse gives NULL, as SQL
// Server returns it; a well-formed culture other than en-US gives NULL too (this engine knows
// no other culture's names and patterns), a malformed one error 9818.

#include "tsql/DateCalendar.h"
#include "tsql/Errors.h"
#include "tsql/Functions.h"
#include "tsql/Text.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace tsql::fn {

namespace {

struct Invalid {}; // .NET's FormatException: FORMAT answers NULL

std::string padded(long long v, int width)
{
    std::string s = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
    return v < 0 ? "-" + s : s;
}

int runLength(std::string_view f, std::size_t i)
{
    std::size_t j = i;
    while (j < f.size() && f[j] == f[i])
        ++j;
    return static_cast<int>(j - i);
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
// and decimals; a float keeps the 15 significant digits .NET Framework shows.
struct Digits {
    bool negative = false;
    std::string digits; // no leading zeros; empty for zero
    int point = 0;
    bool integral = false; // came from an integer type (D and X need one)
    int width = 64;        // the integer type's bits, for X of a negative

    bool zero() const { return digits.empty(); }

    void trim()
    {
        std::size_t lead = digits.find_first_not_of('0');
        if (lead == std::string::npos) {
            digits.clear();
            point = 0;
            return;
        }
        digits.erase(0, lead);
        point -= static_cast<int>(lead);
        while (!digits.empty() && digits.back() == '0')
            digits.pop_back();
    }

    // Away from zero, keeping `decimals` digits after the point.
    void round(int decimals)
    {
        const int keep = point + decimals;
        if (keep < 0) {
            digits.clear();
            return;
        }
        if (keep >= static_cast<int>(digits.size()))
            return;
        const bool up = digits[static_cast<std::size_t>(keep)] >= '5';
        digits.resize(static_cast<std::size_t>(keep));
        if (up) {
            int i = keep - 1;
            while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
                digits[static_cast<std::size_t>(i--)] = '0';
            if (i < 0) {
                digits.insert(digits.begin(), '1');
                ++point;
            } else {
                ++digits[static_cast<std::size_t>(i)];
            }
        }
        trim();
    }

    void roundSignificant(int n)
    {
        round(n - point);
    }

    std::string integerPart() const
    {
        if (point <= 0)
            return "0";
        std::string s = digits.substr(0, std::min<std::size_t>(digits.size(), static_cast<std::size_t>(point)));
        s.append(static_cast<std::size_t>(point) - s.size(), '0');
        return s;
    }

    std::string fractionPart(int count) const
    {
        std::string s;
        for (int i = 0; i < count; ++i) {
            const int at = point + i;
            s += at >= 0 && at < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(at)] : '0';
        }
        return s;
    }
};

Digits digitsOf(const Value &v)
{
    Digits d;
    std::string text;
    switch (v.type()) {
    case Value::Type::Integer:
        text = std::to_string(v.asInteger());
        d.integral = true;
        d.width = v.sqlType().base == Base::BigInt ? 64 : v.sqlType().base == Base::Int ? 32 : v.sqlType().base == Base::SmallInt ? 16 : 8;
        break;
    case Value::Type::Decimal: text = v.asDecimal().toString(); break;
    case Value::Type::Float: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.14e", v.asFloat());
        const std::string s = buf;
        const std::size_t e = s.find('e');
        d.negative = s[0] == '-';
        for (char c : s.substr(0, e))
            if (std::isdigit(static_cast<unsigned char>(c)))
                d.digits += c;
        d.point = std::stoi(s.substr(e + 1)) + 1;
        d.trim();
        return d;
    }
    default: throw Invalid{};
    }
    d.negative = !text.empty() && text[0] == '-';
    if (d.negative)
        text.erase(0, 1);
    const std::size_t dot = text.find('.');
    d.digits = dot == std::string::npos ? text : text.substr(0, dot) + text.substr(dot + 1);
    d.point = static_cast<int>(dot == std::string::npos ? text.size() : dot);
    d.trim();
    return d;
}

std::string grouped(const std::string &integer)
{
    std::string out;
    const int n = static_cast<int>(integer.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += integer[static_cast<std::size_t>(i)];
    }
    return out;
}

std::string fixed(const Digits &d, int decimals, bool groups)
{
    const std::string integer = d.integerPart();
    std::string s = groups ? grouped(integer) : integer;
    if (decimals > 0)
        s += "." + d.fractionPart(decimals);
    return s;
}

std::string exponential(Digits d, int decimals, char e, int expDigits)
{
    if (d.zero())
        return "0" + (decimals > 0 ? "." + std::string(static_cast<std::size_t>(decimals), '0') : "") + e + "+" +
               std::string(static_cast<std::size_t>(expDigits), '0');
    d.roundSignificant(decimals + 1);
    const int exponent = d.point - 1;
    std::string s(1, d.digits[0]);
    if (decimals > 0) {
        s += '.';
        for (int i = 1; i <= decimals; ++i)
            s += i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(i)] : '0';
    }
    return s + e + (exponent < 0 ? '-' : '+') + padded(exponent < 0 ? -exponent : exponent, expDigits);
}

std::string general(Digits d, int precision, const Value &v, char e)
{
    if (precision <= 0)
        precision = v.type() == Value::Type::Float ? 15 : 29;
    d.roundSignificant(precision);
    if (d.zero())
        return "0";
    const int exponent = d.point - 1;
    std::string s;
    if (exponent >= -5 && exponent < precision) {
        // A decimal keeps its scale's zeros, as .NET's decimal does.
        int decimals = std::max(0, static_cast<int>(d.digits.size()) - d.point);
        if (v.type() == Value::Type::Decimal)
            decimals = std::max(decimals, std::min(v.asDecimal().scale, precision - std::max(d.point, 1)));
        s = fixed(d, decimals, false);
    } else {
        std::string mantissa(1, d.digits[0]);
        if (d.digits.size() > 1)
            mantissa += "." + d.digits.substr(1);
        s = mantissa + e + (exponent < 0 ? '-' : '+') + padded(exponent < 0 ? -exponent : exponent, 2);
    }
    return (d.negative ? "-" : "") + s;
}

std::string standardNumber(const Value &v, char kind, std::optional<int> precision)
{
    Digits d = digitsOf(v);
    const char upperKind = static_cast<char>(std::toupper(static_cast<unsigned char>(kind)));
    switch (upperKind) {
    case 'C': {
        d.round(precision.value_or(2));
        const std::string s = "$" + fixed(d, precision.value_or(2), true);
        return d.negative && !d.zero() ? "(" + s + ")" : s;
    }
    case 'N': case 'F': {
        d.round(precision.value_or(2));
        return (d.negative && !d.zero() ? "-" : "") + fixed(d, precision.value_or(2), upperKind == 'N');
    }
    case 'P': {
        d.point += 2;
        d.round(precision.value_or(2));
        return (d.negative && !d.zero() ? "-" : "") + fixed(d, precision.value_or(2), true) + " %";
    }
    case 'D': {
        if (!d.integral)
            throw Invalid{};
        std::string s = d.integerPart();
        if (static_cast<int>(s.size()) < precision.value_or(0))
            s.insert(0, static_cast<std::size_t>(*precision) - s.size(), '0');
        return (d.negative ? "-" : "") + s;
    }
    case 'X': {
        if (!d.integral)
            throw Invalid{};
        std::uint64_t u = static_cast<std::uint64_t>(v.asInteger());
        if (d.width < 64)
            u &= (std::uint64_t{1} << d.width) - 1;
        char buf[32];
        std::snprintf(buf, sizeof buf, kind == 'x' ? "%llx" : "%llX", static_cast<unsigned long long>(u));
        std::string s = buf;
        if (static_cast<int>(s.size()) < precision.value_or(0))
            s.insert(0, static_cast<std::size_t>(*precision) - s.size(), '0');
        return s;
    }
    case 'E': return (d.negative && !d.zero() ? "-" : "") + exponential(d, precision.value_or(6), kind, 3);
    case 'G': return general(d, precision.value_or(0), v, kind == 'g' ? 'e' : 'E');
    case 'R': return general(d, 17, v, 'E');
    default: throw Invalid{};
    }
}

// One section of a custom numeric format: where its digits go and what surrounds them.
std::string customNumber(Digits d, std::string_view f, bool signInFormat)
{
    // The first pass learns the shape: placeholders before and after the point, grouping,
    // scaling by thousands, percent.
    int intPlaceholders = 0, firstZero = -1, fracZeros = 0, fracAll = 0, scaleCommas = 0;
    bool point = false, groups = false, percent = false;
    int pendingCommas = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '\\') { ++i; continue; }
        if (c == '\'' || c == '"') {
            const std::size_t end = f.find(c, i + 1);
            if (end == std::string_view::npos)
                throw Invalid{};
            i = end;
            continue;
        }
        if (c == '0' || c == '#') {
            if (pendingCommas && !point)
                groups = true;
            pendingCommas = 0;
            if (point) {
                ++fracAll;
                if (c == '0')
                    fracZeros = fracAll;
            } else {
                if (c == '0' && firstZero < 0)
                    firstZero = intPlaceholders;
                ++intPlaceholders;
            }
        } else if (c == ',' && !point && intPlaceholders > 0) {
            ++pendingCommas;
        } else if (c == '.' && !point) {
            point = true;
            scaleCommas += pendingCommas;
            pendingCommas = 0;
        } else {
            if (c == '%')
                percent = true;
        }
    }
    if (!point)
        scaleCommas += pendingCommas;
    d.point -= 3 * scaleCommas;
    if (percent)
        d.point += 2;
    d.round(fracAll);
    const int minInt = firstZero < 0 ? 0 : intPlaceholders - firstZero;
    std::string integer = d.integerPart();
    if (integer == "0")
        integer.clear();
    if (static_cast<int>(integer.size()) < minInt)
        integer.insert(0, static_cast<std::size_t>(minInt) - integer.size(), '0');
    std::string fraction = d.fractionPart(fracAll);
    while (static_cast<int>(fraction.size()) > fracZeros && fraction.back() == '0')
        fraction.pop_back();

    // The second pass writes: integer digits right to left into their placeholders (the
    // leftmost takes any extra), fraction digits left to right.
    std::string out;
    if (d.negative && !d.zero() && !signInFormat)
        out += '-';
    int intSeen = 0, fracSeen = 0;
    bool inFraction = false;
    const std::string intText = groups ? grouped(integer) : integer;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        std::size_t j = i;
        std::string lit;
        if (literal(f, j, lit)) {
            out += lit;
            i = j - 1;
            continue;
        }
        if (c == '0' || c == '#') {
            if (inFraction) {
                if (fracSeen < static_cast<int>(fraction.size()))
                    out += fraction[static_cast<std::size_t>(fracSeen)];
                ++fracSeen;
            } else if (groups) {
                if (intSeen == 0)
                    out += intText;
                ++intSeen;
            } else {
                // Placeholder k of n (from the left) shows the digit at the same distance from
                // the right; the first shows every digit beyond.
                const int fromRight = intPlaceholders - 1 - intSeen;
                const int len = static_cast<int>(integer.size());
                if (intSeen == 0 && len > intPlaceholders)
                    out += integer.substr(0, static_cast<std::size_t>(len - intPlaceholders));
                if (fromRight < len)
                    out += integer[static_cast<std::size_t>(len - 1 - fromRight)];
                ++intSeen;
            }
        } else if (c == '.' && !inFraction) {
            inFraction = true;
            if (!fraction.empty())
                out += '.';
        } else if (c == ',' && !inFraction) {
            // grouping or scaling, already applied
        } else {
            out += c;
        }
    }
    if (intPlaceholders == 0 && !integer.empty() && !groups)
        out.insert(d.negative && !d.zero() && !signInFormat ? 1 : 0, integer);
    return out;
}

std::vector<std::string_view> sections(std::string_view f)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '\\')
            ++i;
        else if (f[i] == '\'' || f[i] == '"') {
            const std::size_t end = f.find(f[i], i + 1);
            i = end == std::string_view::npos ? f.size() : end;
        } else if (f[i] == ';') {
            out.push_back(f.substr(start, i - start));
            start = i + 1;
        }
    }
    out.push_back(f.substr(start));
    return out;
}

std::string formatNumber(const Value &v, std::string_view f)
{
    if (f.size() >= 1 && f.size() <= 3 && std::isalpha(static_cast<unsigned char>(f[0]))) {
        bool standard = true;
        for (std::size_t i = 1; i < f.size(); ++i)
            standard = standard && std::isdigit(static_cast<unsigned char>(f[i]));
        if (standard) {
            std::optional<int> precision;
            if (f.size() > 1)
                precision = std::stoi(std::string(f.substr(1)));
            return standardNumber(v, f[0], precision);
        }
    }
    const Digits d = digitsOf(v);
    const std::vector<std::string_view> parts = sections(f);
    if (d.zero() && parts.size() >= 3)
        return customNumber(d, parts[2], false);
    if (d.negative && parts.size() >= 2 && !parts[1].empty())
        return customNumber(d, parts[1], true);
    return customNumber(d, parts[0], false);
}

// en-US in any case, or its neutral "en"; anything shaped like a culture name is one this engine
// does not carry; anything else is not a culture at all.
std::optional<bool> knownCulture(std::string name)
{
    name = lower(text::rtrim(name));
    if (name == "en-us" || name == "en")
        return true;
    std::size_t i = 0;
    while (i < name.size() && std::isalpha(static_cast<unsigned char>(name[i])))
        ++i;
    if (i < 2 || i > 3)
        return std::nullopt;
    while (i < name.size()) {
        if (name[i] != '-')
            return std::nullopt;
        std::size_t j = ++i;
        while (j < name.size() && std::isalnum(static_cast<unsigned char>(name[j])))
            ++j;
        if (j - i < 2 || j - i > 8)
            return std::nullopt;
        i = j;
    }
    return false;
}

SqlType formatResult(const Call &c)
{
    const SqlType &t = c.args[0];
    const bool supported = t.isNumeric() || t.base == Base::Date || t.base == Base::Time || t.base == Base::DateTime ||
                           t.base == Base::SmallDateTime || t.base == Base::DateTime2 || t.base == Base::DateTimeOffset;
    if (!supported)
        throw err::make(8116, t.name(), "1", "format");
    return SqlType::nvarchar(4000);
}

Value format(const std::vector<Value> &a, const Call &c, Runtime &)
{
    if (a.size() > 2) {
        const std::optional<bool> culture = knownCulture(a[2].asText());
        if (!culture)
            throw err::make(9818, text::rtrim(a[2].asText()));
        if (!*culture)
            return Value::null(c.result);
    }
    const std::string f = a[1].asText();
    try {
        const Value &v = a[0];
        std::string s;
        switch (v.sqlType().base) {
        case Base::Time: s = formatTime(v.asDateTime(), f); break;
        case Base::Date: case Base::DateTime: case Base::SmallDateTime: case Base::DateTime2:
            s = formatDate(v.asDateTime(), f, false);
            break;
        case Base::DateTimeOffset: s = formatDate(v.asDateTime(), f, true); break;
        default: s = formatNumber(v, f); break;
        }
        return Value::text(std::move(s), c.result);
    } catch (const Invalid &) {
        return Value::null(c.result);
    }
}

} // namespace

const std::vector<Definition> &formatFunctions()
{
    static const std::vector<Definition> rows = {
        {"format", 2, 3, "auu", formatResult, format},
    };
    return rows;
}

} // namespace tsql::fn
