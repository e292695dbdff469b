#pragma once

#include <QString>

namespace sqlcmd {

// A column's T-SQL type read from its name ("varchar(30)", "decimal(5,2)", "nvarchar(max)"),
// and what sqlcmd makes of it on screen.
struct ColumnType {
    QString base;      // lower case: "varchar", "int"; empty when the type is unknown
    int length = 0;    // characters or bytes; -1 for (max); 0 when the type has none
    int precision = 0; // decimal and numeric
    int scale = 0;     // decimal, numeric, and the fraction digits of time, datetime2, datetimeoffset

    static ColumnType parse(const QString &typeName);

    bool isNumber() const; // right-aligned
    bool isLarge() const;  // the (max) types, text, ntext, image, xml: limited by -y
    bool isSized() const;  // char(n), varchar(n), nchar(n), nvarchar(n), binary(n), varbinary(n): limited by -Y

    // Characters the column takes: the type's display size. maxVar is -y (0: no limit), maxFixed
    // is -Y (0: no limit). -1 when only the values can tell (a large type without a limit, or
    // an unknown type).
    int displayWidth(int maxVar, int maxFixed) const;
    // The most characters of a value shown: -y or -Y for the types they limit, else -1.
    int valueLimit(int maxVar, int maxFixed) const;
};

} // namespace sqlcmd
