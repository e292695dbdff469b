// Function calls: the function table's rows, aggregates, window functions, and the forms with
// rules of their own (COALESCE, ISNULL, NULLIF, IIF, CHOOSE).

#include "tsql/Compiler.h"

#include "tsql/Errors.h"
#include "tsql/Functions.h"
#include "tsql/Numeric.h"

namespace tsql {

using namespace ast;

namespace {

std::string code(const SqlType &t)
{
    return std::to_string(t.code());
}

bool isAggregateName(const std::string &n)
{
    for (const char *a : {"count", "count_big", "sum", "avg", "min", "max", "stdev", "stdevp", "var", "varp",
                          "string_agg", "checksum_agg", "grouping", "grouping_id"})
        if (n == a)
            return true;
    return false;
}

bool isWindowOnly(const std::string &n)
{
    for (const char *w : {"row_number", "rank", "dense_rank", "ntile", "lag", "lead", "first_value", "last_value",
                          "percent_rank", "cume_dist"})
        if (n == w)
            return true;
    return false;
}

void requireArgs(const Function &f, std::size_t min, std::size_t max)
{
    const std::size_t n = f.args.size() + (f.star ? 1 : 0);
    if (n >= min && n <= max)
        return;
    if (min == max)
        throw err::make(174, f.name, std::to_string(min)).atLine(f.line);
    throw err::make(189, f.name, std::to_string(min), std::to_string(max)).atLine(f.line);
}

} // namespace

Bound Compiler::coalesce(const std::vector<Bound> &args, const std::string &name)
{
    Bound r;
    for (const Bound &a : args)
        combine(r, a);
    r.type = unionType(args, name.c_str());
    if (r.type.isNull())
        throw err::make(4127);
    std::string sql = "coalesce(";
    for (std::size_t i = 0; i < args.size(); ++i)
        sql += (i ? ", " : "") + convert(args[i], r.type);
    r.sql = sql + ")";
    return r;
}

Bound Compiler::function(const Function &f)
{
    if (f.over)
        return windowFunction(f);
    if (isWindowOnly(f.name))
        throw err::make(10753, f.name).atLine(f.line);
    if (isAggregateName(f.name))
        return aggregate(f);
    if (f.name.find('.') != std::string::npos)
        throw err::make(4121, f.name.substr(0, f.name.find('.')), f.name).atLine(f.line);
    if (f.name == "coalesce") {
        if (f.args.size() < 2)
            throw err::make(189, "coalesce", "2", "254").atLine(f.line);
        std::vector<Bound> args;
        for (const auto &a : f.args)
            args.push_back(expr(*a));
        return coalesce(args, "COALESCE");
    }
    if (f.name == "isnull") {
        requireArgs(f, 2, 2);
        Bound a = expr(*f.args[0]), b = expr(*f.args[1]);
        Bound r;
        combine(r, a);
        combine(r, b);
        // ISNULL takes its first argument's type, length included.
        r.type = a.type.isNull() ? (b.type.isNull() ? SqlType{Base::Int} : b.type) : a.type;
        r.nullable = a.nullable && b.nullable;
        r.sql = "ifnull(" + convert(a, r.type) + ", " + convert(b, r.type, -1, true) + ")";
        return r;
    }
    if (f.name == "nullif") {
        requireArgs(f, 2, 2);
        Bound a = expr(*f.args[0]), b = expr(*f.args[1]);
        Bound eq = compare("=", a, b);
        Bound r;
        combine(r, a);
        combine(r, b);
        r.type = a.type;
        r.sql = "(CASE WHEN " + eq.sql + " THEN NULL ELSE " + a.sql + " END)";
        return r;
    }
    if (f.name == "iif") {
        requireArgs(f, 3, 3);
        const auto nullConstant = [](const Expr &e) {
            return e.kind == Expr::Kind::Literal && e.as<Literal>().type == Literal::Type::Null;
        };
        if (nullConstant(*f.args[1]) && nullConstant(*f.args[2]))
            throw err::make(8133).atLine(f.line);
        Bound c = condition(*f.args[0]);
        std::vector<Bound> values{expr(*f.args[1]), expr(*f.args[2])};
        Bound r;
        combine(r, c);
        combine(r, values[0]);
        combine(r, values[1]);
        r.type = unionType(values, "IIF");
        if (r.type.isNull())
            r.type = SqlType{Base::Int};
        r.sql = "(CASE WHEN " + c.sql + " THEN " + convert(values[0], r.type) + " ELSE " + convert(values[1], r.type) + " END)";
        return r;
    }
    if (f.name == "choose") {
        if (f.args.size() < 2)
            throw err::make(189, "choose", "2", "254").atLine(f.line);
        Bound index = expr(*f.args[0]);
        std::vector<Bound> values;
        for (std::size_t i = 1; i < f.args.size(); ++i)
            values.push_back(expr(*f.args[i]));
        Bound r;
        combine(r, index);
        for (const Bound &v : values)
            combine(r, v);
        r.type = unionType(values, "CHOOSE");
        if (r.type.isNull())
            r.type = SqlType{Base::Int};
        std::string sql = "(CASE " + convert(index, SqlType{Base::Int});
        for (std::size_t i = 0; i < values.size(); ++i)
            sql += " WHEN " + std::to_string(i + 1) + " THEN " + convert(values[i], r.type);
        r.sql = sql + " END)";
        return r;
    }
    const fn::Definition *d = fn::find(f.name);
    if (!d)
        throw err::make(195, f.name).atLine(f.line);
    if (f.star || f.distinct)
        throw err::make(102, f.star ? "*" : "distinct").atLine(f.line);
    requireArgs(f, static_cast<std::size_t>(d->minArgs),
                d->maxArgs < 0 ? 1000 : static_cast<std::size_t>(d->maxArgs));
    fn::Call call;
    call.keyword = f.keywordArg;
    const bool needsKeyword = f.name == "dateadd" || f.name == "datediff" || f.name == "datediff_big" ||
                              f.name == "datepart" || f.name == "datename";
    if (needsKeyword) {
        if (f.keywordArg.empty())
            throw err::make(1023, "1", f.name).atLine(f.line);
        try {
            dt::requirePart(f.keywordArg, f.name);
        } catch (const Error &e) {
            throw e.atLine(f.line);
        }
    }
    Bound r;
    std::vector<std::string> argSql;
    const std::string kinds = d->args;
    for (std::size_t i = 0; i < f.args.size(); ++i) {
        Bound a = expr(*f.args[i]);
        combine(r, a);
        const char kind = kinds.empty() ? 'a' : kinds[std::min(i, kinds.size() - 1)];
        SqlType t = a.type;
        switch (kind) {
        case 's':
            if (!t.isText())
                t = t.isNull() ? SqlType::varchar(1) : SqlType::varchar(t.isBinary() ? -1 : 30);
            break;
        case 'u':
            if (!t.isText())
                t = t.isNull() ? SqlType::varchar(1) : SqlType::varchar(30);
            break;
        case 'i':
            if (!t.isInteger() || t.base == Base::BigInt)
                t = SqlType{Base::Int};
            break;
        case 'b':
            t = SqlType{Base::BigInt};
            break;
        case 'f':
            t = SqlType{Base::Float};
            break;
        case 'n':
            if (!t.isNumeric())
                t = t.isNull() ? SqlType{Base::Int} : SqlType{Base::Float};
            break;
        case 'd':
            if (!t.isDateTime())
                t = t.isNull() ? SqlType{Base::DateTime} : (t.isText() ? SqlType{Base::DateTime} : t);
            break;
        case 't': // DATEDIFF, DATEPART, DATENAME read text as datetime2
            if (!t.isDateTime())
                t = t.isNull() ? SqlType{Base::DateTime} : (t.isText() ? SqlType{Base::DateTime2, 0, 0, 7} : t);
            break;
        default:
            break;
        }
        if (t.isNull())
            t = SqlType{Base::Int};
        std::string s = (t == a.type) ? a.sql : convert(a, t);
        argSql.push_back(std::move(s));
        call.args.push_back(t);
    }
    try {
        call.result = d->result(call);
    } catch (const Error &e) {
        throw e.atLine(f.line);
    }
    r.type = call.result;
    if (d->flags & fn::NonDeterministic)
        r.constant = false;
    std::string sql = std::string(d->flags & (fn::NonDeterministic | fn::SessionBound) ? "tsql_fnv(" : "tsql_fn(") +
                      std::to_string(fn::indexOf(*d)) + ", " + code(call.result) + ", " +
                      (f.keywordArg.empty() ? std::string("NULL") : sqlite::quoteLiteral(lower(f.keywordArg)));
    for (const auto &s : argSql)
        sql += ", " + s;
    for (const auto &t : call.args)
        sql += ", " + code(t);
    r.sql = sql + ")";
    return r;
}

Bound Compiler::aggregate(const Function &f)
{
    if (m_scope->inAggregate)
        throw err::make(130).atLine(f.line);
    Bound r;
    r.aggregate = true;
    r.constant = false;
    struct InAggregate {
        Scope &s;
        explicit InAggregate(Scope &sc) : s(sc) { s.inAggregate = true; }
        ~InAggregate() { s.inAggregate = false; }
    } inside(*m_scope);
    const std::string distinct = f.distinct ? "DISTINCT " : "";
    if (f.name == "count" || f.name == "count_big") {
        r.type = SqlType{f.name == "count" ? Base::Int : Base::BigInt};
        r.nullable = false;
        if (f.star) {
            r.sql = "count(*)";
            return r;
        }
        requireArgs(f, 1, 1);
        Bound a = expr(*f.args[0]);
        r.sql = "count(" + distinct + a.sql + (a.type.isText() && f.distinct ? " COLLATE TSQL" : "") + ")";
        return r;
    }
    if (f.name == "grouping" && m_scope->groupingSets) {
        requireArgs(f, 1, 1);
        const std::string key = groupKey(exprNode(*f.args[0]).sql);
        r.type = SqlType{Base::TinyInt};
        r.sql = m_scope->rolledUp.count(key) ? "1" : "0";
        return r;
    }
    if (f.name == "grouping" || f.name == "grouping_id")
        throw err::make(40517, upper(f.name)).atLine(f.line);
    if (f.name == "string_agg") {
        requireArgs(f, 2, 2);
        Bound v = expr(*f.args[0]), sep = expr(*f.args[1]);
        const bool unicode = v.type.isUnicode() || sep.type.isUnicode();
        r.type = SqlType{unicode ? Base::NVarChar : Base::VarChar, v.type.isLob() ? -1 : (unicode ? 4000 : 8000)};
        std::string sql = "tsql_string_agg(" + convert(v, r.type) + ", " + convert(sep, r.type);
        for (const OrderItem &o : f.withinGroup) {
            Bound k = expr(*o.expr);
            sql += ", " + k.sql + ", " + std::string(o.descending ? "1" : "0") + ", " + (k.type.isText() ? "1" : "0");
        }
        r.sql = sql + ")";
        return r;
    }
    requireArgs(f, 1, 1);
    if (f.star)
        throw err::make(102, "*").atLine(f.line);
    Bound a = expr(*f.args[0]);
    if (a.aggregate)
        throw err::make(130).atLine(f.line);
    if (f.name == "min" || f.name == "max") {
        r.type = a.type;
        r.sql = f.name + "(" + distinct + a.sql + (a.type.isText() ? " COLLATE TSQL" : "") + ")";
        return r;
    }
    if (f.name == "sum" || f.name == "avg") {
        try {
            r.type = f.name == "sum" ? num::sumType(a.type) : num::avgType(a.type);
        } catch (const Error &e) {
            throw e.atLine(f.line);
        }
        if (a.type.isApproximate()) {
            r.sql = f.name + "(" + distinct + a.sql + ")";
            return r;
        }
        const std::string name = "tsql_" + f.name + "_" + code(a.type);
        if (state().needAggregate)
            state().needAggregate(name, a.type);
        r.sql = name + "(" + distinct + a.sql + ")";
        return r;
    }
    if (f.name == "stdev" || f.name == "stdevp" || f.name == "var" || f.name == "varp") {
        if (!a.type.isNumeric())
            throw err::make(8117, a.type.name(), f.name).atLine(f.line);
        r.type = SqlType{Base::Float};
        r.sql = "tsql_" + f.name + "(" + distinct + convert(a, r.type) + ")";
        return r;
    }
    if (f.name == "checksum_agg") {
        r.type = SqlType{Base::Int};
        r.sql = "tsql_checksum_agg(" + distinct + convert(a, SqlType{Base::Int}) + ")";
        return r;
    }
    throw err::make(195, f.name).atLine(f.line);
}

std::string Compiler::overClause(const Over &o)
{
    std::string s = "OVER (";
    if (!o.partitionBy.empty()) {
        s += "PARTITION BY ";
        for (std::size_t i = 0; i < o.partitionBy.size(); ++i) {
            Bound p = expr(*o.partitionBy[i]);
            s += (i ? ", " : "") + p.sql + (p.type.isText() ? " COLLATE TSQL" : "");
        }
    }
    if (!o.orderBy.empty()) {
        s += std::string(o.partitionBy.empty() ? "" : " ") + "ORDER BY ";
        for (std::size_t i = 0; i < o.orderBy.size(); ++i) {
            Bound k = expr(*o.orderBy[i].expr);
            s += (i ? ", " : "") + k.sql + (k.type.isText() ? " COLLATE TSQL" : "") +
                 (o.orderBy[i].descending ? " DESC NULLS LAST" : " NULLS FIRST");
        }
    }
    if (o.frame) {
        const WindowFrame &f = *o.frame;
        auto bound = [&](WindowFrame::Bound b, const ExprPtr &offset) -> std::string {
            switch (b) {
            case WindowFrame::Bound::UnboundedPreceding: return "UNBOUNDED PRECEDING";
            case WindowFrame::Bound::UnboundedFollowing: return "UNBOUNDED FOLLOWING";
            case WindowFrame::Bound::CurrentRow: return "CURRENT ROW";
            case WindowFrame::Bound::Preceding:
            case WindowFrame::Bound::Following: {
                if (!offset || offset->kind != Expr::Kind::Literal || offset->as<Literal>().type != Literal::Type::Number)
                    throw err::make(102, "PRECEDING");
                return offset->as<Literal>().text + (b == WindowFrame::Bound::Preceding ? " PRECEDING" : " FOLLOWING");
            }
            }
            return "CURRENT ROW";
        };
        s += std::string(f.unit == WindowFrame::Unit::Rows ? " ROWS" : " RANGE") + " BETWEEN " +
             bound(f.startBound, f.startOffset) + " AND " + bound(f.endBound, f.endOffset);
    } else if (!o.orderBy.empty()) {
        // SQL Server's default frame with ORDER BY is RANGE UNBOUNDED PRECEDING, as SQLite's.
    }
    return s + ")";
}

Bound Compiler::windowFunction(const Function &f)
{
    Bound r;
    r.window = true;
    r.constant = false;
    const std::string &n = f.name;
    const bool ranking = n == "row_number" || n == "rank" || n == "dense_rank" || n == "ntile" || n == "percent_rank" ||
                         n == "cume_dist";
    if ((ranking || n == "lag" || n == "lead" || n == "first_value" || n == "last_value") && f.over->orderBy.empty())
        throw err::make(4112, n).atLine(f.line);
    std::string call;
    if (n == "row_number" || n == "rank" || n == "dense_rank") {
        requireArgs(f, 0, 0);
        r.type = SqlType{Base::BigInt};
        call = n + "()";
    } else if (n == "percent_rank" || n == "cume_dist") {
        requireArgs(f, 0, 0);
        r.type = SqlType{Base::Float};
        call = n + "()";
    } else if (n == "ntile") {
        requireArgs(f, 1, 1);
        Bound a = expr(*f.args[0]);
        r.type = SqlType{Base::BigInt};
        call = "ntile(" + convert(a, SqlType{Base::BigInt}) + ")";
    } else if (n == "lag" || n == "lead") {
        requireArgs(f, 1, 3);
        Bound v = expr(*f.args[0]);
        r.type = v.type;
        call = n + "(" + v.sql;
        if (f.args.size() > 1)
            call += ", " + convert(expr(*f.args[1]), SqlType{Base::BigInt});
        if (f.args.size() > 2) {
            if (f.args.size() == 2)
                call += ", 1";
            call += ", " + convert(expr(*f.args[2]), r.type);
        }
        call += ")";
    } else if (n == "first_value" || n == "last_value") {
        requireArgs(f, 1, 1);
        Bound v = expr(*f.args[0]);
        r.type = v.type;
        call = n + "(" + v.sql + ")";
    } else if (isAggregateName(n)) {
        Bound a = aggregate(f);
        r.type = a.type;
        call = a.sql;
        r.aggregate = false;
    } else {
        throw err::make(4108, n).atLine(f.line);
    }
    r.sql = call + " " + overClause(*f.over);
    return r;
}

} // namespace tsql
