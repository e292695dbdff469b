#include "tsql/Sqlite.h"

#include "tsql/Errors.h"
#include "tsql/Types.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace tsql {

std::string encodeError(const Error &e)
{
    return std::string(1, kErrorMark) + std::to_string(e.number()) + "|" + std::to_string(e.severity()) + "|" +
           std::to_string(e.state()) + "|" + e.what();
}

static std::string afterDot(const std::string &s)
{
    const auto dot = s.find('.');
    return dot == std::string::npos ? s : s.substr(dot + 1);
}

Error sqliteError(sqlite3 *db, const FailureContext &ctx)
{
    const std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
    if (!msg.empty() && msg[0] == kErrorMark) {
        int number = 0, severity = 0, state = 0, used = 0;
        std::sscanf(msg.c_str() + 1, "%d|%d|%d|%n", &number, &severity, &state, &used);
        return Error(number, severity, state, msg.substr(1 + static_cast<std::size_t>(used)));
    }
    const int code = db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM;
    if (code == SQLITE_CONSTRAINT_NOTNULL) {
        const std::string col = afterDot(msg.substr(msg.rfind(' ') + 1));
        return err::notNull(col, ctx.table, ctx.operation.empty() ? "INSERT" : ctx.operation);
    }
    if (code == SQLITE_CONSTRAINT_PRIMARYKEY || code == SQLITE_CONSTRAINT_UNIQUE) {
        // The engine names primary keys PK_<table>; every other unique index is a CREATE UNIQUE INDEX.
        const std::string table = ctx.table;
        const std::string bare = afterDot(afterDot(table));
        if (code == SQLITE_CONSTRAINT_PRIMARYKEY || msg.find("PK_") != std::string::npos)
            return err::primaryKey("PK_" + bare, table, "");
        return err::uniqueIndex(table, "", "");
    }
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)
        return Error(1222, 16, 51, "Lock request time out period exceeded.");
    if ((code & 0xff) == SQLITE_FULL)
        return Error(1105, 17, 2, "Could not allocate space for object in database because the filegroup is full.");
    if ((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB)
        return Error(824, 24, 2, "SQL Server detected a logical consistency-based I/O error.");
    if ((code & 0xff) == SQLITE_READONLY)
        return err::readOnlyDatabase(ctx.table.substr(0, ctx.table.find('.')));
    if ((code & 0xff) == SQLITE_IOERR || (code & 0xff) == SQLITE_CANTOPEN)
        return Error(823, 24, 2, "The operating system returned an error to SQL Server during a read or write of the database.");
    return Error(50000, 16, 1, "The embedded database failed: " + msg + ".");
}

std::string quoteName(std::string_view name)
{
    std::string r = "\"";
    for (char c : name) {
        if (c == '"')
            r += '"';
        r += c;
    }
    return r + "\"";
}

std::string quoteLiteral(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos) {
        // SQLite's SQL text ends at a NUL, but its values may hold one, as SQL Server's do.
        static const char digits[] = "0123456789ABCDEF";
        std::string r = "(CAST(X'";
        for (unsigned char c : text) {
            r += digits[c >> 4];
            r += digits[c & 15];
        }
        return r + "' AS TEXT))";
    }
    std::string r = "'";
    for (char c : text) {
        if (c == '\'')
            r += '\'';
        r += c;
    }
    return r + "'";
}

Stmt::Stmt(sqlite3 *db, std::string_view sql) : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &m_s, nullptr) != SQLITE_OK) {
        const Error e = sqliteError(db);
        sqlite3_finalize(m_s);
        m_s = nullptr;
        throw e;
    }
}

Stmt::~Stmt()
{
    if (m_s)
        sqlite3_finalize(m_s);
}

bool Stmt::step(const FailureContext &ctx)
{
    const int rc = sqlite3_step(m_s);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const Error e = sqliteError(m_db, ctx);
    sqlite3_reset(m_s);
    throw e;
}

std::string Stmt::text(int i) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_s, i));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_s, i))) : std::string();
}

void exec(sqlite3 *db, std::string_view sql, const FailureContext &ctx)
{
    Stmt s(db, sql);
    while (s.step(ctx)) {
    }
}

// ---- collation and LIKE ----

static unsigned decode(std::string_view s, std::size_t &i)
{
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    unsigned cp = extra == 3 ? (c & 0x07) : extra == 2 ? (c & 0x0F) : (c & 0x1F);
    while (extra-- > 0 && i < s.size())
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return cp;
}

static unsigned fold(unsigned cp)
{
    if (cp >= 'A' && cp <= 'Z')
        return cp + 32;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return cp + 32;
    return cp;
}

static std::string_view trimRight(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// The letter an accented Latin-1 letter sorts with (already folded to lower case).
static unsigned baseLetter(unsigned cp)
{
    if (cp < 0xE0 || cp > 0xFF)
        return cp;
    static const char bases[] = "aaaaaaaceeeeiiiidnooooo/ouuuuyty";
    const char b = bases[cp - 0xE0];
    return b == '/' ? cp : static_cast<unsigned>(b);
}

int collate(std::string_view a, std::string_view b)
{
    a = trimRight(a);
    b = trimRight(b);
    // Letters first, accents only to break ties, as SQL Server's accent-sensitive CI_AS orders.
    int accentOrder = 0;
    std::size_t i = 0, j = 0;
    // Plain ASCII needs no decoding; indexes compare names millions of times.
    while (i < a.size() && j < b.size()) {
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) >= 0x80)
            break;
        const unsigned fa = fold(ca), fb = fold(cb);
        if (fa != fb)
            return fa < fb ? -1 : 1;
        ++i;
        ++j;
    }
    while (i < a.size() && j < b.size()) {
        const unsigned ca = fold(decode(a, i));
        const unsigned cb = fold(decode(b, j));
        if (ca == cb)
            continue;
        const unsigned ba = baseLetter(ca), bb = baseLetter(cb);
        if (ba != bb)
            return ba < bb ? -1 : 1;
        if (accentOrder == 0)
            accentOrder = ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return accentOrder;
}

bool prefixRange(std::string_view prefix, std::string &lower, std::string &upper)
{
    // Every text starting with the prefix shares its base letters, whatever its case or accents,
    // so the range is taken on those letters; it stops at the first one the collation cannot
    // place among ASCII letters, leaving the rest of the pattern to LIKE itself.
    std::string r;
    for (std::size_t i = 0; i < prefix.size();) {
        const unsigned b = baseLetter(fold(decode(prefix, i)));
        if (b >= 0x80)
            break;
        r += static_cast<char>(b);
    }
    while (!r.empty() && r.back() == ' ')
        r.pop_back();
    if (r.empty() || static_cast<unsigned char>(r.back()) >= 0x7E)
        return false;
    lower = r;
    r.back() = static_cast<char>(r.back() + 1);
    upper = std::move(r);
    return true;
}

static bool likeAt(const std::vector<unsigned> &v, std::size_t vi, const std::vector<unsigned> &p, std::size_t pi, int esc)
{
    while (pi < p.size()) {
        const unsigned pc = p[pi];
        if (esc >= 0 && pc == static_cast<unsigned>(esc) && pi + 1 < p.size()) {
            if (vi >= v.size() || v[vi] != p[pi + 1])
                return false;
            ++vi;
            pi += 2;
            continue;
        }
        if (pc == '%') {
            while (pi < p.size() && p[pi] == '%')
                ++pi;
            if (pi == p.size())
                return true;
            for (std::size_t k = vi; k <= v.size(); ++k)
                if (likeAt(v, k, p, pi, esc))
                    return true;
            return false;
        }
        if (vi >= v.size())
            return false;
        if (pc == '_') {
            ++vi;
            ++pi;
            continue;
        }
        if (pc == '[') {
            const std::size_t close = [&] {
                for (std::size_t k = pi + 2; k < p.size(); ++k)
                    if (p[k] == ']')
                        return k;
                return std::size_t(0);
            }();
            if (close != 0) {
                std::size_t k = pi + 1;
                bool negate = false;
                if (p[k] == '^' && k + 1 < close) {
                    negate = true;
                    ++k;
                }
                bool hit = false;
                for (; k < close; ++k) {
                    if (k + 2 < close && p[k + 1] == '-') {
                        if (v[vi] >= p[k] && v[vi] <= p[k + 2])
                            hit = true;
                        k += 2;
                    } else if (v[vi] == p[k]) {
                        hit = true;
                    }
                }
                if (hit == negate)
                    return false;
                ++vi;
                pi = close + 1;
                continue;
            }
        }
        if (v[vi] != pc)
            return false;
        ++vi;
        ++pi;
    }
    return vi == v.size();
}

static std::vector<unsigned> folded(std::string_view s)
{
    std::vector<unsigned> r;
    r.reserve(s.size());
    for (std::size_t i = 0; i < s.size();)
        r.push_back(fold(decode(s, i)));
    return r;
}

bool likeMatch(std::string_view value, std::string_view pattern, int escape)
{
    // Trailing blanks of the value do not stop a match, as in SQL Server's comparison of varchar.
    const auto v = folded(value);
    const auto p = folded(pattern);
    if (likeAt(v, 0, p, 0, escape))
        return true;
    const auto t = folded(trimRight(value));
    return t.size() != v.size() && likeAt(t, 0, p, 0, escape);
}

// ---- conversions ----

namespace {

std::string valueText(sqlite3_value *v)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string();
}

std::string sourceTypeName(sqlite3_value *v)
{
    return sqlite3_value_type(v) == SQLITE_TEXT ? "varchar" : sqlite3_value_type(v) == SQLITE_FLOAT ? "float" : "int";
}

void checkRange(Base base, std::int64_t v, const std::string &name)
{
    std::int64_t lo = 0, hi = 0;
    switch (base) {
    case Base::TinyInt: lo = 0; hi = 255; break;
    case Base::SmallInt: lo = -32768; hi = 32767; break;
    case Base::Int: lo = std::numeric_limits<std::int32_t>::min(); hi = std::numeric_limits<std::int32_t>::max(); break;
    default: return;
    }
    if (v < lo || v > hi) {
        if (base == Base::Int)
            throw err::overflow(name);
        throw err::overflowValue(name, std::to_string(v));
    }
}

struct Target {
    SqlType type;
};

// Converts one value to a target type. `storing` means into a table column: too-long text is
// an error there, while CONVERT/CAST cut it silently.
void convert(sqlite3_context *ctx, sqlite3_value *v, const SqlType &t, bool srcIsDate, int style, bool storing,
             const std::string &table, const std::string &column)
{
    const int vt = sqlite3_value_type(v);
    if (vt == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    switch (t.category()) {
    case Category::Text: {
        std::string s;
        if (vt == SQLITE_INTEGER)
            s = std::to_string(sqlite3_value_int64(v));
        else if (vt == SQLITE_FLOAT)
            s = formatFloat(sqlite3_value_double(v));
        else
            s = valueText(v);
        if (srcIsDate && vt == SQLITE_TEXT) {
            if (auto dt = parseStorage(s))
                s = formatStyle(*dt, style);
        }
        const int max = t.maxLength();
        if (max > 0 && utf8Length(s) > static_cast<std::size_t>(max)) {
            const std::string cut = utf8Left(s, static_cast<std::size_t>(max));
            const bool onlyBlanks = s.find_first_not_of(' ', cut.size()) == std::string::npos;
            if (storing && !onlyBlanks)
                throw err::truncated(table, column, cut);
            s = cut;
        }
        if (storing && (t.base == Base::Char || t.base == Base::NChar) && max > 0) {
            const std::size_t len = utf8Length(s);
            if (len < static_cast<std::size_t>(max))
                s.append(static_cast<std::size_t>(max) - len, ' ');
        }
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return;
    }
    case Category::Integer: {
        std::int64_t n = 0;
        if (vt == SQLITE_INTEGER) {
            n = sqlite3_value_int64(v);
        } else if (vt == SQLITE_FLOAT) {
            const double d = std::trunc(sqlite3_value_double(v));
            if (d < -9.2e18 || d > 9.2e18)
                throw err::overflow(t.name());
            n = static_cast<std::int64_t>(d);
        } else {
            const std::string s = valueText(v);
            if (t.base == Base::Bit && (iequals(rtrimBlanks(s), "true") || iequals(rtrimBlanks(s), "false"))) {
                sqlite3_result_int64(ctx, iequals(rtrimBlanks(s), "true") ? 1 : 0);
                return;
            }
            bool overflow = false;
            const auto parsed = parseInteger(s, overflow);
            if (overflow)
                throw err::conversionOverflow("varchar", s, t.name());
            if (!parsed)
                throw err::badConversion("varchar", s, t.name());
            n = *parsed;
            if (t.base == Base::Int || t.base == Base::SmallInt || t.base == Base::TinyInt) {
                try {
                    checkRange(t.base, n, t.name());
                } catch (const Error &) {
                    throw err::conversionOverflow("varchar", s, t.name());
                }
            }
        }
        if (t.base == Base::Bit)
            n = n != 0;
        checkRange(t.base, n, t.name());
        sqlite3_result_int64(ctx, n);
        return;
    }
    case Category::Number: {
        double d = 0;
        if (vt == SQLITE_INTEGER || vt == SQLITE_FLOAT) {
            d = sqlite3_value_double(v);
        } else {
            const auto parsed = parseFloat(valueText(v));
            if (!parsed)
                throw err::floatConversion(t.base == Base::Float || t.base == Base::Real ? "varchar" : "varchar to numeric");
            d = *parsed;
        }
        if (t.base == Base::Decimal || t.base == Base::Money) {
            const int scale = t.base == Base::Money ? 4 : t.scale;
            const int precision = t.base == Base::Money ? 19 : t.precision;
            const double f = std::pow(10.0, scale);
            d = std::round(d * f) / f;
            if (std::fabs(d) >= std::pow(10.0, precision - scale))
                throw Error(8115, 16, 8, "Arithmetic overflow error converting " + sourceTypeName(v) + " to data type numeric.");
        }
        sqlite3_result_double(ctx, d);
        return;
    }
    case Category::DateTime: {
        DateTime dt;
        if (vt == SQLITE_TEXT) {
            const std::string s = valueText(v);
            if (auto stored = parseStorage(s))
                dt = *stored;
            else
                dt = textToDateTime(s, style);
        } else {
            const double days = sqlite3_value_double(v);
            // datetime counts days from 1900-01-01 and holds 1753-01-01 to 9999-12-31.
            if (!(days >= -53690.0 && days < 2958464.0))
                throw err::overflow("datetime");
            dt = addDays(DateTime{}, static_cast<std::int64_t>(std::floor(days)));
            const double frac = days - std::floor(days);
            const auto ms = static_cast<std::int64_t>(std::llround(frac * 86400000.0));
            dt.hour = static_cast<int>(ms / 3600000);
            dt.minute = static_cast<int>(ms / 60000 % 60);
            dt.second = static_cast<int>(ms / 1000 % 60);
            dt.millisecond = static_cast<int>(ms % 1000);
        }
        if (t.base == Base::Date)
            dt.hour = dt.minute = dt.second = dt.millisecond = 0;
        if (t.base == Base::SmallDateTime)
            dt.second = dt.millisecond = 0;
        const std::string s = formatStorage(dt);
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return;
    }
    case Category::Unknown:
        break;
    }
    sqlite3_result_value(ctx, v);
}

// The declared type argument is the same for every row; parse it once per statement.
const SqlType &typeArg(sqlite3_context *ctx, sqlite3_value **argv, int index)
{
    auto *cached = static_cast<SqlType *>(sqlite3_get_auxdata(ctx, index));
    if (cached)
        return *cached;
    auto *t = new SqlType(parseDeclared(valueText(argv[index])));
    sqlite3_set_auxdata(ctx, index, t, [](void *p) { delete static_cast<SqlType *>(p); });
    auto *again = static_cast<SqlType *>(sqlite3_get_auxdata(ctx, index));
    if (again)
        return *again;
    static thread_local SqlType fallback;
    fallback = parseDeclared(valueText(argv[index]));
    return fallback;
}

template <typename F>
void guarded(sqlite3_context *ctx, F &&f)
{
    try {
        f();
    } catch (const Error &e) {
        const std::string m = encodeError(e);
        sqlite3_result_error(ctx, m.c_str(), static_cast<int>(m.size()));
    } catch (const std::exception &e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

// tsql_store(value, declared, srcIsDate, table, column)
void fnStore(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const SqlType &t = typeArg(ctx, argv, 1);
        convert(ctx, argv[0], t, sqlite3_value_int(argv[2]) != 0, 0, true, valueText(argv[3]), valueText(argv[4]));
    });
}

// tsql_cast(value, declared, srcIsDate, style)
void fnCast(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        const SqlType &t = typeArg(ctx, argv, 1);
        convert(ctx, argv[0], t, sqlite3_value_int(argv[2]) != 0, sqlite3_value_int(argv[3]), false, {}, {});
    });
}

void fnLike(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    int esc = -1;
    if (argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        const std::string e = valueText(argv[2]);
        if (!e.empty())
            esc = static_cast<unsigned char>(e[0]);
    }
    sqlite3_result_int(ctx, likeMatch(valueText(argv[0]), valueText(argv[1]), esc) ? 1 : 0);
}

void fnLen(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, static_cast<std::int64_t>(utf8Length(rtrimBlanks(valueText(argv[0])))));
}

void fnCase(sqlite3_context *ctx, sqlite3_value **argv, bool upper)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::string s = valueText(argv[0]);
    std::string r;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t start = i;
        unsigned cp = decode(s, i);
        const bool isUpper = (cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7);
        const bool isLower = (cp >= 'a' && cp <= 'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7);
        if (upper && isLower)
            cp -= 32;
        else if (!upper && isUpper)
            cp += 32;
        else {
            r.append(s, start, i - start);
            continue;
        }
        if (cp < 0x80) {
            r += static_cast<char>(cp);
        } else {
            r += static_cast<char>(0xC0 | (cp >> 6));
            r += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
}

void fnGetDate(sqlite3_context *ctx, int, sqlite3_value **)
{
    const std::string s = formatStorage(now());
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void fnAddDays(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        auto dt = parseStorage(valueText(argv[0]));
        if (!dt)
            dt = textToDateTime(valueText(argv[0]));
        // Asked as a double first: a count past the 64-bit range would otherwise be clamped, and
        // one past datetime's whole span of days cannot give a datetime.
        const double asked = sqlite3_value_double(argv[1]);
        if (!(std::fabs(asked) < 3000000.0))
            throw err::overflow("datetime");
        const DateTime sum = addDays(*dt, sqlite3_value_int64(argv[1]));
        if (sum.year < 1753 || sum.year > 9999)
            throw err::overflow("datetime");
        const std::string s = formatStorage(sum);
        sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    });
}

void fnDivide(sqlite3_context *ctx, int, sqlite3_value **argv, bool modulo)
{
    guarded(ctx, [&] {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        const bool ints = sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_type(argv[1]) == SQLITE_INTEGER;
        if (ints) {
            const std::int64_t b = sqlite3_value_int64(argv[1]);
            if (b == 0)
                throw err::divideByZero();
            const std::int64_t a = sqlite3_value_int64(argv[0]);
            sqlite3_result_int64(ctx, modulo ? a % b : a / b);
            return;
        }
        const double b = sqlite3_value_double(argv[1]);
        if (b == 0)
            throw err::divideByZero();
        const double a = sqlite3_value_double(argv[0]);
        sqlite3_result_double(ctx, modulo ? std::fmod(a, b) : a / b);
    });
}

// tsql_typeinfo(declared, what): the type facts INFORMATION_SCHEMA.COLUMNS reports.
void fnTypeInfo(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const SqlType t = parseDeclared(valueText(argv[0]));
    const std::string what = valueText(argv[1]);
    auto text = [&](const std::string &s) { sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT); };
    const bool national = t.base == Base::NChar || t.base == Base::NVarChar || t.base == Base::NText;
    if (what == "name") {
        text(t.name());
    } else if (what == "charlen" || what == "octet") {
        if (!t.isText()) {
            sqlite3_result_null(ctx);
        } else if (t.base == Base::Text || t.base == Base::NText) {
            sqlite3_result_int64(ctx, national && what == "charlen" ? 1073741823 : 2147483647);
        } else if (t.length == -1) {
            sqlite3_result_int64(ctx, -1);
        } else {
            sqlite3_result_int64(ctx, national && what == "octet" ? 2 * t.length : t.length);
        }
    } else if (what == "precision" || what == "radix" || what == "scale") {
        int p = -1, radix = 10, scale = 0;
        switch (t.base) {
        case Base::TinyInt: p = 3; break;
        case Base::SmallInt: p = 5; break;
        case Base::Int: p = 10; break;
        case Base::BigInt: p = 19; break;
        case Base::Decimal: p = t.precision; scale = t.scale; break;
        case Base::Money: p = 19; scale = 4; break;
        case Base::Float: p = 53; radix = 2; scale = -1; break;
        case Base::Real: p = 24; radix = 2; scale = -1; break;
        default: break;
        }
        const int r = what == "precision" ? p : what == "radix" ? radix : scale;
        if (p < 0 || r < 0)
            sqlite3_result_null(ctx);
        else
            sqlite3_result_int64(ctx, r);
    } else if (what == "dtprec") {
        if (t.base == Base::DateTime)
            sqlite3_result_int64(ctx, 3);
        else if (t.base == Base::SmallDateTime || t.base == Base::Date)
            sqlite3_result_int64(ctx, 0);
        else
            sqlite3_result_null(ctx);
    } else if (what == "charset") {
        if (t.isText())
            text(national ? "UNICODE" : "iso_1");
        else
            sqlite3_result_null(ctx);
    } else if (what == "collation") {
        if (t.isText())
            text("SQL_Latin1_General_CP1_CI_AS");
        else
            sqlite3_result_null(ctx);
    } else {
        sqlite3_result_null(ctx);
    }
}

int collationCallback(void *, int la, const void *a, int lb, const void *b)
{
    return collate(std::string_view(static_cast<const char *>(a), static_cast<std::size_t>(la)),
                   std::string_view(static_cast<const char *>(b), static_cast<std::size_t>(lb)));
}

} // namespace

void registerFunctions(sqlite3 *db)
{
    constexpr int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_collation(db, "TSQL", SQLITE_UTF8, nullptr, collationCallback);
    sqlite3_create_function(db, "tsql_store", 5, det, nullptr, fnStore, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_cast", 4, det, nullptr, fnCast, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_like", 2, det, nullptr, fnLike, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_like", 3, det, nullptr, fnLike, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_len", 1, det, nullptr, fnLen, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_upper", 1, det, nullptr,
                            [](sqlite3_context *c, int, sqlite3_value **v) { fnCase(c, v, true); }, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_lower", 1, det, nullptr,
                            [](sqlite3_context *c, int, sqlite3_value **v) { fnCase(c, v, false); }, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_getdate", 0, SQLITE_UTF8, nullptr, fnGetDate, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_adddays", 2, det, nullptr, fnAddDays, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_div", 2, det, nullptr,
                            [](sqlite3_context *c, int n, sqlite3_value **v) { fnDivide(c, n, v, false); }, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_mod", 2, det, nullptr,
                            [](sqlite3_context *c, int n, sqlite3_value **v) { fnDivide(c, n, v, true); }, nullptr, nullptr);
    sqlite3_create_function(db, "tsql_typeinfo", 2, det, nullptr, fnTypeInfo, nullptr, nullptr);
}

} // namespace tsql
