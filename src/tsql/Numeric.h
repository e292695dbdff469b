#pragma once
// Numbers as SQL Server computes them: integers in their own type with overflow errors, exact
// decimals (up to 38 digits, no binary floating point), money with four places, float and real
// as IEEE doubles and singles. Result types of the arithmetic operators and of SUM/AVG follow
// SQL Server's documented rules ("Precision, scale, and length"; the operator pages; SUM, AVG).
//
// Errors are raised through the catalogue (tsql/Errors.h): 8115 for overflow, 8134 for a
// division by zero, 220 for some integer conversions, 245/8114 for text that is no number.

#include "tsql/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace tsql::num {

enum class Op { Add, Subtract, Multiply, Divide, Modulo };

// The type of `a op b` for two numeric operands (integer, exact or approximate types): the
// higher precedence wins; two decimals give the precision and scale of SQL Server's table
// (with its rule for results over 38 digits); money with money stays money. Throws 8117 for an
// operator a type does not take (e.g. % on float, in SQL Server's words).
SqlType arithmeticType(Op op, const SqlType &a, const SqlType &b);

// Integer arithmetic in `result` (tinyint, smallint, int, bigint): 8115 "Arithmetic overflow
// error converting expression to data type <result>." outside its range; 8134 on division by
// zero; division truncates toward zero, % takes the sign of the dividend.
std::int64_t integerOp(Op op, std::int64_t a, std::int64_t b, const SqlType &result);

// Exact arithmetic: both operands as decimals (money is decimal(19,4), an integer type its
// decimal equivalent) and the result rounded half away from zero to the result type's scale;
// 8115 when the result does not fit its precision. Intermediate results are exact (wider than
// 128 bits where a product or quotient needs it).
Decimal decimalOp(Op op, const Decimal &a, const Decimal &b, const SqlType &result);

// Float arithmetic; 8134 on division by zero, 8115 ("... to data type float.") on an infinite
// result; real results are rounded to single precision.
double floatOp(Op op, double a, double b, const SqlType &result);

// Conversions between numbers. `to` gives the target type; rounding half away from zero to a
// decimal's scale (truncation toward zero to an integer type, as SQL Server does); 8115 (or 220
// where SQL Server says so) when the value does not fit.
Decimal toDecimal(std::int64_t v, const SqlType &to);
Decimal toDecimal(double v, const SqlType &to);
Decimal toDecimal(const Decimal &v, const SqlType &to);
std::int64_t toInteger(const Decimal &v, const SqlType &to);
std::int64_t toInteger(double v, const SqlType &to);
std::int64_t toInteger(std::int64_t v, const SqlType &to); // range check only
double toFloat(const Decimal &v, const SqlType &to);
int compare(const Decimal &a, const Decimal &b);

// Text to number, as CAST/CONVERT and implicit conversion read it (leading and trailing blanks
// allowed; "1e3" only for float/real; an empty string is 0 for integers and float, an error
// for decimal). Throws 245 (to an integer type: "Conversion failed when converting the varchar
// value 'x' to data type int."), 8114 (to decimal/float: "Error converting data type varchar
// to numeric."), 8115 / 248 for values out of range. `fromType` names the text's own type in
// the message ("varchar" or "nvarchar").
std::int64_t parseInteger(std::string_view text, const SqlType &to, const SqlType &fromType);
Decimal parseDecimal(std::string_view text, const SqlType &to, const SqlType &fromType);
double parseFloat(std::string_view text, const SqlType &to, const SqlType &fromType);
Decimal parseMoney(std::string_view text, const SqlType &to, const SqlType &fromType); // $ and , allowed

// The type of a numeric literal as the parser meets it: 12 -> int; an integer literal past
// int's range -> numeric(p,0); 1.50 -> numeric(3,2); 1e3 -> float; $12.5 -> money. Throws 1007
// for more than 38 digits.
SqlType literalType(std::string_view literal);
Value literalValue(std::string_view literal); // the value, in literalType(literal)

// Number to text as CAST/CONVERT to a character type gives it (style 0 unless given):
// integers plainly; decimals with their scale ("5.00", "0.50"); money with two places by
// style 0, with thousands separators by style 1, four places by style 2; float/real by
// styles 0 (at most 6 significant digits, "1.23457e+008"), 1 (8 digits), 2 (16 digits),
// 3 (17 digits, round-trip). Throws 281 for a style that does not exist for the type.
std::string toText(const Value &numeric, int style = 0);

// ROUND(v, length[, function]), FLOOR, CEILING, ABS, SIGN, POWER, SQRT, SQUARE, EXP, LOG,
// LOG10, PI, RAND and STR: the result types and values of SQL Server's mathematical functions.
Value round(const Value &v, int length, bool truncate);
Value floor(const Value &v);
Value ceiling(const Value &v);
Value abs(const Value &v);
Value sign(const Value &v);
Value power(const Value &v, const Value &exponent);
std::string str(double v, int length = 10, int decimals = 0); // STR(): '*' filled when too long

// Aggregates: the type SUM and AVG return for an argument type, and the running state.
SqlType sumType(const SqlType &arg);
SqlType avgType(const SqlType &arg);
class Accumulator {
public:
    explicit Accumulator(const SqlType &arg, bool average);
    void add(const Value &v); // NULLs are skipped; 8115 when the running total leaves sumType
    Value result() const;     // NULL when nothing was added
private:
    SqlType m_arg, m_result;
    bool m_average;
    std::int64_t m_count = 0;
    Int128 m_exact = 0; // integers and decimals (scaled to the argument's scale)
    double m_float = 0;
};

} // namespace tsql::num
