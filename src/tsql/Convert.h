#pragma once
// Conversions between T-SQL types, as CAST, CONVERT and SQL Server's implicit conversions make
// them: which are allowed (the data type conversion chart), and the value each gives, with
// SQL Server's errors.

#include "tsql/DateTime.h"
#include "tsql/Value.h"

namespace tsql::conv {

enum class Allowed { Implicit, Explicit, Never };
Allowed allowed(const SqlType &from, const SqlType &to);
// Throws 529 ("Explicit conversion from data type x to y is not allowed.") or, for an implicit
// conversion, 206 ("Operand type clash: x is incompatible with y") / 257.
void check(const SqlType &from, const SqlType &to, bool explicitly);

// Converts v to type `to`. `style` is CONVERT's third argument, dt::DefaultStyle without one
// (CAST: datetime2 prints "2020-01-01 00:00:00.0000000", not style 0's form). Text longer
// than a text target is cut (CAST's rule; storing into a column checks first); a number too
// long for a char target gives '*' or 8115 as SQL Server's "truncating and rounding" table
// says.
Value convert(const Value &v, const SqlType &to, int style = dt::DefaultStyle, const dt::Settings &settings = {});
// TRY_CAST / TRY_CONVERT: NULL instead of a conversion error (a conversion that is never
// allowed still raises 529).
Value tryConvert(const Value &v, const SqlType &to, int style = dt::DefaultStyle, const dt::Settings &settings = {});

// The text of a value of any type as CAST(v AS nvarchar(max)) gives it.
std::string toText(const Value &v);

// A value stored into a column of type `to`: as convert(), but text too long for the column is
// an error (2628, naming the table and column) unless the rest is blanks, and char columns
// are padded.
Value forColumn(const Value &v, const SqlType &to, const std::string &table, const std::string &column,
                const dt::Settings &settings = {});

// The length a text type has in SQL Server's terms: characters for varchar (one byte each in
// code page 1252), UTF-16 code units for nvarchar.
std::size_t lengthIn(const std::string &utf8, const SqlType &t);

} // namespace tsql::conv
