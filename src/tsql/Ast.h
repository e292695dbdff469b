#pragma once
// The parsed form of T-SQL: expressions, queries and one type per statement kind. Nodes own
// their children; every node knows the line it starts on, for SQL Server's "Line N" in messages.

#include "tsql/Types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tsql::ast {

// A possibly qualified object name: [server.][database.][schema.]name, as written.
struct ObjectName {
    std::string database, schema, name;
    std::string written; // the name as the statement wrote it, for messages
    bool empty() const { return name.empty(); }
    bool isTemp() const { return !name.empty() && name[0] == '#'; }
};

// ---- expressions ----

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;
struct Query;
using QueryPtr = std::unique_ptr<Query>;

struct Expr {
    enum class Kind {
        Literal, Variable, Column, Star, Unary, Binary, Like, Between, In, IsNull, Exists, Quantified,
        Subquery, Function, Cast, Case, Collate,
    };
    const Kind kind;
    int line = 1;
    explicit Expr(Kind k) : kind(k) {}
    virtual ~Expr() = default;

    template <typename T> const T &as() const { return static_cast<const T &>(*this); }
    template <typename T> T &as() { return static_cast<T &>(*this); }
};

struct Literal : Expr {
    enum class Type { String, Number, Binary, Money, Null };
    Type type = Type::Null;
    std::string text;     // the value (a string without its quotes; a number as written)
    bool national = false;
    int index = -1;       // position among the statement's literals (the statement cache binds by it)
    Literal() : Expr(Kind::Literal) {}
};

struct Variable : Expr {
    std::string name; // with its @ (or @@ for the session functions)
    Variable() : Expr(Kind::Variable) {}
};

struct Column : Expr {
    std::vector<std::string> parts; // qualifier parts, then the column
    std::string written() const;
    const std::string &name() const { return parts.back(); }
    Column() : Expr(Kind::Column) {}
};

struct Star : Expr {
    std::vector<std::string> qualifier; // t.*, db.dbo.t.*; empty for *
    Star() : Expr(Kind::Star) {}
};

struct Unary : Expr {
    std::string op; // "-", "+", "~", "not"
    ExprPtr operand;
    Unary() : Expr(Kind::Unary) {}
};

struct Binary : Expr {
    std::string op; // + - * / % & | ^ = <> < > <= >= and or
    ExprPtr left, right;
    Binary() : Expr(Kind::Binary) {}
};

struct Like : Expr {
    ExprPtr value, pattern, escape;
    bool negated = false;
    Like() : Expr(Kind::Like) {}
};

struct Between : Expr {
    ExprPtr value, low, high;
    bool negated = false;
    Between() : Expr(Kind::Between) {}
};

struct In : Expr {
    ExprPtr value;
    std::vector<ExprPtr> list; // IN (a, b, c)
    QueryPtr query;            // IN (SELECT ...)
    bool negated = false;
    In();
    ~In() override;
};

struct IsNull : Expr {
    ExprPtr value;
    bool negated = false;
    IsNull() : Expr(Kind::IsNull) {}
};

struct Exists : Expr {
    QueryPtr query;
    Exists();
    ~Exists() override;
};

// value op ANY|SOME|ALL (SELECT ...)
struct Quantified : Expr {
    ExprPtr value;
    std::string op;
    bool all = false;
    QueryPtr query;
    Quantified();
    ~Quantified() override;
};

struct Subquery : Expr {
    QueryPtr query;
    Subquery();
    ~Subquery() override;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct WindowFrame {
    enum class Unit { Rows, Range };
    enum class Bound { UnboundedPreceding, Preceding, CurrentRow, Following, UnboundedFollowing };
    Unit unit = Unit::Rows;
    Bound startBound = Bound::UnboundedPreceding, endBound = Bound::CurrentRow;
    ExprPtr startOffset, endOffset;
};

struct Over {
    std::vector<ExprPtr> partitionBy;
    std::vector<OrderItem> orderBy;
    std::optional<WindowFrame> frame;
};

struct Function : Expr {
    std::string name; // lower case; schema-qualified names keep "schema.name"
    std::vector<ExprPtr> args;
    bool distinct = false;    // COUNT(DISTINCT x)
    bool star = false;        // COUNT(*)
    std::unique_ptr<Over> over;
    std::vector<OrderItem> withinGroup; // STRING_AGG(...) WITHIN GROUP (ORDER BY ...)
    // Words that stand as arguments: DATEADD(day, ...), and the like; empty elsewhere.
    std::string keywordArg;
    Function() : Expr(Kind::Function) {}
};

struct Cast : Expr {
    ExprPtr value;
    SqlType type;
    ExprPtr style;
    bool tryCast = false;  // TRY_CAST / TRY_CONVERT
    bool convert = false;  // CONVERT (the style form) rather than CAST
    Cast() : Expr(Kind::Cast) {}
};

struct Case : Expr {
    ExprPtr operand; // CASE x WHEN ...; null for the searched form
    std::vector<std::pair<ExprPtr, ExprPtr>> whens;
    ExprPtr elseValue;
    Case() : Expr(Kind::Case) {}
};

struct Collate : Expr {
    ExprPtr value;
    std::string collation;
    Collate() : Expr(Kind::Collate) {}
};

// ---- queries ----

struct TableRef;
using TableRefPtr = std::unique_ptr<TableRef>;

struct TableRef {
    enum class Kind { Named, Derived, Join, Values, Function };
    const Kind kind;
    int line = 1;
    std::string alias;
    std::vector<std::string> columnAliases; // AS t (a, b)
    explicit TableRef(Kind k) : kind(k) {}
    virtual ~TableRef() = default;
    template <typename T> const T &as() const { return static_cast<const T &>(*this); }
};

struct NamedTable : TableRef {
    ObjectName name;       // also @table variables (name starts with @)
    NamedTable() : TableRef(Kind::Named) {}
};

struct DerivedTable : TableRef {
    QueryPtr query;
    DerivedTable();
    ~DerivedTable() override;
};

struct Join : TableRef {
    enum class Type { Inner, Left, Right, Full, Cross, CrossApply, OuterApply };
    Type type = Type::Inner;
    TableRefPtr left, right;
    ExprPtr on;
    Join() : TableRef(Kind::Join) {}
};

struct ValuesTable : TableRef {
    std::vector<std::vector<ExprPtr>> rows;
    ValuesTable() : TableRef(Kind::Values) {}
};

// A table-valued function in FROM: STRING_SPLIT('a,b', ',') and the like.
struct FunctionTable : TableRef {
    std::unique_ptr<Function> call;
    FunctionTable() : TableRef(Kind::Function) {}
};

struct SelectItem {
    ExprPtr expr;
    std::string alias;
    std::string assignVariable; // SELECT @v = expr
    std::string assignOp = "="; // SELECT @v += expr
};

struct Top {
    ExprPtr count;
    bool percent = false;
    bool withTies = false;
};

struct GroupBy {
    enum class Kind { Plain, Rollup, Cube, GroupingSets };
    Kind kind = Kind::Plain;
    std::vector<ExprPtr> items;               // Plain, Rollup, Cube
    std::vector<std::vector<ExprPtr>> sets;   // GROUPING SETS ((a, b), (a), ())
    bool empty() const { return items.empty() && sets.empty(); }
};

struct QueryBlock {
    bool distinct = false;
    std::optional<Top> top;
    std::vector<SelectItem> items;
    std::optional<ObjectName> into;
    std::vector<TableRefPtr> from; // comma-separated; joins are trees
    ExprPtr where;
    GroupBy groupBy;
    ExprPtr having;
    int line = 1;
};

struct QueryBody;
using QueryBodyPtr = std::unique_ptr<QueryBody>;

// A query term: one SELECT, a parenthesized query, or two terms joined by a set operator.
struct QueryBody {
    enum class Kind { Block, Parenthesized, SetOp };
    enum class Op { Union, UnionAll, Except, Intersect };
    Kind kind = Kind::Block;
    std::unique_ptr<QueryBlock> block;
    QueryPtr parenthesized;
    Op op = Op::Union;
    QueryBodyPtr left, right;
    QueryBody();
    ~QueryBody();
};

struct Cte {
    std::string name;
    std::vector<std::string> columns;
    QueryPtr query;
    int line = 1;
};

struct Query {
    std::vector<Cte> with;
    QueryBodyPtr body;
    std::vector<OrderItem> orderBy;
    ExprPtr offset, fetch; // OFFSET n ROWS FETCH NEXT m ROWS ONLY
    std::vector<std::pair<std::string, ExprPtr>> options; // OPTION (MAXRECURSION n)
    int line = 1;
    // The first SELECT of the query (where INTO and the column names are).
    QueryBlock &first();
    const QueryBlock &first() const;
};

} // namespace tsql::ast
