#include "tsql/NumericDetail.h"

#include <algorithm>
#include <cmath>

namespace tsql::num {

using namespace detail;

namespace {

SqlType aggregateType(const SqlType &arg, bool average)
{
    const char *function = average ? "avg" : "sum";
    if (arg.isNull())
        throw err::make(8117, "NULL", function);
    if (arg.base == Base::Bit || !arg.isNumeric())
        throw err::make(8117, arg.name(), function);
    switch (arg.base) {
    case Base::TinyInt: case Base::SmallInt: case Base::Int: return SqlType(Base::Int);
    case Base::BigInt: return SqlType(Base::BigInt);
    case Base::SmallMoney: case Base::Money: return SqlType(Base::Money);
    case Base::Decimal: case Base::Numeric: {
        // AVG is the sum, decimal(38,s), divided by the count as decimal(10,0): the division's
        // scale rules make that decimal(38, max(s,6)).
        const int scale = average ? std::max<int>(arg.scale, 6) : arg.scale;
        return SqlType(arg.base, 0, 38, static_cast<std::uint8_t>(scale));
    }
    default: return SqlType(Base::Float);
    }
}

} // namespace

SqlType sumType(const SqlType &arg)
{
    return aggregateType(arg, false);
}

SqlType avgType(const SqlType &arg)
{
    return aggregateType(arg, true);
}

Accumulator::Accumulator(const SqlType &arg, bool average)
    : m_arg(arg), m_sum(sumType(arg)), m_result(average ? avgType(arg) : m_sum), m_average(average)
{
}

void Accumulator::add(const Value &v)
{
    if (v.isNull())
        return;
    ++m_count;
    switch (m_sum.category()) {
    case Category::Integer:
        m_exact += v.asInteger();
        if (m_exact < minOf(m_sum.base) || m_exact > maxOf(m_sum.base))
            throw overflow("expression", m_sum);
        return;
    case Category::Exact: {
        // Every value of the argument has its scale; the rescale only guards a caller that
        // hands over another.
        const Exact e = rescale(exactOf(decimalOf(v)), scaleOf(m_arg));
        const Exact total = detail::add(exactOf(Decimal{m_exact, 38, scaleOf(m_arg)}), e);
        m_exact = fit(total, m_sum, "expression").unscaled;
        return;
    }
    default:
        m_float += doubleOf(v);
        if (!std::isfinite(m_float))
            throw overflow("expression", m_sum);
        return;
    }
}

void Accumulator::remove(const Value &v)
{
    // A row leaving a window frame: undo what add() did. The total stays inside the type, as
    // it was before the row came.
    if (v.isNull())
        return;
    --m_count;
    switch (m_sum.category()) {
    case Category::Integer:
        m_exact -= v.asInteger();
        return;
    case Category::Exact: {
        const Exact e = rescale(exactOf(decimalOf(v)), scaleOf(m_arg));
        const Exact total = detail::add(exactOf(Decimal{m_exact, 38, scaleOf(m_arg)}), Exact{e.magnitude, !e.negative, e.scale});
        m_exact = fit(total, m_sum, "expression").unscaled;
        return;
    }
    default:
        m_float -= doubleOf(v);
        return;
    }
}

Value Accumulator::result() const
{
    if (m_count == 0)
        return Value::null(m_result);
    switch (m_sum.category()) {
    case Category::Integer:
        return integerValue(static_cast<std::int64_t>(m_average ? m_exact / m_count : m_exact), m_result);
    case Category::Exact: {
        const Exact total = exactOf(Decimal{m_exact, 38, scaleOf(m_arg)});
        if (!m_average)
            return exactValue(fit(total, m_result, "expression"), m_result);
        // Truncated, as SQL Server's decimal division is.
        const int scale = scaleOf(m_result);
        const Exact r{divide(total.magnitude * WideInt::pow10(scale - total.scale), WideInt(static_cast<WideInt::U128>(m_count)), true),
                      total.negative, scale};
        return exactValue(fit(r.magnitude.isZero() ? Exact{r.magnitude, false, scale} : r, m_result, "expression"), m_result);
    }
    default:
        return floatValue(m_average ? m_float / static_cast<double>(m_count) : m_float, m_result);
    }
}

} // namespace tsql::num
