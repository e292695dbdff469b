#include "tsql/Storage.h"

#include "tsql/DateTime.h"
#include "tsql/Errors.h"
#include "tsql/Numeric.h"

#include <cmath>
#include <cstring>

namespace tsql::storage {

namespace {

std::string_view textOf(sqlite3_value *v)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

std::string_view blobOf(sqlite3_value *v)
{
    const auto *p = static_cast<const char *>(sqlite3_value_blob(v));
    return p ? std::string_view(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string_view();
}

// The scale a stored exact number carries: money keeps four places.
int scaleOf(const SqlType &t)
{
    return t.isMoney() ? 4 : t.scale;
}

Decimal exactFrom(sqlite3_value *v, const SqlType &t)
{
    const SqlType dt = t.asDecimal();
    Decimal d;
    d.precision = dt.precision;
    d.scale = scaleOf(t);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        d.unscaled = sqlite3_value_int64(v);
        return d;
    case SQLITE_BLOB:
        d.unscaled = decodeWide(sqlite3_value_blob(v), sqlite3_value_bytes(v));
        return d;
    case SQLITE_FLOAT:
        // Written by an older engine, which kept exact numbers as REAL.
        return num::toDecimal(sqlite3_value_double(v), dt);
    default:
        return num::parseDecimal(textOf(v), dt, SqlType::varchar(-1));
    }
}

} // namespace

bool isWide(const SqlType &t)
{
    return t.isDecimal() && t.precision > 18;
}

std::string encodeWide(Int128 unscaled)
{
    auto u = static_cast<unsigned __int128>(unscaled);
    u ^= static_cast<unsigned __int128>(1) << 127;
    std::string out(16, '\0');
    for (int i = 15; i >= 0; --i) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(static_cast<unsigned char>(u & 0xff));
        u >>= 8;
    }
    return out;
}

Int128 decodeWide(const void *bytes, int size)
{
    if (size != 16 || !bytes)
        return 0;
    const auto *b = static_cast<const unsigned char *>(bytes);
    unsigned __int128 u = 0;
    for (int i = 0; i < 16; ++i)
        u = (u << 8) | b[i];
    u ^= static_cast<unsigned __int128>(1) << 127;
    return static_cast<Int128>(u);
}

void bind(sqlite3_stmt *s, int index, const Value &v)
{
    switch (v.type()) {
    case Value::Type::Null:
        sqlite3_bind_null(s, index);
        return;
    case Value::Type::Integer:
        sqlite3_bind_int64(s, index, v.asInteger());
        return;
    case Value::Type::Float:
        sqlite3_bind_double(s, index, v.asFloat());
        return;
    case Value::Type::Decimal: {
        const Decimal &d = v.asDecimal();
        if (isWide(v.sqlType())) {
            const std::string b = encodeWide(d.unscaled);
            sqlite3_bind_blob(s, index, b.data(), 16, SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(s, index, static_cast<std::int64_t>(d.unscaled));
        }
        return;
    }
    case Value::Type::Text:
        sqlite3_bind_text(s, index, v.asText().data(), static_cast<int>(v.asText().size()), SQLITE_TRANSIENT);
        return;
    case Value::Type::Binary:
        sqlite3_bind_blob(s, index, v.asText().data(), static_cast<int>(v.asText().size()), SQLITE_TRANSIENT);
        return;
    case Value::Type::DateTime: {
        const std::string t = dt::toStorage(v.asDateTime(), v.sqlType());
        sqlite3_bind_text(s, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        return;
    }
    }
}

void result(sqlite3_context *ctx, const Value &v)
{
    switch (v.type()) {
    case Value::Type::Null:
        sqlite3_result_null(ctx);
        return;
    case Value::Type::Integer:
        sqlite3_result_int64(ctx, v.asInteger());
        return;
    case Value::Type::Float:
        sqlite3_result_double(ctx, v.asFloat());
        return;
    case Value::Type::Decimal: {
        const Decimal &d = v.asDecimal();
        if (isWide(v.sqlType())) {
            const std::string b = encodeWide(d.unscaled);
            sqlite3_result_blob(ctx, b.data(), 16, SQLITE_TRANSIENT);
        } else {
            sqlite3_result_int64(ctx, static_cast<std::int64_t>(d.unscaled));
        }
        return;
    }
    case Value::Type::Text:
        sqlite3_result_text(ctx, v.asText().data(), static_cast<int>(v.asText().size()), SQLITE_TRANSIENT);
        return;
    case Value::Type::Binary:
        sqlite3_result_blob(ctx, v.asText().data(), static_cast<int>(v.asText().size()), SQLITE_TRANSIENT);
        return;
    case Value::Type::DateTime: {
        const std::string t = dt::toStorage(v.asDateTime(), v.sqlType());
        sqlite3_result_text(ctx, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        return;
    }
    }
}

Value read(sqlite3_value *v, const SqlType &t)
{
    const int st = sqlite3_value_type(v);
    if (st == SQLITE_NULL)
        return Value::null(t);
    switch (t.category()) {
    case Category::Null:
        // A bare NULL's type: whatever SQLite holds.
        if (st == SQLITE_INTEGER)
            return Value::integer(sqlite3_value_int64(v), SqlType{Base::Int});
        if (st == SQLITE_FLOAT)
            return Value::real(sqlite3_value_double(v));
        return Value::text(std::string(textOf(v)), SqlType::varchar(-1));
    case Category::Integer:
        if (st == SQLITE_INTEGER)
            return Value::integer(sqlite3_value_int64(v), t);
        if (st == SQLITE_FLOAT)
            return Value::integer(num::toInteger(sqlite3_value_double(v), t), t);
        return Value::integer(num::parseInteger(textOf(v), t, SqlType::varchar(-1)), t);
    case Category::Exact:
        return Value::decimal(exactFrom(v, t), t);
    case Category::Approximate:
        if (st == SQLITE_FLOAT || st == SQLITE_INTEGER)
            return Value::real(sqlite3_value_double(v), t);
        return Value::real(num::parseFloat(textOf(v), t, SqlType::varchar(-1)), t);
    case Category::Text:
    case Category::Guid:
        if (st == SQLITE_INTEGER || st == SQLITE_FLOAT) {
            const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
            return Value::text(p ? p : "", t);
        }
        return Value::text(std::string(st == SQLITE_BLOB ? blobOf(v) : textOf(v)), t);
    case Category::Binary:
        return Value::binary(std::string(st == SQLITE_BLOB ? blobOf(v) : textOf(v)), t);
    case Category::DateTime: {
        if (st == SQLITE_TEXT) {
            if (auto d = dt::fromStorage(textOf(v), t))
                return Value::dateTime(*d, t);
            return Value::dateTime(dt::parse(textOf(v), t), t);
        }
        return Value::dateTime(dt::fromDays(sqlite3_value_double(v), t), t);
    }
    case Category::Variant:
        if (st == SQLITE_INTEGER)
            return Value::integer(sqlite3_value_int64(v), SqlType{Base::Int});
        if (st == SQLITE_FLOAT)
            return Value::real(sqlite3_value_double(v));
        return Value::text(std::string(textOf(v)), SqlType::nvarchar(4000));
    }
    return Value::null(t);
}

Value column(sqlite3_stmt *s, int index, const SqlType &t)
{
    return read(sqlite3_column_value(s, index), t);
}

void columnInto(Value &out, sqlite3_stmt *s, int index, const SqlType &t)
{
    sqlite3_value *v = sqlite3_column_value(s, index);
    const Category c = t.category();
    if (sqlite3_value_type(v) == SQLITE_TEXT && (c == Category::Text || c == Category::Guid))
        out.assignText(textOf(v), t);
    else
        out = read(v, t);
}

} // namespace tsql::storage
