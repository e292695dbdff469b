#include "tsql/Types.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace tsql {

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char &c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string upper(std::string_view s)
{
    std::string r(s);
    for (char &c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

bool iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool istartsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

std::vector<std::string> split(std::string_view s, char separator)
{
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos <= s.size()) {
        std::size_t end = s.find(separator, pos);
        if (end == std::string_view::npos)
            end = s.size();
        out.emplace_back(s.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

SqlType SqlType::decimal(int precision, int scale)
{
    return {Base::Decimal, 0, static_cast<std::uint8_t>(precision), static_cast<std::uint8_t>(scale)};
}

Category SqlType::category() const
{
    switch (base) {
    case Base::Null: return Category::Null;
    case Base::Bit: case Base::TinyInt: case Base::SmallInt: case Base::Int: case Base::BigInt:
        return Category::Integer;
    case Base::Decimal: case Base::Numeric: case Base::SmallMoney: case Base::Money:
        return Category::Exact;
    case Base::Real: case Base::Float:
        return Category::Approximate;
    case Base::Char: case Base::VarChar: case Base::Text: case Base::NChar: case Base::NVarChar: case Base::NText:
        return Category::Text;
    case Base::Binary: case Base::VarBinary: case Base::Image:
        return Category::Binary;
    case Base::Date: case Base::Time: case Base::SmallDateTime: case Base::DateTime: case Base::DateTime2:
    case Base::DateTimeOffset:
        return Category::DateTime;
    case Base::UniqueIdentifier: return Category::Guid;
    case Base::SqlVariant: return Category::Variant;
    }
    return Category::Null;
}

bool SqlType::isNumeric() const
{
    const Category c = category();
    return c == Category::Integer || c == Category::Exact || c == Category::Approximate;
}

bool SqlType::isLob() const
{
    return base == Base::Text || base == Base::NText || base == Base::Image || length == -1;
}

bool SqlType::hasTime() const
{
    return base == Base::Time || base == Base::SmallDateTime || base == Base::DateTime || base == Base::DateTime2 ||
           base == Base::DateTimeOffset;
}

bool SqlType::hasDate() const
{
    return isDateTime() && base != Base::Time;
}

std::string SqlType::name() const
{
    switch (base) {
    case Base::Null: return "int"; // SQL Server types a bare NULL as int where it must name one
    case Base::Bit: return "bit";
    case Base::TinyInt: return "tinyint";
    case Base::SmallInt: return "smallint";
    case Base::Int: return "int";
    case Base::BigInt: return "bigint";
    case Base::Decimal: return "decimal";
    case Base::Numeric: return "numeric";
    case Base::SmallMoney: return "smallmoney";
    case Base::Money: return "money";
    case Base::Real: return "real";
    case Base::Float: return "float";
    case Base::Char: return "char";
    case Base::VarChar: return "varchar";
    case Base::Text: return "text";
    case Base::NChar: return "nchar";
    case Base::NVarChar: return "nvarchar";
    case Base::NText: return "ntext";
    case Base::Binary: return "binary";
    case Base::VarBinary: return "varbinary";
    case Base::Image: return "image";
    case Base::Date: return "date";
    case Base::Time: return "time";
    case Base::SmallDateTime: return "smalldatetime";
    case Base::DateTime: return "datetime";
    case Base::DateTime2: return "datetime2";
    case Base::DateTimeOffset: return "datetimeoffset";
    case Base::UniqueIdentifier: return "uniqueidentifier";
    case Base::SqlVariant: return "sql_variant";
    }
    return "int";
}

std::string SqlType::display() const
{
    switch (base) {
    case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar: case Base::Binary: case Base::VarBinary:
        return name() + "(" + (length == -1 ? std::string("max") : std::to_string(length == 0 ? 1 : length)) + ")";
    case Base::Decimal: case Base::Numeric:
        return name() + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    case Base::Time: case Base::DateTime2: case Base::DateTimeOffset:
        return name() + "(" + std::to_string(scale) + ")";
    default:
        return name();
    }
}

std::string SqlType::declared() const
{
    switch (base) {
    case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar: case Base::Binary: case Base::VarBinary:
        return name() + "(" + std::to_string(length == 0 ? 1 : length) + ")";
    default:
        return display();
    }
}

SqlType SqlType::asDecimal() const
{
    switch (base) {
    case Base::Bit: return decimal(1, 0);
    case Base::TinyInt: return decimal(3, 0);
    case Base::SmallInt: return decimal(5, 0);
    case Base::Int: return decimal(10, 0);
    case Base::BigInt: return decimal(19, 0);
    case Base::SmallMoney: return decimal(10, 4);
    case Base::Money: return decimal(19, 4);
    case Base::Decimal: case Base::Numeric: return decimal(precision, scale);
    default: return {};
    }
}

int SqlType::maxLength() const
{
    switch (base) {
    case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar:
        return length > 0 ? length : (length == 0 ? 1 : 0);
    default:
        return 0;
    }
}

int SqlType::storageBytes() const
{
    switch (base) {
    case Base::Null: return 4;
    case Base::Bit: return 1;
    case Base::TinyInt: return 1;
    case Base::SmallInt: return 2;
    case Base::Int: return 4;
    case Base::BigInt: return 8;
    case Base::Decimal: case Base::Numeric:
        return precision <= 9 ? 5 : precision <= 19 ? 9 : precision <= 28 ? 13 : 17;
    case Base::SmallMoney: return 4;
    case Base::Money: return 8;
    case Base::Real: return 4;
    case Base::Float: return 8;
    case Base::Char: case Base::VarChar: case Base::Binary: case Base::VarBinary:
        return length == -1 ? -1 : std::max<int>(1, length);
    case Base::NChar: case Base::NVarChar:
        return length == -1 ? -1 : 2 * std::max<int>(1, length);
    case Base::Text: case Base::NText: case Base::Image: return 16;
    case Base::Date: return 3;
    case Base::Time: return scale <= 2 ? 3 : scale <= 4 ? 4 : 5;
    case Base::SmallDateTime: return 4;
    case Base::DateTime: return 8;
    case Base::DateTime2: return scale <= 2 ? 6 : scale <= 4 ? 7 : 8;
    case Base::DateTimeOffset: return scale <= 2 ? 8 : scale <= 4 ? 9 : 10;
    case Base::UniqueIdentifier: return 16;
    case Base::SqlVariant: return 8016;
    }
    return 0;
}

std::int64_t SqlType::code() const
{
    return (static_cast<std::int64_t>(base) << 48) | (static_cast<std::int64_t>(precision) << 40) |
           (static_cast<std::int64_t>(scale) << 32) | static_cast<std::uint32_t>(length);
}

SqlType SqlType::fromCode(std::int64_t c)
{
    SqlType t;
    t.base = static_cast<Base>((c >> 48) & 0xff);
    t.precision = static_cast<std::uint8_t>((c >> 40) & 0xff);
    t.scale = static_cast<std::uint8_t>((c >> 32) & 0xff);
    t.length = static_cast<std::int32_t>(static_cast<std::uint32_t>(c & 0xffffffff));
    return t;
}

std::optional<Base> baseFromName(std::string_view n)
{
    static const std::pair<const char *, Base> names[] = {
        {"bit", Base::Bit}, {"tinyint", Base::TinyInt}, {"smallint", Base::SmallInt}, {"int", Base::Int},
        {"integer", Base::Int}, {"bigint", Base::BigInt}, {"decimal", Base::Decimal}, {"dec", Base::Decimal},
        {"numeric", Base::Numeric}, {"smallmoney", Base::SmallMoney}, {"money", Base::Money},
        {"real", Base::Real}, {"float", Base::Float}, {"double precision", Base::Float},
        {"char", Base::Char}, {"character", Base::Char}, {"varchar", Base::VarChar},
        {"char varying", Base::VarChar}, {"character varying", Base::VarChar}, {"text", Base::Text},
        {"nchar", Base::NChar}, {"national character", Base::NChar}, {"national char", Base::NChar},
        {"nvarchar", Base::NVarChar}, {"national character varying", Base::NVarChar},
        {"national char varying", Base::NVarChar}, {"ntext", Base::NText}, {"national text", Base::NText},
        {"binary", Base::Binary}, {"varbinary", Base::VarBinary}, {"binary varying", Base::VarBinary},
        {"image", Base::Image}, {"date", Base::Date}, {"time", Base::Time}, {"smalldatetime", Base::SmallDateTime},
        {"datetime", Base::DateTime}, {"datetime2", Base::DateTime2}, {"datetimeoffset", Base::DateTimeOffset},
        {"uniqueidentifier", Base::UniqueIdentifier}, {"sql_variant", Base::SqlVariant},
        {"sysname", Base::NVarChar},
    };
    for (const auto &[name, base] : names)
        if (iequals(n, name))
            return base;
    return std::nullopt;
}

SqlType parseDeclared(std::string_view declared)
{
    SqlType t;
    const auto paren = declared.find('(');
    std::string_view name = declared.substr(0, paren);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    t.base = baseFromName(name).value_or(Base::Null);
    int a = 0, b = 0, n = 0;
    if (paren != std::string_view::npos) {
        const std::string rest(declared.substr(paren + 1));
        n = std::sscanf(rest.c_str(), "%d , %d", &a, &b);
    }
    switch (t.base) {
    case Base::Decimal: case Base::Numeric:
        t.precision = static_cast<std::uint8_t>(n >= 1 ? a : 18);
        t.scale = static_cast<std::uint8_t>(n >= 2 ? b : 0);
        break;
    case Base::Time: case Base::DateTime2: case Base::DateTimeOffset:
        t.scale = static_cast<std::uint8_t>(n >= 1 ? a : 7);
        break;
    case Base::Float:
        // float(n): 1-24 is real, 25-53 float.
        if (n >= 1 && a <= 24)
            t.base = Base::Real;
        break;
    case Base::Char: case Base::VarChar: case Base::NChar: case Base::NVarChar: case Base::Binary: case Base::VarBinary:
        t.length = n >= 1 ? a : 1;
        break;
    default:
        break;
    }
    // sysname is nvarchar(128), whatever follows its name.
    if (iequals(name, "sysname"))
        t.length = 128;
    return t;
}

int precedence(Base b)
{
    switch (b) {
    case Base::SqlVariant: return 27;
    case Base::DateTimeOffset: return 26;
    case Base::DateTime2: return 25;
    case Base::DateTime: return 24;
    case Base::SmallDateTime: return 23;
    case Base::Date: return 22;
    case Base::Time: return 21;
    case Base::Float: return 20;
    case Base::Real: return 19;
    case Base::Decimal: case Base::Numeric: return 18;
    case Base::Money: return 17;
    case Base::SmallMoney: return 16;
    case Base::BigInt: return 15;
    case Base::Int: return 14;
    case Base::SmallInt: return 13;
    case Base::TinyInt: return 12;
    case Base::Bit: return 11;
    case Base::NText: return 10;
    case Base::Text: return 9;
    case Base::Image: return 8;
    case Base::UniqueIdentifier: return 7;
    case Base::NVarChar: return 6;
    case Base::NChar: return 5;
    case Base::VarChar: return 4;
    case Base::Char: return 3;
    case Base::VarBinary: return 2;
    case Base::Binary: return 1;
    case Base::Null: return 0;
    }
    return 0;
}

namespace {

std::int32_t widerLength(std::int32_t a, std::int32_t b)
{
    if (a == -1 || b == -1)
        return -1;
    return std::max(a, b);
}

SqlType mergeDecimals(const SqlType &a, const SqlType &b)
{
    const SqlType da = a.asDecimal(), db = b.asDecimal();
    const int scale = std::max(da.scale, db.scale);
    const int digits = std::max(da.precision - da.scale, db.precision - db.scale);
    int precision = digits + scale;
    int s = scale;
    if (precision > 38) {
        // Integer digits win over fraction digits, as SQL Server trims the scale first.
        s = std::max(0, scale - (precision - 38));
        precision = 38;
    }
    return SqlType::decimal(precision, s);
}

} // namespace

SqlType commonType(const SqlType &a, const SqlType &b)
{
    if (a.isNull())
        return b;
    if (b.isNull())
        return a;
    const SqlType &hi = precedence(a.base) >= precedence(b.base) ? a : b;
    const SqlType &lo = &hi == &a ? b : a;
    SqlType r = hi;
    if (hi.isText() && lo.isText()) {
        const bool unicode = hi.isUnicode() || lo.isUnicode();
        // Fixed length only when both are fixed; text and ntext stay themselves.
        if (hi.base != Base::Text && hi.base != Base::NText) {
            const bool fixed = hi.isFixedLength() && lo.isFixedLength();
            r.base = unicode ? (fixed ? Base::NChar : Base::NVarChar) : (fixed ? Base::Char : Base::VarChar);
            r.length = widerLength(hi.length, lo.length);
        }
        return r;
    }
    if (hi.isBinary() && lo.isBinary()) {
        if (hi.base != Base::Image) {
            r.base = hi.isFixedLength() && lo.isFixedLength() ? Base::Binary : Base::VarBinary;
            r.length = widerLength(hi.length, lo.length);
        }
        return r;
    }
    if (hi.isDecimal() && (lo.isDecimal() || lo.isInteger() || lo.isMoney()))
        return mergeDecimals(hi, lo);
    if ((hi.base == Base::Time || hi.base == Base::DateTime2 || hi.base == Base::DateTimeOffset) &&
        (lo.base == hi.base))
        r.scale = std::max(hi.scale, lo.scale);
    if (hi.isDateTime() && hi.base == Base::DateTime2 && lo.base == Base::DateTime2)
        r.scale = std::max(hi.scale, lo.scale);
    return r;
}

} // namespace tsql
