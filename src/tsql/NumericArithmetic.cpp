#include "tsql/NumericDetail.h"

#include <algorithm>
#include <cmath>

namespace tsql::num {

using namespace detail;

const char *opName(Op op)
{
    switch (op) {
    case Op::Add: return "add";
    case Op::Subtract: return "subtract";
    case Op::Multiply: return "multiply";
    case Op::Divide: return "divide";
    case Op::Modulo: return "modulo";
    }
    return "add";
}

namespace {

constexpr int MaxPrecision = 38;

SqlType operandType(const SqlType &t)
{
    return t.isNull() ? SqlType(Base::Int) : t;
}

SqlType decimalResult(Op op, const SqlType &a, const SqlType &b, Base base)
{
    const SqlType da = a.asDecimal(), db = b.asDecimal();
    const int p1 = da.precision, s1 = da.scale, p2 = db.precision, s2 = db.scale;
    int precision = 0, scale = 0;
    switch (op) {
    case Op::Add:
    case Op::Subtract: {
        const int integral = std::max(p1 - s1, p2 - s2);
        scale = std::max(s1, s2);
        precision = integral + scale + 1;
        // Past 38 digits the integer part keeps its places and the fraction gives way; the
        // carry digit is not reserved, so a sum can still overflow.
        if (precision > MaxPrecision) {
            if (integral + scale > MaxPrecision)
                scale = MaxPrecision - integral;
            precision = MaxPrecision;
        }
        break;
    }
    case Op::Multiply:
        precision = p1 + p2 + 1;
        scale = s1 + s2;
        break;
    case Op::Divide:
        scale = std::max(6, s1 + p2 + 1);
        precision = p1 - s1 + s2 + scale;
        break;
    case Op::Modulo:
        scale = std::max(s1, s2);
        precision = std::max(1, std::min(p1 - s1, p2 - s2) + scale);
        break;
    }
    if (precision > MaxPrecision) {
        // Up to 32 integer digits the fraction takes what is left of 38; past that it keeps
        // at most 6 places and the integer part may overflow.
        const int integral = precision - scale;
        scale = integral <= 32 ? std::min(scale, MaxPrecision - integral) : std::min(scale, 6);
        precision = MaxPrecision;
    }
    return SqlType(base, 0, static_cast<std::uint8_t>(precision), static_cast<std::uint8_t>(scale));
}

} // namespace

SqlType arithmeticType(Op op, const SqlType &a0, const SqlType &b0)
{
    const SqlType a = operandType(a0), b = operandType(b0);
    for (const SqlType *t : {&a, &b})
        if (!t->isNumeric())
            throw err::make(8117, t->name(), opName(op));
    if (a.base == Base::Bit && b.base == Base::Bit)
        throw err::make(8117, "bit", opName(op));
    const bool approximate = a.category() == Category::Approximate || b.category() == Category::Approximate;
    if (op == Op::Modulo && approximate)
        throw err::make(402, a.name(), b.name(), "modulo");
    const SqlType &hi = precedence(a.base) >= precedence(b.base) ? a : b;
    if (hi.isDecimal())
        return decimalResult(op, a, b, hi.base);
    return SqlType(hi.base);
}

std::int64_t integerOp(Op op, std::int64_t a, std::int64_t b, const SqlType &result)
{
    Int128 r = 0;
    switch (op) {
    case Op::Add: r = static_cast<Int128>(a) + b; break;
    case Op::Subtract: r = static_cast<Int128>(a) - b; break;
    case Op::Multiply: r = static_cast<Int128>(a) * b; break;
    case Op::Divide:
    case Op::Modulo: {
        if (b == 0)
            throw err::make(8134);
        // In 128 bits, so that INT64_MIN / -1 is an overflow and not a trap; % fails with it
        // because its quotient does.
        const Int128 q = static_cast<Int128>(a) / b;
        if (q < minOf(result.base) || q > maxOf(result.base))
            throw overflow("expression", result);
        r = op == Op::Divide ? q : static_cast<Int128>(a) % b;
        break;
    }
    }
    if (r < minOf(result.base) || r > maxOf(result.base))
        throw overflow("expression", result);
    return static_cast<std::int64_t>(r);
}

Decimal decimalOp(Op op, const Decimal &a, const Decimal &b, const SqlType &result)
{
    const int scale = scaleOf(result);
    Exact x = exactOf(a), y = exactOf(b), r;
    switch (op) {
    case Op::Add:
    case Op::Subtract: {
        const int common = std::max(x.scale, y.scale);
        x = rescale(x, common);
        y = rescale(y, common);
        if (op == Op::Subtract && !y.magnitude.isZero())
            y.negative = !y.negative;
        r = rescale(add(x, y), scale);
        break;
    }
    case Op::Multiply:
        r = {x.magnitude * y.magnitude, x.negative != y.negative, x.scale + y.scale};
        r = rescale(r, scale);
        break;
    case Op::Divide: {
        if (y.magnitude.isZero())
            throw err::make(8134);
        const int shift = scale - x.scale + y.scale;
        WideInt n = x.magnitude, d = y.magnitude;
        if (shift >= 0)
            n = n * WideInt::pow10(shift);
        else
            d = d * WideInt::pow10(-shift);
        r = {divide(n, d, true), x.negative != y.negative, scale};
        break;
    }
    case Op::Modulo: {
        if (y.magnitude.isZero())
            throw err::make(8134);
        const int common = std::max(x.scale, y.scale);
        x = rescale(x, common);
        y = rescale(y, common);
        WideInt q, remainder;
        WideInt::divMod(x.magnitude, y.magnitude, q, remainder);
        r = rescale({remainder, x.negative, common}, scale);
        break;
    }
    }
    if (r.magnitude.isZero())
        r.negative = false;
    return fit(r, result, "expression");
}

double floatOp(Op op, double a, double b, const SqlType &result)
{
    double r = 0;
    switch (op) {
    case Op::Add: r = a + b; break;
    case Op::Subtract: r = a - b; break;
    case Op::Multiply: r = a * b; break;
    case Op::Divide:
    case Op::Modulo:
        if (b == 0)
            throw err::make(8134);
        r = op == Op::Divide ? a / b : std::fmod(a, b);
        break;
    }
    if (!std::isfinite(r))
        throw overflow("expression", SqlType(Base::Float));
    if (result.base == Base::Real) {
        const float f = static_cast<float>(r);
        if (!std::isfinite(f))
            throw overflow("expression", result);
        return f;
    }
    return r;
}

Value arithmetic(Op op, const Value &a, const Value &b)
{
    const SqlType type = arithmeticType(op, a.sqlType(), b.sqlType());
    if (a.isNull() || b.isNull())
        return Value::null(type);
    switch (type.category()) {
    case Category::Integer:
        return integerValue(integerOp(op, a.asInteger(), b.asInteger(), type), type);
    case Category::Exact:
        return exactValue(decimalOp(op, decimalOf(a), decimalOf(b), type), type);
    default:
        return floatValue(floatOp(op, doubleOf(a), doubleOf(b), type), type);
    }
}

Value negate(const Value &v)
{
    const SqlType &t = v.sqlType();
    if (t.base == Base::Bit)
        throw err::make(8117, "bit", "minus");
    const SqlType type = t.base == Base::TinyInt ? SqlType(Base::Int) : t;
    if (v.isNull())
        return Value::null(type);
    switch (v.type()) {
    case Value::Type::Integer:
        return integerValue(integerOp(Op::Subtract, 0, v.asInteger(), type), type);
    case Value::Type::Decimal: {
        Exact e = exactOf(decimalOf(v));
        if (!e.magnitude.isZero())
            e.negative = !e.negative;
        return exactValue(fit(e, type, "expression"), type);
    }
    default:
        return floatValue(-v.asFloat(), type);
    }
}

int compare(const Decimal &a, const Decimal &b)
{
    const int common = std::max(a.scale, b.scale);
    const Exact x = rescale(exactOf(a), common), y = rescale(exactOf(b), common);
    if (x.negative != y.negative)
        return x.negative ? -1 : 1;
    const int c = x.magnitude.compare(y.magnitude);
    return x.negative ? -c : c;
}

} // namespace tsql::num
