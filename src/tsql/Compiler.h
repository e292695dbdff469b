#pragma once
// Turns parsed T-SQL into SQLite SQL. Every expression is typed from the catalogue, because
// T-SQL's meaning depends on types: '+' joins text but adds numbers, and text compared with a
// datetime column is read as a date.

#include "tsql/Ast.h"
#include "tsql/Catalog.h"

#include <string>
#include <vector>

namespace tsql {

struct Typed {
    std::string sql;
    SqlType type;
    const Column *column = nullptr; // set for a plain column reference
    std::string sourceAlias;        // the SQL alias of that column's table
    bool stringLiteral = false;
    std::string literal;            // the value of a string literal
    bool isNull = false;
    std::string dateSource; // CONVERT(text, <datetime column>, style): that column's SQL
    int dateStyle = -1;
};

struct OutputColumn {
    std::string name;
    SqlType type;
    std::optional<Column> column; // the table column behind a plain reference
    bool fromIdentity = false;      // a plain reference to an IDENTITY column
};

struct CompiledQuery {
    std::string sql;
    std::vector<OutputColumn> columns;
    bool singleTable = false; // one member, one table, no grouping: SELECT INTO carries IDENTITY
};

class Compiler {
public:
    Compiler(const Catalog &catalog, std::string currentDatabase)
        : m_catalog(catalog), m_current(std::move(currentDatabase)) {}

    CompiledQuery select(const ast::Select &s);
    // The target of INSERT/UPDATE/DELETE; throws 208 when missing.
    Table target(const ast::ObjectName &n);
    std::string insert(const ast::Statement &s, const Table &t, const std::optional<std::int64_t> &identityBase,
                       bool identityInsert, bool &explicitIdentity);
    std::string update(const ast::Statement &s, const Table &t);
    std::string deleteFrom(const ast::Statement &s, const Table &t);
    // The last insert's rows before numbering (columns v0, v1, ...) and the columns they fill,
    // for naming the duplicate key when a unique index refuses them.
    const std::string &insertSource() const { return m_insertSource; }
    const std::vector<std::string> &insertColumns() const { return m_insertColumns; }
    // A value to store in a column, converted and checked as an INSERT would.
    static std::string storeExpr(const std::string &valueSql, const SqlType &valueType, const Column &c, const Table &t);

private:
    struct Source {
        Table table;
        std::string alias;    // the name the statement uses for it (alias, or the table name)
        bool aliased = false; // an explicit alias hides the table name
        ast::ObjectName name;
        std::string sqlAlias; // t0, t1, ...
    };

    std::string core(const ast::SelectCore &c, std::vector<OutputColumn> &out, const std::vector<ast::OrderItem> *order,
                     bool &singleTable);
    void addSource(const ast::TableRef &r);
    Typed expr(const ast::Expr &e);
    Typed column(const ast::Expr &e);
    Typed binary(const ast::Expr &e);
    Typed compare(const Typed &a, const Typed &b, const std::string &op);
    Typed like(const ast::Expr &e);
    Typed function(const ast::Expr &e);
    Typed convert(const ast::Expr &e);
    std::string toDateTime(const Typed &t);
    std::string toNumber(const Typed &t, const SqlType &target);
    std::optional<std::string> dateRange(const Typed &a, const Typed &b, const std::string &op);
    std::string orderTerm(const Typed &t, bool desc);

    const Catalog &m_catalog;
    std::string m_current;
    std::vector<Source> m_sources;
    int m_aliasCounter = 0;
    bool m_aggregate = false;
    std::string m_insertSource;
    std::vector<std::string> m_insertColumns;
};

} // namespace tsql
