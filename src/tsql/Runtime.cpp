#include "tsql/Runtime.h"

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Interrupt.h"
#include "tsql/Numeric.h"
#include "tsql/Storage.h"
#include "tsql/Text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace tsql {

const std::string kAfterEverything = "\xF4\x8F\xBF\xBF\xF4\x8F\xBF\xBF";

namespace {

RuntimeHost &host(sqlite3_context *ctx)
{
    return *static_cast<RuntimeHost *>(sqlite3_user_data(ctx));
}

// Runs a function body; whatever it throws becomes the statement's error, never an exception
// through SQLite.
template <typename F>
void guarded(sqlite3_context *ctx, F &&f)
{
    try {
        const interrupt::Scope scope(
            [](const void *h) { return static_cast<const RuntimeHost *>(h)->cancelRequested(); }, &host(ctx));
        f();
    } catch (const Error &e) {
        host(ctx).pending().set(e);
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (const std::bad_alloc &) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception &e) {
        host(ctx).pending().set(err::internal(e.what()));
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        host(ctx).pending().set(err::internal("an unknown failure"));
        sqlite3_result_error(ctx, "tsql", -1);
    }
}

std::string_view textOf(sqlite3_value *v)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

SqlType typeArg(sqlite3_value *v)
{
    return SqlType::fromCode(sqlite3_value_int64(v));
}

void resultText(sqlite3_context *ctx, const std::string &s)
{
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void checkSize(sqlite3_context *ctx, const Value &v)
{
    if ((v.type() == Value::Type::Text || v.type() == Value::Type::Binary) && v.asText().size() > host(ctx).valueLimit())
        throw err::make(7119, std::to_string(host(ctx).valueLimit()));
}

} // namespace

int collationCompare(void *, int la, const void *a, int lb, const void *b)
{
    const std::string_view x(static_cast<const char *>(a), static_cast<std::size_t>(la));
    const std::string_view y(static_cast<const char *>(b), static_cast<std::size_t>(lb));
    const bool xEnd = x == kAfterEverything, yEnd = y == kAfterEverything;
    if (xEnd || yEnd)
        return xEnd == yEnd ? 0 : (xEnd ? 1 : -1);
    return text::compare(x, y);
}

namespace {

void fnCast(sqlite3_context *ctx, int argc, sqlite3_value **argv, bool attempt)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        const SqlType from = typeArg(argv[1]), to = typeArg(argv[2]);
        const int style = argc > 3 ? sqlite3_value_int(argv[3]) : dt::DefaultStyle;
        const Value v = storage::read(argv[0], from);
        const Value r = attempt ? conv::tryConvert(v, to, style, host(ctx).dateSettings())
                                : conv::convert(v, to, style, host(ctx).dateSettings());
        checkSize(ctx, r);
        storage::result(ctx, r);
    });
}

void fnStore(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        const SqlType from = typeArg(argv[1]), to = typeArg(argv[2]);
        const Value v = storage::read(argv[0], from);
        const Value r = conv::forColumn(v, to, std::string(textOf(argv[3])), std::string(textOf(argv[4])),
                                        host(ctx).dateSettings());
        checkSize(ctx, r);
        storage::result(ctx, r);
    });
}

void fnArith(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const int op = sqlite3_value_int(argv[0]);
        const SqlType ta = typeArg(argv[3]), tb = typeArg(argv[4]);
        if (sqlite3_value_type(argv[1]) == SQLITE_NULL || (op != 5 && sqlite3_value_type(argv[2]) == SQLITE_NULL)) {
            sqlite3_result_null(ctx);
            return;
        }
        const Value a = storage::read(argv[1], ta);
        if (op == 5) {
            storage::result(ctx, num::negate(a));
            return;
        }
        const Value b = storage::read(argv[2], tb);
        storage::result(ctx, num::arithmetic(static_cast<num::Op>(op), a, b));
    });
}

// a ^ b, which SQLite lacks; (a | b) - (a & b) would write each operand twice, and a chain of
// them would double the statement at every step.
void fnBitXor(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]) ^ sqlite3_value_int64(argv[1]));
}

void fnDateMath(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[2]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        const int op = sqlite3_value_int(argv[0]);
        const SqlType td = typeArg(argv[3]), tx = typeArg(argv[4]);
        const Value d = storage::read(argv[1], td);
        const Value x = storage::read(argv[2], tx);
        double days = 0;
        if (x.type() == Value::Type::DateTime)
            days = dt::toDays(x.asDateTime(), tx);
        else
            days = conv::convert(x, SqlType{Base::Float}).asFloat();
        if (x.type() == Value::Type::DateTime) {
            // datetime +/- datetime: the days of both, as a datetime since 1900-01-01.
            const double total = dt::toDays(d.asDateTime(), td) + (op == 1 ? -days : days);
            storage::result(ctx, Value::dateTime(dt::fromDays(total, td), td));
            return;
        }
        storage::result(ctx, Value::dateTime(dt::addDays(d.asDateTime(), op == 1 ? -days : days, td), td));
    });
}

void fnLike(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        std::optional<char32_t> escape;
        if (sqlite3_value_type(argv[2]) != SQLITE_NULL) {
            const std::u32string e = text::decode(textOf(argv[2]));
            if (e.size() != 1)
                throw err::make(506, std::string(textOf(argv[2])));
            escape = e[0];
        }
        const bool unicode = sqlite3_value_int(argv[3]) != 0;
        sqlite3_result_int(ctx, text::like(textOf(argv[0]), textOf(argv[1]), escape, unicode) ? 1 : 0);
    });
}

// The literal beginning of a LIKE pattern: its characters up to the first wildcard.
std::string patternPrefix(std::string_view p)
{
    const std::size_t wild = p.find_first_of("%_[");
    return std::string(p.substr(0, wild));
}

void fnLikeBound(sqlite3_context *ctx, sqlite3_value **argv, bool upperBound)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        std::string lo, hi;
        if (!text::prefixRange(patternPrefix(textOf(argv[0])), lo, hi)) {
            lo.clear();
            hi = kAfterEverything;
        }
        resultText(ctx, upperBound ? hi : lo);
    });
}

// The day a text names in a CONVERT style that prints a whole date and nothing else, with a
// four-digit year; nullopt otherwise (the range then holds every value).
std::optional<DateTime> dayOf(std::string_view s, int style, RuntimeHost &rt)
{
    static const int dayStyles[] = {23, 101, 102, 103, 104, 105, 106, 107, 110, 111, 112};
    if (std::find(std::begin(dayStyles), std::end(dayStyles), style) == std::end(dayStyles))
        return std::nullopt;
    const SqlType dtType{Base::DateTime2, 0, 0, 7};
    auto d = dt::tryParse(s, dtType, style, rt.dateSettings());
    if (!d)
        return std::nullopt;
    DateTime day = *d;
    day.hour = day.minute = day.second = day.millisecond = day.subMillisecond = 0;
    if (dt::format(day, SqlType{Base::DateTime}, style) != text::rtrim(s))
        return std::nullopt;
    return day;
}

void fnDayBound(sqlite3_context *ctx, sqlite3_value **argv, bool upperBound)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        const auto day = dayOf(textOf(argv[0]), sqlite3_value_int(argv[1]), host(ctx));
        if (!day) {
            resultText(ctx, upperBound ? kAfterEverything : std::string());
            return;
        }
        // Every stored form of a date-time of that day starts with "YYYY-MM-DD".
        const SqlType date{Base::Date};
        const DateTime d = upperBound ? dt::add(dt::Part::Day, 1, *day, date) : *day;
        resultText(ctx, dt::toStorage(d, date));
    });
}

void fnRaise(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] { throw err::make(sqlite3_value_int(argv[0])); });
}

// tsql_fail(number, arguments...): a constraint's trigger refusing a row.
void fnFail(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i)
            args.emplace_back(textOf(argv[i]));
        while (args.size() < 6)
            args.emplace_back();
        throw err::make(sqlite3_value_int(argv[0]), {args[0], args[1], args[2], args[3], args[4], args[5]});
    });
}

void fnTop(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_int64(argv[0]) < 0)
            throw err::make(1014);
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    });
}

void fnOffset(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_int64(argv[0]) < 0)
            throw err::make(10742);
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
    });
}

void fnPercent(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const double p = sqlite3_value_double(argv[0]);
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || p < 0 || p > 100)
            throw err::make(1006);
        sqlite3_result_double(ctx, p);
    });
}

void fnRecursion(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const std::int64_t level = sqlite3_value_int64(argv[0]), max = sqlite3_value_int64(argv[1]);
        if (level > max)
            throw err::make(530, std::to_string(max));
        sqlite3_result_int(ctx, 1);
    });
}

void fnLocal(sqlite3_context *ctx, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const Value v = host(ctx).liveVariable(std::string(textOf(argv[0])));
        const SqlType t = typeArg(argv[1]);
        storage::result(ctx, v.isNull() || v.sqlType() == t ? v : conv::convert(v, t));
    });
}

void fnCall(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const fn::Definition &d = fn::at(sqlite3_value_int(argv[0]));
        fn::Call call;
        call.result = typeArg(argv[1]);
        if (sqlite3_value_type(argv[2]) != SQLITE_NULL)
            call.keyword = std::string(textOf(argv[2]));
        const int n = (argc - 3) / 2;
        std::vector<Value> args;
        args.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            const SqlType t = typeArg(argv[3 + n + i]);
            call.args.push_back(t);
            if ((d.flags & fn::NullInNullOut) && sqlite3_value_type(argv[3 + i]) == SQLITE_NULL) {
                sqlite3_result_null(ctx);
                return;
            }
            args.push_back(storage::read(argv[3 + i], t));
        }
        const Value r = d.eval(args, call, host(ctx));
        checkSize(ctx, r);
        if (!r.isNull() && !(r.sqlType() == call.result) && call.result.base != Base::SqlVariant)
            storage::result(ctx, conv::convert(r, call.result));
        else
            storage::result(ctx, r);
    });
}

// ---- aggregates ----

struct SumState {
    num::Accumulator acc;
};

template <typename T>
T *state(sqlite3_context *ctx, bool create)
{
    auto **slot = static_cast<T **>(sqlite3_aggregate_context(ctx, create ? static_cast<int>(sizeof(T *)) : 0));
    if (!slot)
        return nullptr;
    return *slot;
}

template <typename T, typename... Args>
T *makeState(sqlite3_context *ctx, Args &&...args)
{
    auto **slot = static_cast<T **>(sqlite3_aggregate_context(ctx, static_cast<int>(sizeof(T *))));
    if (!slot)
        throw std::bad_alloc();
    if (!*slot)
        *slot = new T{std::forward<Args>(args)...};
    return *slot;
}

template <typename T>
void dropState(sqlite3_context *ctx)
{
    auto **slot = static_cast<T **>(sqlite3_aggregate_context(ctx, 0));
    if (slot && *slot) {
        delete *slot;
        *slot = nullptr;
    }
}

struct AggregateType {
    RuntimeHost *host;
    SqlType type;
    bool average;
};

AggregateType &aggregateType(sqlite3_context *ctx)
{
    return *static_cast<AggregateType *>(sqlite3_user_data(ctx));
}

template <typename F>
void aggregateGuarded(sqlite3_context *ctx, F &&f)
{
    try {
        f();
    } catch (const Error &e) {
        aggregateType(ctx).host->pending().set(e);
        sqlite3_result_error(ctx, "tsql", -1);
    } catch (const std::bad_alloc &) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception &e) {
        aggregateType(ctx).host->pending().set(err::internal(e.what()));
        sqlite3_result_error(ctx, "tsql", -1);
    }
}

void sumStep(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    aggregateGuarded(ctx, [&] {
        const AggregateType &t = aggregateType(ctx);
        SumState *s = makeState<SumState>(ctx, num::Accumulator(t.type, t.average));
        s->acc.add(storage::read(argv[0], t.type));
    });
}

void sumInverse(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    aggregateGuarded(ctx, [&] {
        const AggregateType &t = aggregateType(ctx);
        if (SumState *s = state<SumState>(ctx, false))
            s->acc.remove(storage::read(argv[0], t.type));
    });
}

void sumValue(sqlite3_context *ctx)
{
    aggregateGuarded(ctx, [&] {
        const AggregateType &t = aggregateType(ctx);
        SumState *s = state<SumState>(ctx, false);
        storage::result(ctx, s ? s->acc.result() : num::Accumulator(t.type, t.average).result());
    });
}

void sumFinal(sqlite3_context *ctx)
{
    sumValue(ctx);
    dropState<SumState>(ctx);
}

struct StatState {
    std::int64_t n = 0;
    double mean = 0, m2 = 0;
};

void statStep(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
            return;
        StatState *s = makeState<StatState>(ctx);
        const double x = sqlite3_value_double(argv[0]);
        ++s->n;
        const double delta = x - s->mean;
        s->mean += delta / static_cast<double>(s->n);
        s->m2 += delta * (x - s->mean);
    });
}

template <bool Population, bool Root>
void statFinal(sqlite3_context *ctx)
{
    StatState *s = state<StatState>(ctx, false);
    if (!s || s->n < (Population ? 1 : 2)) {
        sqlite3_result_null(ctx);
    } else {
        const double v = s->m2 / static_cast<double>(Population ? s->n : s->n - 1);
        sqlite3_result_double(ctx, Root ? std::sqrt(v) : v);
    }
    dropState<StatState>(ctx);
}

struct StringAggState {
    struct Row {
        std::string value;
        std::vector<Value> keys;
    };
    std::vector<Row> rows;
    std::string separator;
    std::vector<bool> descending, textKeys;
    bool any = false;
};

void stringAggStep(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        StringAggState *s = makeState<StringAggState>(ctx);
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
            return;
        if (!s->any) {
            s->any = true;
            s->separator = sqlite3_value_type(argv[1]) == SQLITE_NULL ? std::string() : std::string(textOf(argv[1]));
            for (int i = 2; i + 2 < argc + 0 || i + 2 == argc; i += 3) {
                if (i + 2 >= argc)
                    break;
                s->descending.push_back(sqlite3_value_int(argv[i + 1]) != 0);
                s->textKeys.push_back(sqlite3_value_int(argv[i + 2]) != 0);
            }
        }
        StringAggState::Row row;
        row.value = std::string(textOf(argv[0]));
        for (int i = 2; i + 2 < argc; i += 3) {
            sqlite3_value *k = argv[i];
            switch (sqlite3_value_type(k)) {
            case SQLITE_NULL: row.keys.push_back(Value::null()); break;
            case SQLITE_INTEGER: row.keys.push_back(Value::integer(sqlite3_value_int64(k))); break;
            case SQLITE_FLOAT: row.keys.push_back(Value::real(sqlite3_value_double(k))); break;
            default: row.keys.push_back(Value::text(std::string(textOf(k)))); break;
            }
        }
        s->rows.push_back(std::move(row));
        std::size_t total = 0;
        for (const auto &r : s->rows)
            total += r.value.size() + s->separator.size();
        if (total > host(ctx).valueLimit())
            throw err::make(7119, std::to_string(host(ctx).valueLimit()));
    });
}

void stringAggFinal(sqlite3_context *ctx)
{
    guarded(ctx, [&] {
        StringAggState *s = state<StringAggState>(ctx, false);
        if (!s || !s->any) {
            sqlite3_result_null(ctx);
            dropState<StringAggState>(ctx);
            return;
        }
        auto compareKey = [&](const Value &a, const Value &b, bool textKey) {
            if (a.isNull() || b.isNull())
                return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
            if (textKey)
                return text::compare(a.asText(), b.asText());
            const double x = a.type() == Value::Type::Integer ? static_cast<double>(a.asInteger())
                             : a.type() == Value::Type::Float ? a.asFloat() : 0;
            const double y = b.type() == Value::Type::Integer ? static_cast<double>(b.asInteger())
                             : b.type() == Value::Type::Float ? b.asFloat() : 0;
            if (a.type() == Value::Type::Text)
                return a.asText().compare(b.asText());
            return x < y ? -1 : (x > y ? 1 : 0);
        };
        std::stable_sort(s->rows.begin(), s->rows.end(), [&](const auto &a, const auto &b) {
            for (std::size_t i = 0; i < a.keys.size() && i < s->descending.size(); ++i) {
                const int c = compareKey(a.keys[i], b.keys[i], s->textKeys[i]);
                if (c != 0)
                    return s->descending[i] ? c > 0 : c < 0;
            }
            return false;
        });
        std::string out;
        for (std::size_t i = 0; i < s->rows.size(); ++i)
            out += (i ? s->separator : std::string()) + s->rows[i].value;
        resultText(ctx, out);
        dropState<StringAggState>(ctx);
    });
}

void checksumStep(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return;
    auto *acc = static_cast<std::int64_t *>(sqlite3_aggregate_context(ctx, sizeof(std::int64_t) * 2));
    if (!acc)
        return;
    acc[0] ^= sqlite3_value_int64(argv[0]);
    acc[1] = 1;
}

void checksumFinal(sqlite3_context *ctx)
{
    auto *acc = static_cast<std::int64_t *>(sqlite3_aggregate_context(ctx, 0));
    if (!acc || !acc[1])
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, static_cast<std::int32_t>(acc[0]));
}

} // namespace

void registerRuntime(sqlite3 *db, RuntimeHost *rt)
{
    // Innocuous: the engine's triggers (CHECK and FOREIGN KEY constraints) call them.
    constexpr int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    constexpr int vol = SQLITE_UTF8 | SQLITE_INNOCUOUS;
    sqlite3_create_collation(db, "TSQL", SQLITE_UTF8, nullptr, collationCompare);
    auto add = [&](const char *name, int args, int flags, void (*f)(sqlite3_context *, int, sqlite3_value **)) {
        sqlite3_create_function_v2(db, name, args, flags, rt, f, nullptr, nullptr, nullptr);
    };
    add("tsql_cast", 4, det, [](sqlite3_context *c, int n, sqlite3_value **v) { fnCast(c, n, v, false); });
    add("tsql_trycast", 4, det, [](sqlite3_context *c, int n, sqlite3_value **v) { fnCast(c, n, v, true); });
    add("tsql_store", 5, det, fnStore);
    add("tsql_arith", 6, det, fnArith);
    add("tsql_datemath", 5, det, fnDateMath);
    add("tsql_bitxor", 2, det, fnBitXor);
    add("tsql_like", 4, det, fnLike);
    add("tsql_like_lo", 1, det, [](sqlite3_context *c, int, sqlite3_value **v) { fnLikeBound(c, v, false); });
    add("tsql_like_hi", 1, det, [](sqlite3_context *c, int, sqlite3_value **v) { fnLikeBound(c, v, true); });
    add("tsql_day_lo", 2, det, [](sqlite3_context *c, int, sqlite3_value **v) { fnDayBound(c, v, false); });
    add("tsql_day_hi", 2, det, [](sqlite3_context *c, int, sqlite3_value **v) { fnDayBound(c, v, true); });
    add("tsql_raise", 1, vol, fnRaise);
    add("tsql_fail", -1, vol, fnFail);
    add("tsql_top", 1, det, fnTop);
    add("tsql_offset", 1, det, fnOffset);
    add("tsql_percent", 1, det, fnPercent);
    add("tsql_recursion", 2, vol, fnRecursion);
    add("tsql_fn", -1, det, fnCall);
    add("tsql_local", 2, vol, [](sqlite3_context *c, int, sqlite3_value **v) { fnLocal(c, v); });
    add("tsql_fnv", -1, vol, fnCall);
    sqlite3_create_function_v2(db, "tsql_string_agg", -1, SQLITE_UTF8, rt, nullptr, stringAggStep, stringAggFinal, nullptr);
    sqlite3_create_function_v2(db, "tsql_stdev", 1, SQLITE_UTF8, rt, nullptr, statStep, statFinal<false, true>, nullptr);
    sqlite3_create_function_v2(db, "tsql_stdevp", 1, SQLITE_UTF8, rt, nullptr, statStep, statFinal<true, true>, nullptr);
    sqlite3_create_function_v2(db, "tsql_var", 1, SQLITE_UTF8, rt, nullptr, statStep, statFinal<false, false>, nullptr);
    sqlite3_create_function_v2(db, "tsql_varp", 1, SQLITE_UTF8, rt, nullptr, statStep, statFinal<true, false>, nullptr);
    sqlite3_create_function_v2(db, "tsql_checksum_agg", 1, SQLITE_UTF8, rt, nullptr, checksumStep, checksumFinal, nullptr);
}

void registerAggregate(sqlite3 *db, RuntimeHost *rt, const std::string &name, const SqlType &type)
{
    auto *info = new AggregateType{rt, type, name.rfind("tsql_avg_", 0) == 0};
    sqlite3_create_window_function(db, name.c_str(), 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, info, sumStep, sumFinal,
                                   sumValue, sumInverse, [](void *p) { delete static_cast<AggregateType *>(p); });
}

} // namespace tsql
