#pragma once
// One value as the engine hands it out and takes it in: a T-SQL type and its data. Text is
// UTF-8 whatever the type (varchar holds only what code page 1252 can hold).

#include "tsql/Types.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tsql {

using Int128 = __int128;

// A date and time of day, as the date-time types hold them. Which fields mean something
// depends on the type: a date has no time, a time no date.
struct DateTime {
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    int subMillisecond = 0; // 100-nanosecond units below the millisecond (0..9999): datetime2, time
    int offsetMinutes = 0;  // datetimeoffset only: the time zone, minutes east of UTC

    // The fraction of the second in 100-nanosecond units (0..9,999,999).
    std::int64_t ticks() const { return std::int64_t{millisecond} * 10000 + subMillisecond; }
    void setTicks(std::int64_t t)
    {
        millisecond = static_cast<int>(t / 10000);
        subMillisecond = static_cast<int>(t % 10000);
    }
    auto operator<=>(const DateTime &) const = default;
};

// An exact number: unscaled / 10^scale. Also money (scale 4).
struct Decimal {
    Int128 unscaled = 0;
    int precision = 18;
    int scale = 0;

    // "123.45", "-0.50", "0": the digits of the scale, a leading zero before the point.
    std::string toString() const;
    double toDouble() const;
};

class Value {
public:
    // How the data is held, whatever the exact type.
    enum class Type { Null, Integer, Float, Decimal, Text, Binary, DateTime };

    Value() = default;
    // Typed constructors; the type must belong to the kind of data given.
    static Value null(const SqlType &t = {}) { Value v; v.m_type = t; return v; }
    static Value integer(std::int64_t v, const SqlType &t = {Base::BigInt});
    static Value real(double v, const SqlType &t = {Base::Float});
    static Value decimal(const Decimal &d, const SqlType &t);
    static Value decimal(const Decimal &d); // decimal(d.precision, d.scale)
    static Value text(std::string v, const SqlType &t = {Base::VarChar, -1});
    static Value binary(std::string bytes, const SqlType &t = {Base::VarBinary, -1});
    static Value dateTime(const DateTime &v, const SqlType &t = {Base::DateTime});

    // Text into a value that may hold text already: its buffer is reused, which saves a cursor
    // an allocation per value and row.
    void assignText(std::string_view v, const SqlType &t);

    Type type() const;
    const SqlType &sqlType() const { return m_type; }
    bool isNull() const { return m_data.index() == 0; }
    std::int64_t asInteger() const { return std::get<std::int64_t>(m_data); } // Integer
    double asFloat() const { return std::get<double>(m_data); }               // Float
    const Decimal &asDecimal() const { return std::get<Decimal>(m_data); }    // Decimal
    const std::string &asText() const { return std::get<std::string>(m_data); } // Text, Binary
    const DateTime &asDateTime() const { return std::get<DateTime>(m_data); } // DateTime

private:
    SqlType m_type;
    std::variant<std::monostate, std::int64_t, double, Decimal, std::string, DateTime> m_data;
    bool m_binary = false;
};

} // namespace tsql
