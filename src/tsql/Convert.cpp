#include "tsql/Convert.h"

#include "tsql/Errors.h"
#include "tsql/Numeric.h"
#include "tsql/Text.h"

#include <cctype>
#include <cstring>

namespace tsql::conv {

namespace {

bool isDateOnlyOrNew(Base b)
{
    return b == Base::Date || b == Base::Time || b == Base::DateTime2 || b == Base::DateTimeOffset;
}

const char hexDigits[] = "0123456789ABCDEF";

std::string hex(std::string_view bytes, bool prefix)
{
    std::string r = prefix ? "0x" : "";
    for (unsigned char c : bytes) {
        r += hexDigits[c >> 4];
        r += hexDigits[c & 15];
    }
    return r;
}

std::string fromHex(std::string_view text, bool prefixed, const SqlType &from)
{
    std::string_view s = text;
    if (prefixed) {
        if (s.size() < 2 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
            throw err::make(8114, from.name(), "varbinary");
        s.remove_prefix(2);
    }
    if (s.size() % 2)
        throw err::make(8114, from.name(), "varbinary");
    std::string out;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        auto nibble = [&](char c) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                throw err::make(8114, from.name(), "varbinary");
            return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10);
        };
        out += static_cast<char>(nibble(s[i]) * 16 + nibble(s[i + 1]));
    }
    return out;
}

// The bytes a text holds in its type: code page 1252 for varchar, UTF-16LE for nvarchar.
std::string textBytes(const std::string &utf8, bool unicode)
{
    std::string out;
    if (unicode) {
        for (char32_t c : text::decode(utf8)) {
            auto unit = [&](unsigned u) {
                out += static_cast<char>(u & 0xff);
                out += static_cast<char>(u >> 8);
            };
            if (c >= 0x10000) {
                c -= 0x10000;
                unit(0xD800 + static_cast<unsigned>(c >> 10));
                unit(0xDC00 + static_cast<unsigned>(c & 0x3FF));
            } else {
                unit(static_cast<unsigned>(c));
            }
        }
        return out;
    }
    for (char32_t c : text::decode(utf8)) {
        const int b = text::codePage1252Byte(c);
        out += static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

std::string bytesText(const std::string &bytes, bool unicode)
{
    std::string out;
    if (unicode) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const unsigned u = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
            text::append(out, static_cast<char32_t>(u));
        }
        return out;
    }
    for (unsigned char b : bytes)
        text::append(out, text::fromCodePage1252(b));
    return out;
}

bool validGuid(std::string_view s)
{
    if (s.size() == 38 && s.front() == '{' && s.back() == '}')
        s = s.substr(1, 36);
    if (s.size() != 36)
        return false;
    for (std::size_t i = 0; i < 36; ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? s[i] != '-' : !std::isxdigit(static_cast<unsigned char>(s[i])))
            return false;
    }
    return true;
}

Value cutText(std::string s, const SqlType &to)
{
    if (!to.isUnicode() && to.base != Base::Text)
        text::keepCodePage1252(s);
    const int max = to.maxLength();
    if (max > 0 && lengthIn(s, to) > static_cast<std::size_t>(max))
        s = text::left(s, static_cast<std::size_t>(max)); // code points; surrogate pairs count twice elsewhere
    if (to.isFixedLength() && max > 0) {
        const std::size_t len = lengthIn(s, to);
        if (len < static_cast<std::size_t>(max))
            s.append(static_cast<std::size_t>(max) - len, ' ');
    }
    return Value::text(std::move(s), to);
}

Value toTextType(const Value &v, const SqlType &to, int style)
{
    const SqlType &from = v.sqlType();
    std::string s;
    switch (v.type()) {
    case Value::Type::Integer:
    case Value::Type::Float:
    case Value::Type::Decimal: {
        s = num::toText(v, style < 0 ? 0 : style);
        const int max = to.maxLength();
        if (max > 0 && lengthIn(s, to) > static_cast<std::size_t>(max)) {
            if (num::tooLongGivesStar(from, to))
                return Value::text("*", to);
            throw num::textOverflow(v, to);
        }
        return cutText(std::move(s), to);
    }
    case Value::Type::DateTime:
        s = dt::format(v.asDateTime(), from, style);
        return cutText(std::move(s), to);
    case Value::Type::Binary:
        if (style == 1 || style == 2)
            s = hex(v.asText(), style == 1);
        else
            s = bytesText(v.asText(), to.isUnicode());
        return cutText(std::move(s), to);
    case Value::Type::Text:
        return cutText(v.asText(), to);
    case Value::Type::Null:
        return Value::null(to);
    }
    return Value::null(to);
}

// Numbers as SQL Server lays them out in binary: integers, money (a count of ten-thousandths)
// and IEEE floats big-endian; a decimal as its precision, its scale, a sign byte (1 for
// positive) and its digits as a little-endian integer of 4, 8, 12 or 16 bytes.
std::string bigEndian(std::uint64_t n, int size)
{
    std::string bytes;
    for (int i = size - 1; i >= 0; --i)
        bytes += static_cast<char>((n >> (8 * i)) & 0xff);
    return bytes;
}

std::uint64_t fromBigEndian(const std::string &b, std::size_t size)
{
    std::uint64_t n = 0;
    for (std::size_t i = b.size() > size ? b.size() - size : 0; i < b.size(); ++i)
        n = (n << 8) | static_cast<unsigned char>(b[i]);
    return n;
}

int decimalBytes(int precision)
{
    return precision <= 9 ? 4 : precision <= 19 ? 8 : precision <= 28 ? 12 : 16;
}

std::string numberBytes(const Value &v)
{
    const SqlType &t = v.sqlType();
    if (v.type() == Value::Type::Float) {
        if (t.base == Base::Real) {
            const float f = static_cast<float>(v.asFloat());
            std::uint32_t n = 0;
            std::memcpy(&n, &f, sizeof n);
            return bigEndian(n, 4);
        }
        const double d = v.asFloat();
        std::uint64_t n = 0;
        std::memcpy(&n, &d, sizeof n);
        return bigEndian(n, 8);
    }
    const Decimal &d = v.asDecimal();
    if (t.isMoney())
        return bigEndian(static_cast<std::uint64_t>(static_cast<std::int64_t>(d.unscaled)), t.base == Base::Money ? 8 : 4);
    const Decimal exact = t.isDecimal() ? num::toDecimal(d, t) : d;
    const int precision = t.isDecimal() ? t.precision : d.precision;
    std::string bytes;
    bytes += static_cast<char>(precision);
    bytes += static_cast<char>(exact.scale);
    bytes += static_cast<char>(exact.unscaled >= 0 ? 1 : 0);
    auto magnitude = static_cast<unsigned __int128>(exact.unscaled >= 0 ? exact.unscaled : -exact.unscaled);
    for (int i = 0; i < decimalBytes(precision); ++i, magnitude >>= 8)
        bytes += static_cast<char>(magnitude & 0xff);
    return bytes;
}

// The number a binary value holds for an exact or approximate type, read back as numberBytes
// wrote it; 8114 when the bytes cannot be one.
Value bytesNumber(const std::string &b, const SqlType &from, const SqlType &to)
{
    if (to.isApproximate()) {
        if (to.base == Base::Real && b.size() >= 4) {
            const auto n = static_cast<std::uint32_t>(fromBigEndian(b, 4));
            float f = 0;
            std::memcpy(&f, &n, sizeof f);
            return Value::real(f, to);
        }
        if (b.size() >= 8) {
            const std::uint64_t n = fromBigEndian(b, 8);
            double d = 0;
            std::memcpy(&d, &n, sizeof d);
            return num::convert(Value::real(d), to);
        }
    } else if (to.isMoney()) {
        const std::size_t size = to.base == Base::Money ? 8 : 4;
        std::int64_t n = static_cast<std::int64_t>(fromBigEndian(b, size));
        if (size == 4 && (n >> 31) & 1)
            n -= std::int64_t{1} << 32;
        Decimal d;
        d.unscaled = n;
        d.precision = 19;
        d.scale = 4;
        return Value::decimal(d, to);
    } else if (b.size() >= 3) {
        Decimal d;
        d.precision = static_cast<unsigned char>(b[0]);
        d.scale = static_cast<unsigned char>(b[1]);
        if (d.precision >= 1 && d.precision <= 38 && d.scale <= d.precision &&
            b.size() == 3 + static_cast<std::size_t>(decimalBytes(d.precision))) {
            unsigned __int128 magnitude = 0;
            for (std::size_t i = b.size(); i-- > 3;)
                magnitude = (magnitude << 8) | static_cast<unsigned char>(b[i]);
            d.unscaled = static_cast<Int128>(magnitude);
            if (b[2] == 0)
                d.unscaled = -d.unscaled;
            return Value::decimal(num::toDecimal(d, to), to);
        }
    }
    throw err::make(8114, from.name(), to.isDecimal() ? "numeric" : to.name());
}

Value toBinaryType(const Value &v, const SqlType &to, int style)
{
    std::string bytes;
    switch (v.type()) {
    case Value::Type::Text:
        if (style == 1 || style == 2)
            bytes = fromHex(v.asText(), style == 1, v.sqlType());
        else
            bytes = textBytes(v.asText(), v.sqlType().isUnicode());
        break;
    case Value::Type::Binary:
        bytes = v.asText();
        break;
    case Value::Type::Integer:
        bytes = bigEndian(static_cast<std::uint64_t>(v.asInteger()), v.sqlType().storageBytes());
        break;
    case Value::Type::Decimal:
    case Value::Type::Float:
        bytes = numberBytes(v);
        break;
    default:
        throw err::make(529, v.sqlType().name(), to.name());
    }
    const int max = to.maxLength() > 0 ? to.maxLength() : (to.length > 0 ? to.length : 0);
    if (max > 0 && bytes.size() > static_cast<std::size_t>(max))
        bytes.resize(static_cast<std::size_t>(max));
    if (to.base == Base::Binary && max > 0 && bytes.size() < static_cast<std::size_t>(max))
        bytes.append(static_cast<std::size_t>(max) - bytes.size(), '\0');
    return Value::binary(std::move(bytes), to);
}

Value toDateType(const Value &v, const SqlType &to, int style, const dt::Settings &settings)
{
    switch (v.type()) {
    case Value::Type::Text:
        return Value::dateTime(dt::parse(v.asText(), to, style < 0 ? 0 : style, settings, v.sqlType()), to);
    case Value::Type::DateTime:
        return Value::dateTime(dt::convert(v.asDateTime(), v.sqlType(), to, style), to);
    case Value::Type::Integer:
        if (!dt::convertsWithNumbers(to))
            throw err::make(529, v.sqlType().name(), to.name());
        return Value::dateTime(dt::fromDays(static_cast<double>(v.asInteger()), to), to);
    case Value::Type::Float:
        if (!dt::convertsWithNumbers(to))
            throw err::make(529, v.sqlType().name(), to.name());
        return Value::dateTime(dt::fromDays(v.asFloat(), to), to);
    case Value::Type::Decimal:
        if (!dt::convertsWithNumbers(to))
            throw err::make(529, v.sqlType().name(), to.name());
        return Value::dateTime(dt::fromDays(v.asDecimal().toDouble(), to), to);
    default:
        throw err::make(529, v.sqlType().name(), to.name());
    }
}

Value toNumberType(const Value &v, const SqlType &to, const dt::Settings &)
{
    const SqlType &from = v.sqlType();
    switch (v.type()) {
    case Value::Type::Integer:
    case Value::Type::Decimal:
    case Value::Type::Float:
        return num::convert(v, to);
    case Value::Type::Text: {
        const std::string &s = v.asText();
        if (to.base == Base::Bit) {
            const std::string t = text::rtrim(text::ltrim(s));
            if (iequals(t, "true"))
                return Value::integer(1, to);
            if (iequals(t, "false"))
                return Value::integer(0, to);
            return Value::integer(num::parseInteger(s, SqlType{Base::BigInt}, from) != 0, to);
        }
        if (to.isInteger())
            return Value::integer(num::parseInteger(s, to, from), to);
        if (to.isMoney())
            return Value::decimal(num::parseMoney(s, to, from), to);
        if (to.isExact())
            return Value::decimal(num::parseDecimal(s, to, from), to);
        return Value::real(num::parseFloat(s, to, from), to);
    }
    case Value::Type::DateTime: {
        if (!dt::convertsWithNumbers(from))
            throw err::make(529, from.name(), to.name());
        const double days = dt::toDays(v.asDateTime(), from);
        if (to.isApproximate())
            return Value::real(days, to);
        if (to.isInteger()) // datetime to int rounds to the nearest day
            return Value::integer(num::toInteger(static_cast<double>(static_cast<std::int64_t>(days + (days >= 0 ? 0.5 : -0.5))), to), to);
        return Value::decimal(num::toDecimal(days, to), to);
    }
    case Value::Type::Binary: {
        const std::string &b = v.asText();
        if (!to.isInteger())
            return bytesNumber(b, from, to);
        const std::size_t size = static_cast<std::size_t>(std::max(1, to.storageBytes()));
        const std::uint64_t n = fromBigEndian(b, size);
        std::int64_t s = static_cast<std::int64_t>(n);
        if (size < 8 && (n >> (8 * size - 1)) & 1)
            s -= static_cast<std::int64_t>(1) << (8 * size); // the bytes are the value's two's complement
        return Value::integer(to.base == Base::TinyInt ? (s & 0xff) : s, to);
    }
    case Value::Type::Null:
        return Value::null(to);
    }
    return Value::null(to);
}

} // namespace

std::size_t lengthIn(const std::string &utf8, const SqlType &t)
{
    return t.isUnicode() ? text::utf16Length(utf8) : text::length(utf8);
}

Allowed allowed(const SqlType &from, const SqlType &to)
{
    const Category f = from.category(), t = to.category();
    if (f == Category::Null || from.base == to.base)
        return Allowed::Implicit;
    if (t == Category::Variant)
        return Allowed::Implicit;
    if (f == Category::Variant)
        return Allowed::Explicit;
    const bool fromNumber = from.isNumeric(), toNumber = to.isNumeric();
    if (fromNumber && toNumber)
        return Allowed::Implicit;
    if (f == Category::Text && t == Category::Text)
        return Allowed::Implicit;
    if (f == Category::Text || t == Category::Text) {
        const SqlType &other = f == Category::Text ? to : from;
        if ((from.base == Base::Text || from.base == Base::NText || to.base == Base::Text || to.base == Base::NText) &&
            (other.isNumeric() || other.isDateTime()))
            return Allowed::Never;
        if (other.isBinary())
            return t == Category::Binary ? Allowed::Explicit : Allowed::Implicit;
        return Allowed::Implicit;
    }
    if (f == Category::DateTime && t == Category::DateTime) {
        if ((from.base == Base::Date && to.base == Base::Time) || (from.base == Base::Time && to.base == Base::Date))
            return Allowed::Never;
        return Allowed::Implicit;
    }
    if (f == Category::DateTime && toNumber) {
        if (isDateOnlyOrNew(from.base))
            return Allowed::Never;
        return Allowed::Explicit;
    }
    if (fromNumber && t == Category::DateTime) {
        if (isDateOnlyOrNew(to.base))
            return Allowed::Never;
        return Allowed::Implicit;
    }
    if (f == Category::Binary || t == Category::Binary) {
        const SqlType &other = f == Category::Binary ? to : from;
        if (other.isBinary())
            return Allowed::Implicit;
        if (other.isInteger() || other.base == Base::UniqueIdentifier)
            return f == Category::Binary ? Allowed::Implicit : Allowed::Explicit;
        if (other.isNumeric())
            return f == Category::Binary ? Allowed::Explicit : Allowed::Explicit;
        return Allowed::Never;
    }
    if (f == Category::Guid || t == Category::Guid)
        return Allowed::Never;
    return Allowed::Never;
}

void check(const SqlType &from, const SqlType &to, bool explicitly)
{
    const Allowed a = allowed(from, to);
    if (a == Allowed::Implicit || (a == Allowed::Explicit && explicitly))
        return;
    if (a == Allowed::Explicit)
        throw err::make(257, from.name(), to.name());
    if (explicitly)
        throw err::make(529, from.name(), to.name());
    throw err::make(206, from.name(), to.name());
}

Value convert(const Value &v, const SqlType &to, int style, const dt::Settings &settings)
{
    if (v.isNull())
        return Value::null(to);
    switch (to.category()) {
    case Category::Null:
        return v;
    case Category::Text:
        return toTextType(v, to, style);
    case Category::Binary:
        return toBinaryType(v, to, style);
    case Category::DateTime:
        return toDateType(v, to, style, settings);
    case Category::Integer:
    case Category::Exact:
    case Category::Approximate:
        return toNumberType(v, to, settings);
    case Category::Guid: {
        if (v.type() == Value::Type::Binary) {
            const std::string &b = v.asText();
            if (b.size() < 16)
                throw err::make(8169);
            // SQL Server's byte order: the first three groups little-endian.
            static const int order[] = {3, 2, 1, 0, -1, 5, 4, -1, 7, 6, -1, 8, 9, -1, 10, 11, 12, 13, 14, 15};
            std::string s;
            for (int i : order) {
                if (i < 0) {
                    s += '-';
                    continue;
                }
                const auto c = static_cast<unsigned char>(b[static_cast<std::size_t>(i)]);
                s += hexDigits[c >> 4];
                s += hexDigits[c & 15];
            }
            return Value::text(s, to);
        }
        if (v.type() != Value::Type::Text)
            throw err::make(529, v.sqlType().name(), to.name());
        std::string s = text::rtrim(v.asText());
        if (!validGuid(s))
            throw err::make(8169);
        if (s.size() == 38)
            s = s.substr(1, 36);
        return Value::text(upper(s), to);
    }
    case Category::Variant:
        return v;
    }
    return v;
}

Value tryConvert(const Value &v, const SqlType &to, int style, const dt::Settings &settings)
{
    check(v.sqlType(), to, true);
    try {
        return convert(v, to, style, settings);
    } catch (const Error &e) {
        if (e.number() == 529)
            throw;
        return Value::null(to);
    }
}

std::string toText(const Value &v)
{
    if (v.isNull())
        return {};
    if (v.type() == Value::Type::Text)
        return v.asText();
    return convert(v, SqlType::nvarchar(-1)).asText();
}

Value forColumn(const Value &v, const SqlType &to, const std::string &table, const std::string &column,
                const dt::Settings &settings)
{
    if (v.isNull())
        return Value::null(to);
    if (to.isText() && to.maxLength() > 0) {
        // Whole first: too long is an error here, not a cut.
        Value whole = convert(v, SqlType{to.isUnicode() ? Base::NVarChar : Base::VarChar, -1}, dt::DefaultStyle, settings);
        const std::string &s = whole.asText();
        const auto max = static_cast<std::size_t>(to.maxLength());
        if (lengthIn(s, to) > max) {
            const std::string cut = text::left(s, max);
            if (s.find_first_not_of(' ', cut.size()) != std::string::npos)
                throw err::make(2628, table, column, cut);
        }
        return convert(whole, to, dt::DefaultStyle, settings);
    }
    if (to.isBinary() && to.maxLength() > 0) {
        Value whole = convert(v, SqlType{Base::VarBinary, -1}, dt::DefaultStyle, settings);
        if (whole.asText().size() > static_cast<std::size_t>(to.length))
            throw err::make(2628, table, column, hex(whole.asText().substr(0, static_cast<std::size_t>(to.length)), true));
        return convert(whole, to, dt::DefaultStyle, settings);
    }
    return convert(v, to, dt::DefaultStyle, settings);
}

} // namespace tsql::conv
