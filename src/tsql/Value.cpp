#include "tsql/Value.h"

#include <cmath>

namespace tsql {

std::string Decimal::toString() const
{
    const bool negative = unscaled < 0;
    // Unsigned, so that the most negative value has a magnitude.
    unsigned __int128 magnitude = negative ? static_cast<unsigned __int128>(-(unscaled + 1)) + 1
                                           : static_cast<unsigned __int128>(unscaled);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale)
            digits.insert(0, static_cast<std::size_t>(scale - static_cast<int>(digits.size()) + 1), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(scale), 1, '.');
    }
    return negative ? "-" + digits : digits;
}

double Decimal::toDouble() const
{
    return static_cast<double>(unscaled) / std::pow(10.0, scale);
}

Value Value::integer(std::int64_t v, const SqlType &t)
{
    Value r;
    r.m_type = t;
    r.m_data = v;
    return r;
}

Value Value::real(double v, const SqlType &t)
{
    Value r;
    r.m_type = t;
    r.m_data = v;
    return r;
}

Value Value::decimal(const Decimal &d, const SqlType &t)
{
    Value r;
    r.m_type = t;
    r.m_data = d;
    return r;
}

Value Value::decimal(const Decimal &d)
{
    return decimal(d, SqlType::decimal(d.precision, d.scale));
}

Value Value::text(std::string v, const SqlType &t)
{
    Value r;
    r.m_type = t;
    r.m_data = std::move(v);
    return r;
}

void Value::assignText(std::string_view v, const SqlType &t)
{
    m_type = t;
    m_binary = false;
    if (auto *held = std::get_if<std::string>(&m_data))
        held->assign(v);
    else
        m_data = std::string(v);
}

Value Value::binary(std::string bytes, const SqlType &t)
{
    Value r;
    r.m_type = t;
    r.m_data = std::move(bytes);
    r.m_binary = true;
    return r;
}

Value Value::dateTime(const DateTime &v, const SqlType &t)
{
    Value r;
    r.m_type = t;
    r.m_data = v;
    return r;
}

Value::Type Value::type() const
{
    switch (m_data.index()) {
    case 1: return Type::Integer;
    case 2: return Type::Float;
    case 3: return Type::Decimal;
    case 4: return m_binary ? Type::Binary : Type::Text;
    case 5: return Type::DateTime;
    default: return Type::Null;
    }
}

} // namespace tsql
