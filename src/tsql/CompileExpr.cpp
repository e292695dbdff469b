// Expressions: literals, columns, variables, operators, CASE, CAST and CONVERT, predicates.

#include "tsql/Compiler.h"

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Literals.h"
#include "tsql/Numeric.h"
#include "tsql/Storage.h"

#include <cctype>
#include <cstdio>

namespace tsql {

using namespace ast;
using sqlite::quoteName;

namespace {

// The SQLite text of one expression. A CASE over a CASE repeats its operand in every WHEN, so a
// statement of a kilobyte could otherwise ask for gigabytes; real expressions stay far below.
constexpr std::size_t kExpressionSqlLimit = 4 * 1024 * 1024;

std::string code(const SqlType &t)
{
    return std::to_string(t.code());
}

const char *operatorName(const std::string &op)
{
    if (op == "=") return "equal to";
    if (op == "<>") return "not equal to";
    if (op == "<") return "less than";
    if (op == ">") return "greater than";
    if (op == "<=") return "less than or equal to";
    if (op == ">=") return "greater than or equal to";
    if (op == "+") return "add";
    if (op == "-") return "subtract";
    if (op == "*") return "multiply";
    if (op == "/") return "divide";
    if (op == "%") return "modulo";
    if (op == "&") return "boolean AND";
    if (op == "|") return "boolean OR";
    if (op == "^") return "boolean XOR";
    return "";
}

int opcode(const std::string &op)
{
    if (op == "+") return 0;
    if (op == "-") return 1;
    if (op == "*") return 2;
    if (op == "/") return 3;
    return 4;
}

bool isDateTimeWithNumbers(const SqlType &t)
{
    return t.base == Base::DateTime || t.base == Base::SmallDateTime;
}

} // namespace

bool Bound::isNullLiteral() const
{
    return type.isNull() && literal == nullptr && sql == "NULL";
}

Compiler::Compiler(Catalog &catalog, std::string database, VariableLookup variables, CompileOptions options,
                   CompileState *shared)
    : m_catalog(catalog), m_database(std::move(database)), m_variables(std::move(variables)), m_options(options),
      m_state(shared ? shared : &m_own)
{
}

Compiler Compiler::child(const std::string &database, CompileOptions options)
{
    return Compiler(m_catalog, database, nullptr, options, m_state);
}

std::string Compiler::param(Param p)
{
    m_state->params.push_back(std::move(p));
    return "?" + std::to_string(m_state->params.size());
}

std::string Compiler::constant(const Value &v)
{
    if (!m_options.inlineConstants) {
        Param p;
        p.kind = Param::Kind::Constant;
        p.constant = v;
        return param(std::move(p));
    }
    // SQL that takes no parameters (triggers): the storage form written out.
    switch (v.type()) {
    case Value::Type::Null:
        return "NULL";
    case Value::Type::Integer:
        return std::to_string(v.asInteger());
    case Value::Type::Float: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v.asFloat());
        return std::string("CAST(") + buf + " AS REAL)";
    }
    case Value::Type::Decimal: {
        const Decimal &d = v.asDecimal();
        if (storage::isWide(v.sqlType())) {
            std::string hex = "X'";
            static const char digits[] = "0123456789ABCDEF";
            for (unsigned char c : storage::encodeWide(d.unscaled)) {
                hex += digits[c >> 4];
                hex += digits[c & 15];
            }
            return hex + "'";
        }
        return std::to_string(static_cast<std::int64_t>(d.unscaled));
    }
    case Value::Type::Binary: {
        std::string hex = "X'";
        static const char digits[] = "0123456789ABCDEF";
        for (unsigned char c : v.asText()) {
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        return hex + "'";
    }
    case Value::Type::Text:
    case Value::Type::DateTime: {
        const std::string s = v.type() == Value::Type::Text ? v.asText() : conv::toText(v);
        if (s.find('\0') != std::string::npos) {
            std::string hex = "CAST(X'";
            static const char digits[] = "0123456789ABCDEF";
            for (unsigned char c : s) {
                hex += digits[c >> 4];
                hex += digits[c & 15];
            }
            return hex + "' AS TEXT)";
        }
        if (v.type() == Value::Type::DateTime) {
            sqlite3 *none = nullptr;
            (void)none;
        }
        return sqlite::quoteLiteral(s);
    }
    }
    return "NULL";
}

Value Compiler::literalValue(const Literal &l) const
{
    LiteralKind k = LiteralKind::Null;
    switch (l.type) {
    case Literal::Type::String: k = LiteralKind::String; break;
    case Literal::Type::Number: k = LiteralKind::Number; break;
    case Literal::Type::Binary: k = LiteralKind::Binary; break;
    case Literal::Type::Money: k = LiteralKind::Money; break;
    case Literal::Type::Null: k = LiteralKind::Null; break;
    }
    return tsql::literalValue(k, l.text, l.national);
}

std::string Compiler::literalSql(const Literal &l, SqlType &type)
{
    const Value v = literalValue(l);
    type = v.sqlType();
    if (l.type == Literal::Type::Null)
        return "NULL";
    if (m_options.literalsAsConstants || m_options.inlineConstants || l.index < 0)
        return constant(v);
    Param p;
    p.kind = Param::Kind::Literal;
    p.literal = l.index;
    const std::string sql = param(std::move(p));
    m_state->literalTexts[static_cast<int>(m_state->params.size())] = (l.national ? "N" : "") + l.text;
    return sql;
}

std::string Compiler::groupKey(const std::string &sql) const
{
    std::string key;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        if (sql[i] != '?' || i + 1 >= sql.size() || !std::isdigit(static_cast<unsigned char>(sql[i + 1]))) {
            key += sql[i];
            continue;
        }
        std::size_t j = i + 1;
        while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j])))
            ++j;
        const int n = std::stoi(sql.substr(i + 1, j - i - 1));
        const auto it = m_state->literalTexts.find(n);
        key += it == m_state->literalTexts.end() ? sql.substr(i, j - i) : "{" + it->second + "}";
        i = j - 1;
    }
    return key;
}

void Compiler::combine(Bound &into, const Bound &part) const
{
    into.aggregate = into.aggregate || part.aggregate;
    into.window = into.window || part.window;
    into.constant = into.constant && part.constant;
    into.nullable = into.nullable || part.nullable;
    into.ungrouped.insert(into.ungrouped.end(), part.ungrouped.begin(), part.ungrouped.end());
}

void Compiler::markColumn(Bound &b, const std::string &written) const
{
    // A column outside every aggregate must be grouped when the query groups.
    if (m_scope->grouped && !m_scope->inAggregate && !m_scope->groupSql.count(b.sql))
        b.ungrouped.push_back(written);
}

std::string Compiler::convert(const Bound &e, const SqlType &to, int style, bool explicitly)
{
    const SqlType &from = e.type;
    if (e.isNullLiteral() || from.isNull())
        return e.sql;
    conv::check(from, to, explicitly);
    // Conversions that leave the stored form as it is cost nothing.
    if (from.base == to.base && style == dt::DefaultStyle) {
        if (from.isText() || from.isBinary()) {
            if (to.length == -1 || (from.length != -1 && to.length >= from.length && !to.isFixedLength()))
                return e.sql;
            if (to.isFixedLength() && from.length == to.length)
                return e.sql;
        } else if (from.isDecimal()) {
            if (from.precision == to.precision && from.scale == to.scale)
                return e.sql;
        } else if (from.base == Base::Time || from.base == Base::DateTime2 || from.base == Base::DateTimeOffset) {
            if (from.scale <= to.scale)
                return e.sql;
        } else {
            return e.sql;
        }
    }
    if (from.isInteger() && to.isInteger() && from.base != Base::Bit && to.base != Base::Bit &&
        precedence(to.base) >= precedence(from.base))
        return e.sql;
    if (from.isText() && to.isText() && to.isUnicode() && !to.isFixedLength() &&
        (to.length == -1 || (from.length != -1 && to.length >= from.length)))
        return e.sql; // varchar text is valid nvarchar text as it stands
    if (from.base == Base::Float && to.base == Base::Float)
        return e.sql;
    return "tsql_cast(" + e.sql + ", " + code(from) + ", " + code(to) + ", " + std::to_string(style) + ")";
}

Bound Compiler::column(const ast::Column &c)
{
    const std::string &name = c.parts.back();
    const std::vector<std::string> qualifier(c.parts.begin(), c.parts.end() - 1);
    for (Scope *s = m_scope; s; s = s->outer) {
        const Source *found = nullptr;
        const SourceColumn *col = nullptr;
        bool qualifierMatched = false;
        for (const Source &src : s->sources) {
            if (!qualifier.empty()) {
                bool match = false;
                if (qualifier.size() == 1) {
                    match = src.aliased ? iequals(src.alias, qualifier[0]) : iequals(src.alias, qualifier[0]);
                } else if (!src.aliased) {
                    const std::string &schema = qualifier[qualifier.size() - 2];
                    match = iequals(src.alias, qualifier.back()) &&
                            (schema.empty() || iequals(schema, "dbo") || iequals(schema, src.name.schema));
                    if (qualifier.size() >= 3 && src.table)
                        match = match && iequals(qualifier[qualifier.size() - 3], src.table->database);
                }
                if (!match)
                    continue;
                if (qualifierMatched)
                    throw err::make(209, c.written()).atLine(c.line);
                qualifierMatched = true;
                for (const SourceColumn &sc : src.columns)
                    if (iequals(sc.name, name)) {
                        found = &src;
                        col = &sc;
                    }
                if (!col)
                    throw err::make(207, name).atLine(c.line);
                continue;
            }
            for (const SourceColumn &sc : src.columns) {
                if (!iequals(sc.name, name))
                    continue;
                if (found)
                    throw err::make(209, name).atLine(c.line);
                found = &src;
                col = &sc;
            }
        }
        if (!col)
            continue;
        Bound b;
        b.sql = col->sql;
        b.type = col->type;
        b.nullable = col->nullable;
        b.constant = false;
        b.plainColumn = true;
        b.columnName = col->name;
        b.tableName = col->baseTable;
        b.identity = col->identity;
        if (s == m_scope)
            markColumn(b, (found->aliased || qualifier.empty() ? found->alias : found->name.written) + "." + col->name);
        return b;
    }
    if (!qualifier.empty())
        throw err::make(4104, c.written()).atLine(c.line);
    throw err::make(207, name).atLine(c.line);
}

Bound Compiler::variable(const Variable &v)
{
    Bound b;
    b.constant = true;
    auto info = m_variables ? m_variables(v.name) : std::nullopt;
    if (!info)
        throw err::make(137, v.name).atLine(v.line);
    if (info->isTable)
        throw err::make(137, v.name).atLine(v.line);
    b.type = info->type;
    if (m_state->liveVariables.count(lower(v.name))) {
        b.constant = false;
        b.sql = "tsql_local(" + constant(Value::text(v.name)) + ", " + std::to_string(info->type.code()) + ")";
        return b;
    }
    Param p;
    p.kind = Param::Kind::Variable;
    p.variable = v.name;
    b.sql = param(std::move(p));
    return b;
}

Bound Compiler::unary(const Unary &u)
{
    if (u.op == "not") {
        Bound a = condition(*u.operand);
        Bound r = a;
        r.sql = "(NOT " + a.sql + ")";
        r.type = SqlType{Base::Bit};
        return r;
    }
    Bound a = expr(*u.operand);
    if (u.op == "+")
        return a;
    Bound r = a;
    r.literal = nullptr;
    r.plainColumn = false;
    if (a.type.isText()) {
        // SQL Server reads a text operand of a sign as a number only where the text is a number.
        if (u.op == "-")
            throw err::make(8117, a.type.name(), "minus").atLine(u.line);
        return a;
    }
    if (u.op == "~") {
        if (!a.type.isInteger())
            throw err::make(402, a.type.name(), a.type.name(), "boolean NOT").atLine(u.line);
        r.sql = "(~" + a.sql + ")";
        if (a.type.base == Base::Bit)
            r.sql = "(1 - " + a.sql + ")";
        else if (a.type.base == Base::TinyInt)
            r.sql = "(255 - " + a.sql + ")";
        return r;
    }
    if (!a.type.isNumeric() && !a.type.isNull())
        throw err::make(8117, a.type.name(), "minus").atLine(u.line);
    if (a.type.base == Base::Bit || a.type.isNull())
        r.type = a.type.isNull() ? SqlType{Base::Int} : SqlType{Base::Int};
    r.sql = "tsql_arith(5, " + a.sql + ", NULL, " + code(a.type.isNull() ? SqlType{Base::Int} : a.type) + ", 0, " +
            code(r.type) + ")";
    return r;
}

Bound Compiler::arithmetic(const std::string &op, Bound a, Bound b, int line)
{
    Bound r;
    combine(r, a);
    combine(r, b);
    const SqlType &ta = a.type, &tb = b.type;
    // Text joins text; a NULL takes the other side's type.
    const bool textA = ta.isText() || (ta.isNull() && tb.isText());
    const bool textB = tb.isText() || (tb.isNull() && ta.isText());
    if (op == "+" && textA && textB) {
        const bool unicode = ta.isUnicode() || tb.isUnicode();
        const int limit = unicode ? 4000 : 8000;
        std::int32_t len = -1;
        if (ta.length != -1 && tb.length != -1 && !ta.isLob() && !tb.isLob()) {
            len = std::max(1, ta.length) + std::max(1, tb.length);
            if (len > limit)
                len = limit;
        }
        r.type = SqlType{unicode ? Base::NVarChar : Base::VarChar, len};
        r.sql = "(" + a.sql + " || " + b.sql + ")";
        if (!unicode && (ta.isUnicode() != tb.isUnicode()))
            r.sql = "(" + convert(a, r.type) + " || " + convert(b, r.type) + ")";
        return r;
    }
    if (ta.isNull() && tb.isNull()) {
        r.type = SqlType{Base::Int};
        r.sql = "NULL";
        return r;
    }
    const SqlType ea = ta.isNull() ? tb : ta;
    const SqlType eb = tb.isNull() ? ta : tb;
    // datetime and smalldatetime take days as numbers; the newer types take none.
    if ((op == "+" || op == "-") && (ea.isDateTime() || eb.isDateTime())) {
        const bool leftDate = ea.isDateTime();
        const SqlType &dateType = leftDate ? ea : eb;
        const SqlType &other = leftDate ? eb : ea;
        // The newer types take no number at all: SQL Server cannot convert one to them.
        if (!isDateTimeWithNumbers(dateType) && other.isNumeric())
            throw err::make(206, ta.name(), tb.name()).atLine(line);
        if (!isDateTimeWithNumbers(dateType) || (!leftDate && op == "-"))
            throw err::make(402, ta.name(), tb.name(), operatorName(op)).atLine(line);
        if (other.isDateTime() || other.isText()) {
            // datetime - datetime (or a text read as one): the difference as days since 1900.
            const Bound &dateSide = leftDate ? a : b;
            const Bound &otherSide = leftDate ? b : a;
            const std::string o = other.isText() ? convert(otherSide, dateType) : otherSide.sql;
            if (!other.isDateTime() && !other.isText())
                throw err::make(402, ta.name(), tb.name(), operatorName(op)).atLine(line);
            r.type = dateType;
            r.sql = "tsql_datemath(" + std::to_string(opcode(op)) + ", " + dateSide.sql + ", " + o + ", " +
                    code(dateType) + ", " + code(other.isText() ? dateType : other) + ")";
            return r;
        }
        if (!other.isNumeric())
            throw err::make(402, ta.name(), tb.name(), operatorName(op)).atLine(line);
        r.type = dateType;
        const Bound &d = leftDate ? a : b;
        const Bound &n = leftDate ? b : a;
        r.sql = "tsql_datemath(" + std::to_string(opcode(op)) + ", " + d.sql + ", " + n.sql + ", " + code(dateType) +
                ", " + code(other) + ")";
        return r;
    }
    if (op == "&" || op == "|" || op == "^") {
        const SqlType ia = ea.isText() ? SqlType{Base::Int} : ea, ib = eb.isText() ? SqlType{Base::Int} : eb;
        if (!ia.isInteger() || !ib.isInteger())
            throw err::make(402, ta.name(), tb.name(), operatorName(op)).atLine(line);
        r.type = precedence(ia.base) >= precedence(ib.base) ? ia : ib;
        const std::string x = convert(a, r.type), y = convert(b, r.type);
        if (op == "&")
            r.sql = "(" + x + " & " + y + ")";
        else if (op == "|")
            r.sql = "(" + x + " | " + y + ")";
        else
            r.sql = "tsql_bitxor(" + x + ", " + y + ")";
        return r;
    }
    // Arithmetic: a text operand is read as the other side's number, by precedence.
    SqlType na = ea, nb = eb;
    if (na.isText() && nb.isText()) {
        throw err::make(402, ta.name(), tb.name(), operatorName(op)).atLine(line);
    }
    if (na.isText())
        na = nb.isNumeric() ? nb : SqlType{Base::Int};
    if (nb.isText())
        nb = na.isNumeric() ? na : SqlType{Base::Int};
    if (!na.isNumeric() || !nb.isNumeric())
        throw err::make(402, ta.name(), tb.name(), operatorName(op)).atLine(line);
    // An integer constant meets a decimal as a numeric just wide enough for its digits, as SQL
    // Server types constants in a query it does not parameterize: 1.0 / 3 is decimal(7,6).
    const auto constantAsDecimal = [](const Bound &x, SqlType &t, const SqlType &other) {
        if (!x.literal || x.literal->type != ast::Literal::Type::Number || !t.isInteger() || !other.isDecimal())
            return;
        const std::string &digits = x.literal->text;
        const std::size_t first = std::min(digits.find_first_not_of('0'), digits.size() - 1);
        t = SqlType::decimal(static_cast<int>(digits.size() - first), 0);
    };
    constantAsDecimal(a, na, nb);
    constantAsDecimal(b, nb, na);
    num::Op o = op == "+" ? num::Op::Add : op == "-" ? num::Op::Subtract : op == "*" ? num::Op::Multiply
                : op == "/" ? num::Op::Divide : num::Op::Modulo;
    try {
        r.type = num::arithmeticType(o, na, nb);
    } catch (const Error &e) {
        throw e.atLine(line);
    }
    const std::string x = ta.isText() ? convert(a, na) : a.sql;
    const std::string y = tb.isText() ? convert(b, nb) : b.sql;
    r.sql = "tsql_arith(" + std::to_string(opcode(op)) + ", " + x + ", " + y + ", " + code(na) + ", " + code(nb) + ", " +
            code(r.type) + ")";
    return r;
}

std::optional<std::string> Compiler::dayRange(const Bound &converted, const Bound &text)
{
    if (converted.dateSource.empty() || !text.type.isText() || !text.constant || text.aggregate)
        return std::nullopt;
    // The converted text equals a day's text exactly on that calendar day, so the filter is
    // also a range on the column itself, which an index can answer; the equality stays as
    // the exact filter, and a text that is no day gives a range that holds everything.
    const std::string style = std::to_string(converted.dateStyle);
    return "(" + converted.dateSource + " >= tsql_day_lo(" + text.sql + ", " + style + ") AND " + converted.dateSource +
           " < tsql_day_hi(" + text.sql + ", " + style + ") AND " + converted.sql + " = " + text.sql + " COLLATE TSQL)";
}

Bound Compiler::compare(const std::string &op, const Bound &a, const Bound &b)
{
    Bound r;
    combine(r, a);
    combine(r, b);
    r.type = SqlType{Base::Bit};
    if (op == "=" && (a.type.isText() || b.type.isText())) {
        if (auto range = dayRange(a, b)) {
            r.sql = *range;
            return r;
        }
        if (auto range = dayRange(b, a)) {
            r.sql = *range;
            return r;
        }
    }
    std::string x = a.sql, y = b.sql;
    std::string collate;
    if (a.type.isNull() || b.type.isNull()) {
        // ANSI NULL comparison: never true.
    } else if (a.type.isText() && b.type.isText()) {
        collate = " COLLATE TSQL";
    } else if (a.type.base == b.type.base && !a.type.isDecimal()) {
        // Same type, same stored form.
    } else if (a.type.isInteger() && b.type.isInteger()) {
    } else if ((a.type.isInteger() || a.type.isApproximate()) && (b.type.isInteger() || b.type.isApproximate())) {
        // SQLite compares INTEGER with REAL by value.
    } else {
        SqlType common = commonType(a.type, b.type);
        if (common.isDecimal() && (a.type.isApproximate() || b.type.isApproximate()))
            common = SqlType{Base::Float};
        try {
            x = convert(a, common);
            y = convert(b, common);
        } catch (const Error &e) {
            if (e.number() == 206 || e.number() == 257)
                throw e;
            throw;
        }
        if (common.isText())
            collate = " COLLATE TSQL";
    }
    r.sql = "(" + x + " " + op + " " + y + collate + ")";
    return r;
}

Bound Compiler::binary(const Binary &b)
{
    if (b.op == "and" || b.op == "or") {
        Bound x = condition(*b.left), y = condition(*b.right);
        Bound r;
        combine(r, x);
        combine(r, y);
        r.type = SqlType{Base::Bit};
        r.sql = "(" + x.sql + (b.op == "and" ? " AND " : " OR ") + y.sql + ")";
        return r;
    }
    Bound x = expr(*b.left), y = expr(*b.right);
    if (b.op == "=" || b.op == "<>" || b.op == "<" || b.op == ">" || b.op == "<=" || b.op == ">=") {
        try {
            return compare(b.op, x, y);
        } catch (const Error &e) {
            throw e.line() ? e : e.atLine(b.line);
        }
    }
    return arithmetic(b.op, std::move(x), std::move(y), b.line);
}

Bound Compiler::like(const Like &l)
{
    Bound v = expr(*l.value), p = expr(*l.pattern);
    Bound r;
    combine(r, v);
    combine(r, p);
    r.type = SqlType{Base::Bit};
    const bool unicode = v.type.isUnicode() || p.type.isUnicode();
    const SqlType textType = unicode ? SqlType::nvarchar(-1) : SqlType::varchar(-1);
    const std::string value = v.type.isText() || v.type.isNull() ? v.sql : convert(v, textType);
    const std::string pattern = p.type.isText() || p.type.isNull() ? p.sql : convert(p, textType);
    std::string escape = "NULL";
    if (l.escape) {
        Bound e = expr(*l.escape);
        combine(r, e);
        escape = e.type.isText() ? e.sql : convert(e, textType);
    }
    const std::string call = "tsql_like(" + value + ", " + pattern + ", " + escape + ", " + (unicode ? "1" : "0") + ")";
    if (l.negated) {
        r.sql = "(NOT " + call + ")";
        return r;
    }
    r.sql = call;
    if (v.plainColumn && v.type.isText() && p.constant && !l.escape && !p.aggregate) {
        // A fixed beginning of the pattern is a range on the column that an index can answer;
        // LIKE stays as the exact filter.
        r.sql = "(" + v.sql + " >= tsql_like_lo(" + pattern + ") AND " + v.sql + " < tsql_like_hi(" + pattern +
                ") AND " + call + ")";
    }
    return r;
}

Bound Compiler::between(const Between &b)
{
    Bound v = expr(*b.value), lo = expr(*b.low), hi = expr(*b.high);
    Bound x = compare(">=", v, lo), y = compare("<=", v, hi);
    Bound r;
    combine(r, x);
    combine(r, y);
    r.type = SqlType{Base::Bit};
    r.sql = "(" + x.sql + " AND " + y.sql + ")";
    if (b.negated)
        r.sql = "(NOT " + r.sql + ")";
    return r;
}

Bound Compiler::in(const In &in)
{
    Bound v = expr(*in.value);
    Bound r;
    combine(r, v);
    r.type = SqlType{Base::Bit};
    if (in.query) {
        std::vector<OutputColumn> cols;
        const std::string sub = subquery(*in.query, cols);
        if (cols.size() != 1)
            throw err::make(116).atLine(in.line);
        Bound c;
        c.sql = "q.c0";
        c.type = cols[0].type;
        c.constant = false;
        Bound cmp = compare("=", v, c);
        r.constant = false;
        // The value's conversion happens per row of the subquery, inside it.
        std::string left = v.sql, right = "c0";
        if (cmp.sql.find(" COLLATE TSQL") != std::string::npos && !v.type.isText() && !c.type.isText()) {
        }
        const SqlType common = v.type.isNull() ? c.type : (c.type.isNull() ? v.type : commonType(v.type, c.type));
        Bound cv = c;
        cv.sql = "c0";
        const std::string inner = convert(cv, common);
        left = convert(v, common);
        const std::string collate = common.isText() ? " COLLATE TSQL" : "";
        r.sql = "(" + left + collate + (in.negated ? " NOT IN " : " IN ") + "(SELECT " + inner + " FROM (" + sub + ")))";
        return r;
    }
    std::vector<Bound> items;
    SqlType common = v.type;
    for (const auto &e : in.list) {
        items.push_back(expr(*e));
        combine(r, items.back());
        common = common.isNull() ? items.back().type : (items.back().type.isNull() ? common : commonType(common, items.back().type));
    }
    // A plain column keeps its own form on the left, so an index on it can answer the list.
    std::string list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string s;
        if (v.type.isText() && items[i].type.isText())
            s = items[i].sql;
        else
            s = convert(items[i], common);
        list += (i ? ", " : "") + s;
    }
    std::string left = (v.type.isText() && common.isText()) ? v.sql : convert(v, common);
    if (common.isText())
        left += " COLLATE TSQL";
    r.sql = "(" + left + (in.negated ? " NOT IN (" : " IN (") + list + "))";
    return r;
}

Bound Compiler::isNull(const IsNull &n)
{
    Bound v = expr(*n.value);
    Bound r;
    combine(r, v);
    r.type = SqlType{Base::Bit};
    r.nullable = false;
    r.sql = "(" + v.sql + (n.negated ? " IS NOT NULL)" : " IS NULL)");
    return r;
}

SqlType Compiler::unionType(const std::vector<Bound> &parts, const char *)
{
    SqlType t;
    for (const Bound &b : parts) {
        if (b.type.isNull())
            continue;
        if (t.isNull()) {
            t = b.type;
            continue;
        }
        // Types that meet must convert to the winner (245 and the like at run time otherwise).
        conv::check(precedence(b.type.base) > precedence(t.base) ? t : b.type,
                    precedence(b.type.base) > precedence(t.base) ? b.type : t, false);
        t = commonType(t, b.type);
    }
    return t;
}

Bound Compiler::caseExpr(const Case &c)
{
    Bound r;
    std::vector<Bound> values;
    std::vector<std::string> conditions;
    std::optional<Bound> operand;
    if (c.operand) {
        operand = expr(*c.operand);
        combine(r, *operand);
    }
    for (const auto &[when, then] : c.whens) {
        Bound w = operand ? compare("=", *operand, expr(*when)) : condition(*when);
        combine(r, w);
        conditions.push_back(w.sql);
        values.push_back(expr(*then));
        combine(r, values.back());
    }
    if (c.elseValue) {
        values.push_back(expr(*c.elseValue));
        combine(r, values.back());
    }
    // With nothing but NULL constants to give, the CASE would have no type at all.
    const auto nullConstant = [](const Expr &e) {
        return e.kind == Expr::Kind::Literal && e.as<Literal>().type == Literal::Type::Null;
    };
    bool onlyNulls = true;
    for (const auto &w : c.whens)
        onlyNulls = onlyNulls && nullConstant(*w.second);
    if (onlyNulls && (!c.elseValue || nullConstant(*c.elseValue)))
        throw err::make(8133).atLine(c.line);
    r.type = unionType(values, "CASE");
    if (r.type.isNull())
        r.type = SqlType{Base::Int};
    std::string sql = "CASE";
    for (std::size_t i = 0; i < conditions.size(); ++i)
        sql += " WHEN " + conditions[i] + " THEN " + convert(values[i], r.type);
    if (c.elseValue)
        sql += " ELSE " + convert(values.back(), r.type);
    r.sql = sql + " END";
    return r;
}

Bound Compiler::cast(const Cast &c)
{
    Bound v = expr(*c.value);
    SqlType to = c.type;
    // Without a length CAST and CONVERT make text and binary 30 long.
    if ((to.isText() || to.isBinary()) && to.length == 0 && to.base != Base::Text && to.base != Base::NText &&
        to.base != Base::Image)
        to.length = 30;
    int style = dt::DefaultStyle;
    if (c.style && c.style->kind == Expr::Kind::Literal && c.style->as<Literal>().type == Literal::Type::Null) {
        // A NULL style gives NULL, whatever the value.
        Bound r;
        combine(r, v);
        r.type = to;
        r.sql = "NULL";
        r.literal = nullptr;
        return r;
    }
    if (c.style) {
        if (c.style->kind != Expr::Kind::Literal || c.style->as<Literal>().type != Literal::Type::Number)
            throw err::make(102, ",").atLine(c.line);
        style = std::atoi(c.style->as<Literal>().text.c_str());
    }
    Bound r;
    combine(r, v);
    r.type = to;
    try {
        conv::check(v.type, to, true);
    } catch (const Error &e) {
        throw e.atLine(c.line);
    }
    if (v.isNullLiteral() || v.type.isNull()) {
        r.sql = "NULL";
        return r;
    }
    r.sql = std::string(c.tryCast ? "tsql_trycast(" : "tsql_cast(") + v.sql + ", " + code(v.type) + ", " + code(to) +
            ", " + std::to_string(style) + ")";
    if (!c.tryCast && style == dt::DefaultStyle) {
        const std::string plain = convert(v, to, dt::DefaultStyle, true);
        if (plain == v.sql)
            r.sql = plain;
    }
    if (v.plainColumn && v.type.isDateTime() && to.isText()) {
        r.dateSource = v.sql;
        r.dateStyle = style;
    }
    return r;
}

Bound Compiler::subquery(const Subquery &s)
{
    std::vector<OutputColumn> cols;
    const std::string sub = subquery(*s.query, cols);
    if (cols.size() != 1)
        throw err::make(116).atLine(s.line);
    Bound r;
    r.constant = false;
    r.type = cols[0].type.isNull() ? SqlType{Base::Int} : cols[0].type;
    // More than one row is an error, as in SQL Server; two rows are enough to tell.
    r.sql = "(SELECT CASE WHEN count(*) > 1 THEN tsql_raise(512) ELSE max(c0) END FROM (SELECT c0 FROM (" + sub +
            ") LIMIT 2))";
    return r;
}

Bound Compiler::exists(const Exists &e)
{
    std::vector<OutputColumn> cols;
    const std::string sub = subquery(*e.query, cols);
    Bound r;
    r.constant = false;
    r.nullable = false;
    r.type = SqlType{Base::Bit};
    r.sql = "EXISTS (" + sub + ")";
    return r;
}

Bound Compiler::quantified(const Quantified &q)
{
    Bound v = expr(*q.value);
    std::vector<OutputColumn> cols;
    const std::string sub = subquery(*q.query, cols);
    if (cols.size() != 1)
        throw err::make(116).atLine(q.line);
    Bound c;
    c.sql = "q.c0";
    c.type = cols[0].type;
    c.constant = false;
    const Bound cmp = compare(q.op, v, c);
    Bound r;
    combine(r, v);
    r.constant = false;
    r.type = SqlType{Base::Bit};
    const std::string from = " FROM (" + sub + ") AS q WHERE ";
    // Three-valued, as SQL Server: UNKNOWN when no row decides and some comparison is NULL.
    if (q.all)
        r.sql = "(CASE WHEN EXISTS (SELECT 1" + from + "NOT " + cmp.sql + ") THEN 0 WHEN EXISTS (SELECT 1" + from + cmp.sql +
                " IS NULL) THEN NULL ELSE 1 END)";
    else
        r.sql = "(CASE WHEN EXISTS (SELECT 1" + from + cmp.sql + ") THEN 1 WHEN EXISTS (SELECT 1" + from + cmp.sql +
                " IS NULL) THEN NULL ELSE 0 END)";
    return r;
}

Bound Compiler::condition(const Expr &e)
{
    Bound b = expr(e);
    // A search condition must be a predicate; a bare value is a syntax error in T-SQL.
    switch (e.kind) {
    case Expr::Kind::Binary: {
        const std::string &op = e.as<Binary>().op;
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=" || op == "and" || op == "or")
            return b;
        break;
    }
    case Expr::Kind::Unary:
        if (e.as<Unary>().op == "not")
            return b;
        break;
    case Expr::Kind::Like: case Expr::Kind::Between: case Expr::Kind::In: case Expr::Kind::IsNull:
    case Expr::Kind::Exists: case Expr::Kind::Quantified:
        return b;
    default:
        break;
    }
    throw err::make(4145).atLine(e.line);
}

Bound Compiler::expr(const Expr &e)
{
    Bound b = exprNode(e);
    if (b.sql.size() > kExpressionSqlLimit)
        throw err::make(8632).atLine(e.line);
    // An expression the query groups by stands for its group, whatever columns it reads.
    if (m_scope && m_scope->grouped && !m_scope->inAggregate && !b.ungrouped.empty() && !b.aggregate &&
        m_scope->groupSql.count(groupKey(b.sql)))
        b.ungrouped.clear();
    if (m_scope && !m_scope->rolledUp.empty() && !m_scope->inAggregate && !b.aggregate &&
        m_scope->rolledUp.count(groupKey(b.sql))) {
        b.sql = "NULL";
        b.literal = nullptr;
        b.nullable = true;
        b.ungrouped.clear();
    }
    return b;
}

Bound Compiler::exprNode(const Expr &e)
{
    switch (e.kind) {
    case Expr::Kind::Literal: {
        const auto &l = e.as<Literal>();
        Bound b;
        b.sql = literalSql(l, b.type);
        b.literal = &l;
        b.nullable = l.type == Literal::Type::Null;
        return b;
    }
    case Expr::Kind::Variable:
        return variable(e.as<Variable>());
    case Expr::Kind::Column:
        return column(e.as<ast::Column>());
    case Expr::Kind::Star:
        throw err::make(102, "*").atLine(e.line);
    case Expr::Kind::Unary:
        return unary(e.as<Unary>());
    case Expr::Kind::Binary:
        return binary(e.as<Binary>());
    case Expr::Kind::Like:
        return like(e.as<Like>());
    case Expr::Kind::Between:
        return between(e.as<Between>());
    case Expr::Kind::In:
        return in(e.as<In>());
    case Expr::Kind::IsNull:
        return isNull(e.as<IsNull>());
    case Expr::Kind::Exists:
        return exists(e.as<Exists>());
    case Expr::Kind::Quantified:
        return quantified(e.as<Quantified>());
    case Expr::Kind::Subquery:
        return subquery(e.as<Subquery>());
    case Expr::Kind::Function:
        return function(e.as<Function>());
    case Expr::Kind::Cast:
        return cast(e.as<Cast>());
    case Expr::Kind::Case:
        return caseExpr(e.as<Case>());
    case Expr::Kind::Collate: {
        const auto &c = e.as<Collate>();
        Bound b = expr(*c.value);
        if (!b.type.isText())
            throw err::make(447, c.collation).atLine(e.line);
        // One collation is supported; a case-sensitive or binary one would answer differently.
        if (!iequals(c.collation, "SQL_Latin1_General_CP1_CI_AS") && !iequals(c.collation, "database_default") &&
            !iequals(c.collation, "Latin1_General_CI_AS"))
            throw err::make(448, c.collation).atLine(e.line);
        b.plainColumn = false;
        return b;
    }
    }
    throw err::internal("unknown expression");
}

} // namespace tsql
