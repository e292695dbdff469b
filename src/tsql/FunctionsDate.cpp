// The date and time functions, as rows of the function table.

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Functions.h"

namespace tsql::fn {

namespace {

const SqlType kDateTime{Base::DateTime};

std::int64_t integer(const Value &v)
{
    return v.type() == Value::Type::Integer ? v.asInteger() : conv::convert(v, SqlType{Base::BigInt}).asInteger();
}

// A date argument given as text is read as datetime, as SQL Server reads it.
Value asDate(const Value &v, Runtime &rt)
{
    if (v.type() == Value::Type::DateTime)
        return v;
    return conv::convert(v, kDateTime, dt::DefaultStyle, rt.dateSettings());
}

SqlType dateArgType(const SqlType &t)
{
    return t.isDateTime() ? t : kDateTime;
}

Value now(const SqlType &t, Runtime &rt, bool utc)
{
    const DateTime d = utc ? rt.statementUtcTime() : rt.statementTime();
    return Value::dateTime(dt::normalize(d, t), t);
}

SqlType intType(const Call &) { return SqlType{Base::Int}; }

Value fromParts(const std::vector<std::int64_t> &p, const SqlType &t)
{
    DateTime d;
    d.year = static_cast<int>(p[0]);
    d.month = static_cast<int>(p[1]);
    d.day = static_cast<int>(p[2]);
    if (p.size() > 3) {
        d.hour = static_cast<int>(p[3]);
        d.minute = static_cast<int>(p[4]);
    }
    if (p.size() > 5)
        d.second = static_cast<int>(p[5]);
    if (p.size() > 6)
        d.millisecond = static_cast<int>(p[6]);
    if (!dt::isValid(d, t) || d.millisecond > 999 || d.second > 59 || d.minute > 59 || d.hour > 23)
        throw err::make(289, t.name());
    return Value::dateTime(dt::normalize(d, t), t);
}

} // namespace

const std::vector<Definition> &dateFunctions()
{
    static const std::vector<Definition> rows = {
        {"getdate", 0, 0, "", [](const Call &) { return kDateTime; },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return now(c.result, rt, false); }, SessionBound},
        {"current_timestamp", 0, 0, "", [](const Call &) { return kDateTime; },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return now(c.result, rt, false); }, SessionBound},
        {"getutcdate", 0, 0, "", [](const Call &) { return kDateTime; },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return now(c.result, rt, true); }, SessionBound},
        {"sysdatetime", 0, 0, "", [](const Call &) { return SqlType{Base::DateTime2, 0, 0, 7}; },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return now(c.result, rt, false); }, SessionBound},
        {"sysutcdatetime", 0, 0, "", [](const Call &) { return SqlType{Base::DateTime2, 0, 0, 7}; },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return now(c.result, rt, true); }, SessionBound},
        {"sysdatetimeoffset", 0, 0, "", [](const Call &) { return SqlType{Base::DateTimeOffset, 0, 0, 7}; },
         [](const std::vector<Value> &, const Call &c, Runtime &rt) { return now(c.result, rt, false); }, SessionBound},
        {"year", 1, 1, "d", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value d = asDate(a[0], rt);
             return Value::integer(dt::part(dt::Part::Year, d.asDateTime(), d.sqlType(), rt.dateSettings()), c.result);
         }},
        {"month", 1, 1, "d", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value d = asDate(a[0], rt);
             return Value::integer(dt::part(dt::Part::Month, d.asDateTime(), d.sqlType(), rt.dateSettings()), c.result);
         }},
        {"day", 1, 1, "d", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value d = asDate(a[0], rt);
             return Value::integer(dt::part(dt::Part::Day, d.asDateTime(), d.sqlType(), rt.dateSettings()), c.result);
         }},
        {"dateadd", 2, 2, "ad",
         [](const Call &c) { return dateArgType(c.args[1]); },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value d = asDate(a[1], rt);
             const Value n = conv::convert(a[0], SqlType{Base::Int});
             return Value::dateTime(dt::add(dt::requirePart(c.keyword), n.asInteger(), d.asDateTime(), c.result), c.result);
         }},
        {"datediff", 2, 2, "tt", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value x = asDate(a[0], rt), y = asDate(a[1], rt);
             const std::int64_t n = dt::diff(dt::requirePart(c.keyword), x.asDateTime(), y.asDateTime(), x.sqlType(),
                                             y.sqlType(), rt.dateSettings());
             if (n > 2147483647 || n < -2147483647 - 1)
                 throw err::make(535, "datediff");
             return Value::integer(n, c.result);
         }},
        {"datediff_big", 2, 2, "tt", [](const Call &) { return SqlType{Base::BigInt}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value x = asDate(a[0], rt), y = asDate(a[1], rt);
             return Value::integer(dt::diff(dt::requirePart(c.keyword), x.asDateTime(), y.asDateTime(), x.sqlType(),
                                            y.sqlType(), rt.dateSettings(), true),
                                   c.result);
         }},
        {"datepart", 1, 1, "t", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value d = asDate(a[0], rt);
             return Value::integer(dt::part(dt::requirePart(c.keyword), d.asDateTime(), d.sqlType(), rt.dateSettings()),
                                   c.result);
         }},
        {"datename", 1, 1, "t", [](const Call &) { return SqlType::nvarchar(30); },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value d = asDate(a[0], rt);
             return Value::text(dt::name(dt::requirePart(c.keyword), d.asDateTime(), d.sqlType(), rt.dateSettings()),
                                c.result);
         }},
        {"eomonth", 1, 2, "db", [](const Call &) { return SqlType{Base::Date}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const Value d = asDate(a[0], rt);
             const std::int64_t months = a.size() > 1 ? integer(a[1]) : 0;
             return Value::dateTime(dt::endOfMonth(d.asDateTime(), months), c.result);
         }},
        {"isdate", 1, 1, "s", intType,
         [](const std::vector<Value> &a, const Call &c, Runtime &rt) {
             const bool ok = !a[0].isNull() && dt::tryParse(a[0].asText(), kDateTime, 0, rt.dateSettings()).has_value();
             return Value::integer(ok ? 1 : 0, c.result);
         },
         0},
        {"datefromparts", 3, 3, "bbb", [](const Call &) { return SqlType{Base::Date}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             return fromParts({integer(a[0]), integer(a[1]), integer(a[2])}, c.result);
         }},
        {"datetimefromparts", 7, 7, "bbbbbbb", [](const Call &) { return kDateTime; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             std::vector<std::int64_t> p;
             for (const Value &v : a)
                 p.push_back(integer(v));
             return fromParts(p, c.result);
         }},
        {"smalldatetimefromparts", 5, 5, "bbbbb", [](const Call &) { return SqlType{Base::SmallDateTime}; },
         [](const std::vector<Value> &a, const Call &c, Runtime &) {
             std::vector<std::int64_t> p;
             for (const Value &v : a)
                 p.push_back(integer(v));
             return fromParts(p, c.result);
         }},
    };
    return rows;
}

} // namespace tsql::fn
