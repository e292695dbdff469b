// INSERT, UPDATE and DELETE: the rows written, their conversion into each column's type, the
// defaults of the columns an INSERT does not name, and the joins of UPDATE ... FROM and
// DELETE ... FROM, which change only the rows of the target the join reaches.

#include "tsql/Compiler.h"

#include "tsql/Convert.h"
#include "tsql/Errors.h"
#include "tsql/Parser.h"

namespace tsql {

using namespace ast;
using sqlite::quoteName;

namespace {

std::string code(const SqlType &t)
{
    return std::to_string(t.code());
}

// The value of the next identity, supplied when the statement runs: a plan is compiled once
// and run many times.
constexpr const char *kIdentityBase = "@@tsql_identity_base";

} // namespace

std::string Compiler::store(const Bound &v, const tsql::Column &c, const Table &t)
{
    if (v.isNullLiteral() || v.type.isNull())
        return "NULL";
    const SqlType &to = c.type;
    // A value already of the column's type and no longer than it is stored as it is.
    if (v.type == to && !to.isFixedLength())
        return v.sql;
    if (v.type.base == to.base && (to.isText() || to.isBinary()) && !to.isFixedLength() &&
        (to.length == -1 || (v.type.length != -1 && v.type.length <= to.length)))
        return v.sql;
    if (v.type.isInteger() && to.isInteger() && to.base != Base::Bit && precedence(to.base) >= precedence(v.type.base))
        return v.sql;
    conv::check(v.type, to, false);
    return "tsql_store(" + v.sql + ", " + code(v.type) + ", " + code(to) + ", " + constant(Value::text(t.fullName())) +
           ", " + constant(Value::text(c.name)) + ")";
}

std::string Compiler::defaultFor(const Table &t, const tsql::Column &c)
{
    if (c.identity)
        return "NULL";
    if (c.defaultText.empty())
        return "NULL";
    // The default as SQL Server shows it, "(getdate())", is an expression of its own.
    const std::string text = "SELECT " + c.defaultText;
    const std::vector<Token> tokens = tokenize(text);
    Parser p(text, tokens);
    auto stmt = p.statement();
    const Expr &e = *stmt->as<SelectStatement>().query->first().items.front().expr;
    Compiler inner = child(t.database, CompileOptions{true, m_options.inlineConstants});
    Bound b = inner.expr(e);
    return store(b, c, t);
}

Compiler::WritePlan Compiler::insert(const Insert &s, bool identityInsertOn, std::int64_t)
{
    for (const Cte &c : s.with) {
        CteDef d;
        d.cte = &c;
        d.sqlName = "cte" + std::to_string(m_ctes.size());
        m_ctes[lower(c.name)] = d;
        m_cteOrder.push_back(lower(c.name));
        compileCte(c);
    }
    WritePlan plan;
    plan.operation = "INSERT";
    TablePtr tp = targetTable(s.target.name, 208);
    if (tp->kind == Table::Kind::View)
        throw err::make(4406, s.target.name.written);
    plan.table = tp;
    const Table &t = *tp;
    const int identityIndex = t.identity ? t.find(t.identity->column) : -1;
    std::vector<int> cols;
    const bool listed = !s.columns.empty();
    if (listed) {
        for (const auto &name : s.columns) {
            const int i = t.find(name);
            if (i < 0)
                throw err::make(207, name).atLine(s.line);
            for (int c : cols)
                if (c == i)
                    throw err::make(264, name).atLine(s.line);
            if (!t.columns[static_cast<std::size_t>(i)].computed.empty())
                throw err::make(271, t.columns[static_cast<std::size_t>(i)].name).atLine(s.line);
            if (i == identityIndex) {
                if (!identityInsertOn)
                    throw err::make(544, t.name).atLine(s.line);
                plan.explicitIdentity = true;
            }
            cols.push_back(i);
        }
    } else {
        if (identityInsertOn)
            throw err::make(8101, t.name).atLine(s.line);
        for (int i = 0; i < static_cast<int>(t.columns.size()); ++i)
            if (i != identityIndex && t.columns[static_cast<std::size_t>(i)].computed.empty())
                cols.push_back(i);
    }
    if (identityInsertOn && identityIndex >= 0 && !plan.explicitIdentity)
        throw err::make(545, t.name).atLine(s.line);
    // The columns the statement does not name take their defaults.
    std::vector<int> defaults;
    for (int i = 0; i < static_cast<int>(t.columns.size()); ++i) {
        const tsql::Column &c = t.columns[static_cast<std::size_t>(i)];
        if (i == identityIndex || !c.computed.empty())
            continue;
        if (std::find(cols.begin(), cols.end(), i) == cols.end() && !c.defaultText.empty())
            defaults.push_back(i);
    }
    std::string source;
    // The defaults follow the named columns as v<n>, so every source column has one name form.
    auto defaultValues = [&]() {
        std::string d;
        std::size_t n = cols.size();
        for (int i : defaults)
            d += ", " + defaultFor(t, t.columns[static_cast<std::size_t>(i)]) + " AS v" + std::to_string(n++);
        return d;
    };
    if (s.defaultValues) {
        // Every column takes its default, not only those a column list would leave out.
        cols.clear();
        defaults.clear();
        for (int i = 0; i < static_cast<int>(t.columns.size()); ++i) {
            const tsql::Column &c = t.columns[static_cast<std::size_t>(i)];
            if (i != identityIndex && c.computed.empty() && !c.defaultText.empty())
                defaults.push_back(i);
        }
        std::string list;
        std::size_t n = 0;
        for (int i : defaults)
            list += (list.empty() ? "" : ", ") + defaultFor(t, t.columns[static_cast<std::size_t>(i)]) + " AS v" +
                    std::to_string(n++);
        source = "SELECT " + (list.empty() ? std::string("NULL AS tsql_none") : list);
        plan.identityRows = 1;
    } else if (!s.values.empty()) {
        plan.identityRows = static_cast<std::int64_t>(s.values.size());
        for (std::size_t r = 0; r < s.values.size(); ++r) {
            const auto &row = s.values[r];
            if (listed && row.size() > cols.size())
                throw err::make(110).atLine(s.line);
            if (listed && row.size() < cols.size())
                throw err::make(109).atLine(s.line);
            if (!listed && row.size() != cols.size()) {
                if (identityIndex >= 0 && row.size() == t.columns.size())
                    throw err::make(8101, t.name).atLine(s.line);
                throw err::make(213).atLine(s.line);
            }
            std::string member = "SELECT ";
            for (std::size_t i = 0; i < row.size(); ++i) {
                const tsql::Column &c = t.columns[static_cast<std::size_t>(cols[i])];
                std::string value;
                if (!row[i]) {
                    value = defaultFor(t, c);
                } else {
                    const Bound v = expr(*row[i]);
                    if (v.aggregate)
                        throw err::make(130).atLine(s.line);
                    value = store(v, c, t);
                }
                member += (i ? ", " : "") + value + " AS v" + std::to_string(i);
            }
            member += defaultValues();
            source += (r ? " UNION ALL " : "") + member;
        }
    } else if (s.query) {
        std::vector<OutputColumn> out;
        const std::string sub = subquery(*s.query, out);
        if (out.size() != cols.size()) {
            if (!listed)
                throw err::make(213).atLine(s.line);
            throw err::make(out.size() < cols.size() ? 120 : 121).atLine(s.line);
        }
        std::string list;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            Bound v;
            v.sql = "s.c" + std::to_string(i);
            v.type = out[i].type;
            v.constant = false;
            list += (i ? ", " : "") + store(v, t.columns[static_cast<std::size_t>(cols[i])], t) + " AS v" + std::to_string(i);
        }
        source = "SELECT " + list + defaultValues() + " FROM (" + sub + ") AS s";
        if (s.top) {
            const Bound n = expr(*s.top->count);
            source += " LIMIT tsql_top(" + convert(n, SqlType{Base::BigInt}) + ")";
        }
    } else {
        throw err::make(40517, "INSERT ... EXECUTE").atLine(s.line);
    }
    std::string names;
    for (int i : cols) {
        names += (names.empty() ? "" : ", ") + quoteName(t.columns[static_cast<std::size_t>(i)].name);
        plan.sourceColumns.push_back(t.columns[static_cast<std::size_t>(i)].name);
    }
    for (int i : defaults) {
        names += (names.empty() ? "" : ", ") + quoteName(t.columns[static_cast<std::size_t>(i)].name);
        plan.sourceColumns.push_back(t.columns[static_cast<std::size_t>(i)].name);
    }
    plan.source = source;
    if (identityIndex >= 0 && !plan.explicitIdentity) {
        // New rows are numbered in the order the source yields them.
        Param base;
        base.kind = Param::Kind::Variable;
        base.variable = kIdentityBase;
        const std::string baseSql = param(std::move(base));
        names += (names.empty() ? "" : ", ") + quoteName(t.identity->column);
        source = "SELECT src.*, " + baseSql + " + " + std::to_string(t.identity->step) +
                 " * (row_number() OVER () - 1) FROM (" + source + ") AS src";
        plan.identity = t.identity;
    } else if (identityIndex >= 0) {
        plan.identity = t.identity;
    }
    std::string with;
    for (const std::string &name : m_cteOrder)
        if (m_cteSql.count(name))
            with += (with.empty() ? "" : ", ") + m_cteSql[name];
    if (!with.empty())
        source = std::string(m_recursiveWith ? "WITH RECURSIVE " : "WITH ") + with + " " + source;
    if (names.empty())
        plan.sql.push_back("INSERT INTO " + t.sqlName() + " DEFAULT VALUES");
    else
        plan.sql.push_back("INSERT INTO " + t.sqlName() + " (" + names + ") " + source);
    plan.params = m_state->params;
    return plan;
}

namespace {

// The source of an UPDATE's or DELETE's FROM that is its target: named by its alias, or by
// the table's name when it has no alias.
int targetSource(const Scope &scope, const ObjectName &target)
{
    int found = -1;
    for (std::size_t i = 0; i < scope.sources.size(); ++i) {
        const Source &s = scope.sources[i];
        bool match = false;
        if (target.schema.empty() && target.database.empty())
            match = iequals(s.alias, target.name);
        else
            match = !s.aliased && s.table && iequals(s.table->name, target.name);
        if (match) {
            if (found >= 0)
                throw err::make(8154, target.written);
            found = static_cast<int>(i);
        }
    }
    return found;
}

} // namespace

Compiler::WritePlan Compiler::update(const Update &s)
{
    for (const Cte &c : s.with) {
        CteDef d;
        d.cte = &c;
        d.sqlName = "cte" + std::to_string(m_ctes.size());
        m_ctes[lower(c.name)] = d;
        m_cteOrder.push_back(lower(c.name));
        compileCte(c);
    }
    WritePlan plan;
    plan.operation = "UPDATE";
    std::string fromSql;
    int target = -1;
    if (!s.from.empty()) {
        fromSql = fromClause(s.from);
        target = targetSource(*m_scope, s.target.name);
    }
    if (target < 0) {
        NamedTable n;
        n.name = s.target.name;
        n.line = s.line;
        Source src = source(n);
        target = static_cast<int>(m_scope->sources.size()) - 1;
        if (!s.from.empty())
            fromSql = src.table->sqlName() + " AS " + src.sqlAlias + ", " + fromSql;
    }
    const Source tsrc = m_scope->sources[static_cast<std::size_t>(target)];
    if (!tsrc.table || !tsrc.table->isReal())
        throw err::make(tsrc.table && tsrc.table->kind == Table::Kind::View ? 4406 : 208, s.target.name.written)
            .atLine(s.line);
    const Table &t = *tsrc.table;
    plan.table = tsrc.table;
    std::vector<std::pair<std::string, std::string>> sets; // column, value SQL
    std::vector<std::string> returning;
    for (const Assignment &a : s.sets) {
        std::string columnName;
        if (!a.column.empty()) {
            columnName = a.column.back();
            if (a.column.size() > 1) {
                const std::string &q = a.column[a.column.size() - 2];
                if (!iequals(q, tsrc.alias) && !(tsrc.table && iequals(q, tsrc.table->name)))
                    throw err::make(4104, q + "." + columnName).atLine(s.line);
            }
        }
        const int index = columnName.empty() ? -1 : t.find(columnName);
        if (!columnName.empty() && index < 0)
            throw err::make(207, columnName).atLine(s.line);
        std::string value;
        if (index >= 0) {
            const tsql::Column &c = t.columns[static_cast<std::size_t>(index)];
            if (c.identity)
                throw err::make(8102, c.name).atLine(s.line);
            if (!c.computed.empty())
                throw err::make(271, c.name).atLine(s.line);
            for (const auto &[done, ignored] : sets)
                if (iequals(done, c.name))
                    throw err::make(264, c.name).atLine(s.line);
            if (!a.value) {
                value = defaultFor(t, c);
            } else {
                Bound v = expr(*a.value);
                if (v.aggregate)
                    throw err::make(157).atLine(s.line);
                if (a.op != "=") {
                    ast::Column self;
                    self.parts = {tsrc.alias, c.name};
                    Bound current = column(self);
                    v = arithmetic(a.op.substr(0, 1), current, v, s.line);
                }
                value = store(v, c, t);
            }
            sets.emplace_back(c.name, value);
            if (!a.variable.empty()) {
                plan.returnVariables.push_back(a.variable);
                plan.returnOps.push_back("=");
                plan.returnTypes.push_back(c.type);
                returning.push_back(quoteName(c.name));
            }
        } else {
            // SET @v = expression: the variable takes the value of the last row changed.
            Bound v = expr(*a.value);
            plan.returnVariables.push_back(a.variable);
            plan.returnOps.push_back(a.op);
            plan.returnTypes.push_back(v.type);
            returning.push_back(v.sql);
        }
    }
    std::string where;
    if (s.where) {
        const Bound w = condition(*s.where);
        if (w.aggregate)
            throw err::make(147).atLine(s.line);
        where = w.sql;
    }
    std::string setSql;
    const bool joined = !s.from.empty() || s.top;
    std::string sql;
    if (!joined) {
        for (const auto &[c, v] : sets)
            setSql += (setSql.empty() ? "" : ", ") + quoteName(c) + " = " + v;
        sql = "UPDATE " + t.sqlName() + " AS " + tsrc.sqlAlias + " SET " + setSql + (where.empty() ? "" : " WHERE " + where);
    } else {
        // The new values are worked out over the whole join, keyed by the target's row.
        std::string list = tsrc.sqlAlias + ".rowid AS tsql_rid";
        std::size_t k = 0;
        for (const auto &[c, v] : sets) {
            list += ", " + v + " AS v" + std::to_string(k);
            setSql += (setSql.empty() ? "" : ", ") + quoteName(c) + " = tsql_src.v" + std::to_string(k);
            ++k;
        }
        std::string inner = "SELECT " + list + (fromSql.empty() ? " FROM " + t.sqlName() + " AS " + tsrc.sqlAlias : " FROM " + fromSql) +
                            (where.empty() ? "" : " WHERE " + where);
        if (s.top)
            inner += " LIMIT tsql_top(" + convert(expr(*s.top->count), SqlType{Base::BigInt}) + ")";
        sql = "UPDATE " + t.sqlName() + " AS tsql_target SET " + setSql + " FROM (" + inner +
              ") AS tsql_src WHERE tsql_target.rowid = tsql_src.tsql_rid";
    }
    for (std::string &r : returning) {
        // RETURNING sees the changed table only, by its columns' own names.
        std::string::size_type at;
        const std::string prefix = tsrc.sqlAlias + ".";
        while ((at = r.find(prefix)) != std::string::npos)
            r.erase(at, prefix.size());
    }
    if (!returning.empty()) {
        std::string list;
        for (std::size_t i = 0; i < returning.size(); ++i)
            list += (i ? ", " : "") + returning[i];
        sql += " RETURNING " + list;
    }
    std::string with;
    for (const std::string &name : m_cteOrder)
        if (m_cteSql.count(name))
            with += (with.empty() ? "" : ", ") + m_cteSql[name];
    if (!with.empty())
        sql = std::string(m_recursiveWith ? "WITH RECURSIVE " : "WITH ") + with + " " + sql;
    plan.sql.push_back(sql);
    plan.params = m_state->params;
    return plan;
}

Compiler::WritePlan Compiler::remove(const Delete &s)
{
    for (const Cte &c : s.with) {
        CteDef d;
        d.cte = &c;
        d.sqlName = "cte" + std::to_string(m_ctes.size());
        m_ctes[lower(c.name)] = d;
        m_cteOrder.push_back(lower(c.name));
        compileCte(c);
    }
    WritePlan plan;
    plan.operation = "DELETE";
    std::string fromSql;
    int target = -1;
    if (!s.from.empty()) {
        fromSql = fromClause(s.from);
        target = targetSource(*m_scope, s.target.name);
    }
    if (target < 0) {
        NamedTable n;
        n.name = s.target.name;
        n.line = s.line;
        Source src = source(n);
        target = static_cast<int>(m_scope->sources.size()) - 1;
        if (!s.from.empty())
            fromSql = src.table->sqlName() + " AS " + src.sqlAlias + ", " + fromSql;
    }
    const Source tsrc = m_scope->sources[static_cast<std::size_t>(target)];
    if (!tsrc.table || !tsrc.table->isReal())
        throw err::make(tsrc.table && tsrc.table->kind == Table::Kind::View ? 4406 : 208, s.target.name.written)
            .atLine(s.line);
    const Table &t = *tsrc.table;
    plan.table = tsrc.table;
    std::string where;
    if (s.where) {
        const Bound w = condition(*s.where);
        if (w.aggregate)
            throw err::make(147).atLine(s.line);
        where = w.sql;
    }
    std::string sql;
    if (s.from.empty() && !s.top) {
        sql = "DELETE FROM " + t.sqlName() + " AS " + tsrc.sqlAlias + (where.empty() ? "" : " WHERE " + where);
    } else {
        std::string inner = "SELECT " + tsrc.sqlAlias + ".rowid" +
                            (fromSql.empty() ? " FROM " + t.sqlName() + " AS " + tsrc.sqlAlias : " FROM " + fromSql) +
                            (where.empty() ? "" : " WHERE " + where);
        if (s.top)
            inner += " LIMIT tsql_top(" + convert(expr(*s.top->count), SqlType{Base::BigInt}) + ")";
        sql = "DELETE FROM " + t.sqlName() + " WHERE rowid IN (" + inner + ")";
    }
    std::string with;
    for (const std::string &name : m_cteOrder)
        if (m_cteSql.count(name))
            with += (with.empty() ? "" : ", ") + m_cteSql[name];
    if (!with.empty())
        sql = std::string(m_recursiveWith ? "WITH RECURSIVE " : "WITH ") + with + " " + sql;
    plan.sql.push_back(sql);
    plan.params = m_state->params;
    return plan;
}

} // namespace tsql
