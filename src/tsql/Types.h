#pragma once
// T-SQL data types as the engine declares, stores and converts them. Storage: integers as
// INTEGER, float/decimal/money as REAL, text as UTF-8 TEXT, date-times as TEXT
// 'YYYY-MM-DD HH:MM:SS.fff' so that text order is time order.

#include "tsql/Session.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tsql {

enum class Base {
    Unknown, // the type of NULL, or of something the engine does not type
    Bit, TinyInt, SmallInt, Int, BigInt, Decimal, Money, Float, Real,
    Char, VarChar, NChar, NVarChar, Text, NText,
    DateTime, SmallDateTime, Date,
};

enum class Category { Unknown, Integer, Number, Text, DateTime };

struct SqlType {
    Base base = Base::Unknown;
    int length = 0;    // characters for text types; -1 is max; 0 means not given
    int precision = 0; // decimal/numeric
    int scale = 0;

    Category category() const;
    bool isText() const { return category() == Category::Text; }
    bool isDateTime() const { return category() == Category::DateTime; }
    bool isNumeric() const { return category() == Category::Integer || category() == Category::Number; }
    // The name as SQL Server reports it in DATA_TYPE ("varchar", "int", ...).
    std::string name() const;
    // The declared type stored in the SQLite schema; parseDeclared reads it back.
    std::string declared() const;
    // How SQL Server would print it in a definition: varchar(50), varchar(max), decimal(18,2).
    std::string display() const;
    int maxLength() const; // text length limit; 0 when unlimited
};

// Looks a type name up ("varchar", "integer", "numeric", ...); nullopt for an unknown name.
std::optional<Base> baseFromName(std::string_view name);
SqlType parseDeclared(std::string_view declared);

// Date-time text forms.
std::string formatStorage(const DateTime &dt);            // 'YYYY-MM-DD HH:MM:SS.fff'
std::optional<DateTime> parseStorage(std::string_view text); // exactly the storage form
// Text to date-time as SQL Server reads a string literal: mm/dd/yyyy, yyyy-mm-dd, yyyymmdd,
// with an optional time of day. Throws 241 for a text that is no date, 242 when out of range.
DateTime textToDateTime(std::string_view text, int style = 0);
std::string formatStyle(const DateTime &dt, int style);    // CONVERT(varchar, dt, style)
DateTime addDays(const DateTime &dt, std::int64_t days);
DateTime now();

// Text with the integer / float reading of SQL Server; nullopt when the text is no number.
std::optional<std::int64_t> parseInteger(std::string_view text, bool &overflow);
std::optional<double> parseFloat(std::string_view text);
std::string formatFloat(double v);

// Number of characters (code points) in UTF-8 text, and its first n characters.
std::size_t utf8Length(std::string_view s);
std::string utf8Left(std::string_view s, std::size_t n);
std::string rtrimBlanks(std::string_view s);

std::string lower(std::string_view s);
bool iequals(std::string_view a, std::string_view b);

} // namespace tsql
