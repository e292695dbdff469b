#pragma once
// What the numeric files share and nothing else needs: exact numbers as a sign and a 512-bit
// magnitude, rounding, the ranges of the integer and money types, and the overflow error in
// SQL Server's words.

#include "tsql/Errors.h"
#include "tsql/Numeric.h"
#include "tsql/WideInt.h"

#include <string>
#include <string_view>

namespace tsql::num::detail {

// (negative ? -1 : 1) * magnitude / 10^scale.
struct Exact {
    WideInt magnitude;
    bool negative = false;
    int scale = 0;
};

Exact exactOf(const Decimal &d);
Exact exactOf(std::int64_t v);
// A double through its 17 significant digits (what SQL Server takes a float to say in decimal,
// without the binary tail); |v| < 1e39.
Exact exactOfDouble(double v);
// To `scale`: more places are exact; fewer round half away from zero, or truncate toward zero.
Exact rescale(const Exact &e, int scale, bool truncate = false);
WideInt divide(const WideInt &n, const WideInt &d, bool truncate);
Exact add(const Exact &a, const Exact &b); // same scale
// "-12.340", "0.5", "7": the digits with the scale's places and a leading zero.
std::string fixedText(const Exact &e);
double toDouble(const Exact &e); // the nearest double

// Decimal, numeric, money or smallmoney: the scale a value of the type is kept at, and whether
// the exact number (already at that scale) fits the type.
int scaleOf(const SqlType &t);
bool fits(const Exact &e, const SqlType &to);
// The exact number as a value of `to`; 8115 "Arithmetic overflow error converting <source> to
// data type <to>." when it does not fit.
Decimal fit(const Exact &e, const SqlType &to, std::string_view source);

// The name a type has in overflow messages: decimal is "numeric" there.
std::string messageName(const SqlType &t);
Error overflow(std::string_view source, const SqlType &to);

// Ranges of the integer types (bit: 0..1).
std::int64_t minOf(Base b);
std::int64_t maxOf(Base b);

// A numeric value read as an exact number or a double; typed values made back.
Decimal decimalOf(const Value &v);
double doubleOf(const Value &v);
Value integerValue(std::int64_t v, const SqlType &t);
Value exactValue(const Decimal &d, const SqlType &t);
Value floatValue(double v, const SqlType &t);

// printf's %.*e, %.*f or %.*g in the C locale, with the three-digit exponent SQL Server writes
// ("1.23457e+008").
std::string formatDouble(double v, char conversion, int precision);

} // namespace tsql::num::detail
