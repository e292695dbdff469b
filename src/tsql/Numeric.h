#pragma once
// Numbers as SQL Server computes them: integers in their own type with overflow errors, exact
// decimals (up to 38 digits, no binary floating point), money with four places, float and real
// as IEEE doubles and singles. Result types of the arithmetic operators and of SUM/AVG follow
// SQL Server's documented rules ("Precision, scale, and length"; the operator pages; SUM, AVG).
//
// Values: integer types (bit included) are Value::integer, decimal/numeric and money/smallmoney
// are Value::decimal (money as an unscaled count of ten-thousandths), float and real are
// Value::real (a real holds a double that is exactly a single).
//
// Errors are raised through the catalogue (tsql/Errors.h): 8115 for overflow, 8134 for a
// division by zero, 220/232/244/248 for the conversions SQL Server words that way, 245/8114/235
// for text that is no number, 3623 for a function outside its domain.

#include "tsql/Error.h"
#include "tsql/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tsql::num {

enum class Op { Add, Subtract, Multiply, Divide, Modulo };

// The operator's name in SQL Server's messages: "add", "subtract", "multiply", "divide", "modulo".
const char *opName(Op op);

// The type of `a op b` for two numeric operands (a bare NULL counts as int): the higher
// precedence wins; two decimals give the precision and scale of SQL Server's table, with its
// rules for results over 38 digits; money with money stays money; tinyint with tinyint stays
// tinyint. Throws 402 for % with float or real, 8117 for bit with bit or a non-numeric operand.
SqlType arithmeticType(Op op, const SqlType &a, const SqlType &b);

// `a op b` with both operands numeric: the result in arithmeticType(op, ...), NULL when either
// side is NULL. The entry point the engine uses; the three functions below are its parts.
Value arithmetic(Op op, const Value &a, const Value &b);

// Integer arithmetic in `result` (tinyint, smallint, int, bigint): 8115 "Arithmetic overflow
// error converting expression to data type <result>." outside its range, also when the quotient
// of / or % overflows (INT64_MIN / -1, INT64_MIN % -1); 8134 on division by zero; division
// truncates toward zero, % takes the sign of the dividend.
std::int64_t integerOp(Op op, std::int64_t a, std::int64_t b, const SqlType &result);

// Exact arithmetic on two decimals (an integer as decimal(p,0), money as decimal(19,4)) into
// `result` (decimal, money or smallmoney), exact however many bits the intermediate needs.
// + - * and % round half away from zero to the result's scale; / truncates toward zero, as SQL
// Server's quotients do (7/3.0 is 2.333333). 8115 when the result does not fit; 8134 on zero.
Decimal decimalOp(Op op, const Decimal &a, const Decimal &b, const SqlType &result);

// Float arithmetic; 8134 on division by zero, 8115 ("... to data type float.") on an infinite
// result; real results are rounded to single precision (8115 "... real." past its range).
double floatOp(Op op, double a, double b, const SqlType &result);

// Unary minus in the operand's type (8115 for -(-2147483648) as int); tinyint, which holds no
// negative number, becomes int.
Value negate(const Value &v);

// Conversions between numbers (bit included: anything but zero is 1). Decimal to an integer
// truncates toward zero, money to an integer rounds, float to an integer truncates, anything to
// decimal or money rounds half away from zero (float through its 17 significant digits).
// Overflow: 220 for an integer into tinyint/smallint ("... for data type tinyint, value = 300."),
// 232 for float into an integer ("... for type int, value = 1e10 as %f."), 8115 otherwise
// ("converting <from> to data type <to>", "expression" when the target is an integer type).
// `from` names the source in the messages.
Value convert(const Value &v, const SqlType &to);
Decimal toDecimal(std::int64_t v, const SqlType &to, const SqlType &from = SqlType(Base::Int));
Decimal toDecimal(double v, const SqlType &to, const SqlType &from = SqlType(Base::Float));
Decimal toDecimal(const Decimal &v, const SqlType &to, const SqlType &from = SqlType(Base::Numeric));
std::int64_t toInteger(const Decimal &v, const SqlType &to, const SqlType &from = SqlType(Base::Numeric));
std::int64_t toInteger(double v, const SqlType &to);
std::int64_t toInteger(std::int64_t v, const SqlType &to); // range check only
double toFloat(const Decimal &v, const SqlType &to);
double toFloat(double v, const SqlType &to); // to real: rounds to single, 8115 past its range
int compare(const Decimal &a, const Decimal &b);

// Text to number, as CAST/CONVERT and implicit conversion read it. Leading and trailing blanks
// are allowed; an empty text is 0 for integers, float and money but an error for decimal; a sign
// alone is 0 for integers; "1e3" only for float/real; money takes a currency sign ($ £ € ¥)
// and commas anywhere. Errors: 245 ("Conversion failed when converting the varchar value 'x'
// to data type int."), 248 / 244 (text past int / smallint, tinyint), 8114 ("Error converting
// data type varchar to numeric."), 8115 for a decimal past its precision, 235 / 293 for money.
// `fromType` names the text's own type in the message ("varchar" or "nvarchar").
std::int64_t parseInteger(std::string_view text, const SqlType &to, const SqlType &fromType);
Decimal parseDecimal(std::string_view text, const SqlType &to, const SqlType &fromType);
double parseFloat(std::string_view text, const SqlType &to, const SqlType &fromType);
Decimal parseMoney(std::string_view text, const SqlType &to, const SqlType &fromType);
Value parse(std::string_view text, const SqlType &to, const SqlType &fromType); // any numeric `to`

// The type of a numeric literal as the parser meets it: 12 -> int; an integer literal past
// int's range -> numeric(p,0); 1.50 -> numeric(3,2); .5 -> numeric(1,1); 1e3 -> float;
// $12.5 -> money. Throws 1007 for more than 38 digits, 168 for a float past its range.
SqlType literalType(std::string_view literal);
Value literalValue(std::string_view literal); // the value, in literalType(literal)

// Number to text as CAST/CONVERT to a character type gives it: integers plainly; decimals with
// their scale and a leading zero ("0.50"); money with two places by style 0, thousands
// separators by style 1, four places by style 2 (and 126); float/real by style 0 (at most 6
// significant digits, "1.23457e+008"), 1 (8 digits, always an exponent), 2 (16 digits, always
// an exponent), 3 (17 digits, lossless); the legacy 126 is taken as 2, 128 and 129 as 3, any
// other style as 0, as SQL Server does.
std::string toText(const Value &numeric, int style = 0);

// When the text of a number is longer than the character type it is converted to, SQL Server
// gives '*' for int, smallint and tinyint into char/varchar and an error for everything else:
// tooLongGivesStar says which, textOverflow makes that error (232 for float and real, 8115 else).
bool tooLongGivesStar(const SqlType &from, const SqlType &to);
Error textOverflow(const Value &numeric, const SqlType &to);

// ROUND, FLOOR, CEILING, ABS, SIGN, POWER, SQRT, SQUARE, EXP, LOG, LOG10, PI and STR with
// the result types of SQL Server's pages. NULL in gives NULL out.
Value round(const Value &v, int length, bool truncate = false);
Value floor(const Value &v);
Value ceiling(const Value &v);
Value abs(const Value &v);
Value sign(const Value &v);
Value power(const Value &v, const Value &exponent);
double sqrt(double v);  // 3623 for a negative number
double square(double v);
double exp(double v);
double log(double v, std::optional<double> base = std::nullopt); // 3623 outside the domain
double log10(double v);
double pi();
// STR(): right-justified in `length` characters, rounded to `decimals` places (at most 16),
// fewer places when the integer part needs the room, '*' filled when even that does not fit;
// nullopt (SQL NULL) for a length outside 1..8000 or negative decimals.
std::optional<std::string> str(double v, int length = 10, int decimals = 0);

// RAND(): SQL Server's generator is not public. This one is a 64-bit xorshift* generator; a
// seed starts a new sequence (the same seed, the same sequence), as RAND(seed) does for the
// calls after it on one connection.
class RandomSequence {
public:
    RandomSequence(); // seeded from the system's entropy
    double seed(std::int64_t seed); // RAND(seed): reseeds and returns the first number
    double next();                  // RAND(): in [0, 1)
private:
    std::uint64_t m_state;
};

// Aggregates: the type SUM and AVG return for an argument type (8117 for bit and non-numeric
// types), and the running state.
SqlType sumType(const SqlType &arg);
SqlType avgType(const SqlType &arg);
class Accumulator {
public:
    Accumulator(const SqlType &arg, bool average);
    void add(const Value &v); // NULLs are skipped; 8115 when the running total leaves sumType
    void remove(const Value &v); // a row leaving a window frame
    Value result() const;     // NULL when nothing was added
    const SqlType &resultType() const { return m_result; }

private:
    SqlType m_arg, m_sum, m_result;
    bool m_average;
    std::int64_t m_count = 0;
    Int128 m_exact = 0; // integers, and decimals and money at the argument's scale
    double m_float = 0;
};

} // namespace tsql::num
