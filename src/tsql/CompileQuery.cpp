// Queries: SELECT with its FROM, WHERE, GROUP BY, HAVING, select list, ORDER BY, TOP and
// OFFSET/FETCH; set operators; common table expressions; the checks SQL Server makes before
// running a query (8120, 145, 104 and the like).

#include "tsql/Compiler.h"

#include "tsql/Errors.h"
#include "tsql/Parser.h"

namespace tsql {

using namespace ast;
using sqlite::quoteName;

namespace {

// Whether an expression holds an aggregate of this query (not of a subquery, not a window).
bool hasAggregate(const Expr &e)
{
    switch (e.kind) {
    case Expr::Kind::Function: {
        const auto &f = e.as<Function>();
        if (f.over)
            return false;
        for (const char *a : {"count", "count_big", "sum", "avg", "min", "max", "stdev", "stdevp", "var", "varp",
                              "string_agg", "checksum_agg", "grouping", "grouping_id"})
            if (f.name == a)
                return true;
        for (const auto &a : f.args)
            if (hasAggregate(*a))
                return true;
        return false;
    }
    case Expr::Kind::Unary: return hasAggregate(*e.as<Unary>().operand);
    case Expr::Kind::Binary: return hasAggregate(*e.as<Binary>().left) || hasAggregate(*e.as<Binary>().right);
    case Expr::Kind::Like: return hasAggregate(*e.as<Like>().value) || hasAggregate(*e.as<Like>().pattern);
    case Expr::Kind::Between:
        return hasAggregate(*e.as<Between>().value) || hasAggregate(*e.as<Between>().low) ||
               hasAggregate(*e.as<Between>().high);
    case Expr::Kind::In: {
        const auto &in = e.as<In>();
        if (hasAggregate(*in.value))
            return true;
        for (const auto &x : in.list)
            if (hasAggregate(*x))
                return true;
        return false;
    }
    case Expr::Kind::IsNull: return hasAggregate(*e.as<IsNull>().value);
    case Expr::Kind::Cast: return hasAggregate(*e.as<Cast>().value);
    case Expr::Kind::Collate: return hasAggregate(*e.as<Collate>().value);
    case Expr::Kind::Case: {
        const auto &c = e.as<Case>();
        if (c.operand && hasAggregate(*c.operand))
            return true;
        for (const auto &[w, t] : c.whens)
            if (hasAggregate(*w) || hasAggregate(*t))
                return true;
        return c.elseValue && hasAggregate(*c.elseValue);
    }
    case Expr::Kind::Quantified: return hasAggregate(*e.as<Quantified>().value);
    default: return false;
    }
}

std::string collated(const Bound &b)
{
    return b.type.isText() ? b.sql + " COLLATE TSQL" : b.sql;
}

std::string outputName(const SelectItem &item)
{
    if (!item.alias.empty())
        return item.alias;
    if (item.expr->kind == Expr::Kind::Column)
        return item.expr->as<ast::Column>().parts.back();
    return {};
}

} // namespace

TablePtr Compiler::targetTable(const ObjectName &n, int errorNumber, bool allowSystem)
{
    if (!n.name.empty() && n.name[0] == '@') {
        auto info = m_variables ? m_variables(n.name) : std::nullopt;
        if (!info || !info->isTable)
            throw err::make(1087, n.name);
        TablePtr t = m_catalog.load("temp", info->table);
        if (!t)
            throw err::make(1087, n.name);
        return t;
    }
    TablePtr t = m_catalog.find(n, m_database);
    if (!t || (t->kind == Table::Kind::System && !allowSystem)) {
        if (errorNumber == 208 && !n.database.empty() && !m_catalog.findDatabase(n.database))
            throw err::make(208, n.written);
        throw err::make(errorNumber, n.written);
    }
    return t;
}

Source Compiler::source(const NamedTable &n)
{
    Source s;
    s.name = n.name;
    s.aliased = !n.alias.empty();
    s.alias = s.aliased ? n.alias : n.name.name;
    s.sqlAlias = newAlias();
    auto addColumns = [&](const std::vector<SourceColumn> &cols) {
        for (const SourceColumn &c : cols) {
            SourceColumn x = c;
            x.sql = s.sqlAlias + "." + c.sql;
            s.columns.push_back(std::move(x));
        }
    };
    // A CTE of the statement hides a table of the same name.
    if (n.name.database.empty() && n.name.schema.empty()) {
        if (auto it = m_ctes.find(lower(n.name.name)); it != m_ctes.end()) {
            CteDef &def = it->second;
            if (!def.compiled)
                throw err::make(208, n.name.written).atLine(n.line);
            for (const SourceColumn &c : def.columns) {
                SourceColumn x = c;
                x.sql = s.sqlAlias + "." + c.sql;
                s.columns.push_back(std::move(x));
            }
            s.table = nullptr;
            s.name.written = n.name.name;
            m_scope->sources.push_back(s);
            return s;
        }
    }
    TablePtr t = targetTable(n.name, 208, true);
    s.table = t;
    if (t->kind == Table::Kind::Variable)
        s.alias = s.aliased ? n.alias : n.name.name;
    std::vector<SourceColumn> cols;
    for (const tsql::Column &c : t->columns) {
        SourceColumn sc;
        sc.name = c.name;
        sc.type = c.type;
        sc.nullable = c.nullable;
        sc.sql = quoteName(c.name);
        sc.identity = c.identity;
        sc.baseTable = t->name;
        cols.push_back(std::move(sc));
    }
    if (t->kind == Table::Kind::View) {
        // A view is its query, compiled in its own database, where its names resolve.
        ast::Batch parsed;
        const std::string text = t->viewText;
        const std::vector<Token> tokens = tokenize(text);
        Parser p(text, tokens);
        auto stmt = p.statement();
        if (stmt->kind != Statement::Kind::Select)
            throw err::internal("a view that is no query");
        Compiler inner = child(t->database, CompileOptions{true, m_options.inlineConstants});
        std::vector<OutputColumn> out;
        const std::string renumbered = inner.subquery(*stmt->as<SelectStatement>().query, out);
        s.table = t;
        s.columns.clear();
        for (std::size_t i = 0; i < out.size(); ++i) {
            SourceColumn sc;
            sc.name = i < t->columns.size() ? t->columns[i].name : out[i].name;
            sc.type = out[i].type;
            sc.nullable = out[i].nullable;
            sc.sql = s.sqlAlias + ".c" + std::to_string(i);
            s.columns.push_back(std::move(sc));
        }
        s.name.written = "(" + renumbered + ")";
        m_scope->sources.push_back(s);
        return s;
    }
    addColumns(cols);
    m_scope->sources.push_back(s);
    return s;
}

std::string Compiler::subquery(const Query &q, std::vector<OutputColumn> &columns)
{
    Scope inner;
    return within(inner, [&] {
        Compiled c = compileQuery(q, false);
        columns = c.columns;
        return c.sql;
    });
}

// Whether a query names a table: a CTE that names itself is recursive.
static bool names(const Query &q, const std::string &name);

static bool namesIn(const TableRef &r, const std::string &name)
{
    switch (r.kind) {
    case TableRef::Kind::Named: {
        const auto &n = r.as<NamedTable>();
        return n.name.database.empty() && n.name.schema.empty() && iequals(n.name.name, name);
    }
    case TableRef::Kind::Derived: return names(*r.as<DerivedTable>().query, name);
    case TableRef::Kind::Join: return namesIn(*r.as<Join>().left, name) || namesIn(*r.as<Join>().right, name);
    default: return false;
    }
}

static bool namesBody(const QueryBody &b, const std::string &name)
{
    switch (b.kind) {
    case QueryBody::Kind::Block:
        for (const auto &r : b.block->from)
            if (namesIn(*r, name))
                return true;
        return false;
    case QueryBody::Kind::Parenthesized: return names(*b.parenthesized, name);
    case QueryBody::Kind::SetOp: return namesBody(*b.left, name) || namesBody(*b.right, name);
    }
    return false;
}

static bool names(const Query &q, const std::string &name)
{
    return namesBody(*q.body, name);
}

// A string constant in ORDER BY that spells a select-list alias: that column's index.
static int aliasInQuotes(const Expr &e, const Compiler::Compiled &out)
{
    if (e.kind != Expr::Kind::Literal || e.as<Literal>().type != Literal::Type::String)
        return -1;
    for (std::size_t k = 0; k < out.columns.size(); ++k)
        if (iequals(out.columns[k].name, e.as<Literal>().text))
            return static_cast<int>(k);
    return -1;
}

class QueryCompiler {
public:
    explicit QueryCompiler(Compiler &c) : m_c(c) {}

    std::string from(const TableRef &r)
    {
        switch (r.kind) {
        case TableRef::Kind::Named: {
            const auto &n = r.as<NamedTable>();
            Source s = m_c.source(n);
            if (s.table && s.table->kind == Table::Kind::View)
                return s.name.written + " AS " + s.sqlAlias;
            if (s.table && s.table->kind == Table::Kind::System)
                return s.table->systemSql + " AS " + s.sqlAlias;
            if (!s.table) {
                auto it = m_c.m_ctes.find(lower(n.name.name));
                return it->second.sqlName + " AS " + s.sqlAlias;
            }
            return s.table->sqlName() + " AS " + s.sqlAlias;
        }
        case TableRef::Kind::Derived: {
            const auto &d = r.as<DerivedTable>();
            std::vector<OutputColumn> cols;
            const std::string sql = m_c.subquery(*d.query, cols);
            return derived(sql, cols, d.alias, d.columnAliases, d.line);
        }
        case TableRef::Kind::Values: {
            const auto &v = r.as<ValuesTable>();
            const std::size_t width = v.rows.front().size();
            std::vector<std::vector<Bound>> rows;
            for (const auto &row : v.rows) {
                if (row.size() != width)
                    throw err::make(10709).atLine(v.line);
                std::vector<Bound> b;
                for (const auto &e : row)
                    b.push_back(m_c.expr(*e));
                rows.push_back(std::move(b));
            }
            std::vector<OutputColumn> cols(width);
            for (std::size_t i = 0; i < width; ++i) {
                std::vector<Bound> column;
                for (const auto &row : rows)
                    column.push_back(row[i]);
                cols[i].type = m_c.unionType(column, "VALUES");
                if (cols[i].type.isNull())
                    cols[i].type = SqlType{Base::Int};
            }
            std::string sql;
            for (std::size_t r2 = 0; r2 < rows.size(); ++r2) {
                sql += r2 ? " UNION ALL SELECT " : "SELECT ";
                for (std::size_t i = 0; i < width; ++i)
                    sql += (i ? ", " : "") + m_c.convert(rows[r2][i], cols[i].type) + " AS c" + std::to_string(i);
            }
            return derived(sql, cols, v.alias, v.columnAliases, v.line);
        }
        case TableRef::Kind::Join: {
            const auto &j = r.as<Join>();
            const std::string left = from(*j.left);
            const std::size_t before = m_c.scope().sources.size();
            if ((j.type == Join::Type::CrossApply || j.type == Join::Type::OuterApply) &&
                j.right->kind == TableRef::Kind::Derived)
                return applyDerived(left, j.right->as<DerivedTable>(), j.type == Join::Type::OuterApply);
            const std::string right = from(*j.right);
            if (j.type == Join::Type::CrossApply || j.type == Join::Type::OuterApply) {
                return left + (j.type == Join::Type::CrossApply ? " CROSS JOIN " : " LEFT JOIN ") + right +
                       (j.type == Join::Type::OuterApply ? " ON 1" : "");
            }
            if (j.type == Join::Type::Left || j.type == Join::Type::Full)
                for (std::size_t i = before; i < m_c.scope().sources.size(); ++i)
                    for (auto &c : m_c.scope().sources[i].columns)
                        c.nullable = true;
            if (j.type == Join::Type::Right || j.type == Join::Type::Full)
                for (std::size_t i = 0; i < before; ++i)
                    for (auto &c : m_c.scope().sources[i].columns)
                        c.nullable = true;
            if (j.type == Join::Type::Cross)
                return left + " CROSS JOIN " + right;
            const Bound on = m_c.condition(*j.on);
            if (on.aggregate)
                throw err::make(147).atLine(j.line);
            const char *kw = j.type == Join::Type::Inner ? " JOIN " : j.type == Join::Type::Left ? " LEFT JOIN "
                             : j.type == Join::Type::Right ? " RIGHT JOIN " : " FULL JOIN ";
            return left + kw + right + " ON " + on.sql;
        }
        case TableRef::Kind::Function: {
            // SQL Server's own table-valued functions that the engine lacks are "not supported";
            // any other name is no object at all, SQLite's pragma functions included.
            const std::string &name = r.as<FunctionTable>().call->name;
            static const char *const builtIn[] = {"string_split", "openjson", "openrowset", "opendatasource",
                                                  "openquery", "openxml", "generate_series"};
            for (const char *b : builtIn)
                if (iequals(name, b))
                    throw err::make(40517, upper(name)).atLine(r.line);
            throw err::make(208, name).atLine(r.line);
        }
        }
        return {};
    }

    // APPLY over a derived table that names the left side's columns. SQLite has no lateral
    // join, so each left row is joined to the numbers 1..n (n: the rows the subquery gives for
    // it) and row i's columns are read back by correlated subqueries (SQLite's LIMIT and
    // OFFSET cannot name an outer column, so the rows are numbered instead).
    std::string applyDerived(const std::string &left, const DerivedTable &d, bool outer)
    {
        std::vector<OutputColumn> cols;
        const std::string sub = m_c.subquery(*d.query, cols);
        derived(sub, cols, d.alias, d.columnAliases, d.line);
        Source &s = m_c.scope().sources.back();
        const std::string n = s.sqlAlias + ".i";
        for (std::size_t k = 0; k < s.columns.size(); ++k) {
            s.columns[k].sql = "(SELECT c" + std::to_string(k) + " FROM (SELECT *, row_number() OVER () AS tsql_rn FROM (" +
                               sub + ")) WHERE tsql_rn = " + n + ")";
            if (outer)
                s.columns[k].nullable = true;
        }
        const std::string count = "(SELECT count(*) FROM (" + sub + "))";
        const std::string numbers = "(WITH RECURSIVE tsql_n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM tsql_n WHERE i < "
                                    "(SELECT max(" + count + ") FROM " + left + ")) SELECT i FROM tsql_n) AS " + s.sqlAlias;
        return left + (outer ? " LEFT JOIN " : " JOIN ") + numbers + " ON " + n + " <= " + count;
    }

    std::string derived(const std::string &sql, const std::vector<OutputColumn> &cols, const std::string &alias,
                        const std::vector<std::string> &names, int line)
    {
        Source s;
        s.alias = alias;
        s.aliased = true;
        s.sqlAlias = m_c.newAlias();
        if (!names.empty() && names.size() != cols.size())
            throw err::make(names.size() < cols.size() ? 8158 : 8159, alias).atLine(line);
        for (std::size_t i = 0; i < cols.size(); ++i) {
            SourceColumn sc;
            sc.name = names.empty() ? cols[i].name : names[i];
            if (sc.name.empty())
                throw err::make(8155, std::to_string(i + 1), alias).atLine(line);
            for (const auto &other : s.columns)
                if (iequals(other.name, sc.name))
                    throw err::make(8156, sc.name, alias).atLine(line);
            sc.type = cols[i].type;
            sc.nullable = cols[i].nullable;
            sc.sql = s.sqlAlias + ".c" + std::to_string(i);
            s.columns.push_back(std::move(sc));
        }
        m_c.scope().sources.push_back(s);
        return "(" + sql + ") AS " + s.sqlAlias;
    }

    // `recursion`: the recursive member of a recursive CTE, which carries the level it is at and
    // stops past the statement's MAXRECURSION.
    Compiler::Compiled block(const QueryBlock &q, const std::vector<OrderItem> *order, const Top *top,
                            bool recursion = false)
    {
        if (q.groupBy.kind != GroupBy::Kind::Plain && !m_set)
            return groupingSets(q, order, top);
        Compiler::Compiled out;
        std::string fromSql;
        const std::size_t firstSource = m_c.scope().sources.size();
        for (std::size_t i = 0; i < q.from.size(); ++i)
            fromSql += (i ? ", " : "") + from(*q.from[i]);
        Scope &scope = m_c.scope();
        // Two sources of one FROM clause may not answer to the same name.
        for (std::size_t i = firstSource; i < scope.sources.size(); ++i)
            for (std::size_t k = firstSource; k < i; ++k)
                if (iequals(scope.sources[i].alias, scope.sources[k].alias)) {
                    if (scope.sources[i].aliased)
                        throw err::make(1011, scope.sources[i].alias).atLine(q.line);
                    throw err::make(1013, scope.sources[k].alias, scope.sources[i].alias).atLine(q.line);
                }
        std::string level;
        if (recursion) {
            for (const Source &src : scope.sources)
                for (const SourceColumn &c : src.columns)
                    if (c.name == "__tsql_level")
                        level = c.sql;
            if (level.empty())
                throw err::make(252, "").atLine(q.line);
        }
        std::string where;
        if (q.where) {
            const Bound w = m_c.condition(*q.where);
            if (w.aggregate)
                throw err::make(147).atLine(q.where->line);
            if (w.window)
                throw err::make(4108, "window").atLine(q.where->line);
            where = where.empty() ? " WHERE " + w.sql : where + " AND " + w.sql;
        }
        // GROUP BY, compiled first: the select list's columns must be among its expressions.
        std::string group;
        const bool explicitGroup = !q.groupBy.empty();
        std::vector<const Expr *> groupItems;
        if (m_set) {
            groupItems = *m_set;
            scope.groupingSets = true;
            for (const Expr *e : *m_allGroups)
                if (std::find(m_set->begin(), m_set->end(), e) == m_set->end())
                    scope.rolledUp.insert(m_c.groupKey(m_c.expr(*e).sql));
        } else {
            for (const auto &e : q.groupBy.items)
                groupItems.push_back(e.get());
        }
        if (explicitGroup) {
            for (std::size_t i = 0; i < groupItems.size(); ++i) {
                const Bound g = m_c.expr(*groupItems[i]);
                if (g.aggregate)
                    throw err::make(144).atLine(q.line);
                scope.groupSql.insert(g.sql);
                scope.groupSql.insert(m_c.groupKey(g.sql));
                group += (i ? ", " : "") + collated(g);
            }
        }
        bool anyAggregate = false;
        for (const SelectItem &item : q.items)
            anyAggregate = anyAggregate || (item.expr->kind != Expr::Kind::Star && hasAggregate(*item.expr));
        anyAggregate = anyAggregate || (q.having && hasAggregate(*q.having));
        if (order)
            for (const OrderItem &o : *order)
                anyAggregate = anyAggregate || hasAggregate(*o.expr);
        scope.grouped = explicitGroup || anyAggregate || q.having;
        // The select list.
        std::string list;
        bool assigns = false, retrieves = false;
        for (const SelectItem &item : q.items)
            if (!item.assignVariable.empty())
                m_c.state().liveVariables.insert(lower(item.assignVariable));
        for (const SelectItem &item : q.items) {
            if (item.expr->kind == Expr::Kind::Star) {
                star(item.expr->as<Star>(), out, list);
                retrieves = true;
                continue;
            }
            Bound b = m_c.expr(*item.expr);
            if (!b.ungrouped.empty())
                throw err::make(explicitGroup ? 8120 : 8118, b.ungrouped.front()).atLine(item.expr->line);
            OutputColumn o;
            o.name = outputName(item);
            o.type = b.type.isNull() ? SqlType{Base::Int} : b.type;
            o.nullable = b.nullable;
            if (b.plainColumn && item.alias.empty()) {
                o.identity = b.identity;
                o.table = b.tableName;
                o.column = b.columnName;
            }
            if (!item.assignVariable.empty()) {
                assigns = true;
                out.assignTo.push_back(item.assignVariable);
                out.assignOps.push_back(item.assignOp);
            } else {
                retrieves = true;
            }
            std::string sql = q.distinct ? collated(b) : b.sql;
            list += (list.empty() ? "" : ", ") + sql + " AS c" + std::to_string(out.columns.size());
            out.columns.push_back(o);
            out.items.push_back(b);
        }
        if (assigns && retrieves)
            throw err::make(141).atLine(q.line);
        // A grouping set carries the whole query's ORDER BY terms that are not its columns.
        if (m_set && m_setOrder)
            for (std::size_t k = 0; k < m_setOrder->size(); ++k)
                if (m_hiddenOrder[k])
                    list += ", " + m_c.expr(*(*m_setOrder)[k].expr).sql + " AS o" + std::to_string(k);
        // The limit is checked on the rows the member gives, after its own conditions: a
        // recursion that stops by itself at the limit is not an error.
        if (recursion && m_c.m_maxRecursion > 0)
            list += ", (CASE WHEN tsql_recursion(" + level + " + 1, " + std::to_string(m_c.m_maxRecursion) + ") THEN " + level +
                    " + 1 END) AS c" + std::to_string(out.columns.size());
        else if (recursion)
            list += ", " + level + " + 1 AS c" + std::to_string(out.columns.size());
        std::string having;
        if (q.having) {
            const Bound h = m_c.condition(*q.having);
            if (!h.ungrouped.empty())
                throw err::make(explicitGroup ? 8121 : 8119, h.ungrouped.front()).atLine(q.having->line);
            having = " HAVING " + h.sql;
        }
        std::string orderSql;
        // SELECT @s = @s + x ... ORDER BY: SQLite would compute every row's select list before
        // sorting, so each row would read the variables as they were at the start. A window
        // sorts first and leaves the select list to be computed row by row, in its order.
        const bool liveOrder = assigns && !m_c.state().liveVariables.empty() && order && !order->empty() && !top &&
                               !q.distinct && !explicitGroup && !scope.grouped;
        if (liveOrder)
            list += ", row_number() OVER (ORDER BY " + orderBy(*order, out, false, false, true) + ") AS tsql_order";
        const auto select = [&](const std::string &columns) {
            std::string s = std::string("SELECT ") + (q.distinct ? "DISTINCT " : "") + columns;
            if (!fromSql.empty())
                s += " FROM " + fromSql;
            return s + where + (group.empty() ? "" : " GROUP BY " + group) + having;
        };
        const std::string sql = select(list);
        if (order && !order->empty() && !liveOrder)
            orderSql = orderBy(*order, out, q.distinct, explicitGroup || scope.grouped);
        out.singleTable = q.from.size() == 1 && q.from[0]->kind == TableRef::Kind::Named && !scope.grouped &&
                          !q.distinct && !(scope.sources.size() != 1);
        // WITH TIES ranks the rows inside the query, where its ORDER BY may name any column of
        // the FROM clause, not only the selected ones.
        const std::string ranked = top && top->withTies && !orderSql.empty()
                                       ? select(list + ", rank() OVER (ORDER BY " +
                                                orderBy(*order, out, q.distinct, explicitGroup || scope.grouped, true) +
                                                ") AS tsql_rank")
                                       : std::string();
        out.sql = applyTop(sql, orderSql, top, ranked);
        return out;
    }

    void star(const Star &s, Compiler::Compiled &out, std::string &list)
    {
        Scope &scope = m_c.scope();
        bool any = false;
        for (const Source &src : scope.sources) {
            if (!s.qualifier.empty()) {
                const std::string &q = s.qualifier.back();
                const bool match = iequals(src.alias, q) && (s.qualifier.size() == 1 || !src.aliased);
                if (!match)
                    continue;
            }
            any = true;
            for (const SourceColumn &c : src.columns) {
                if (scope.grouped && !scope.groupSql.count(c.sql))
                    throw err::make(scope.groupSql.empty() ? 8118 : 8120, src.alias + "." + c.name).atLine(s.line);
                OutputColumn o;
                o.name = c.name;
                o.type = c.type;
                o.nullable = c.nullable;
                o.identity = c.identity;
                o.table = c.baseTable;
                o.column = c.name;
                list += (list.empty() ? "" : ", ") + c.sql + " AS c" + std::to_string(out.columns.size());
                out.columns.push_back(o);
                Bound b;
                b.sql = c.sql;
                b.type = c.type;
                b.plainColumn = true;
                b.columnName = c.name;
                out.items.push_back(b);
            }
        }
        if (!any) {
            if (scope.sources.empty())
                throw err::make(263).atLine(s.line);
            std::string written;
            for (const auto &p : s.qualifier)
                written += (written.empty() ? "" : ".") + p;
            throw err::make(4104, written).atLine(s.line);
        }
    }

    // ORDER BY, one rule: a position; else a name of the select list; else an expression over
    // the FROM clause (not allowed with DISTINCT unless it is in the select list).
    // `expand`: a term naming a select-list item is that item's expression, for an ORDER BY
    // that cannot see the list's names (a window's).
    std::string orderBy(const std::vector<OrderItem> &order, const Compiler::Compiled &out, bool distinct, bool grouped,
                        bool expand = false)
    {
        auto item = [&](std::size_t k) { return expand ? "(" + out.items[k].sql + ")" : "c" + std::to_string(k); };
        std::string sql;
        int position = 0;
        for (const OrderItem &o : order) {
            ++position;
            std::string term;
            bool text = false;
            if (const int k = aliasInQuotes(*o.expr, out); k >= 0) {
                // 'Total Salary' names the column whose alias is written that way.
                term = item(static_cast<std::size_t>(k));
                text = out.columns[static_cast<std::size_t>(k)].type.isText();
            } else if (o.expr->kind == Expr::Kind::Literal && o.expr->as<Literal>().type == Literal::Type::Number) {
                const std::string &t = o.expr->as<Literal>().text;
                const long k = t.find_first_not_of("0123456789") == std::string::npos && t.size() < 9 ? std::stol(t) : -1;
                if (k < 1 || k > static_cast<long>(out.columns.size()))
                    throw err::make(108, t).atLine(o.expr->line);
                term = item(static_cast<std::size_t>(k - 1));
                text = out.columns[static_cast<std::size_t>(k - 1)].type.isText();
            } else if (o.expr->kind == Expr::Kind::Literal) {
                throw err::make(408, std::to_string(position)).atLine(o.expr->line);
            } else if (o.expr->kind == Expr::Kind::Variable) {
                throw err::make(1008, std::to_string(position)).atLine(o.expr->line);
            } else if (o.expr->kind == Expr::Kind::Column && o.expr->as<ast::Column>().parts.size() == 1) {
                const std::string &name = o.expr->as<ast::Column>().parts[0];
                int found = -1;
                for (std::size_t k = 0; k < out.columns.size(); ++k) {
                    if (!iequals(out.columns[k].name, name))
                        continue;
                    // The same column named twice is one; two different ones are ambiguous.
                    if (found >= 0 && out.items[static_cast<std::size_t>(found)].sql != out.items[k].sql)
                        throw err::make(209, name).atLine(o.expr->line);
                    if (found < 0)
                        found = static_cast<int>(k);
                }
                if (found >= 0) {
                    term = item(static_cast<std::size_t>(found));
                    text = out.columns[static_cast<std::size_t>(found)].type.isText();
                }
            }
            if (term.empty()) {
                const Bound b = m_c.expr(*o.expr);
                if (distinct) {
                    int found = -1;
                    for (std::size_t k = 0; k < out.items.size() && found < 0; ++k)
                        if (out.items[k].sql == b.sql)
                            found = static_cast<int>(k);
                    if (found < 0)
                        throw err::make(145).atLine(o.expr->line);
                    term = item(static_cast<std::size_t>(found));
                } else {
                    if (grouped && !b.ungrouped.empty())
                        throw err::make(8127, b.ungrouped.front()).atLine(o.expr->line);
                    term = b.sql;
                }
                text = b.type.isText();
            }
            sql += (sql.empty() ? "" : ", ") + term + (text ? " COLLATE TSQL" : "") + (o.descending ? " DESC" : "");
        }
        return sql;
    }

    std::string limit(const Top &top)
    {
        const Bound n = m_c.expr(*top.count);
        if (!n.constant)
            throw err::make(1060).atLine(top.count->line);
        if (top.percent)
            return m_c.convert(n, SqlType{Base::Float});
        return "tsql_top(" + m_c.convert(n, SqlType{Base::BigInt}) + ")";
    }

    std::string applyTop(const std::string &sql, const std::string &orderSql, const Top *top, const std::string &ranked = {})
    {
        std::string ordered = sql + (orderSql.empty() ? "" : " ORDER BY " + orderSql);
        if (!top)
            return ordered;
        if (top->withTies && orderSql.empty())
            throw err::make(1062).atLine(top->count->line);
        const std::string n = limit(*top);
        if (top->percent) {
            // The share of the rows, rounded up, as SQL Server counts it.
            // (SQLite's ceil() is not among the functions untrusted SQL may call.)
            const std::string share = "count(*) * tsql_percent(" + n + ") / 100.0";
            const std::string count = "(SELECT CAST(" + share + " AS INTEGER) + (" + share + " > CAST(" + share +
                                      " AS INTEGER)) FROM (" + sql + "))";
            if (!top->withTies)
                return ordered + " LIMIT " + count;
            return "SELECT * FROM (" + ranked + ") WHERE tsql_rank <= " + count + " ORDER BY tsql_rank";
        }
        if (top->withTies)
            return "SELECT * FROM (" + ranked + ") WHERE tsql_rank <= " + n + " ORDER BY tsql_rank";
        return ordered + " LIMIT " + n;
    }

    Compiler::Compiled body(const QueryBody &b)
    {
        switch (b.kind) {
        case QueryBody::Kind::Block: {
            Scope scope;
            return m_c.within(scope, [&] { return block(*b.block, nullptr, b.block->top ? &*b.block->top : nullptr); });
        }
        case QueryBody::Kind::Parenthesized: {
            Scope scope;
            return m_c.within(scope, [&] { return m_c.compileQuery(*b.parenthesized, false); });
        }
        case QueryBody::Kind::SetOp:
            return setOp(b);
        }
        return {};
    }

    Compiler::Compiled setOp(const QueryBody &b)
    {
        Compiler::Compiled left = body(*b.left), right = body(*b.right);
        if (left.columns.size() != right.columns.size())
            throw err::make(205);
        if (!left.assignTo.empty() || !right.assignTo.empty())
            throw err::make(141);
        Compiler::Compiled out;
        out.columns = left.columns;
        std::string l = "SELECT ", r = "SELECT ";
        for (std::size_t i = 0; i < left.columns.size(); ++i) {
            Bound lb, rb;
            lb.sql = "c" + std::to_string(i);
            lb.type = left.columns[i].type;
            rb.sql = lb.sql;
            rb.type = right.columns[i].type;
            SqlType t = m_c.unionType({lb, rb}, "UNION");
            if (t.isNull())
                t = SqlType{Base::Int};
            out.columns[i].type = t;
            out.columns[i].nullable = left.columns[i].nullable || right.columns[i].nullable;
            out.columns[i].identity = false;
            out.columns[i].table.clear();
            const std::string collate = t.isText() ? " COLLATE TSQL" : "";
            l += (i ? ", " : "") + m_c.convert(lb, t) + collate + " AS c" + std::to_string(i);
            r += (i ? ", " : "") + m_c.convert(rb, t) + " AS c" + std::to_string(i);
            Bound item;
            item.sql = left.items.size() > i ? left.items[i].sql : lb.sql;
            item.type = t;
            out.items.push_back(item);
        }
        const char *op = b.op == QueryBody::Op::Union ? " UNION " : b.op == QueryBody::Op::UnionAll ? " UNION ALL "
                         : b.op == QueryBody::Op::Except ? " EXCEPT " : " INTERSECT ";
        // SQLite has no precedence among set operators and no parentheses around members, so
        // each side is a query of its own.
        out.sql = l + " FROM (" + left.sql + ")" + op + r + " FROM (" + right.sql + ")";
        return out;
    }

private:
    // ROLLUP, CUBE and GROUPING SETS: the query once per grouping set, joined by UNION ALL, the
    // left-out grouping expressions NULL in each; the ORDER BY then sorts the whole.
    Compiler::Compiled groupingSets(const QueryBlock &q, const std::vector<OrderItem> *order, const Top *top)
    {
        if (top)
            throw err::make(40517, "TOP with GROUP BY ROLLUP, CUBE or GROUPING SETS").atLine(q.line);
        std::vector<const Expr *> all;
        std::vector<std::vector<const Expr *>> sets;
        const auto addAll = [&](const Expr *e) {
            if (std::find(all.begin(), all.end(), e) == all.end())
                all.push_back(e);
        };
        if (q.groupBy.kind == GroupBy::Kind::GroupingSets) {
            for (const auto &set : q.groupBy.sets) {
                sets.emplace_back();
                for (const auto &e : set) {
                    sets.back().push_back(e.get());
                    addAll(e.get());
                }
            }
        } else {
            for (const auto &e : q.groupBy.items)
                addAll(e.get());
            const std::size_t n = all.size();
            if (q.groupBy.kind == GroupBy::Kind::Rollup) {
                for (std::size_t k = n + 1; k-- > 0;)
                    sets.emplace_back(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k));
            } else {
                for (std::size_t mask = (std::size_t{1} << n); mask-- > 0;) {
                    sets.emplace_back();
                    for (std::size_t i = 0; i < n; ++i)
                        if (mask & (std::size_t{1} << i))
                            sets.back().push_back(all[i]);
                }
            }
        }
        // ORDER BY 2 names a column; any other term is computed in each set as a hidden column.
        std::vector<bool> hidden;
        if (order)
            for (const OrderItem &o : *order)
                hidden.push_back(!(o.expr->kind == Expr::Kind::Literal && o.expr->as<Literal>().type == Literal::Type::Number));
        Compiler::Compiled out;
        std::string sql;
        m_allGroups = &all;
        m_setOrder = order;
        m_hiddenOrder = hidden;
        for (const auto &set : sets) {
            m_set = &set;
            Scope scope;
            Compiler::Compiled branch;
            try {
                branch = m_c.within(scope, [&] { return block(q, nullptr, nullptr); });
            } catch (...) {
                m_set = nullptr;
                throw;
            }
            m_set = nullptr;
            if (out.columns.empty())
                out = branch;
            sql += (sql.empty() ? "" : " UNION ALL ") + branch.sql;
        }
        for (auto &c : out.columns)
            c.nullable = true;
        std::string columns, orderSql;
        for (std::size_t k = 0; k < out.columns.size(); ++k)
            columns += (k ? ", c" : "c") + std::to_string(k);
        if (order)
            for (std::size_t k = 0; k < order->size(); ++k) {
                const OrderItem &o = (*order)[k];
                std::string term;
                if (!hidden[k]) {
                    const long i = std::atol(o.expr->as<Literal>().text.c_str());
                    if (i < 1 || i > static_cast<long>(out.columns.size()))
                        throw err::make(108, o.expr->as<Literal>().text).atLine(o.expr->line);
                    term = "c" + std::to_string(i - 1);
                } else {
                    term = "o" + std::to_string(k);
                }
                orderSql += (orderSql.empty() ? "" : ", ") + term + " COLLATE TSQL" + (o.descending ? " DESC" : "");
            }
        out.sql = "SELECT " + columns + " FROM (" + sql + ")" + (orderSql.empty() ? "" : " ORDER BY " + orderSql);
        out.singleTable = false;
        return out;
    }

    const std::vector<const Expr *> *m_set = nullptr;
    const std::vector<const Expr *> *m_allGroups = nullptr;
    const std::vector<OrderItem> *m_setOrder = nullptr;
    std::vector<bool> m_hiddenOrder;
    Compiler &m_c;
};

Compiler::Compiled Compiler::compileQuery(const Query &q, bool topLevel)
{
    for (const auto &[name, value] : q.options) {
        if (name == "MAXRECURSION" && value && value->kind == Expr::Kind::Literal)
            m_maxRecursion = std::atoi(value->as<Literal>().text.c_str());
    }
    for (const Cte &c : q.with) {
        CteDef d;
        d.cte = &c;
        d.sqlName = "cte" + std::to_string(m_ctes.size());
        if (m_ctes.count(lower(c.name)))
            throw err::make(252, c.name).atLine(c.line);
        m_ctes[lower(c.name)] = d;
        m_cteOrder.push_back(lower(c.name));
    }
    for (const Cte &c : q.with)
        compileCte(c);
    QueryCompiler qc(*this);
    Compiled out;
    const bool single = q.body->kind == QueryBody::Kind::Block;
    if (single) {
        const QueryBlock &s = *q.body->block;
        if (!topLevel && !q.orderBy.empty() && !s.top && !q.offset)
            throw err::make(1033).atLine(q.line);
        out = qc.block(s, &q.orderBy, s.top ? &*s.top : nullptr);
    } else {
        out = qc.body(*q.body);
        if (!q.orderBy.empty()) {
            // ORDER BY of a set operator names the result's columns, or the first query's
            // expressions, and nothing else.
            std::string order;
            for (const OrderItem &o : q.orderBy) {
                int index = aliasInQuotes(*o.expr, out);
                if (index >= 0) {
                } else if (o.expr->kind == Expr::Kind::Literal && o.expr->as<Literal>().type == Literal::Type::Number) {
                    index = std::atoi(o.expr->as<Literal>().text.c_str()) - 1;
                    if (index < 0 || index >= static_cast<int>(out.columns.size()))
                        throw err::make(108, o.expr->as<Literal>().text).atLine(o.expr->line);
                } else if (o.expr->kind == Expr::Kind::Column) {
                    const auto &c = o.expr->as<ast::Column>();
                    for (std::size_t k = 0; k < out.columns.size() && index < 0; ++k)
                        if (iequals(out.columns[k].name, c.parts.back()))
                            index = static_cast<int>(k);
                }
                if (index < 0)
                    throw err::make(104).atLine(o.expr->line);
                order += (order.empty() ? "" : ", ") + std::string("c") + std::to_string(index) +
                         (out.columns[static_cast<std::size_t>(index)].type.isText() ? " COLLATE TSQL" : "") +
                         (o.descending ? " DESC" : "");
            }
            out.sql = "SELECT * FROM (" + out.sql + ") ORDER BY " + order;
        }
    }
    if (q.offset) {
        if (single && q.body->block->top)
            throw err::make(10741).atLine(q.line);
        if (q.orderBy.empty())
            throw err::make(10743).atLine(q.line);
        const Bound off = expr(*q.offset);
        std::string lim = "-1";
        if (q.fetch)
            lim = "tsql_top(" + convert(expr(*q.fetch), SqlType{Base::BigInt}) + ")";
        out.sql += " LIMIT " + lim + " OFFSET tsql_offset(" + convert(off, SqlType{Base::BigInt}) + ")";
    }
    if (topLevel && !m_cteOrder.empty()) {
        std::string with;
        for (const std::string &name : m_cteOrder) {
            if (!m_cteSql.count(name))
                continue;
            with += (with.empty() ? "" : ", ") + m_cteSql[name];
        }
        if (!with.empty())
            out.sql = std::string(m_recursiveWith ? "WITH RECURSIVE " : "WITH ") + with + " " + out.sql;
    }
    return out;
}

std::string Compiler::fromClause(const std::vector<TableRefPtr> &from)
{
    QueryCompiler qc(*this);
    std::string sql;
    for (std::size_t i = 0; i < from.size(); ++i)
        sql += (i ? ", " : "") + qc.from(*from[i]);
    return sql;
}

void Compiler::compileCte(const Cte &c)
{
    CteDef &d = m_ctes[lower(c.name)];
    auto setColumns = [&](const std::vector<OutputColumn> &cols, bool recursive) {
        d.columns.clear();
        if (!c.columns.empty() && c.columns.size() != cols.size())
            throw err::make(c.columns.size() < cols.size() ? 8158 : 8159, c.name).atLine(c.line);
        for (std::size_t i = 0; i < cols.size(); ++i) {
            SourceColumn sc;
            sc.name = c.columns.empty() ? cols[i].name : c.columns[i];
            if (sc.name.empty())
                throw err::make(8155, std::to_string(i + 1), c.name).atLine(c.line);
            sc.type = cols[i].type;
            sc.nullable = cols[i].nullable;
            sc.sql = "c" + std::to_string(i);
            d.columns.push_back(std::move(sc));
        }
        if (recursive) {
            SourceColumn level;
            level.name = "__tsql_level";
            level.type = SqlType{Base::Int};
            level.sql = "c" + std::to_string(cols.size());
            d.columns.push_back(std::move(level));
        }
    };
    if (!names(*c.query, c.name)) {
        std::vector<OutputColumn> cols;
        Scope scope;
        const std::string sql = within(scope, [&] { return subquery(*c.query, cols); });
        setColumns(cols, false);
        d.compiled = true;
        m_cteSql[lower(c.name)] = d.sqlName + " AS (" + sql + ")";
        return;
    }
    // anchor UNION ALL recursive member, the member naming the CTE once.
    const QueryBody &body = *c.query->body;
    if (body.kind != QueryBody::Kind::SetOp || body.op != QueryBody::Op::UnionAll || namesBody(*body.left, c.name) ||
        body.right->kind != QueryBody::Kind::Block)
        throw err::make(252, c.name).atLine(c.line);
    QueryCompiler qc(*this);
    Scope anchorScope;
    Compiled anchor = within(anchorScope, [&] { return qc.body(*body.left); });
    setColumns(anchor.columns, true);
    d.compiled = true;
    Scope recursiveScope;
    Compiled member = within(recursiveScope, [&] { return qc.block(*body.right->block, nullptr, nullptr, true); });
    if (member.columns.size() != anchor.columns.size())
        throw err::make(205).atLine(c.line);
    std::string a = "SELECT ", r = "SELECT ";
    for (std::size_t i = 0; i < anchor.columns.size(); ++i) {
        Bound ab, rb;
        ab.sql = rb.sql = "c" + std::to_string(i);
        ab.type = anchor.columns[i].type;
        rb.type = member.columns[i].type;
        if (!(ab.type == rb.type) && !rb.type.isNull() && !(ab.type.isText() && rb.type.isText()))
            throw err::make(240, std::to_string(i + 1), c.name).atLine(c.line);
        a += (i ? ", " : "") + ab.sql + " AS c" + std::to_string(i);
        r += (i ? ", " : "") + convert(rb, ab.type) + " AS c" + std::to_string(i);
    }
    const std::string levelColumn = "c" + std::to_string(anchor.columns.size());
    a += ", 0 AS " + levelColumn;
    // The member's own SQL keeps its reference to the CTE at the top level, as SQLite requires.
    m_cteSql[lower(c.name)] = d.sqlName + " AS (" + a + " FROM (" + anchor.sql + ") UNION ALL " + member.sql + ")";
    m_recursiveWith = true;
}

QueryPlan Compiler::query(const Query &q)
{
    Compiled c = compileQuery(q, true);
    QueryPlan p;
    p.sql = std::move(c.sql);
    p.columns = std::move(c.columns);
    p.assignTo = std::move(c.assignTo);
    p.assignOps = std::move(c.assignOps);
    p.singleTable = c.singleTable;
    p.params = m_state->params;
    return p;
}

QueryPlan Compiler::scalar(const Expr &e)
{
    Bound b = expr(e);
    QueryPlan p;
    p.sql = "SELECT " + b.sql + " AS c0";
    OutputColumn o;
    o.type = b.type.isNull() ? SqlType{Base::Int} : b.type;
    p.columns.push_back(o);
    p.params = m_state->params;
    return p;
}

Bound Compiler::expression(const Expr &e, Scope &scope)
{
    return within(scope, [&] { return expr(e); });
}

} // namespace tsql
