// The mathematical functions, as rows of the function table. Their result types come from the
// numeric core itself (a NULL of the argument's type in, the result's type out), so the type
// the compiler gives and the value the engine computes cannot disagree.

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Functions.h"
#include "tsql/Numeric.h"

#include <cmath>
#include <mutex>

namespace tsql::fn {

namespace {

const SqlType kFloat{Base::Float};

SqlType floatType(const Call &) { return kFloat; }

double real(const Value &v)
{
    return v.type() == Value::Type::Float ? v.asFloat() : conv::convert(v, kFloat).asFloat();
}

Value floatOf(double v, const Call &c)
{
    if (!std::isfinite(v))
        throw err::make(3623);
    return Value::real(v, c.result);
}

template <double (*F)(double)>
Value unaryFloat(const std::vector<Value> &a, const Call &c, Runtime &)
{
    return floatOf(F(real(a[0])), c);
}

double degrees(double v) { return v * 180.0 / M_PI; }
double radians(double v) { return v * M_PI / 180.0; }
double cot(double v) { return 1.0 / std::tan(v); }
double checkedAsin(double v)
{
    if (v < -1 || v > 1)
        throw err::make(3623);
    return std::asin(v);
}
double checkedAcos(double v)
{
    if (v < -1 || v > 1)
        throw err::make(3623);
    return std::acos(v);
}

num::RandomSequence &randoms()
{
    static num::RandomSequence r;
    return r;
}
std::mutex randomsLock;

} // namespace

const std::vector<Definition> &mathFunctions()
{
    static const std::vector<Definition> rows = {
        {"abs", 1, 1, "n", [](const Call &c) { return num::abs(Value::null(c.args[0])).sqlType(); },
         [](const std::vector<Value> &a, const Call &, Runtime &) { return num::abs(a[0]); }},
        {"sign", 1, 1, "n", [](const Call &c) { return num::sign(Value::null(c.args[0])).sqlType(); },
         [](const std::vector<Value> &a, const Call &, Runtime &) { return num::sign(a[0]); }},
        {"floor", 1, 1, "n", [](const Call &c) { return num::floor(Value::null(c.args[0])).sqlType(); },
         [](const std::vector<Value> &a, const Call &, Runtime &) { return num::floor(a[0]); }},
        {"ceiling", 1, 1, "n", [](const Call &c) { return num::ceiling(Value::null(c.args[0])).sqlType(); },
         [](const std::vector<Value> &a, const Call &, Runtime &) { return num::ceiling(a[0]); }},
        {"round", 2, 3, "nii", [](const Call &c) { return num::round(Value::null(c.args[0]), 0).sqlType(); },
         [](const std::vector<Value> &a, const Call &, Runtime &) {
             const bool truncate = a.size() > 2 && !a[2].isNull() && conv::convert(a[2], SqlType{Base::Int}).asInteger() != 0;
             return num::round(a[0], static_cast<int>(conv::convert(a[1], SqlType{Base::Int}).asInteger()), truncate);
         }},
        {"power", 2, 2, "nn", [](const Call &c) { return num::power(Value::null(c.args[0]), Value::null(c.args[1])).sqlType(); },
         [](const std::vector<Value> &a, const Call &, Runtime &) { return num::power(a[0], a[1]); }},
        {"sqrt", 1, 1, "f", floatType, [](const std::vector<Value> &a, const Call &c, Runtime &) { return floatOf(num::sqrt(real(a[0])), c); }},
        {"square", 1, 1, "f", floatType, [](const std::vector<Value> &a, const Call &c, Runtime &) { return floatOf(num::square(real(a[0])), c); }},
        {"exp", 1, 1, "f", floatType, [](const std::vector<Value> &a, const Call &c, Runtime &) { return floatOf(num::exp(real(a[0])), c); }},
        {"log", 1, 2, "ff", floatType,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             std::optional<double> base;
             if (a.size() > 1)
                 base = real(a[1]);
             return floatOf(num::log(real(a[0]), base), c);
         }},
        {"log10", 1, 1, "f", floatType, [](const std::vector<Value> &a, const Call &c, Runtime &) { return floatOf(num::log10(real(a[0])), c); }},
        {"pi", 0, 0, "", floatType, [](const std::vector<Value> &, const Call &c, Runtime &) { return Value::real(num::pi(), c.result); }},
        {"sin", 1, 1, "f", floatType, unaryFloat<static_cast<double (*)(double)>(std::sin)>},
        {"cos", 1, 1, "f", floatType, unaryFloat<static_cast<double (*)(double)>(std::cos)>},
        {"tan", 1, 1, "f", floatType, unaryFloat<static_cast<double (*)(double)>(std::tan)>},
        {"cot", 1, 1, "f", floatType, unaryFloat<cot>},
        {"asin", 1, 1, "f", floatType, unaryFloat<checkedAsin>},
        {"acos", 1, 1, "f", floatType, unaryFloat<checkedAcos>},
        {"atan", 1, 1, "f", floatType, unaryFloat<static_cast<double (*)(double)>(std::atan)>},
        {"atn2", 2, 2, "ff", floatType,
         [](const std::vector<Value> &a, const Call &c, Runtime &) { return floatOf(std::atan2(real(a[0]), real(a[1])), c); }},
        {"degrees", 1, 1, "n", [](const Call &c) { return c.args[0].isInteger() ? c.args[0] : kFloat; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return conv::convert(Value::real(degrees(real(a[0]))), c.result);
         }},
        {"radians", 1, 1, "n", [](const Call &c) { return c.args[0].isInteger() ? c.args[0] : kFloat; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return conv::convert(Value::real(radians(real(a[0]))), c.result);
         }},
        {"rand", 0, 1, "b", floatType,
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             std::lock_guard<std::mutex> hold(randomsLock);
             if (!a.empty() && !a[0].isNull())
                 return Value::real(randoms().seed(a[0].asInteger()), c.result);
             return Value::real(randoms().next(), c.result);
         },
         NonDeterministic},
        {"str", 1, 3, "fii", [](const Call &) { return SqlType::varchar(8000); },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             const int length = a.size() > 1 ? static_cast<int>(conv::convert(a[1], SqlType{Base::Int}).asInteger()) : 10;
             const int decimals = a.size() > 2 ? static_cast<int>(conv::convert(a[2], SqlType{Base::Int}).asInteger()) : 0;
             const auto s = num::str(real(a[0]), length, decimals);
             return s ? Value::text(*s, SqlType::varchar(length)) : Value::null(c.result);
         }},
        {"isnumeric", 1, 1, "a", [](const Call &) { return SqlType{Base::Int}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             if (a[0].sqlType().isNumeric())
                 return Value::integer(1, c.result);
             if (a[0].type() != Value::Type::Text)
                 return Value::integer(0, c.result);
             // ISNUMERIC accepts what converts to any numeric type, money's forms included.
             for (const SqlType t : {SqlType{Base::Int}, SqlType{Base::Money}, SqlType::decimal(38, 10), kFloat}) {
                 try {
                     conv::convert(a[0], t);
                     return Value::integer(1, c.result);
                 } catch (const Error &) {
                 }
             }
             return Value::integer(0, c.result);
         },
         0},
    };
    return rows;
}

} // namespace tsql::fn
