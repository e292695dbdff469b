#pragma once
// Binds parsed T-SQL to the catalogue and types every expression, then writes SQLite SQL for
// it. T-SQL's meaning depends on types ('+' joins text but adds numbers; text compared with a
// datetime column is read as a date), so every expression carries its T-SQL type, and the SQL
// written for it always yields the storage form of that type (Storage.h).
//
// The work is split by what is compiled: CompileExpr.cpp (expressions), CompileFunctions.cpp
// (function calls, aggregates, windows), CompileQuery.cpp (SELECT, FROM, set operators, CTEs),
// CompileDml.cpp (INSERT, UPDATE, DELETE).

#include "tsql/AstStatements.h"
#include "tsql/Catalog.h"
#include "tsql/Plan.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tsql {

// A variable of the batch as the compiler sees it.
struct VariableInfo {
    SqlType type;
    bool isTable = false;
    std::string table; // a table variable: its table in the temporary database
};
using VariableLookup = std::function<std::optional<VariableInfo>(const std::string &name)>;

// One compiled expression.
struct Bound {
    std::string sql;
    SqlType type;
    bool nullable = true;
    bool aggregate = false;   // holds an aggregate function
    bool window = false;      // holds a window function
    bool constant = true;     // refers to no column
    const ast::Literal *literal = nullptr; // a bare literal
    std::vector<std::string> ungrouped;   // columns outside any aggregate, for the GROUP BY check
    // A plain column reference.
    std::string columnName, tableName;
    bool plainColumn = false;
    bool identity = false;
    // CONVERT(varchar, <datetime column>, style): the column, so that an equality with a
    // day's text can become a range on the column, which its index answers.
    std::string dateSource;
    int dateStyle = -1;
    bool isNullLiteral() const;
};

struct SourceColumn {
    std::string name;
    SqlType type;
    bool nullable = true;
    std::string sql; // how the generated SQL names it
    bool identity = false;
    std::string baseTable;
};

// A table, view, derived table or CTE of a FROM clause.
struct Source {
    std::string alias;    // the name the query uses for it
    bool aliased = false; // an explicit alias hides the table's own name
    ast::ObjectName name;
    TablePtr table;       // a base table
    std::string sqlAlias; // t0, t1, ...
    std::vector<SourceColumn> columns;
};

struct Scope {
    std::vector<Source> sources;
    Scope *outer = nullptr;
    // The GROUP BY of this query, compiled: an expression equal to one of these is grouped.
    std::set<std::string> groupSql;
    bool grouped = false; // GROUP BY or an aggregate in the select list
    bool inAggregate = false;
    // One grouping set of ROLLUP, CUBE or GROUPING SETS: the grouping expressions it leaves out
    // read as NULL, and GROUPING() of them is 1.
    bool groupingSets = false;
    std::set<std::string> rolledUp;
};

struct CompileOptions {
    // Literals become constants written into the plan rather than parameters read from the
    // statement's tokens: for views, defaults and constraints, which have tokens of their own.
    bool literalsAsConstants = false;
    // Constants are written into the SQL text itself (through the one escaping routine), for
    // SQL that cannot take parameters: triggers.
    bool inlineConstants = false;
};

// What the compilers of one statement share: its parameters and the numbering of its aliases,
// so that a view or a default compiled on its own lands in the same SQL.
struct CompileState {
    std::vector<Param> params;
    int aliases = 0;
    // Aggregates of exact types are SQLite functions made per type; the engine makes them.
    std::function<void(const std::string &name, const SqlType &type)> needAggregate;
    // SELECT @v = @v + x FROM ...: the variables a row assigns, which the next row must read as
    // the row before left them (lower case). Read through tsql_local, not bound once.
    std::set<std::string> liveVariables;
    // The text of each literal made a parameter, by its number: GROUP BY salary / 50 and the
    // select list's salary / 50 are one expression though their parameters differ.
    std::map<int, std::string> literalTexts;
};

class Compiler {
public:
    Compiler(Catalog &catalog, std::string database, VariableLookup variables, CompileOptions options = {},
             CompileState *shared = nullptr);
    // A compiler for SQL of its own within this one's statement (a view's query, a default).
    Compiler child(const std::string &database, CompileOptions options);

    QueryPlan query(const ast::Query &q);
    // An expression on its own (SET @v = ..., IF ..., PRINT ...): SELECT of it.
    QueryPlan scalar(const ast::Expr &e);
    // A table's default for a column, a CHECK condition or a computed column, compiled for the
    // given source.
    Bound expression(const ast::Expr &e, Scope &scope);

    std::vector<Param> &params() { return m_state->params; }
    CompileState &state() { return *m_state; }
    const std::string &database() const { return m_database; }
    Catalog &catalog() { return m_catalog; }

    // ---- shared by the compile stages ----
    Bound expr(const ast::Expr &e);
    Bound condition(const ast::Expr &e); // a search condition: yields 1, 0 or NULL
    std::string groupKey(const std::string &sql) const; // an expression's SQL with its literals written out
    std::string convert(const Bound &e, const SqlType &to, int style = -1, bool explicitly = false);
    std::string param(Param p);            // "?N"
    std::string constant(const Value &v);  // a value the compiler fixed: a parameter, or inline SQL
    std::string literalSql(const ast::Literal &l, SqlType &type);
    Value literalValue(const ast::Literal &l) const;
    Scope &scope() { return *m_scope; }
    std::string newAlias() { return "t" + std::to_string(m_state->aliases++); }
    const CompileOptions &options() const { return m_options; }

    // Runs f with `s` as the current scope (a subquery's own FROM, nested in the current one).
    template <typename F>
    auto within(Scope &s, F &&f)
    {
        Scope *saved = m_scope;
        s.outer = saved;
        m_scope = &s;
        struct Restore {
            Compiler &c;
            Scope *saved;
            ~Restore() { c.m_scope = saved; }
        } restore{*this, saved};
        return f();
    }

    // CompileQuery.cpp
    struct Compiled {
        std::string sql;
        std::vector<OutputColumn> columns;
        std::vector<std::string> assignTo, assignOps;
        bool singleTable = false;
        std::vector<Bound> items; // the select list (for ORDER BY checks of set operators)
    };
    Compiled compileQuery(const ast::Query &q, bool topLevel);
    std::string subquery(const ast::Query &q, std::vector<OutputColumn> &columns);
    void compileCte(const ast::Cte &c);
    std::string fromClause(const std::vector<ast::TableRefPtr> &from); // adds the sources to the scope

    // CompileDml.cpp: the SQL of INSERT / UPDATE / DELETE, with what the executor needs.
    struct WritePlan {
        TablePtr table;
        std::vector<std::string> sql; // run in order in one savepoint
        std::string countSql;         // rows affected: sqlite3_changes of the last statement otherwise
        std::optional<Identity> identity;
        bool explicitIdentity = false;
        std::int64_t identityRows = -1;  // rows a VALUES list adds (for the numbering on failure)
        std::string source;              // INSERT: the rows before numbering, for naming duplicate keys
        std::vector<std::string> sourceColumns;
        std::vector<std::string> returnVariables; // UPDATE SET @v = ...: RETURNING order
        std::vector<std::string> returnOps;
        std::vector<SqlType> returnTypes;
        std::string operation; // INSERT, UPDATE, DELETE
        std::vector<Param> params;
    };
    WritePlan insert(const ast::Insert &s, bool identityInsertOn, std::int64_t identityNext);
    WritePlan update(const ast::Update &s);
    WritePlan remove(const ast::Delete &s);
    // The value a column gets when an INSERT names it not: its default, or NULL.
    std::string defaultFor(const Table &t, const Column &c);
    // Converts a value for storing into a column, checked as an INSERT checks it.
    std::string store(const Bound &v, const Column &c, const Table &t);

    // The table a FROM or a target names: a base table, a view, a table variable, a CTE.
    Source source(const ast::NamedTable &n);
    TablePtr targetTable(const ast::ObjectName &n, int errorNumber, bool allowSystem = false);

private:
    Bound exprNode(const ast::Expr &e);
    friend class QueryCompiler;

    // CompileExpr.cpp
    Bound column(const ast::Column &c);
    Bound variable(const ast::Variable &v);
    Bound unary(const ast::Unary &u);
    Bound binary(const ast::Binary &b);
    Bound arithmetic(const std::string &op, Bound a, Bound b, int line);
    Bound compare(const std::string &op, const Bound &a, const Bound &b);
    Bound like(const ast::Like &l);
    Bound between(const ast::Between &b);
    Bound in(const ast::In &in);
    Bound isNull(const ast::IsNull &n);
    Bound caseExpr(const ast::Case &c);
    Bound cast(const ast::Cast &c);
    Bound subquery(const ast::Subquery &s);
    Bound exists(const ast::Exists &e);
    Bound quantified(const ast::Quantified &q);
    std::optional<std::string> dayRange(const Bound &converted, const Bound &text);
    void combine(Bound &into, const Bound &part) const;
    void markColumn(Bound &b, const std::string &written) const;

public:
    // CompileFunctions.cpp
    Bound function(const ast::Function &f);
    Bound aggregate(const ast::Function &f);
    Bound windowFunction(const ast::Function &f);
    std::string overClause(const ast::Over &o);
    Bound coalesce(const std::vector<Bound> &args, const std::string &name);
    SqlType unionType(const std::vector<Bound> &parts, const char *op);

    std::map<std::string, std::string> &cteSql() { return m_cteSql; }

private:
    Catalog &m_catalog;
    std::string m_database;
    VariableLookup m_variables;
    CompileOptions m_options;
    CompileState m_own;
    CompileState *m_state;
    Scope m_root;
    Scope *m_scope = &m_root;
    // WITH: the statement's common table expressions, by lower-case name, and the SQLite WITH
    // clauses made of those referenced so far, in order.
public:
    struct CteDef {
        const ast::Cte *cte = nullptr;
        std::string sqlName;
        std::vector<SourceColumn> columns;
        bool compiled = false;
        bool compiling = false;
        bool recursive = false;
        int maxRecursion = 100;
    };
    std::map<std::string, CteDef> m_ctes;
    std::vector<std::string> m_cteOrder;
    std::map<std::string, std::string> m_cteSql;
    bool m_recursiveWith = false;
    int m_maxRecursion = 100;
};

} // namespace tsql
