#pragma once
// T-SQL data types: what a column, a variable, a parameter or an expression is declared or
// inferred as. The type decides how a value is stored in SQLite (see Storage.h), how it
// converts, compares and prints; everything else in the engine asks this file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsql {

enum class Base : std::uint8_t {
    Null, // the type of a bare NULL: converts to anything
    Bit, TinyInt, SmallInt, Int, BigInt,
    Decimal, Numeric, SmallMoney, Money,
    Real, Float,
    Char, VarChar, Text, NChar, NVarChar, NText,
    Binary, VarBinary, Image,
    Date, Time, SmallDateTime, DateTime, DateTime2, DateTimeOffset,
    UniqueIdentifier, SqlVariant,
};

enum class Category : std::uint8_t { Null, Integer, Exact, Approximate, Text, Binary, DateTime, Guid, Variant };

struct SqlType {
    Base base = Base::Null;
    // Characters for char/varchar (one byte each in code page 1252), UTF-16 code units for
    // nchar/nvarchar, bytes for binary/varbinary; -1 is (max); 0 for types without a length.
    std::int32_t length = 0;
    std::uint8_t precision = 0; // decimal/numeric: 1..38
    std::uint8_t scale = 0;     // decimal/numeric: 0..precision; time/datetime2/datetimeoffset: 0..7

    constexpr SqlType() = default;
    constexpr SqlType(Base b, std::int32_t len = 0, std::uint8_t p = 0, std::uint8_t s = 0)
        : base(b), length(len), precision(p), scale(s) {}

    static SqlType decimal(int precision, int scale);
    static SqlType varchar(int length) { return {Base::VarChar, length}; }
    static SqlType nvarchar(int length) { return {Base::NVarChar, length}; }

    Category category() const;
    bool isNull() const { return base == Base::Null; }
    bool isInteger() const { return category() == Category::Integer; }
    bool isDecimal() const { return base == Base::Decimal || base == Base::Numeric; }
    bool isMoney() const { return base == Base::Money || base == Base::SmallMoney; }
    bool isExact() const { return category() == Category::Exact; } // decimal, numeric, money
    bool isApproximate() const { return category() == Category::Approximate; }
    bool isNumeric() const; // integer, exact or approximate
    bool isText() const { return category() == Category::Text; }
    bool isUnicode() const { return base == Base::NChar || base == Base::NVarChar || base == Base::NText; }
    bool isBinary() const { return category() == Category::Binary; }
    bool isDateTime() const { return category() == Category::DateTime; }
    bool isMax() const { return length == -1; }
    bool isLob() const; // text, ntext, image and the (max) types
    bool isFixedLength() const { return base == Base::Char || base == Base::NChar || base == Base::Binary; }
    bool hasTime() const;  // date-time types that carry a time of day
    bool hasDate() const;  // date-time types that carry a date

    // The name as SQL Server reports it (DATA_TYPE, TYPE_NAME): "varchar", "int", "numeric".
    std::string name() const;
    // As SQL Server writes it in a definition or a message: varchar(50), varchar(max),
    // decimal(18,2), datetime2(7), int.
    std::string display() const;
    // The declared type kept in the SQLite schema; parseDeclared reads it back. (max) is kept as
    // (-1) because SQLite's type grammar takes only numbers in parentheses.
    std::string declared() const;
    // Precision of the decimal a value of this type converts to without loss (int -> 10,
    // bigint -> 19, money -> 19 with scale 4); 0 for types that are not exact numbers.
    SqlType asDecimal() const;
    // Maximum characters of text types (8000 for varchar(max) conversions is the caller's
    // business): 0 when unlimited or not a text type.
    int maxLength() const;
    // Bytes SQL Server stores for one value (max_length of sys.columns): -1 for (max).
    int storageBytes() const;

    // A compact number for passing a type into the SQLite functions of the engine.
    std::int64_t code() const;
    static SqlType fromCode(std::int64_t code);

    bool operator==(const SqlType &o) const = default;
};

// Looks a type name up as SQL Server spells it ("varchar", "integer", "numeric", "dec",
// "character varying", ...); nullopt for an unknown name.
std::optional<Base> baseFromName(std::string_view name);
SqlType parseDeclared(std::string_view declared);

// SQL Server's data type precedence: the higher one wins when two types meet.
int precedence(Base b);
// The type two operands are converted to when they meet in a comparison, a CASE, a UNION or
// COALESCE (not arithmetic, which has its own result types): the higher precedence, with
// lengths, precisions and scales widened to hold both.
SqlType commonType(const SqlType &a, const SqlType &b);

std::string lower(std::string_view s);
std::string upper(std::string_view s);
bool iequals(std::string_view a, std::string_view b);
bool istartsWith(std::string_view s, std::string_view prefix); // ASCII case folded
// Every piece between separators, empty ones too: "a,,b" gives "a", "", "b"; "" gives one "".
std::vector<std::string> split(std::string_view s, char separator);

} // namespace tsql
