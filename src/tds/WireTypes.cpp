#include "tds/WireTypes.h"

#include "tds/Calendar.h"
#include "tds/Encoding.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace tds {

using tsql::Base;
using tsql::Int128;
using tsql::SqlType;
using tsql::Value;

namespace {

constexpr std::uint32_t PlpMarker = 0xFFFF;
constexpr std::uint64_t PlpNull = ~std::uint64_t{0};
constexpr std::uint32_t PlpChunk = 8000;

std::uint8_t decimalBytes(int precision)
{
    if (precision <= 9)
        return 5;
    if (precision <= 19)
        return 9;
    if (precision <= 28)
        return 13;
    return 17;
}

std::uint8_t timeBytes(int scale) { return scale <= 2 ? 3 : scale <= 4 ? 4 : 5; }

Int128 pow10(int n)
{
    Int128 p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

// The value as an unscaled number at `scale`, whatever form the engine handed it in.
Int128 scaledOf(const Value &v, int scale)
{
    switch (v.type()) {
    case Value::Type::Integer:
        return Int128{v.asInteger()} * pow10(scale);
    case Value::Type::Float:
        return static_cast<Int128>(std::llround(v.asFloat() * std::pow(10.0, scale)));
    case Value::Type::Decimal: {
        const auto &d = v.asDecimal();
        if (d.scale <= scale)
            return d.unscaled * pow10(scale - d.scale);
        // Round half away from zero, as SQL Server does when a scale shrinks.
        const Int128 div = pow10(d.scale - scale);
        const Int128 q = d.unscaled / div, rem = d.unscaled % div;
        if (2 * (rem < 0 ? -rem : rem) >= div)
            return q + (d.unscaled < 0 ? -1 : 1);
        return q;
    }
    case Value::Type::Text:
        try {
            return static_cast<Int128>(std::stoll(v.asText())) * pow10(scale);
        } catch (const std::exception &) {
            return 0;
        }
    default:
        return 0;
    }
}

std::int64_t integerOf(const Value &v) { return static_cast<std::int64_t>(scaledOf(v, 0)); }

double doubleOf(const Value &v)
{
    switch (v.type()) {
    case Value::Type::Float:
        return v.asFloat();
    case Value::Type::Integer:
        return static_cast<double>(v.asInteger());
    case Value::Type::Decimal:
        return v.asDecimal().toDouble();
    default:
        return 0;
    }
}

std::string textOf(const Value &v)
{
    switch (v.type()) {
    case Value::Type::Text:
    case Value::Type::Binary:
        return v.asText();
    case Value::Type::Integer:
        return std::to_string(v.asInteger());
    case Value::Type::Decimal:
        return v.asDecimal().toString();
    case Value::Type::Float: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.17g", v.asFloat());
        return buf;
    }
    default:
        return {};
    }
}

tsql::DateTime dateTimeOf(const Value &v)
{
    return v.type() == Value::Type::DateTime ? v.asDateTime() : tsql::DateTime{};
}

std::int64_t dayNumber(const tsql::DateTime &d) { return calendar::daysFromCivil(d.year, d.month, d.day); }

// 100-nanosecond units since midnight.
std::int64_t timeTicks(const tsql::DateTime &d)
{
    return (std::int64_t{d.hour} * 3600 + d.minute * 60 + d.second) * 10'000'000 + d.ticks();
}

void writeTime(ByteWriter &w, std::int64_t ticks, int scale)
{
    w.uintN(static_cast<std::uint64_t>(ticks / static_cast<std::int64_t>(pow10(7 - scale))), timeBytes(scale));
}

void writeDecimal(ByteWriter &w, const WireType &t, const Value &v)
{
    const Int128 n = scaledOf(v, t.scale);
    w.u8(static_cast<std::uint8_t>(t.maxLength));
    w.u8(n < 0 ? 0 : 1);
    auto magnitude = static_cast<unsigned __int128>(n < 0 ? -n : n);
    for (std::uint32_t i = 1; i < t.maxLength; ++i) {
        w.u8(static_cast<std::uint8_t>(magnitude & 0xFF));
        magnitude >>= 8;
    }
}

void writeMoney(ByteWriter &w, std::uint32_t length, const Value &v)
{
    const auto n = static_cast<std::int64_t>(scaledOf(v, 4));
    w.u8(static_cast<std::uint8_t>(length));
    if (length == 4) {
        w.u32(static_cast<std::uint32_t>(static_cast<std::int32_t>(n)));
    } else {
        w.u32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(n) >> 32));
        w.u32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(n)));
    }
}

void writeLegacyDateTime(ByteWriter &w, std::uint32_t length, const tsql::DateTime &d)
{
    std::int64_t days = dayNumber(d) - calendar::Epoch1900;
    w.u8(static_cast<std::uint8_t>(length));
    if (length == 4) {
        w.u16(static_cast<std::uint16_t>(days));
        w.u16(static_cast<std::uint16_t>(d.hour * 60 + d.minute));
        return;
    }
    std::int64_t ticks = (std::int64_t{d.hour} * 3600 + d.minute * 60 + d.second) * 300 + (d.millisecond * 3 + 5) / 10;
    if (ticks >= 300LL * 86400) {
        ticks -= 300LL * 86400;
        ++days;
    }
    w.u32(static_cast<std::uint32_t>(static_cast<std::int32_t>(days)));
    w.u32(static_cast<std::uint32_t>(ticks));
}

// The bytes a text or binary value goes out as, padded for the fixed-length types and cut to
// the declared length, which the client sized its buffer by.
std::string payloadOf(const WireType &t, const Value &v)
{
    const SqlType &s = t.sql;
    std::string bytes;
    if (s.base == Base::UniqueIdentifier)
        return v.type() == Value::Type::Binary ? v.asText() : guidToBytes(textOf(v));
    if (s.isUnicode())
        bytes = utf8ToUtf16(textOf(v));
    else if (s.isText())
        bytes = utf8ToCp1252(textOf(v));
    else
        bytes = textOf(v);
    if (!t.isPlp() && !t.isLob() && bytes.size() > t.maxLength)
        bytes.resize(s.isUnicode() ? t.maxLength & ~1u : t.maxLength);
    if (s.isFixedLength() && bytes.size() < t.maxLength) {
        if (s.isUnicode()) {
            while (bytes.size() + 1 < t.maxLength)
                bytes.append(" \0", 2);
        } else {
            bytes.append(t.maxLength - bytes.size(), s.isBinary() ? '\0' : ' ');
        }
    }
    return bytes;
}

} // namespace

bool WireType::isPlp() const { return maxLength == PlpMarker && (code == wiretype::BigVarChar || code == wiretype::NVarChar || code == wiretype::BigVarBinary); }
bool WireType::isLob() const { return code == wiretype::Text || code == wiretype::NText || code == wiretype::Image; }
bool WireType::hasCollation() const
{
    switch (code) {
    case wiretype::BigVarChar:
    case wiretype::BigChar:
    case wiretype::NVarChar:
    case wiretype::NChar:
    case wiretype::Text:
    case wiretype::NText:
        return true;
    default:
        return false;
    }
}

WireType wireTypeOf(const SqlType &type)
{
    WireType t;
    t.sql = type;
    // A length of 0 means the engine did not say: the largest ordinary length, varying, so that
    // no value is padded or cut short by a guess.
    auto sized = [&](std::uint8_t code, std::uint32_t unit, std::uint32_t limit) {
        t.code = code;
        if (type.length == 0) {
            t.code = code == wiretype::BigChar ? wiretype::BigVarChar
                     : code == wiretype::NChar ? wiretype::NVarChar
                     : code == wiretype::BigBinary ? wiretype::BigVarBinary : code;
            t.sql.base = type.isUnicode() ? Base::NVarChar : type.isBinary() ? Base::VarBinary : Base::VarChar;
            t.sql.length = static_cast<std::int32_t>(limit / unit);
            t.maxLength = limit;
            return;
        }
        const std::int64_t chars = type.length;
        t.maxLength = chars < 0 || chars * unit > limit ? PlpMarker : static_cast<std::uint32_t>(chars * unit);
    };
    switch (type.base) {
    case Base::Null:
        t.sql = SqlType(Base::Int);
        [[fallthrough]];
    case Base::Int: t.code = wiretype::IntN; t.maxLength = 4; break;
    case Base::Bit: t.code = wiretype::BitN; t.maxLength = 1; break;
    case Base::TinyInt: t.code = wiretype::IntN; t.maxLength = 1; break;
    case Base::SmallInt: t.code = wiretype::IntN; t.maxLength = 2; break;
    case Base::BigInt: t.code = wiretype::IntN; t.maxLength = 8; break;
    case Base::Decimal:
    case Base::Numeric:
        t.code = type.base == Base::Decimal ? wiretype::DecimalN : wiretype::NumericN;
        t.precision = type.precision ? type.precision : 18;
        t.scale = type.scale;
        t.maxLength = decimalBytes(t.precision);
        break;
    case Base::SmallMoney: t.code = wiretype::MoneyN; t.maxLength = 4; break;
    case Base::Money: t.code = wiretype::MoneyN; t.maxLength = 8; break;
    case Base::Real: t.code = wiretype::FltN; t.maxLength = 4; break;
    case Base::Float: t.code = wiretype::FltN; t.maxLength = 8; break;
    case Base::Char: sized(wiretype::BigChar, 1, 8000); break;
    case Base::VarChar: sized(wiretype::BigVarChar, 1, 8000); break;
    case Base::NChar: sized(wiretype::NChar, 2, 8000); break;
    case Base::NVarChar: sized(wiretype::NVarChar, 2, 8000); break;
    case Base::Binary: sized(wiretype::BigBinary, 1, 8000); break;
    case Base::VarBinary: sized(wiretype::BigVarBinary, 1, 8000); break;
    case Base::Text: t.code = wiretype::Text; t.maxLength = 0x7FFFFFFF; break;
    case Base::NText: t.code = wiretype::NText; t.maxLength = 0x7FFFFFFE; break;
    case Base::Image: t.code = wiretype::Image; t.maxLength = 0x7FFFFFFF; break;
    case Base::Date: t.code = wiretype::DateN; t.maxLength = 3; break;
    case Base::Time: t.code = wiretype::TimeN; t.scale = type.scale; t.maxLength = timeBytes(type.scale); break;
    case Base::SmallDateTime: t.code = wiretype::DateTimeN; t.maxLength = 4; break;
    case Base::DateTime: t.code = wiretype::DateTimeN; t.maxLength = 8; break;
    case Base::DateTime2:
        t.code = wiretype::DateTime2N;
        t.scale = type.scale;
        t.maxLength = timeBytes(type.scale) + 3u;
        break;
    case Base::DateTimeOffset:
        t.code = wiretype::DateTimeOffsetN;
        t.scale = type.scale;
        t.maxLength = timeBytes(type.scale) + 5u;
        break;
    case Base::UniqueIdentifier: t.code = wiretype::Guid; t.maxLength = 16; break;
    case Base::SqlVariant:
        // Sent as its text: the variant form with its own inner type is not written yet.
        t.sql = SqlType(Base::NVarChar, 4000);
        t.code = wiretype::NVarChar;
        t.maxLength = 8000;
        break;
    }
    return t;
}

void writeTypeInfo(ByteWriter &w, const WireType &t)
{
    w.u8(t.code);
    switch (t.code) {
    case wiretype::DateN:
        return;
    case wiretype::TimeN:
    case wiretype::DateTime2N:
    case wiretype::DateTimeOffsetN:
        w.u8(t.scale);
        return;
    case wiretype::DecimalN:
    case wiretype::NumericN:
        w.u8(static_cast<std::uint8_t>(t.maxLength));
        w.u8(t.precision);
        w.u8(t.scale);
        return;
    case wiretype::Text:
    case wiretype::NText:
    case wiretype::Image:
        w.u32(t.maxLength);
        break;
    case wiretype::BigVarChar:
    case wiretype::BigChar:
    case wiretype::NVarChar:
    case wiretype::NChar:
    case wiretype::BigVarBinary:
    case wiretype::BigBinary:
        w.u16(static_cast<std::uint16_t>(t.maxLength));
        break;
    default:
        w.u8(static_cast<std::uint8_t>(t.maxLength));
        return;
    }
    if (t.hasCollation())
        w.bytes(DefaultCollation);
}

bool isNullWritable(const WireType &) { return true; }

void writeValue(ByteWriter &w, const WireType &t, const Value &v)
{
    if (v.isNull()) {
        if (t.isPlp())
            w.u64(PlpNull);
        else if (t.isLob())
            w.u8(0);
        else if (t.code == wiretype::BigVarChar || t.code == wiretype::BigChar || t.code == wiretype::NVarChar ||
                 t.code == wiretype::NChar || t.code == wiretype::BigVarBinary || t.code == wiretype::BigBinary)
            w.u16(0xFFFF);
        else
            w.u8(0);
        return;
    }
    switch (t.code) {
    case wiretype::IntN:
    case wiretype::BitN: {
        std::int64_t n = integerOf(v);
        if (t.code == wiretype::BitN)
            n = n != 0;
        w.u8(static_cast<std::uint8_t>(t.maxLength));
        w.uintN(static_cast<std::uint64_t>(n), t.maxLength);
        return;
    }
    case wiretype::FltN: {
        w.u8(static_cast<std::uint8_t>(t.maxLength));
        if (t.maxLength == 4) {
            const float f = static_cast<float>(doubleOf(v));
            std::uint32_t bits;
            std::memcpy(&bits, &f, 4);
            w.u32(bits);
        } else {
            const double d = doubleOf(v);
            std::uint64_t bits;
            std::memcpy(&bits, &d, 8);
            w.u64(bits);
        }
        return;
    }
    case wiretype::DecimalN:
    case wiretype::NumericN:
        writeDecimal(w, t, v);
        return;
    case wiretype::MoneyN:
        writeMoney(w, t.maxLength, v);
        return;
    case wiretype::DateTimeN:
        writeLegacyDateTime(w, t.maxLength, dateTimeOf(v));
        return;
    case wiretype::DateN:
        w.u8(3);
        w.uintN(static_cast<std::uint64_t>(dayNumber(dateTimeOf(v)) - calendar::Epoch0001), 3);
        return;
    case wiretype::TimeN:
        w.u8(timeBytes(t.scale));
        writeTime(w, timeTicks(dateTimeOf(v)), t.scale);
        return;
    case wiretype::DateTime2N: {
        const auto d = dateTimeOf(v);
        w.u8(static_cast<std::uint8_t>(timeBytes(t.scale) + 3));
        writeTime(w, timeTicks(d), t.scale);
        w.uintN(static_cast<std::uint64_t>(dayNumber(d) - calendar::Epoch0001), 3);
        return;
    }
    case wiretype::DateTimeOffsetN: {
        // Date and time go out in UTC, followed by the offset that gives them back locally.
        const auto d = dateTimeOf(v);
        constexpr std::int64_t TicksPerDay = 864'000'000'000;
        std::int64_t days = dayNumber(d);
        std::int64_t ticks = timeTicks(d) - std::int64_t{d.offsetMinutes} * 600'000'000;
        while (ticks < 0) {
            ticks += TicksPerDay;
            --days;
        }
        while (ticks >= TicksPerDay) {
            ticks -= TicksPerDay;
            ++days;
        }
        w.u8(static_cast<std::uint8_t>(timeBytes(t.scale) + 5));
        writeTime(w, ticks, t.scale);
        w.uintN(static_cast<std::uint64_t>(days - calendar::Epoch0001), 3);
        w.u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(d.offsetMinutes)));
        return;
    }
    case wiretype::Guid: {
        const std::string bytes = payloadOf(t, v);
        if (bytes.size() != 16) {
            w.u8(0);
            return;
        }
        w.u8(16);
        w.bytes(bytes);
        return;
    }
    default:
        break;
    }
    const std::string bytes = payloadOf(t, v);
    if (t.isPlp()) {
        w.u64(bytes.size());
        for (std::size_t at = 0; at < bytes.size(); at += PlpChunk) {
            const std::size_t n = std::min<std::size_t>(PlpChunk, bytes.size() - at);
            w.u32(static_cast<std::uint32_t>(n));
            w.bytes(std::string_view(bytes).substr(at, n));
        }
        w.u32(0);
    } else if (t.isLob()) {
        // A text pointer and timestamp: clients only check that they are there.
        w.u8(16);
        w.bytes(std::string(16, '\xFF'));
        w.bytes(std::string(8, '\0'));
        w.u32(static_cast<std::uint32_t>(bytes.size()));
        w.bytes(bytes);
    } else {
        w.u16(static_cast<std::uint16_t>(bytes.size()));
        w.bytes(bytes);
    }
}

std::string guidToBytes(std::string_view text)
{
    std::string hex;
    for (const char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            hex.push_back(c);
    if (hex.size() != 32)
        return {};
    std::string raw;
    for (std::size_t i = 0; i < 32; i += 2)
        raw.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    std::string out = raw;
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i = 0; i < 16; ++i)
        out[static_cast<std::size_t>(i)] = raw[static_cast<std::size_t>(order[i])];
    return out;
}

std::string guidToText(std::string_view bytes)
{
    if (bytes.size() != 16)
        return {};
    const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out.push_back('-');
        const auto b = static_cast<unsigned char>(bytes[static_cast<std::size_t>(order[i])]);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out;
}

} // namespace tds
