#include "tsql/SystemViewTypes.h"

#include <algorithm>
#include <climits>

namespace tsql::sysview {

namespace {

// Digits of a time's text: hh:mm:ss, then a point and the fraction when there is one.
int timeDigits(int fraction) { return 8 + (fraction > 0 ? fraction + 1 : 0); }

} // namespace

const std::vector<std::pair<const char *, SqlType>> &builtinTypes()
{
    static const std::vector<std::pair<const char *, SqlType>> types = {
        {"image", {Base::Image}}, {"text", {Base::Text}}, {"uniqueidentifier", {Base::UniqueIdentifier}},
        {"date", {Base::Date}}, {"time", {Base::Time, 0, 0, 7}}, {"datetime2", {Base::DateTime2, 0, 0, 7}},
        {"datetimeoffset", {Base::DateTimeOffset, 0, 0, 7}}, {"tinyint", {Base::TinyInt}},
        {"smallint", {Base::SmallInt}}, {"int", {Base::Int}}, {"smalldatetime", {Base::SmallDateTime}},
        {"real", {Base::Real}}, {"money", {Base::Money}}, {"datetime", {Base::DateTime}}, {"float", {Base::Float}},
        {"sql_variant", {Base::SqlVariant}}, {"ntext", {Base::NText}}, {"bit", {Base::Bit}},
        {"decimal", {Base::Decimal, 0, 38, 38}}, {"numeric", {Base::Numeric, 0, 38, 38}},
        {"smallmoney", {Base::SmallMoney}}, {"bigint", {Base::BigInt}}, {"varbinary", {Base::VarBinary, 8000}},
        {"varchar", {Base::VarChar, 8000}}, {"binary", {Base::Binary, 8000}}, {"char", {Base::Char, 8000}},
        {"nvarchar", {Base::NVarChar, 4000}}, {"nchar", {Base::NChar, 4000}},
    };
    return types;
}

int typeId(const SqlType &t)
{
    switch (t.base) {
    case Base::Image: return 34;
    case Base::Text: return 35;
    case Base::UniqueIdentifier: return 36;
    case Base::Date: return 40;
    case Base::Time: return 41;
    case Base::DateTime2: return 42;
    case Base::DateTimeOffset: return 43;
    case Base::TinyInt: return 48;
    case Base::SmallInt: return 52;
    case Base::Int: return 56;
    case Base::SmallDateTime: return 58;
    case Base::Real: return 59;
    case Base::Money: return 60;
    case Base::DateTime: return 61;
    case Base::Float: return 62;
    case Base::SqlVariant: return 98;
    case Base::NText: return 99;
    case Base::Bit: return 104;
    case Base::Decimal: return 106;
    case Base::Numeric: return 108;
    case Base::SmallMoney: return 122;
    case Base::BigInt: return 127;
    case Base::VarBinary: return 165;
    case Base::VarChar: return 167;
    case Base::Binary: return 173;
    case Base::Char: return 175;
    case Base::NVarChar: return 231;
    case Base::NChar: return 239;
    case Base::Null: return 56; // an untyped NULL in a view's column is an int, as SELECT INTO makes it
    }
    return 0;
}

int precision(const SqlType &t)
{
    switch (t.base) {
    case Base::Bit: return 1;
    case Base::TinyInt: return 3;
    case Base::SmallInt: return 5;
    case Base::Int: case Base::Null: return 10;
    case Base::BigInt: return 19;
    case Base::Decimal: case Base::Numeric: return t.precision;
    case Base::SmallMoney: return 10;
    case Base::Money: return 19;
    case Base::Real: return 24;
    case Base::Float: return 53;
    case Base::Date: return 10;
    case Base::Time: return timeDigits(t.scale);
    case Base::SmallDateTime: return 16;
    case Base::DateTime: return 23;
    case Base::DateTime2: return 11 + timeDigits(t.scale);
    case Base::DateTimeOffset: return 18 + timeDigits(t.scale);
    default: return 0;
    }
}

int scale(const SqlType &t)
{
    switch (t.base) {
    case Base::Decimal: case Base::Numeric: return t.scale;
    case Base::SmallMoney: case Base::Money: return 4;
    case Base::DateTime: return 3;
    case Base::Time: case Base::DateTime2: case Base::DateTimeOffset: return t.scale;
    default: return 0;
    }
}

std::optional<int> numericPrecision(const SqlType &t)
{
    if (t.isNumeric() && t.base != Base::Bit)
        return precision(t);
    return std::nullopt;
}

std::optional<int> numericPrecisionRadix(const SqlType &t)
{
    if (!numericPrecision(t))
        return std::nullopt;
    return t.isApproximate() ? 2 : 10;
}

std::optional<int> numericScale(const SqlType &t)
{
    if (!numericPrecision(t) || t.isApproximate())
        return std::nullopt;
    return scale(t);
}

std::optional<int> datetimePrecision(const SqlType &t)
{
    switch (t.base) {
    case Base::DateTime: return 3;
    case Base::SmallDateTime: case Base::Date: return 0;
    case Base::Time: case Base::DateTime2: case Base::DateTimeOffset: return t.scale;
    default: return std::nullopt;
    }
}

std::optional<int> characterLength(const SqlType &t, bool octets)
{
    switch (t.base) {
    case Base::Text: case Base::Image: return INT_MAX;
    case Base::NText: return octets ? INT_MAX - 1 : INT_MAX / 2;
    case Base::Char: case Base::VarChar: case Base::Binary: case Base::VarBinary:
        return t.length == -1 ? -1 : std::max(1, t.length);
    case Base::NChar: case Base::NVarChar:
        return t.length == -1 ? -1 : (octets ? 2 : 1) * std::max(1, t.length);
    default: return std::nullopt;
    }
}

OdbcColumn odbcColumn(const SqlType &t, bool nullable)
{
    OdbcColumn c;
    auto number = [&](int type, int length, int notNullCode, int nullCode) {
        c.dataType = c.sqlDataType = type;
        c.precision = precision(t);
        c.length = length;
        c.scale = t.isApproximate() ? std::optional<int>() : scale(t);
        c.radix = 10;
        c.ssDataType = nullable ? nullCode : notNullCode;
    };
    auto characters = [&](int type, int chars, int bytes, int code) {
        c.dataType = c.sqlDataType = type;
        c.precision = chars;
        c.length = c.octetLength = bytes;
        c.ssDataType = code;
    };
    const int n = std::max(1, t.length);
    switch (t.base) {
    case Base::Bit:
        c.dataType = c.sqlDataType = -7;
        c.precision = c.length = 1;
        c.ssDataType = 50;
        break;
    case Base::TinyInt: number(-6, 1, 48, 38); break;
    case Base::SmallInt: number(5, 2, 52, 38); break;
    case Base::Int: case Base::Null: number(4, 4, 56, 38); break;
    case Base::BigInt: number(-5, 8, 127, 38); break;
    case Base::Decimal: number(3, t.precision + 2, 55, 106); break;
    case Base::Numeric: number(2, t.precision + 2, 63, 108); break;
    case Base::Money: number(3, 21, 60, 110); break;
    case Base::SmallMoney: number(3, 12, 122, 110); break;
    case Base::Float:
        number(6, 8, 62, 109);
        c.precision = 15;
        break;
    case Base::Real:
        number(7, 4, 59, 109);
        c.precision = 7;
        break;
    case Base::DateTime: case Base::SmallDateTime:
        c.dataType = 11;
        c.sqlDataType = 9;
        c.datetimeSub = 3;
        c.precision = precision(t);
        c.length = 16;
        c.scale = scale(t);
        c.ssDataType = nullable ? 111 : (t.base == Base::DateTime ? 61 : 58);
        break;
    // ODBC 2 has no types for these: SQL Server describes them as Unicode text of their length.
    case Base::Date: case Base::Time: case Base::DateTime2: case Base::DateTimeOffset:
        characters(-9, precision(t), 2 * precision(t), 39);
        break;
    case Base::Char: characters(1, n, n, 47); break;
    case Base::VarChar: t.isMax() ? characters(12, INT_MAX, INT_MAX, 39) : characters(12, n, n, 39); break;
    case Base::Text: characters(-1, INT_MAX, INT_MAX, 35); break;
    case Base::NChar: characters(-8, n, 2 * n, 39); break;
    case Base::NVarChar: t.isMax() ? characters(-9, INT_MAX / 2, INT_MAX, 39) : characters(-9, n, 2 * n, 39); break;
    case Base::NText: characters(-10, INT_MAX / 2, INT_MAX - 1, 35); break;
    case Base::Binary: characters(-2, n, n, 45); break;
    case Base::VarBinary: t.isMax() ? characters(-3, INT_MAX, INT_MAX, 37) : characters(-3, n, n, 37); break;
    case Base::Image: characters(-4, INT_MAX, INT_MAX, 34); break;
    case Base::UniqueIdentifier:
        c.dataType = c.sqlDataType = -11;
        c.precision = 36;
        c.length = 16;
        c.ssDataType = 39;
        break;
    case Base::SqlVariant:
        c.dataType = c.sqlDataType = -150;
        c.precision = 0;
        c.length = 8000;
        c.ssDataType = 39;
        break;
    }
    return c;
}

} // namespace tsql::sysview
