#include "ColumnType.h"

#include <QRegularExpression>

#include <algorithm>

namespace sqlcmd {

namespace {

bool oneOf(const QString &s, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char *n) { return s == QLatin1String(n); });
}

// Characters of a time of day with `digits` fraction digits: hh:mm:ss[.fffffff].
int timeWidth(int digits)
{
    return 8 + (digits > 0 ? digits + 1 : 0);
}

} // namespace

ColumnType ColumnType::parse(const QString &typeName)
{
    static const QRegularExpression shape(
        QStringLiteral(R"(^\s*([A-Za-z_ ]*?)\s*(?:\(\s*(max|-?\d+)\s*(?:,\s*(\d+)\s*)?\))?\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    ColumnType t;
    const QRegularExpressionMatch m = shape.match(typeName);
    if (!m.hasMatch())
        return t;
    t.base = m.captured(1).toLower();
    const QString first = m.captured(2).toLower();
    const bool twoNumbers = !m.captured(3).isEmpty();
    if (t.base == QLatin1String("decimal") || t.base == QLatin1String("numeric")) {
        t.precision = first.isEmpty() ? 18 : first.toInt();
        t.scale = twoNumbers ? m.captured(3).toInt() : 0;
    } else if (oneOf(t.base, {"time", "datetime2", "datetimeoffset"})) {
        // Without a scale SQL Server means the largest, 7.
        t.scale = first.isEmpty() ? 7 : first.toInt();
    } else if (first == QLatin1String("max")) {
        t.length = -1;
    } else if (!first.isEmpty()) {
        t.length = first.toInt();
    } else if (oneOf(t.base, {"char", "varchar", "nchar", "nvarchar", "binary", "varbinary"})) {
        t.length = 1; // char without a length is char(1)
    }
    return t;
}

bool ColumnType::isNumber() const
{
    return oneOf(base, {"bit", "tinyint", "smallint", "int", "bigint", "decimal", "numeric", "money",
                        "smallmoney", "float", "real"});
}

bool ColumnType::isLarge() const
{
    return length == -1 || oneOf(base, {"text", "ntext", "image", "xml"});
}

bool ColumnType::isSized() const
{
    return length > 0 && oneOf(base, {"char", "varchar", "nchar", "nvarchar", "binary", "varbinary"});
}

int ColumnType::displayWidth(int maxVar, int maxFixed) const
{
    // The display sizes ODBC gives SQL Server's types, which sqlcmd pads columns to.
    struct Fixed {
        const char *name;
        int width;
    };
    static const Fixed fixed[] = {
        {"bit", 1},       {"tinyint", 3},         {"smallint", 6},   {"int", 11},
        {"bigint", 20},   {"real", 14},           {"float", 24},     {"money", 21},
        {"smallmoney", 12}, {"date", 10},         {"smalldatetime", 19}, {"datetime", 23},
        {"uniqueidentifier", 36}, {"sql_variant", 8000},
    };
    for (const Fixed &f : fixed) {
        if (base == QLatin1String(f.name))
            return maxFixed > 0 && base == QLatin1String("sql_variant") ? std::min(f.width, maxFixed) : f.width;
    }
    if (base == QLatin1String("decimal") || base == QLatin1String("numeric"))
        return precision + 2; // a sign and a decimal point
    if (base == QLatin1String("time"))
        return timeWidth(scale);
    if (base == QLatin1String("datetime2"))
        return 11 + timeWidth(scale);
    if (base == QLatin1String("datetimeoffset"))
        return 11 + timeWidth(scale) + 7; // " +hh:mm"
    if (isLarge())
        return maxVar > 0 ? maxVar : -1;
    if (isSized()) {
        // Binary shows as 0x and two hex digits a byte.
        const int width = base.endsWith(QLatin1String("binary")) ? 2 * length + 2 : length;
        return maxFixed > 0 ? std::min(width, maxFixed) : width;
    }
    return -1;
}

int ColumnType::valueLimit(int maxVar, int maxFixed) const
{
    if (isLarge())
        return maxVar > 0 ? maxVar : -1;
    if (isSized() || base == QLatin1String("sql_variant"))
        return maxFixed > 0 ? maxFixed : -1;
    return -1;
}

} // namespace sqlcmd
