#include "tsql/NumericDetail.h"

#include <cmath>
#include <numbers>
#include <random>

namespace tsql::num {

using namespace detail;

namespace {

void requireNumber(const SqlType &t, int argument, const char *function)
{
    if (t.base == Base::Bit || !(t.isNumeric() || t.isNull()))
        throw err::make(8116, t.name(), std::to_string(argument), function);
}

// ROUND's and POWER's result types: small integers widen to int, smallmoney to money, real to
// float; decimal keeps its precision unless `decimalPrecision` says otherwise.
SqlType widened(const SqlType &t, int decimalPrecision = 0)
{
    switch (t.base) {
    case Base::Null: case Base::TinyInt: case Base::SmallInt: case Base::Int: return SqlType(Base::Int);
    case Base::BigInt: return SqlType(Base::BigInt);
    case Base::SmallMoney: case Base::Money: return SqlType(Base::Money);
    case Base::Decimal: case Base::Numeric:
        return SqlType(t.base, 0, static_cast<std::uint8_t>(decimalPrecision ? decimalPrecision : t.precision), t.scale);
    default: return SqlType(Base::Float);
    }
}

Int128 pow10(int n)
{
    Int128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

std::int64_t checked(Int128 v, const SqlType &t)
{
    if (v < minOf(t.base) || v > maxOf(t.base))
        throw overflow("expression", t);
    return static_cast<std::int64_t>(v);
}

// Rounds or truncates at `length` places (negative: left of the point), keeping the scale.
Exact roundAt(const Exact &e, int length, bool truncate)
{
    if (length >= e.scale)
        return e;
    const long long drop = static_cast<long long>(e.scale) - length;
    Exact r = e;
    r.magnitude = drop > 154 ? WideInt()
                             : divide(e.magnitude, WideInt::pow10(static_cast<int>(drop)), truncate) *
                                   WideInt::pow10(static_cast<int>(drop));
    if (r.magnitude.isZero())
        r.negative = false;
    return r;
}

Value floorOrCeiling(const Value &v, bool up, const char *function)
{
    const SqlType &t = v.sqlType();
    requireNumber(t, 1, function);
    // A decimal loses its fraction places; decimal(p,0) always holds the result.
    const SqlType type = t.isDecimal() ? SqlType(t.base, 0, t.precision, 0) : t;
    if (v.isNull())
        return Value::null(type);
    switch (v.type()) {
    case Value::Type::Integer:
        return v;
    case Value::Type::Decimal: {
        const Exact e = exactOf(decimalOf(v));
        Exact whole = rescale(e, 0, true);
        const bool fraction = !(rescale(whole, e.scale).magnitude == e.magnitude);
        if (fraction && e.negative != up)
            whole.magnitude += WideInt(1);
        whole.negative = e.negative && !whole.magnitude.isZero();
        return exactValue(fit(rescale(whole, scaleOf(type)), type, "expression"), type);
    }
    default:
        return floatValue(up ? std::ceil(v.asFloat()) : std::floor(v.asFloat()), type);
    }
}

} // namespace

Value round(const Value &v, int length, bool truncate)
{
    const SqlType &t = v.sqlType();
    requireNumber(t, 1, "round");
    const SqlType type = widened(t);
    if (v.isNull())
        return Value::null(type);
    switch (v.type()) {
    case Value::Type::Integer: {
        const std::int64_t x = v.asInteger();
        if (length >= 0)
            return integerValue(x, type);
        // Past 18 places every bigint rounds to zero.
        if (length < -18)
            return integerValue(0, type);
        const Int128 unit = pow10(-length);
        Int128 q = x / unit;
        const Int128 r = x % unit;
        if (!truncate && 2 * (r < 0 ? -r : r) >= unit)
            q += x < 0 ? -1 : 1;
        return integerValue(checked(q * unit, type), type);
    }
    case Value::Type::Decimal:
        return exactValue(fit(roundAt(exactOf(decimalOf(v)), length, truncate), type, "expression"), type);
    default: {
        const double x = v.asFloat();
        if (!std::isfinite(x))
            return floatValue(x, type);
        if (std::fabs(x) >= 1e38) {
            if (length >= 0)
                return floatValue(x, type);
            const double unit = std::pow(10.0, -length);
            return floatValue((truncate ? std::trunc(x / unit) : std::round(x / unit)) * unit, type);
        }
        // In decimal, through the float's 17 digits, so that 0.125 rounds like the text says.
        return floatValue(toDouble(roundAt(exactOfDouble(x), length, truncate)), type);
    }
    }
}

Value floor(const Value &v)
{
    return floorOrCeiling(v, false, "floor");
}

Value ceiling(const Value &v)
{
    return floorOrCeiling(v, true, "ceiling");
}

Value abs(const Value &v)
{
    const SqlType &t = v.sqlType();
    requireNumber(t, 1, "abs");
    if (v.isNull())
        return v;
    switch (v.type()) {
    case Value::Type::Integer:
        return integerValue(checked(v.asInteger() < 0 ? -static_cast<Int128>(v.asInteger()) : v.asInteger(), t), t);
    case Value::Type::Decimal: {
        Exact e = exactOf(decimalOf(v));
        e.negative = false;
        return exactValue(fit(e, t, "expression"), t);
    }
    default:
        return floatValue(std::fabs(v.asFloat()), t);
    }
}

Value sign(const Value &v)
{
    const SqlType &t = v.sqlType();
    requireNumber(t, 1, "sign");
    SqlType type = widened(t);
    // A decimal keeps its scale and gains the integer digit 1 needs.
    if (t.isDecimal()) {
        const int scale = std::min<int>(t.scale, 37);
        type = SqlType(t.base, 0, static_cast<std::uint8_t>(std::min(38, std::max<int>(t.precision, scale + 1))),
                       static_cast<std::uint8_t>(scale));
    }
    if (v.isNull())
        return Value::null(type);
    switch (v.type()) {
    case Value::Type::Integer: {
        const std::int64_t x = v.asInteger();
        return integerValue((x > 0) - (x < 0), type);
    }
    case Value::Type::Decimal: {
        const Int128 u = decimalOf(v).unscaled;
        const Exact one{WideInt(u != 0 ? 1 : 0), u < 0, 0};
        return exactValue(fit(rescale(one, scaleOf(type)), type, "expression"), type);
    }
    default: {
        const double x = v.asFloat();
        return floatValue(static_cast<double>((x > 0) - (x < 0)), type);
    }
    }
}

Value power(const Value &v, const Value &exponent)
{
    const SqlType &t = v.sqlType();
    requireNumber(exponent.sqlType(), 2, "power");
    if (!(t.isNumeric() || t.isNull()))
        throw err::make(8116, t.name(), "1", "power");
    const SqlType type = t.base == Base::Bit ? SqlType(Base::Float) : widened(t, 38);
    if (v.isNull() || exponent.isNull())
        return Value::null(type);
    const double y = doubleOf(exponent);
    if (type.isInteger()) {
        const std::int64_t x = v.asInteger();
        // Whole powers exactly, so that a bigint result is not a double's approximation.
        if (y >= 0 && y <= 128 && y == std::trunc(y)) {
            Int128 r = 1;
            for (int i = 0; i < static_cast<int>(y); ++i) {
                r *= x;
                checked(r, type);
            }
            return integerValue(checked(r, type), type);
        }
        const double r = std::pow(static_cast<double>(x), y);
        if (!std::isfinite(r))
            throw err::make(3623);
        const double whole = std::trunc(r);
        if (std::fabs(whole) >= 9223372036854775808.0)
            throw overflow("expression", type);
        return integerValue(checked(static_cast<Int128>(whole), type), type);
    }
    const double x = doubleOf(v);
    const double r = std::pow(x, y);
    if (std::isnan(r) || (std::isinf(r) && x == 0))
        throw err::make(3623);
    if (std::isinf(r))
        throw overflow("expression", type);
    if (type.category() == Category::Approximate)
        return floatValue(r, type);
    if (std::fabs(r) >= 1e38)
        throw overflow("expression", type);
    return exactValue(fit(rescale(exactOfDouble(r), scaleOf(type)), type, "expression"), type);
}

double sqrt(double v)
{
    if (v < 0)
        throw err::make(3623);
    return std::sqrt(v);
}

double square(double v)
{
    const double r = v * v;
    if (!std::isfinite(r))
        throw overflow("expression", SqlType(Base::Float));
    return r;
}

double exp(double v)
{
    const double r = std::exp(v);
    if (!std::isfinite(r))
        throw err::make(3623);
    return r;
}

double log(double v, std::optional<double> base)
{
    if (v <= 0 || (base && (*base <= 0 || *base == 1)))
        throw err::make(3623);
    return base ? std::log(v) / std::log(*base) : std::log(v);
}

double log10(double v)
{
    if (v <= 0)
        throw err::make(3623);
    return std::log10(v);
}

double pi()
{
    return std::numbers::pi;
}

std::optional<std::string> str(double v, int length, int decimals)
{
    if (length < 1 || length > 8000 || decimals < 0 || !std::isfinite(v))
        return std::nullopt;
    decimals = std::min(decimals, 16);
    // Fewer places when the integer part needs the room, as SQL Server does.
    for (int places = decimals; places >= 0; --places) {
        const std::string text = std::fabs(v) >= 1e38 ? formatDouble(v, 'f', places)
                                                      : fixedText(rescale(exactOfDouble(v), places));
        if (static_cast<int>(text.size()) <= length)
            return std::string(static_cast<std::size_t>(length) - text.size(), ' ') + text;
    }
    return std::string(static_cast<std::size_t>(length), '*');
}

RandomSequence::RandomSequence()
{
    std::random_device entropy;
    seed((static_cast<std::int64_t>(entropy()) << 32) ^ entropy());
}

double RandomSequence::seed(std::int64_t seed)
{
    // splitmix64 spreads a small seed over the state; xorshift must not start at zero.
    std::uint64_t z = static_cast<std::uint64_t>(seed) + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    m_state = (z ^ (z >> 31)) | 1;
    return next();
}

double RandomSequence::next()
{
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    return static_cast<double>((m_state * 0x2545F4914F6CDD1DULL) >> 11) * 0x1.0p-53;
}

} // namespace tsql::num
