#include "tds/WireTypes.h"

#include "tds/Calendar.h"
#include "tds/Encoding.h"

#include <cstring>

namespace tds {

using tsql::Base;
using tsql::SqlType;
using tsql::Value;

namespace {

constexpr std::uint64_t PlpNull = ~std::uint64_t{0};
constexpr std::uint64_t PlpUnknownLength = ~std::uint64_t{0} - 1;

std::uint8_t timeBytes(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

SqlType sqlTypeOf(const WireType &t)
{
    using namespace wiretype;
    switch (t.code) {
    case Null: return SqlType(Base::Int);
    case Int1: return SqlType(Base::TinyInt);
    case Int2: return SqlType(Base::SmallInt);
    case Int4: return SqlType(Base::Int);
    case Int8: return SqlType(Base::BigInt);
    case IntN:
        return SqlType(t.maxLength == 1 ? Base::TinyInt : t.maxLength == 2 ? Base::SmallInt
                       : t.maxLength == 8 ? Base::BigInt : Base::Int);
    case Bit:
    case BitN: return SqlType(Base::Bit);
    case Flt4: return SqlType(Base::Real);
    case Flt8: return SqlType(Base::Float);
    case FltN: return SqlType(t.maxLength == 4 ? Base::Real : Base::Float);
    case Money4: return SqlType(Base::SmallMoney);
    case Money: return SqlType(Base::Money);
    case MoneyN: return SqlType(t.maxLength == 4 ? Base::SmallMoney : Base::Money);
    case DecimalN:
    case LegacyDecimal: return SqlType(Base::Decimal, 0, t.precision, t.scale);
    case NumericN:
    case LegacyNumeric: return SqlType(Base::Numeric, 0, t.precision, t.scale);
    case DateTime4: return SqlType(Base::SmallDateTime);
    case DateTime: return SqlType(Base::DateTime);
    case DateTimeN: return SqlType(t.maxLength == 4 ? Base::SmallDateTime : Base::DateTime);
    case DateN: return SqlType(Base::Date);
    case TimeN: return SqlType(Base::Time, 0, 0, t.scale);
    case DateTime2N: return SqlType(Base::DateTime2, 0, 0, t.scale);
    case DateTimeOffsetN: return SqlType(Base::DateTimeOffset, 0, 0, t.scale);
    case Guid: return SqlType(Base::UniqueIdentifier);
    case BigVarChar:
    case LegacyVarChar: return SqlType(Base::VarChar, t.isPlp() ? -1 : static_cast<std::int32_t>(t.maxLength));
    case BigChar:
    case LegacyChar: return SqlType(Base::Char, static_cast<std::int32_t>(t.maxLength));
    case NVarChar: return SqlType(Base::NVarChar, t.isPlp() ? -1 : static_cast<std::int32_t>(t.maxLength / 2));
    case NChar: return SqlType(Base::NChar, static_cast<std::int32_t>(t.maxLength / 2));
    case BigVarBinary:
    case LegacyVarBinary: return SqlType(Base::VarBinary, t.isPlp() ? -1 : static_cast<std::int32_t>(t.maxLength));
    case BigBinary:
    case LegacyBinary: return SqlType(Base::Binary, static_cast<std::int32_t>(t.maxLength));
    case Text: return SqlType(Base::Text, -1);
    case NText: return SqlType(Base::NText, -1);
    case Image: return SqlType(Base::Image, -1);
    default: return SqlType();
    }
}

tsql::DateTime timeOfDay(std::uint64_t units, int scale)
{
    std::uint64_t ticks = units;
    for (int i = scale; i < 7; ++i)
        ticks *= 10;
    tsql::DateTime d;
    d.setTicks(static_cast<std::int64_t>(ticks % 10'000'000));
    std::uint64_t seconds = ticks / 10'000'000;
    d.second = static_cast<int>(seconds % 60);
    d.minute = static_cast<int>(seconds / 60 % 60);
    d.hour = static_cast<int>(seconds / 3600);
    return d;
}

void setDate(tsql::DateTime &d, std::int64_t dayNumber)
{
    const auto c = calendar::civilFromDays(dayNumber);
    d.year = c.year;
    d.month = c.month;
    d.day = c.day;
}

std::string readPlp(ByteReader &r, bool &isNull)
{
    const std::uint64_t total = r.u64();
    isNull = total == PlpNull;
    std::string out;
    if (isNull)
        return out;
    if (total != PlpUnknownLength && total > r.remaining())
        throw ProtocolError("value longer than its message");
    for (;;) {
        const std::uint32_t chunk = r.u32();
        if (chunk == 0)
            break;
        out.append(r.bytes(chunk));
    }
    return out;
}

Value fromBytes(const WireType &t, const SqlType &s, std::string bytes)
{
    using namespace wiretype;
    if (t.code == Guid)
        return Value::text(guidToText(bytes), s);
    if (s.isUnicode())
        return Value::text(utf16ToUtf8(bytes), s);
    if (s.isText())
        return Value::text(cp1252ToUtf8(bytes), s);
    return Value::binary(std::move(bytes), s);
}

Value readFixed(ByteReader &r, const WireType &t);

// The only lengths a value of these types can have; anything else is not a value of the type.
bool possibleLength(std::uint8_t code, std::uint32_t n, int scale)
{
    using namespace wiretype;
    switch (code) {
    case IntN: return n == 1 || n == 2 || n == 4 || n == 8;
    case BitN: return n == 1;
    case FltN:
    case MoneyN:
    case DateTimeN: return n == 4 || n == 8;
    case Guid: return n == 16;
    case DateN: return n == 3;
    case TimeN: return n == timeBytes(scale);
    case DateTime2N: return n == timeBytes(scale) + 3u;
    case DateTimeOffsetN: return n == timeBytes(scale) + 5u;
    case DecimalN:
    case NumericN:
    case LegacyDecimal:
    case LegacyNumeric: return n >= 2 && n <= 17;
    default: return true;
    }
}

} // namespace

WireType readTypeInfo(ByteReader &r)
{
    using namespace wiretype;
    WireType t;
    t.code = r.u8();
    switch (t.code) {
    case Null: t.maxLength = 0; break;
    case Int1: case Bit: t.maxLength = 1; break;
    case Int2: t.maxLength = 2; break;
    case Int4: case DateTime4: case Flt4: case Money4: t.maxLength = 4; break;
    case Money: case DateTime: case Flt8: case Int8: t.maxLength = 8; break;
    case Guid: case IntN: case BitN: case FltN: case MoneyN: case DateTimeN:
        t.maxLength = r.u8();
        if (!possibleLength(t.code, t.maxLength, 0))
            throw ProtocolError("parameter type with an impossible length");
        break;
    case LegacyChar: case LegacyVarChar: case LegacyBinary: case LegacyVarBinary:
        t.maxLength = r.u8();
        break;
    case DecimalN: case NumericN: case LegacyDecimal: case LegacyNumeric:
        t.maxLength = r.u8();
        t.precision = r.u8();
        t.scale = r.u8();
        if (t.precision < 1 || t.precision > 38 || t.scale > t.precision || t.maxLength < 2 || t.maxLength > 17)
            throw ProtocolError("decimal parameter with impossible precision or scale");
        break;
    case DateN: t.maxLength = 3; break;
    case TimeN: case DateTime2N: case DateTimeOffsetN:
        t.scale = r.u8();
        if (t.scale > 7)
            throw ProtocolError("time scale above 7");
        t.maxLength = timeBytes(t.scale) + (t.code == TimeN ? 0u : t.code == DateTime2N ? 3u : 5u);
        break;
    case BigVarChar: case BigChar: case NVarChar: case NChar: case BigVarBinary: case BigBinary:
        t.maxLength = r.u16();
        if (t.hasCollation())
            r.skip(5); // text arrives in the client's code page; 1252 is the only one served
        break;
    case Text: case NText: case Image:
        t.maxLength = r.u32();
        if (t.hasCollation())
            r.skip(5);
        break;
    default:
        throw ProtocolError("parameter of unsupported type 0x" + std::to_string(t.code));
    }
    t.sql = sqlTypeOf(t);
    return t;
}

Value readValue(ByteReader &r, const WireType &t)
{
    using namespace wiretype;
    const SqlType s = t.sql;
    switch (t.code) {
    case Null:
        return Value::null(s);
    case Int1: case Bit: case Int2: case Int4: case Int8: case Flt4: case Flt8: case Money: case Money4:
    case DateTime: case DateTime4:
        break;
    case BigVarChar: case BigChar: case NVarChar: case NChar: case BigVarBinary: case BigBinary: {
        if (t.isPlp()) {
            bool isNull = false;
            std::string bytes = readPlp(r, isNull);
            return isNull ? Value::null(s) : fromBytes(t, s, std::move(bytes));
        }
        const std::uint16_t n = r.u16();
        if (n == 0xFFFF)
            return Value::null(s);
        return fromBytes(t, s, std::string(r.bytes(n)));
    }
    case Text: case NText: case Image: {
        const std::uint32_t n = r.u32();
        if (n == 0xFFFFFFFF)
            return Value::null(s);
        return fromBytes(t, s, std::string(r.bytes(n)));
    }
    default: {
        const std::uint8_t n = r.u8();
        if (n == 0)
            return Value::null(s);
        const bool legacyBytes = t.code == LegacyChar || t.code == LegacyVarChar || t.code == LegacyBinary ||
                                 t.code == LegacyVarBinary;
        if (legacyBytes ? n > t.maxLength : !possibleLength(t.code, n, t.scale))
            throw ProtocolError("parameter value of an impossible length");
        ByteReader v(r.bytes(n));
        if (t.code == LegacyChar || t.code == LegacyVarChar || t.code == LegacyBinary || t.code == LegacyVarBinary ||
            t.code == Guid)
            return fromBytes(t, s, std::string(v.data()));
        WireType sent = t;
        sent.maxLength = n;
        return readFixed(v, sent);
    }
    }
    return readFixed(r, t);
}

namespace {

Value readFixed(ByteReader &r, const WireType &t)
{
    using namespace wiretype;
    const SqlType s = t.sql;
    switch (t.code) {
    case Int1: case Int2: case Int4: case Int8: case IntN: case Bit: case BitN: {
        std::uint64_t raw = r.uintN(t.maxLength);
        std::int64_t n;
        if (t.maxLength == 1)
            n = static_cast<std::int64_t>(raw); // tinyint is unsigned
        else if (t.maxLength == 2)
            n = static_cast<std::int16_t>(raw);
        else if (t.maxLength == 4)
            n = static_cast<std::int32_t>(raw);
        else
            n = static_cast<std::int64_t>(raw);
        return Value::integer(n, s);
    }
    case Flt4: case Flt8: case FltN:
        if (t.maxLength == 4) {
            const std::uint32_t bits = r.u32();
            float f;
            std::memcpy(&f, &bits, 4);
            return Value::real(f, s);
        } else {
            const std::uint64_t bits = r.u64();
            double d;
            std::memcpy(&d, &bits, 8);
            return Value::real(d, s);
        }
    case Money: case Money4: case MoneyN: {
        std::int64_t n;
        if (t.maxLength == 4) {
            n = r.i32();
        } else {
            const std::uint64_t hi = r.u32();
            n = static_cast<std::int64_t>(hi << 32 | r.u32());
        }
        return Value::decimal(tsql::Decimal{n, t.maxLength == 4 ? 10 : 19, 4}, s);
    }
    case DecimalN: case NumericN: case LegacyDecimal: case LegacyNumeric: {
        const bool positive = r.u8() != 0;
        unsigned __int128 magnitude = 0;
        const std::size_t bytes = t.maxLength - 1;
        for (std::size_t i = 0; i < bytes; ++i)
            magnitude |= static_cast<unsigned __int128>(r.u8()) << (8 * i);
        const auto n = static_cast<tsql::Int128>(magnitude);
        return Value::decimal(tsql::Decimal{positive ? n : -n, t.precision, t.scale}, s);
    }
    case DateTime: case DateTime4: case DateTimeN: {
        tsql::DateTime d;
        if (t.maxLength == 4) {
            const std::uint16_t days = r.u16();
            const std::uint16_t minutes = r.u16();
            setDate(d, calendar::Epoch1900 + days);
            d.hour = minutes / 60;
            d.minute = minutes % 60;
        } else {
            const std::int32_t days = r.i32();
            const std::uint32_t ticks = r.u32();
            setDate(d, calendar::Epoch1900 + days);
            const std::uint32_t seconds = ticks / 300;
            d.hour = static_cast<int>(seconds / 3600);
            d.minute = static_cast<int>(seconds / 60 % 60);
            d.second = static_cast<int>(seconds % 60);
            d.millisecond = static_cast<int>(((ticks % 300) * 10 + 1) / 3);
        }
        return Value::dateTime(d, s);
    }
    case DateN: {
        tsql::DateTime d;
        setDate(d, calendar::Epoch0001 + static_cast<std::int64_t>(r.uintN(3)));
        return Value::dateTime(d, s);
    }
    case TimeN: {
        tsql::DateTime d = timeOfDay(r.uintN(timeBytes(t.scale)), t.scale);
        return Value::dateTime(d, s);
    }
    case DateTime2N: case DateTimeOffsetN: {
        tsql::DateTime d = timeOfDay(r.uintN(timeBytes(t.scale)), t.scale);
        std::int64_t days = calendar::Epoch0001 + static_cast<std::int64_t>(r.uintN(3));
        if (t.code == DateTimeOffsetN) {
            // Sent in UTC: move to the local time the offset names.
            d.offsetMinutes = static_cast<std::int16_t>(r.u16());
            std::int64_t minutes = d.hour * 60 + d.minute + d.offsetMinutes;
            while (minutes < 0) {
                minutes += 1440;
                --days;
            }
            while (minutes >= 1440) {
                minutes -= 1440;
                ++days;
            }
            d.hour = static_cast<int>(minutes / 60);
            d.minute = static_cast<int>(minutes % 60);
        }
        setDate(d, days);
        return Value::dateTime(d, s);
    }
    default:
        throw ProtocolError("parameter of unsupported type");
    }
}

} // namespace

} // namespace tds
