#include "tsql/NumericDetail.h"

#include <charconv>
#include <cmath>

namespace tsql::num {

using namespace detail;

namespace {

// What the values of a decimal type without a precision (a bare DECIMAL) are.
SqlType normalized(const SqlType &t)
{
    if (t.isDecimal() && t.precision == 0)
        return SqlType(t.base, 0, 18, 0);
    return t;
}

bool integerFits(const Exact &e, Base b)
{
    if (e.negative)
        return e.magnitude.compare(WideInt(static_cast<WideInt::U128>(0) - static_cast<WideInt::U128>(static_cast<Int128>(minOf(b))))) <= 0;
    return e.magnitude.compare(WideInt(static_cast<WideInt::U128>(maxOf(b)))) <= 0;
}

std::int64_t integerOf(const Exact &e)
{
    const auto m = static_cast<Int128>(e.magnitude.toU128());
    return static_cast<std::int64_t>(e.negative ? -m : m);
}

std::string fixed(double v)
{
    return formatDouble(v, 'f', 6);
}

} // namespace

Decimal toDecimal(std::int64_t v, const SqlType &to0, const SqlType &from)
{
    const SqlType to = normalized(to0);
    return fit(rescale(exactOf(v), scaleOf(to)), to, messageName(from));
}

Decimal toDecimal(const Decimal &v, const SqlType &to0, const SqlType &from)
{
    const SqlType to = normalized(to0);
    return fit(rescale(exactOf(v), scaleOf(to)), to, messageName(from));
}

Decimal toDecimal(double v, const SqlType &to0, const SqlType &from)
{
    const SqlType to = normalized(to0);
    // Nothing from 10^38 up fits any exact type.
    if (!std::isfinite(v) || std::fabs(v) >= 1e38)
        throw overflow(messageName(from), to);
    return fit(rescale(exactOfDouble(v), scaleOf(to)), to, messageName(from));
}

std::int64_t toInteger(const Decimal &v, const SqlType &to, const SqlType &from)
{
    if (to.base == Base::Bit)
        return v.unscaled != 0 ? 1 : 0;
    // SQL Server truncates a decimal but rounds money on the way to an integer.
    const Exact e = rescale(exactOf(v), 0, !from.isMoney());
    if (!integerFits(e, to.base))
        throw overflow("expression", to);
    return integerOf(e);
}

std::int64_t toInteger(double v, const SqlType &to)
{
    if (to.base == Base::Bit)
        return v != 0 ? 1 : 0;
    const double t = std::trunc(v);
    // 2^63 is exactly representable; INT64_MAX is not.
    const double upper = to.base == Base::BigInt ? 9223372036854775808.0 : static_cast<double>(maxOf(to.base)) + 1;
    if (!(t >= static_cast<double>(minOf(to.base)) && t < upper))
        throw err::make(232, to.name(), fixed(v));
    return static_cast<std::int64_t>(t);
}

std::int64_t toInteger(std::int64_t v, const SqlType &to)
{
    if (to.base == Base::Bit)
        return v != 0 ? 1 : 0;
    if (v >= minOf(to.base) && v <= maxOf(to.base))
        return v;
    if (to.base == Base::TinyInt || to.base == Base::SmallInt)
        throw err::make(220, to.name(), std::to_string(v));
    throw overflow("expression", to);
}

double toFloat(const Decimal &v, const SqlType &to)
{
    // Through the decimal text, so that the double is the nearest one and not the result of
    // two roundings.
    const std::string text = v.toString();
    double d = 0;
    std::from_chars(text.data(), text.data() + text.size(), d);
    return to.base == Base::Real ? static_cast<float>(d) : d;
}

double toFloat(double v, const SqlType &to)
{
    if (to.base != Base::Real)
        return v;
    const float f = static_cast<float>(v);
    if (std::isinf(f) && !std::isinf(v))
        throw overflow("float", to);
    return f;
}

Value convert(const Value &v, const SqlType &to0)
{
    const SqlType to = normalized(to0);
    if (!to.isNumeric())
        throw err::internal("a number was converted to " + to.display() + " by the numeric conversions");
    if (v.isNull())
        return Value::null(to);
    const SqlType &from = v.sqlType();
    switch (to.category()) {
    case Category::Integer:
        switch (v.type()) {
        case Value::Type::Integer: return integerValue(toInteger(v.asInteger(), to), to);
        case Value::Type::Decimal: return integerValue(toInteger(decimalOf(v), to, from), to);
        default: return integerValue(toInteger(doubleOf(v), to), to);
        }
    case Category::Exact:
        switch (v.type()) {
        case Value::Type::Integer: return exactValue(toDecimal(v.asInteger(), to, from), to);
        case Value::Type::Decimal: return exactValue(toDecimal(decimalOf(v), to, from), to);
        default: return exactValue(toDecimal(doubleOf(v), to, from), to);
        }
    default:
        switch (v.type()) {
        case Value::Type::Decimal: return floatValue(toFloat(decimalOf(v), to), to);
        default: return floatValue(toFloat(doubleOf(v), to), to);
        }
    }
}

} // namespace tsql::num
