// FORMAT for numbers: .NET's standard (C, D, E, F, G, N, P, R, X) and custom numeric format
// strings, in the en-US culture. Numbers are rounded away from zero, as .NET rounds decimals.

#include "tsql/FormatText.h"
#include "tsql/Numeric.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace tsql::fmt {

namespace {

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

} // namespace

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

} // namespace tsql::fmt
