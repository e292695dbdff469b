#include "tsql/NumericDetail.h"

#include <charconv>
#include <cmath>

namespace tsql::num {

using namespace detail;

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Only blanks around a number are skipped: tabs and line breaks make the text no number.
std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// The currency signs a money text or literal may start with, as UTF-8.
std::size_t currencyLength(std::string_view s)
{
    for (std::string_view sign : {"$", "\xC2\xA3", "\xE2\x82\xAC", "\xC2\xA5"})
        if (s.substr(0, sign.size()) == sign)
            return sign.size();
    return 0;
}

// Digits with at most one decimal point, at least one digit; commas skipped where allowed.
// The number keeps at most `places` digits after the point plus one to round by.
struct Digits {
    Exact value;
    int integerDigits = 0; // significant ones, leading zeros not counted
    bool ok = false;
};

Digits readDigits(std::string_view s, int places, bool commas)
{
    Digits d;
    bool point = false, any = false;
    int kept = 0;
    for (char c : s) {
        if (c == ',' && commas)
            continue;
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (!isDigit(c))
            return d;
        any = true;
        if (!point) {
            if (d.integerDigits > 0 || c != '0')
                ++d.integerDigits;
            if (d.integerDigits > 40)
                continue; // too long for any type; counted, not kept
        } else if (kept++ > places) {
            continue;
        } else {
            ++d.value.scale;
        }
        d.value.magnitude = d.value.magnitude * WideInt(10);
        d.value.magnitude += WideInt(static_cast<unsigned>(c - '0'));
    }
    d.ok = any;
    return d;
}

// For a number from_chars found outside a double's range: whether it is too large rather than
// too small (which is zero).
bool pastDoubleRange(std::string_view s)
{
    long long leading = 0, zerosAfterPoint = 0, exponent = 0;
    bool point = false, significant = false;
    std::size_t i = 0;
    for (; i < s.size() && s[i] != 'e' && s[i] != 'E'; ++i) {
        if (s[i] == '.')
            point = true;
        else if (s[i] >= '1' && s[i] <= '9')
            significant = true;
        if (isDigit(s[i]) && !point && significant)
            ++leading;
        else if (s[i] == '0' && point && !significant)
            ++zerosAfterPoint;
    }
    if (i + 1 < s.size()) {
        const bool negative = s[i + 1] == '-';
        for (std::size_t j = i + 1; j < s.size(); ++j)
            if (isDigit(s[j]) && exponent < 100000)
                exponent = exponent * 10 + (s[j] - '0');
        if (negative)
            exponent = -exponent;
    }
    return (leading > 0 ? leading - 1 : -(zerosAfterPoint + 1)) + exponent > 0;
}

Exact signedDigits(Digits d, bool negative)
{
    d.value.negative = negative && !d.value.magnitude.isZero();
    return d.value;
}

} // namespace

std::int64_t parseInteger(std::string_view text, const SqlType &to, const SqlType &fromType)
{
    std::string_view s = trimBlanks(text);
    if (to.base == Base::Bit && (iequals(s, "true") || iequals(s, "false")))
        return iequals(s, "true") ? 1 : 0;
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    Int128 v = 0;
    for (char c : s) {
        if (!isDigit(c))
            throw err::make(245, fromType.name(), text, to.name());
        if (v < Int128{1} << 80)
            v = v * 10 + (c - '0');
    }
    if (negative)
        v = -v;
    if (to.base == Base::Bit)
        return v != 0 ? 1 : 0;
    if (v >= minOf(to.base) && v <= maxOf(to.base))
        return static_cast<std::int64_t>(v);
    switch (to.base) {
    case Base::TinyInt: throw err::make(244, fromType.name(), text, "INT1");
    case Base::SmallInt: throw err::make(244, fromType.name(), text, "INT2");
    case Base::Int: throw err::make(248, fromType.name(), text, "int");
    default: throw err::make(8114, fromType.name(), to.name());
    }
}

Decimal parseDecimal(std::string_view text, const SqlType &to, const SqlType &fromType)
{
    std::string_view s = trimBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    const Digits d = readDigits(s, to.scale, false);
    if (!d.ok)
        throw err::make(8114, fromType.name(), messageName(to));
    if (d.integerDigits > 38)
        throw overflow(fromType.name(), to);
    return fit(rescale(signedDigits(d, negative), to.scale), to, fromType.name());
}

double parseFloat(std::string_view text, const SqlType &to, const SqlType &fromType)
{
    std::string_view s = trimBlanks(text);
    if (s.empty())
        return 0;
    const auto fail = [&] { return err::make(8114, fromType.name(), to.name()); };
    // The grammar checked here, because from_chars also reads "inf", "nan" and hex floats.
    std::size_t i = s.front() == '+' || s.front() == '-' ? 1 : 0;
    bool digit = false;
    while (i < s.size() && isDigit(s[i]))
        digit = true, ++i;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && isDigit(s[i]); ++i)
            digit = true;
    if (!digit)
        throw fail();
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j == s.size())
            throw fail();
        for (i = j; i < s.size(); ++i)
            if (!isDigit(s[i]))
                throw fail();
    }
    if (i != s.size())
        throw fail();
    double v = 0;
    const char *begin = s.data() + (s.front() == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(begin, s.data() + s.size(), v);
    if (ec == std::errc::result_out_of_range) {
        // Too small for a double is zero; too large is no float at all.
        if (!pastDoubleRange(s))
            return 0;
        throw fail();
    }
    if (end != s.data() + s.size())
        throw fail();
    if (to.base == Base::Real) {
        const float f = static_cast<float>(v);
        if (std::isinf(f))
            throw overflow(fromType.name(), to);
        return f;
    }
    return v;
}

Decimal parseMoney(std::string_view text, const SqlType &to, const SqlType &fromType)
{
    std::string_view s = trimBlanks(text);
    if (s.empty())
        return fit(Exact{WideInt(), false, 4}, to, fromType.name());
    const auto fail = [&] { return err::make(to.base == Base::SmallMoney ? 293 : 235); };
    bool negative = false, sign = false;
    const auto readSign = [&] {
        if (!sign && !s.empty() && (s.front() == '+' || s.front() == '-')) {
            negative = s.front() == '-';
            sign = true;
            s.remove_prefix(1);
        }
    };
    // "-$45.56", "$-23" and "$ 1,000.00" are all money.
    readSign();
    if (const std::size_t n = currencyLength(s)) {
        s.remove_prefix(n);
        s = trimBlanks(s);
        readSign();
    }
    const Digits d = readDigits(s, 4, true);
    if (!d.ok)
        throw fail();
    if (d.integerDigits > 38)
        throw overflow(fromType.name(), to);
    return fit(rescale(signedDigits(d, negative), 4), to, fromType.name());
}

Value parse(std::string_view text, const SqlType &to, const SqlType &fromType)
{
    switch (to.category()) {
    case Category::Integer: return integerValue(parseInteger(text, to, fromType), to);
    case Category::Approximate: return floatValue(parseFloat(text, to, fromType), to);
    default:
        if (to.isMoney())
            return exactValue(parseMoney(text, to, fromType), to);
        return exactValue(parseDecimal(text, to, fromType), to);
    }
}

SqlType literalType(std::string_view literal)
{
    if (currencyLength(literal) > 0)
        return SqlType(Base::Money);
    if (literal.find_first_of("eE") != std::string_view::npos)
        return SqlType(Base::Float);
    const auto point = literal.find('.');
    std::string_view integer = literal.substr(0, point);
    while (!integer.empty() && integer.front() == '0')
        integer.remove_prefix(1);
    const int scale = point == std::string_view::npos ? 0 : static_cast<int>(literal.size() - point - 1);
    const int precision = std::max(1, static_cast<int>(integer.size()) + scale);
    if (precision > 38)
        throw err::make(1007, literal);
    if (point == std::string_view::npos && (integer.size() < 10 || (integer.size() == 10 && integer <= "2147483647")))
        return SqlType(Base::Int);
    return SqlType(Base::Numeric, 0, static_cast<std::uint8_t>(precision), static_cast<std::uint8_t>(scale));
}

Value literalValue(std::string_view literal)
{
    const SqlType type = literalType(literal);
    const SqlType varchar = SqlType::varchar(static_cast<int>(literal.size()));
    switch (type.base) {
    case Base::Int: return integerValue(parseInteger(literal, type, varchar), type);
    case Base::Float: {
        double v = 0;
        const auto [end, ec] = std::from_chars(literal.data(), literal.data() + literal.size(), v);
        if (ec == std::errc::result_out_of_range && pastDoubleRange(literal))
            throw err::make(168, literal);
        if (end != literal.data() + literal.size())
            throw err::make(102, literal);
        return floatValue(ec == std::errc::result_out_of_range ? 0.0 : v, type);
    }
    case Base::Money: return exactValue(parseMoney(literal, type, varchar), type);
    default: return exactValue(parseDecimal(literal, type, varchar), type);
    }
}

std::string toText(const Value &v, int style)
{
    if (v.isNull())
        return {};
    const SqlType &t = v.sqlType();
    switch (v.type()) {
    case Value::Type::Integer:
        return std::to_string(v.asInteger());
    case Value::Type::Decimal: {
        const Decimal d = decimalOf(v);
        if (!t.isMoney())
            return d.toString();
        if (style == 2 || style == 126)
            return d.toString();
        Decimal cents = fit(rescale(exactOf(d), 2), SqlType::decimal(38, 2), "money");
        std::string s = cents.toString();
        if (style == 1) {
            const std::size_t digitsStart = s.front() == '-' ? 1 : 0;
            for (auto i = static_cast<std::ptrdiff_t>(s.find('.')) - 3; i > static_cast<std::ptrdiff_t>(digitsStart); i -= 3)
                s.insert(static_cast<std::size_t>(i), 1, ',');
        }
        return s;
    }
    case Value::Type::Float: {
        const double d = v.asFloat();
        switch (style) {
        case 1: return formatDouble(d, 'e', 7);
        case 2: case 126: return formatDouble(d, 'e', 15);
        case 3: case 128: case 129: return formatDouble(d, 'g', 17);
        default: return formatDouble(d, 'g', 6);
        }
    }
    default:
        throw err::internal("toText was given a value that is no number");
    }
}

bool tooLongGivesStar(const SqlType &from, const SqlType &to)
{
    const bool smallInteger = from.base == Base::TinyInt || from.base == Base::SmallInt || from.base == Base::Int;
    return smallInteger && (to.base == Base::Char || to.base == Base::VarChar);
}

Error textOverflow(const Value &v, const SqlType &to)
{
    if (v.type() == Value::Type::Float)
        return err::make(232, to.name(), formatDouble(v.asFloat(), 'f', 6));
    return overflow(messageName(v.sqlType()), to);
}

} // namespace tsql::num
