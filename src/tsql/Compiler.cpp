#include "tsql/Compiler.h"

#include "tsql/Errors.h"
#include "tsql/Sqlite.h"

#include <cctype>

namespace tsql {

using ast::Expr;

namespace {

Error notBound(const std::string &written)
{
    return Error(4104, 16, 1, "The multi-part identifier \"" + written + "\" could not be bound.");
}

SqlType textType(int length = 8000) { return SqlType{Base::VarChar, length}; }

bool isAggregate(const std::string &name)
{
    return name == "count" || name == "max" || name == "min" || name == "sum" || name == "avg" || name == "count_big";
}

// True for 'mm/dd/yyyy' (trailing blanks allowed): the only text CONVERT(varchar, d, 101) yields.
std::optional<DateTime> style101Text(const std::string &s)
{
    const std::string t = rtrimBlanks(s);
    if (t.size() != 10 || t[2] != '/' || t[5] != '/')
        return std::nullopt;
    for (int i : {0, 1, 3, 4, 6, 7, 8, 9})
        if (!std::isdigit(static_cast<unsigned char>(t[static_cast<std::size_t>(i)])))
            return std::nullopt;
    try {
        DateTime d = textToDateTime(t, 101);
        d.hour = d.minute = d.second = d.millisecond = 0;
        return d;
    } catch (const Error &) {
        return std::nullopt;
    }
}

} // namespace

Table Compiler::target(const ast::ObjectName &n)
{
    auto t = m_catalog.find(n, m_current);
    if (!t || !t->source.empty())
        throw err::invalidObject(n.written);
    return *t;
}

void Compiler::addSource(const ast::TableRef &r)
{
    auto t = m_catalog.find(r.name, m_current);
    if (!t)
        throw err::invalidObject(r.name.written);
    Source s;
    s.table = std::move(*t);
    s.aliased = !r.alias.empty();
    s.alias = s.aliased ? r.alias : r.name.name;
    s.name = r.name;
    s.sqlAlias = "t" + std::to_string(m_aliasCounter++);
    m_sources.push_back(std::move(s));
}

Typed Compiler::column(const Expr &e)
{
    const std::string &col = e.parts.back();
    const Source *found = nullptr;
    int index = -1;
    if (e.parts.size() == 1) {
        for (const auto &s : m_sources) {
            const int i = s.table.find(col);
            if (i < 0)
                continue;
            if (found)
                throw err::ambiguousColumn(col);
            found = &s;
            index = i;
        }
        if (!found)
            throw err::invalidColumn(col);
    } else {
        const std::vector<std::string> qual(e.parts.begin(), e.parts.end() - 1);
        for (const auto &s : m_sources) {
            bool match = false;
            if (qual.size() == 1) {
                match = s.aliased ? iequals(s.alias, qual[0]) : iequals(s.table.name, qual[0]);
            } else if (!s.aliased && iequals(s.table.name, qual.back())) {
                const std::string &schema = qual[qual.size() - 2];
                match = schema.empty() || iequals(schema, "dbo") || iequals(schema, s.name.schema);
                if (qual.size() == 3)
                    match = match && iequals(qual[0], s.table.database);
            }
            if (match) {
                if (found)
                    throw err::ambiguousColumn(e.written());
                found = &s;
            }
        }
        if (!found)
            throw notBound(e.written());
        index = found->table.find(col);
        if (index < 0)
            throw err::invalidColumn(col);
    }
    Typed t;
    t.column = &found->table.columns[static_cast<std::size_t>(index)];
    t.sql = found->sqlAlias + "." + quoteName(t.column->name);
    t.type = t.column->type;
    t.sourceAlias = found->sqlAlias;
    return t;
}

std::string Compiler::toDateTime(const Typed &t)
{
    if (t.stringLiteral)
        return quoteLiteral(formatStorage(textToDateTime(t.literal)));
    if (t.type.isDateTime() || t.isNull)
        return t.sql;
    return "tsql_cast(" + t.sql + ", 'datetime', 0, 0)";
}

std::string Compiler::toNumber(const Typed &t, const SqlType &target)
{
    const bool integer = target.category() == Category::Integer;
    if (t.stringLiteral) {
        if (integer) {
            bool overflow = false;
            const auto v = parseInteger(t.literal, overflow);
            if (overflow)
                throw err::conversionOverflow("varchar", t.literal, "int");
            if (!v)
                throw err::badConversion("varchar", t.literal, "int");
            return std::to_string(*v);
        }
        const auto v = parseFloat(t.literal);
        if (!v)
            throw err::floatConversion("varchar");
        return formatFloat(*v);
    }
    return "tsql_cast(" + t.sql + (integer ? ", 'bigint', 0, 0)" : ", 'float', 0, 0)");
}

std::optional<std::string> Compiler::dateRange(const Typed &a, const Typed &b, const std::string &op)
{
    if (op != "=" || a.dateSource.empty() || a.dateStyle != 101 || !b.stringLiteral)
        return std::nullopt;
    const auto day = style101Text(b.literal);
    if (!day)
        return std::nullopt;
    // The converted text equals the literal exactly on that calendar day, so the filter becomes
    // a range on the column itself, which an index can answer.
    return "(" + a.dateSource + " >= " + quoteLiteral(formatStorage(*day)) + " AND " + a.dateSource + " < " +
           quoteLiteral(formatStorage(addDays(*day, 1))) + ")";
}

Typed Compiler::compare(const Typed &a0, const Typed &b0, const std::string &op)
{
    Typed r;
    r.type = SqlType{Base::Bit};
    if (auto range = dateRange(a0, b0, op)) {
        r.sql = *range;
        return r;
    }
    if (auto range = dateRange(b0, a0, op)) {
        r.sql = *range;
        return r;
    }
    const Category ca = a0.type.category(), cb = b0.type.category();
    std::string a = a0.sql, b = b0.sql;
    std::string collate;
    if (a0.isNull || b0.isNull) {
        // ANSI NULL comparison: never true.
    } else if (ca == Category::DateTime && cb == Category::Text) {
        b = toDateTime(b0);
    } else if (cb == Category::DateTime && ca == Category::Text) {
        a = toDateTime(a0);
    } else if (ca == Category::Text && cb == Category::Text) {
        collate = " COLLATE TSQL";
    } else if (ca == Category::Text && (cb == Category::Integer || cb == Category::Number)) {
        a = toNumber(a0, b0.type);
    } else if (cb == Category::Text && (ca == Category::Integer || ca == Category::Number)) {
        b = toNumber(b0, a0.type);
    }
    r.sql = "(" + a + " " + op + " " + b + collate + ")";
    return r;
}

Typed Compiler::binary(const Expr &e)
{
    const std::string &op = e.text;
    if (op == "and" || op == "or") {
        Typed r;
        r.type = SqlType{Base::Bit};
        r.sql = "(" + expr(*e.args[0]).sql + (op == "and" ? " AND " : " OR ") + expr(*e.args[1]).sql + ")";
        return r;
    }
    Typed a = expr(*e.args[0]);
    Typed b = expr(*e.args[1]);
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=")
        return compare(a, b, op);
    const Category ca = a.type.category(), cb = b.type.category();
    Typed r;
    const bool textA = ca == Category::Text || (ca == Category::Unknown && cb == Category::Text);
    const bool textB = cb == Category::Text || (cb == Category::Unknown && ca == Category::Text);
    if (op == "+" && textA && textB) {
        r.sql = "(" + a.sql + " || " + b.sql + ")";
        r.type = textType();
        return r;
    }
    if ((op == "+" || op == "-") && (ca == Category::DateTime || cb == Category::DateTime)) {
        if (ca == Category::DateTime && (cb == Category::Integer || cb == Category::Number)) {
            r.sql = "tsql_adddays(" + a.sql + ", " + (op == "-" ? "-(" + b.sql + ")" : b.sql) + ")";
            r.type = a.type;
            return r;
        }
        if (op == "+" && cb == Category::DateTime && (ca == Category::Integer || ca == Category::Number)) {
            r.sql = "tsql_adddays(" + b.sql + ", " + a.sql + ")";
            r.type = b.type;
            return r;
        }
        throw Error(402, 16, 1, "The data types " + a.type.name() + " and " + b.type.name() +
                                    " are incompatible in the " + (op == "+" ? "add" : "subtract") + " operator.");
    }
    // Arithmetic: text operands are read as numbers, as SQL Server's type precedence does.
    SqlType result;
    if (ca == Category::Number || cb == Category::Number) {
        const bool isFloat = a.type.base == Base::Float || b.type.base == Base::Float || a.type.base == Base::Real ||
                             b.type.base == Base::Real;
        result = SqlType{isFloat ? Base::Float : Base::Decimal, 0, 38, 6};
    } else if (a.type.base == Base::BigInt || b.type.base == Base::BigInt) {
        result = SqlType{Base::BigInt};
    } else {
        result = SqlType{Base::Int};
    }
    std::string sa = a.sql, sb = b.sql;
    if (ca == Category::Text)
        sa = toNumber(a, cb == Category::Number ? b.type : SqlType{Base::Int});
    if (cb == Category::Text)
        sb = toNumber(b, ca == Category::Number ? a.type : SqlType{Base::Int});
    r.type = result;
    if (op == "/")
        r.sql = "tsql_div(" + sa + ", " + sb + ")";
    else if (op == "%")
        r.sql = "tsql_mod(" + sa + ", " + sb + ")";
    else
        r.sql = "(" + sa + " " + op + " " + sb + ")";
    return r;
}

Typed Compiler::like(const Expr &e)
{
    Typed v = expr(*e.args[0]);
    Typed p = expr(*e.args[1]);
    std::string value = v.sql;
    if (v.type.isDateTime())
        value = "tsql_cast(" + v.sql + ", 'varchar(30)', 1, 0)";
    else if (v.type.isNumeric())
        value = "CAST(" + v.sql + " AS TEXT)";
    std::string call = "tsql_like(" + value + ", " + p.sql;
    if (e.args.size() > 2)
        call += ", " + expr(*e.args[2]).sql;
    call += ")";
    Typed r;
    r.type = SqlType{Base::Bit};
    if (e.negated) {
        r.sql = "(NOT " + call + ")";
        return r;
    }
    r.sql = call;
    if (v.column && v.type.isText() && p.stringLiteral && e.args.size() == 2) {
        // A fixed beginning makes a range on the column that an index can answer; LIKE stays as
        // the exact filter.
        const std::size_t wild = p.literal.find_first_of("%_[");
        const std::string prefix = p.literal.substr(0, wild);
        std::string lower, upper;
        if (wild != std::string::npos && prefixRange(prefix, lower, upper))
            r.sql = "(" + v.sql + " >= " + quoteLiteral(lower) + " AND " + v.sql + " < " + quoteLiteral(upper) +
                    " AND " + call + ")";
    }
    return r;
}

Typed Compiler::convert(const Expr &e)
{
    Typed x = expr(*e.args[0]);
    SqlType t = e.type;
    const int style = e.style.value_or(0);
    Typed r;
    if (t.isText()) {
        if (t.length == 0)
            t.length = 30;
        r.type = t;
        if (x.isNull) {
            r.sql = "NULL";
            return r;
        }
        r.sql = "tsql_cast(" + x.sql + ", " + quoteLiteral(t.declared()) + ", " + (x.type.isDateTime() ? "1" : "0") +
                ", " + std::to_string(style) + ")";
        if (x.column && x.type.isDateTime()) {
            r.dateSource = x.sql;
            r.dateStyle = style;
        }
        return r;
    }
    r.type = t;
    if (t.isDateTime() && x.stringLiteral) {
        DateTime d = textToDateTime(x.literal, style);
        if (t.base == Base::Date)
            d.hour = d.minute = d.second = d.millisecond = 0;
        r.sql = quoteLiteral(formatStorage(d));
        return r;
    }
    r.sql = "tsql_cast(" + x.sql + ", " + quoteLiteral(t.declared()) + ", " + (x.type.isDateTime() ? "1" : "0") + ", " +
            std::to_string(style) + ")";
    return r;
}

Typed Compiler::function(const Expr &e)
{
    const std::string &n = e.text;
    Typed r;
    auto arg = [&](std::size_t i) { return expr(*e.args.at(i)); };
    auto need = [&](std::size_t count) {
        if (e.args.size() != count)
            throw Error(174, 15, 1, "The " + n + " function requires " + std::to_string(count) + " argument(s).");
    };
    if (isAggregate(n)) {
        m_aggregate = true;
        if (n == "count" || n == "count_big") {
            r.type = SqlType{n == "count" ? Base::Int : Base::BigInt};
            if (e.starArg) {
                r.sql = "count(*)";
                return r;
            }
            need(1);
            r.sql = std::string("count(") + (e.negated ? "DISTINCT " : "") + arg(0).sql + ")";
            return r;
        }
        need(1);
        Typed a = arg(0);
        r.type = a.type;
        if (n == "avg" && a.type.category() == Category::Integer)
            r.sql = "CAST(avg(" + a.sql + ") AS INTEGER)";
        else
            r.sql = n + "(" + std::string(e.negated ? "DISTINCT " : "") + a.sql + ")";
        return r;
    }
    if (n == "getdate" || n == "sysdatetime" || n == "current_timestamp") {
        need(0);
        r.type = SqlType{Base::DateTime};
        r.sql = "tsql_getdate()";
        return r;
    }
    if (n == "isnull" || n == "coalesce") {
        if (n == "isnull")
            need(2);
        std::string sql = n == "isnull" ? "ifnull(" : "coalesce(";
        for (std::size_t i = 0; i < e.args.size(); ++i) {
            Typed a = arg(i);
            if (i == 0)
                r.type = a.type;
            std::string s = a.sql;
            if (i > 0 && r.type.isDateTime() && a.type.isText())
                s = toDateTime(a);
            sql += (i ? ", " : "") + s;
        }
        r.sql = sql + ")";
        return r;
    }
    if (n == "len" || n == "datalength") {
        need(1);
        r.type = SqlType{Base::Int};
        Typed a = arg(0);
        r.sql = n == "len" ? "tsql_len(" + a.sql + ")" : "length(CAST(" + a.sql + " AS BLOB))";
        return r;
    }
    if (n == "ltrim" || n == "rtrim") {
        need(1);
        r.type = textType();
        r.sql = n + "(" + arg(0).sql + ", ' ')";
        return r;
    }
    if (n == "upper" || n == "lower") {
        need(1);
        Typed a = arg(0);
        r.type = a.type.isText() ? a.type : textType();
        r.sql = "tsql_" + n + "(" + a.sql + ")";
        return r;
    }
    if (n == "substring") {
        need(3);
        r.type = textType();
        r.sql = "substr(" + arg(0).sql + ", " + arg(1).sql + ", " + arg(2).sql + ")";
        return r;
    }
    if (n == "left" || n == "right") {
        need(2);
        r.type = textType();
        const std::string s = arg(0).sql, len = arg(1).sql;
        r.sql = n == "left" ? "substr(" + s + ", 1, " + len + ")"
                            : "CASE WHEN " + len + " <= 0 THEN '' ELSE substr(" + s + ", -(" + len + ")) END";
        return r;
    }
    if (n == "replace") {
        need(3);
        r.type = textType();
        r.sql = "replace(" + arg(0).sql + ", " + arg(1).sql + ", " + arg(2).sql + ")";
        return r;
    }
    if (n == "charindex") {
        need(2);
        r.type = SqlType{Base::Int};
        r.sql = "instr(tsql_lower(" + arg(1).sql + "), tsql_lower(" + arg(0).sql + "))";
        return r;
    }
    if (n == "abs" || n == "round" || n == "floor" || n == "ceiling") {
        Typed a = arg(0);
        r.type = a.type;
        if (n == "round")
            r.sql = "round(" + a.sql + ", " + (e.args.size() > 1 ? arg(1).sql : "0") + ")";
        else if (n == "abs")
            r.sql = "abs(" + a.sql + ")";
        else
            r.sql = "CAST(" + std::string(n == "floor" ? "floor(" : "ceil(") + a.sql + ") AS INTEGER)";
        return r;
    }
    if (n == "year" || n == "month" || n == "day") {
        need(1);
        r.type = SqlType{Base::Int};
        const std::string d = toDateTime(arg(0));
        const char *range = n == "year" ? "1, 4" : n == "month" ? "6, 2" : "9, 2";
        r.sql = "CAST(substr(" + d + ", " + range + ") AS INTEGER)";
        return r;
    }
    throw Error(195, 15, 10, "'" + n + "' is not a recognized built-in function name.");
}

Typed Compiler::expr(const Expr &e)
{
    Typed r;
    switch (e.kind) {
    case Expr::Kind::String:
        r.sql = quoteLiteral(e.text);
        r.type = textType(static_cast<int>(std::max<std::size_t>(1, utf8Length(e.text))));
        r.stringLiteral = true;
        r.literal = e.text;
        return r;
    case Expr::Kind::Number: {
        r.sql = e.text;
        if (e.text.find_first_of(".eE") == std::string::npos) {
            bool overflow = false;
            const auto v = parseInteger(e.text, overflow);
            if (v && *v >= INT32_MIN && *v <= INT32_MAX)
                r.type = SqlType{Base::Int};
            else if (v)
                r.type = SqlType{Base::BigInt};
            else
                r.type = SqlType{Base::Decimal, 0, 38, 0};
        } else {
            r.type = e.text.find_first_of("eE") == std::string::npos ? SqlType{Base::Decimal, 0, 38, 6}
                                                                      : SqlType{Base::Float};
            if (r.sql.front() == '.')
                r.sql = "0" + r.sql;
            else if (r.sql.size() > 1 && r.sql[0] == '-' && r.sql[1] == '.')
                r.sql = "-0" + r.sql.substr(1);
        }
        return r;
    }
    case Expr::Kind::Null:
        r.sql = "NULL";
        r.isNull = true;
        return r;
    case Expr::Kind::Column:
        return column(e);
    case Expr::Kind::Star:
        throw err::syntax("*");
    case Expr::Kind::Unary: {
        Typed a = expr(*e.args[0]);
        if (e.text == "not") {
            r.sql = "(NOT " + a.sql + ")";
            r.type = SqlType{Base::Bit};
        } else {
            r.sql = "(-" + (a.type.isText() ? toNumber(a, SqlType{Base::Int}) : a.sql) + ")";
            r.type = a.type.isText() ? SqlType{Base::Int} : a.type;
        }
        return r;
    }
    case Expr::Kind::Binary:
        return binary(e);
    case Expr::Kind::Like:
        return like(e);
    case Expr::Kind::IsNull:
        r.sql = "(" + expr(*e.args[0]).sql + (e.negated ? " IS NOT NULL)" : " IS NULL)");
        r.type = SqlType{Base::Bit};
        return r;
    case Expr::Kind::In: {
        Typed a = expr(*e.args[0]);
        std::string sql;
        for (std::size_t i = 1; i < e.args.size(); ++i)
            sql += (i > 1 ? " OR " : "") + compare(a, expr(*e.args[i]), "=").sql;
        r.sql = e.negated ? "(NOT (" + sql + "))" : "(" + sql + ")";
        r.type = SqlType{Base::Bit};
        return r;
    }
    case Expr::Kind::Between: {
        Typed a = expr(*e.args[0]);
        const std::string sql = "(" + compare(a, expr(*e.args[1]), ">=").sql + " AND " +
                                compare(a, expr(*e.args[2]), "<=").sql + ")";
        r.sql = e.negated ? "(NOT " + sql + ")" : sql;
        r.type = SqlType{Base::Bit};
        return r;
    }
    case Expr::Kind::Function:
        return function(e);
    case Expr::Kind::Convert:
        return convert(e);
    case Expr::Kind::Case: {
        std::string sql = "CASE";
        std::size_t i = 0;
        std::optional<Typed> subject;
        if (e.text == "simple")
            subject = expr(*e.args[i++]);
        bool first = true;
        for (; i + 1 < e.args.size(); i += 2) {
            const std::string cond = subject ? compare(*subject, expr(*e.args[i]), "=").sql : expr(*e.args[i]).sql;
            Typed v = expr(*e.args[i + 1]);
            if (first)
                r.type = v.type;
            first = false;
            sql += " WHEN " + cond + " THEN " + v.sql;
        }
        if (e.elseExpr)
            sql += " ELSE " + expr(*e.elseExpr).sql;
        r.sql = sql + " END";
        return r;
    }
    }
    throw err::syntax(e.text);
}

std::string Compiler::orderTerm(const Typed &t, bool desc)
{
    return t.sql + (t.type.isText() ? " COLLATE TSQL" : "") + (desc ? " DESC" : "");
}

std::string Compiler::core(const ast::SelectCore &c, std::vector<OutputColumn> &out,
                           const std::vector<ast::OrderItem> *order, bool &singleTable)
{
    m_sources.clear();
    m_sources.reserve(1 + c.joins.size());
    m_aggregate = false;
    if (c.from)
        addSource(*c.from);
    for (const auto &j : c.joins)
        addSource(j.table);
    std::string from;
    if (c.from) {
        from = " FROM " + m_sources[0].table.sqlName() + " AS " + m_sources[0].sqlAlias;
        for (std::size_t i = 0; i < c.joins.size(); ++i) {
            const auto &j = c.joins[i];
            const Source &s = m_sources[i + 1];
            from += (j.type == ast::Join::Type::Left ? " LEFT JOIN " : " JOIN ") + s.table.sqlName() + " AS " + s.sqlAlias;
            from += " ON " + (j.on ? expr(*j.on).sql : std::string("1"));
        }
    }
    std::string list;
    auto add = [&](const Typed &t, const std::string &name, bool identity) {
        const std::string alias = "c" + std::to_string(out.size());
        list += (list.empty() ? "" : ", ") + t.sql + " AS " + alias;
        OutputColumn o;
        o.name = name;
        o.type = t.type;
        if (t.column)
            o.column = *t.column;
        o.fromIdentity = identity;
        out.push_back(std::move(o));
    };
    for (const auto &item : c.items) {
        if (item.expr->kind == Expr::Kind::Star) {
            bool any = false;
            for (const auto &s : m_sources) {
                if (!item.expr->parts.empty()) {
                    const auto &q = item.expr->parts;
                    const bool match = s.aliased ? (q.size() == 1 && iequals(s.alias, q.back()))
                                                 : iequals(s.table.name, q.back());
                    if (!match)
                        continue;
                }
                any = true;
                for (const auto &col : s.table.columns) {
                    Typed t;
                    t.sql = s.sqlAlias + "." + quoteName(col.name);
                    t.type = col.type;
                    t.column = &col;
                    add(t, col.name, s.table.identity && iequals(s.table.identity->column, col.name));
                }
            }
            if (!any) {
                if (m_sources.empty())
                    throw Error(263, 16, 1, "Must specify table to select from.");
                throw notBound(item.expr->written());
            }
            continue;
        }
        Typed t = expr(*item.expr);
        std::string name = item.alias;
        bool identity = false;
        if (name.empty() && t.column)
            name = item.expr->parts.back(); // SQL Server names the column as the select list wrote it
        if (t.column && item.alias.empty()) {
            for (const auto &s : m_sources)
                if (s.sqlAlias == t.sourceAlias && s.table.identity && iequals(s.table.identity->column, t.column->name))
                    identity = true;
        }
        add(t, name, identity);
    }
    std::string sql = std::string("SELECT ") + (c.distinct ? "DISTINCT " : "") + list + from;
    if (c.where)
        sql += " WHERE " + expr(*c.where).sql;
    if (!c.groupBy.empty()) {
        sql += " GROUP BY ";
        for (std::size_t i = 0; i < c.groupBy.size(); ++i) {
            Typed g = expr(*c.groupBy[i]);
            sql += (i ? ", " : "") + g.sql + (g.type.isText() ? " COLLATE TSQL" : "");
        }
    }
    if (c.having)
        sql += " HAVING " + expr(*c.having).sql;
    if (order && !order->empty()) {
        sql += " ORDER BY ";
        for (std::size_t i = 0; i < order->size(); ++i) {
            const auto &o = (*order)[i];
            std::string term;
            if (o.expr->kind == Expr::Kind::Column && o.expr->parts.size() == 1) {
                for (std::size_t k = 0; k < out.size(); ++k) {
                    if (iequals(out[k].name, o.expr->parts[0]) && !c.items.empty()) {
                        Typed t;
                        t.sql = "c" + std::to_string(k);
                        t.type = out[k].type;
                        term = orderTerm(t, o.descending);
                        break;
                    }
                }
            } else if (o.expr->kind == Expr::Kind::Number) {
                const int k = std::stoi(o.expr->text);
                if (k < 1 || k > static_cast<int>(out.size()))
                    throw Error(108, 16, 1, "The ORDER BY position number " + o.expr->text +
                                                " is out of range of the number of items in the select list.");
                Typed t;
                t.sql = "c" + std::to_string(k - 1);
                t.type = out[static_cast<std::size_t>(k - 1)].type;
                term = orderTerm(t, o.descending);
            }
            if (term.empty())
                term = orderTerm(expr(*o.expr), o.descending);
            sql += (i ? ", " : "") + term;
        }
    }
    if (c.top)
        sql += " LIMIT " + expr(*c.top).sql;
    singleTable = m_sources.size() == 1 && c.groupBy.empty() && !m_aggregate && !c.distinct;
    return sql;
}

CompiledQuery Compiler::select(const ast::Select &s)
{
    CompiledQuery q;
    if (s.members.size() == 1) {
        q.sql = core(s.members[0], q.columns, &s.orderBy, q.singleTable);
        return q;
    }
    std::string body;
    for (std::size_t i = 0; i < s.members.size(); ++i) {
        std::vector<OutputColumn> cols;
        bool single = false;
        std::string m = core(s.members[i], cols, nullptr, single);
        if (i == 0)
            q.columns = cols;
        else if (cols.size() != q.columns.size())
            throw Error(205, 16, 1, "All queries combined using a UNION, INTERSECT or EXCEPT operator must have an "
                                    "equal number of expressions in their target lists.");
        // SQLite takes LIMIT only on a whole compound, so a member with TOP becomes a subquery.
        if (s.members[i].top)
            m = "SELECT * FROM (" + m + ")";
        body += (i ? " UNION ALL " : "") + m;
    }
    for (auto &c : q.columns) {
        c.column.reset();
        c.fromIdentity = false;
    }
    q.sql = "SELECT * FROM (" + body + ")";
    if (!s.orderBy.empty()) {
        q.sql += " ORDER BY ";
        for (std::size_t i = 0; i < s.orderBy.size(); ++i) {
            const auto &o = s.orderBy[i];
            int index = -1;
            if (o.expr->kind == Expr::Kind::Column) {
                for (std::size_t k = 0; k < q.columns.size() && index < 0; ++k)
                    if (iequals(q.columns[k].name, o.expr->parts.back()))
                        index = static_cast<int>(k);
            } else if (o.expr->kind == Expr::Kind::Number) {
                index = std::stoi(o.expr->text) - 1;
            }
            if (index < 0 || index >= static_cast<int>(q.columns.size()))
                throw Error(104, 16, 1, "ORDER BY items must appear in the select list if the statement contains a "
                                        "UNION, INTERSECT or EXCEPT operator.");
            Typed t;
            t.sql = "c" + std::to_string(index);
            t.type = q.columns[static_cast<std::size_t>(index)].type;
            q.sql += (i ? ", " : "") + orderTerm(t, o.descending);
        }
    }
    return q;
}

std::string Compiler::storeExpr(const std::string &valueSql, const SqlType &valueType, const Column &c, const Table &t)
{
    return "tsql_store(" + valueSql + ", " + quoteLiteral(c.type.declared()) + ", " +
           (valueType.isDateTime() ? "1" : "0") + ", " + quoteLiteral(t.fullName()) + ", " + quoteLiteral(c.name) + ")";
}

std::string Compiler::insert(const ast::Statement &s, const Table &t, const std::optional<std::int64_t> &identityBase,
                             bool identityInsert, bool &explicitIdentity)
{
    m_sources.clear();
    explicitIdentity = false;
    const int identityIndex = t.identity ? t.find(t.identity->column) : -1;
    std::vector<int> cols;
    const bool listed = !s.columns.empty();
    if (listed) {
        for (const auto &name : s.columns) {
            const int i = t.find(name);
            if (i < 0)
                throw err::invalidColumn(name);
            for (int c : cols)
                if (c == i)
                    throw Error(264, 16, 1, "The column name '" + name + "' is specified more than once in the SET "
                                            "clause or column list of an INSERT. A column cannot be assigned more "
                                            "than one value in the same clause. Modify the clause to make sure that "
                                            "a column is updated only once. If this statement updates or inserts "
                                            "columns into a view, column aliasing can conceal these changes.");
            if (i == identityIndex) {
                if (!identityInsert)
                    throw err::identityInsertOff(t.name);
                explicitIdentity = true;
            }
            cols.push_back(i);
        }
    } else {
        if (identityInsert)
            throw err::identityWithoutList(t.name);
        for (int i = 0; i < static_cast<int>(t.columns.size()); ++i)
            if (i != identityIndex)
                cols.push_back(i);
    }
    if (identityInsert && identityIndex >= 0 && !explicitIdentity)
        throw Error(545, 16, 1, "Explicit value must be specified for identity column in table '" + t.name +
                                    "' either when IDENTITY_INSERT is set to ON or when a replication user is "
                                    "inserting into a NOT FOR REPLICATION identity column.");

    std::string source;
    if (!s.rows.empty()) {
        for (std::size_t r = 0; r < s.rows.size(); ++r) {
            const auto &row = s.rows[r];
            if (listed && row.size() > cols.size())
                throw err::fewerColumns();
            if (listed && row.size() < cols.size())
                throw err::moreColumns();
            if (!listed && row.size() != cols.size()) {
                if (identityIndex >= 0 && row.size() == t.columns.size())
                    throw err::identityWithoutList(t.name);
                throw err::valueCount();
            }
            std::string member = "SELECT ";
            for (std::size_t i = 0; i < row.size(); ++i) {
                Typed v = expr(*row[i]);
                const Column &c = t.columns[static_cast<std::size_t>(cols[i])];
                std::string value = v.sql;
                if (c.type.isDateTime() && v.stringLiteral)
                    value = toDateTime(v); // a bad date fails here, before anything is written
                member += (i ? ", " : "") + storeExpr(value, v.type, c, t) + " AS v" + std::to_string(i);
            }
            source += (r ? " UNION ALL " : "") + member;
        }
    } else {
        CompiledQuery q = select(*s.select);
        if (q.columns.size() != cols.size()) {
            if (!listed)
                throw err::valueCount();
            throw q.columns.size() < cols.size() ? err::selectFewer() : err::selectMore();
        }
        std::string list;
        for (std::size_t i = 0; i < cols.size(); ++i)
            list += (i ? ", " : "") +
                    storeExpr("s.c" + std::to_string(i), q.columns[i].type, t.columns[static_cast<std::size_t>(cols[i])], t) +
                    " AS v" + std::to_string(i);
        source = "SELECT " + list + " FROM (" + q.sql + ") AS s";
    }
    std::string names;
    m_insertSource = source;
    m_insertColumns.clear();
    for (std::size_t i = 0; i < cols.size(); ++i) {
        names += (i ? ", " : "") + quoteName(t.columns[static_cast<std::size_t>(cols[i])].name);
        m_insertColumns.push_back(t.columns[static_cast<std::size_t>(cols[i])].name);
    }
    if (identityIndex >= 0 && !explicitIdentity) {
        // New rows are numbered in the order the source yields them.
        names += (names.empty() ? "" : ", ") + quoteName(t.identity->column);
        source = "SELECT src.*, " + std::to_string(identityBase.value_or(t.identity->next())) + " + " +
                 std::to_string(t.identity->step) + " * (row_number() OVER () - 1) FROM (" + source + ") AS src";
    }
    return "INSERT INTO " + t.sqlName() + " (" + names + ") " + source;
}

std::string Compiler::update(const ast::Statement &s, const Table &t)
{
    m_sources.clear();
    Source src;
    src.table = t;
    src.alias = s.table.name;
    src.name = s.table;
    src.sqlAlias = "t0";
    m_sources.push_back(std::move(src));
    const Table &tt = m_sources[0].table;
    std::string sets;
    for (const auto &[name, value] : s.sets) {
        const int i = tt.find(name);
        if (i < 0)
            throw err::invalidColumn(name);
        const Column &c = tt.columns[static_cast<std::size_t>(i)];
        if (tt.identity && iequals(tt.identity->column, c.name))
            throw err::identityUpdate(c.name);
        Typed v = expr(*value);
        std::string sql = v.sql;
        if (c.type.isDateTime() && v.stringLiteral)
            sql = toDateTime(v);
        sets += (sets.empty() ? "" : ", ") + quoteName(c.name) + " = " + storeExpr(sql, v.type, c, tt);
    }
    std::string sql = "UPDATE " + tt.sqlName() + " AS t0 SET " + sets;
    if (s.where)
        sql += " WHERE " + expr(*s.where).sql;
    return sql;
}

std::string Compiler::deleteFrom(const ast::Statement &s, const Table &t)
{
    m_sources.clear();
    Source src;
    src.table = t;
    src.alias = s.table.name;
    src.name = s.table;
    src.sqlAlias = "t0";
    m_sources.push_back(std::move(src));
    std::string sql = "DELETE FROM " + t.sqlName() + " AS t0";
    if (s.where)
        sql += " WHERE " + expr(*s.where).sql;
    return sql;
}

} // namespace tsql
