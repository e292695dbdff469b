#include "tsql/NumericDetail.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace tsql::num::detail {

namespace {

using U128 = WideInt::U128;

U128 magnitudeOf(Int128 v)
{
    // Through unsigned arithmetic, so that the most negative value has a magnitude too.
    return v < 0 ? static_cast<U128>(0) - static_cast<U128>(v) : static_cast<U128>(v);
}

} // namespace

Exact exactOf(const Decimal &d)
{
    return {WideInt(magnitudeOf(d.unscaled)), d.unscaled < 0, d.scale};
}

Exact exactOf(std::int64_t v)
{
    return {WideInt(magnitudeOf(v)), v < 0, 0};
}

Exact exactOfDouble(double v)
{
    // to_chars and not printf: the program's locale may write a decimal comma.
    char buffer[40];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific, 16).ptr;
    Exact e;
    const char *p = buffer;
    if (*p == '-') {
        e.negative = true;
        ++p;
    }
    U128 digits = 0;
    for (; p != end && *p != 'e'; ++p)
        if (*p != '.')
            digits = digits * 10 + static_cast<U128>(*p - '0');
    int exponent = 0;
    if (p != end)
        std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
    e.magnitude = WideInt(digits);
    e.scale = 16 - exponent;
    if (e.scale < 0) {
        e.magnitude = e.magnitude * WideInt::pow10(-e.scale);
        e.scale = 0;
    }
    if (e.magnitude.isZero())
        e.negative = false;
    return e;
}

WideInt divide(const WideInt &n, const WideInt &d, bool truncate)
{
    WideInt q, r;
    WideInt::divMod(n, d, q, r);
    if (!truncate) {
        WideInt twice = r;
        twice += r;
        if (twice.compare(d) >= 0)
            q += WideInt(1);
    }
    return q;
}

Exact rescale(const Exact &e, int scale, bool truncate)
{
    Exact r = e;
    r.scale = scale;
    if (scale > e.scale) {
        r.magnitude = e.magnitude * WideInt::pow10(scale - e.scale);
    } else if (scale < e.scale) {
        const int drop = e.scale - scale;
        // Past 154 places every magnitude we hold rounds to zero.
        r.magnitude = drop > 154 ? WideInt() : divide(e.magnitude, WideInt::pow10(drop), truncate);
    }
    if (r.magnitude.isZero())
        r.negative = false;
    return r;
}

Exact add(const Exact &a, const Exact &b)
{
    Exact r{a.magnitude, a.negative, a.scale};
    if (a.negative == b.negative) {
        r.magnitude += b.magnitude;
    } else if (a.magnitude.compare(b.magnitude) >= 0) {
        r.magnitude -= b.magnitude;
    } else {
        r.magnitude = b.magnitude;
        r.magnitude -= a.magnitude;
        r.negative = b.negative;
    }
    if (r.magnitude.isZero())
        r.negative = false;
    return r;
}

std::string fixedText(const Exact &e)
{
    // Nineteen digits at a time, so that a wide magnitude is divided a few times only.
    static const WideInt chunk(static_cast<U128>(10'000'000'000'000'000'000ULL));
    std::string digits;
    WideInt rest = e.magnitude;
    do {
        WideInt q, r;
        WideInt::divMod(rest, chunk, q, r);
        std::string part = std::to_string(static_cast<std::uint64_t>(r.toU128()));
        if (!q.isZero())
            part.insert(0, 19 - part.size(), '0');
        digits.insert(0, part);
        rest = q;
    } while (!rest.isZero());
    if (e.scale > 0) {
        if (static_cast<int>(digits.size()) <= e.scale)
            digits.insert(0, static_cast<std::size_t>(e.scale) - digits.size() + 1, '0');
        digits.insert(digits.size() - static_cast<std::size_t>(e.scale), 1, '.');
    }
    return e.negative ? "-" + digits : digits;
}

double toDouble(const Exact &e)
{
    const std::string text = fixedText(e);
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return d;
}

int scaleOf(const SqlType &t)
{
    return t.isMoney() ? 4 : t.scale;
}

bool fits(const Exact &e, const SqlType &to)
{
    switch (to.base) {
    case Base::Money: {
        const U128 limit = static_cast<U128>(std::numeric_limits<std::int64_t>::max()) + (e.negative ? 1 : 0);
        return e.magnitude.compare(WideInt(limit)) <= 0;
    }
    case Base::SmallMoney: {
        const U128 limit = static_cast<U128>(std::numeric_limits<std::int32_t>::max()) + (e.negative ? 1 : 0);
        return e.magnitude.compare(WideInt(limit)) <= 0;
    }
    default:
        return e.magnitude < WideInt::pow10(to.precision);
    }
}

Decimal fit(const Exact &e, const SqlType &to, std::string_view source)
{
    if (!fits(e, to))
        throw overflow(source, to);
    const U128 m = e.magnitude.toU128();
    Decimal d;
    d.unscaled = e.negative ? static_cast<Int128>(static_cast<U128>(0) - m) : static_cast<Int128>(m);
    d.precision = to.isMoney() ? (to.base == Base::Money ? 19 : 10) : to.precision;
    d.scale = scaleOf(to);
    return d;
}

std::string messageName(const SqlType &t)
{
    return t.isDecimal() ? std::string("numeric") : t.name();
}

Error overflow(std::string_view source, const SqlType &to)
{
    return err::make(8115, source, messageName(to));
}

std::int64_t minOf(Base b)
{
    switch (b) {
    case Base::Bit: case Base::TinyInt: return 0;
    case Base::SmallInt: return std::numeric_limits<std::int16_t>::min();
    case Base::Int: return std::numeric_limits<std::int32_t>::min();
    default: return std::numeric_limits<std::int64_t>::min();
    }
}

std::int64_t maxOf(Base b)
{
    switch (b) {
    case Base::Bit: return 1;
    case Base::TinyInt: return 255;
    case Base::SmallInt: return std::numeric_limits<std::int16_t>::max();
    case Base::Int: return std::numeric_limits<std::int32_t>::max();
    default: return std::numeric_limits<std::int64_t>::max();
    }
}

Decimal decimalOf(const Value &v)
{
    const SqlType &t = v.sqlType();
    if (v.type() == Value::Type::Integer)
        return {v.asInteger(), t.isInteger() ? t.asDecimal().precision : 19, 0};
    if (v.type() == Value::Type::Decimal) {
        Decimal d = v.asDecimal();
        if (t.isMoney()) {
            d.precision = t.asDecimal().precision;
            d.scale = 4;
        }
        return d;
    }
    throw err::internal("an approximate number was read as an exact one");
}

double doubleOf(const Value &v)
{
    switch (v.type()) {
    case Value::Type::Integer: return static_cast<double>(v.asInteger());
    case Value::Type::Decimal: return toFloat(decimalOf(v), SqlType(Base::Float));
    case Value::Type::Float: return v.asFloat();
    default: throw err::internal("a value that is no number was read as one");
    }
}

Value integerValue(std::int64_t v, const SqlType &t)
{
    return Value::integer(v, t);
}

Value exactValue(const Decimal &d, const SqlType &t)
{
    return Value::decimal(d, t);
}

Value floatValue(double v, const SqlType &t)
{
    return Value::real(v, t);
}

std::string formatDouble(double v, char conversion, int precision)
{
    char buffer[400];
    const auto format = conversion == 'e' ? std::chars_format::scientific
                        : conversion == 'f' ? std::chars_format::fixed
                                            : std::chars_format::general;
    std::string s(buffer, std::to_chars(buffer, buffer + sizeof buffer, v, format, precision).ptr);
    const auto e = s.find('e');
    if (e != std::string::npos && s.size() - e - 2 < 3)
        s.insert(e + 2, 3 - (s.size() - e - 2), '0');
    return s;
}

} // namespace tsql::num::detail
