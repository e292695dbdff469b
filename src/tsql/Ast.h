#pragma once
// The parsed form of the statements the engine accepts.

#include "tsql/Types.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tsql::ast {

// A possibly qualified object name: [database.][schema.]name, as written.
struct ObjectName {
    std::string database, schema, name;
    std::string written; // the name as the statement wrote it, for messages
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        String, Number, Null, Column, Star, Unary, Binary, Like, IsNull, In, Between, Function, Convert, Case,
    };
    Kind kind;
    std::string text;              // literal text; operator; function name (lower case)
    std::vector<std::string> parts; // Column: qualifier parts then the column; Star: qualifier parts
    std::vector<ExprPtr> args;      // operands / arguments
    bool negated = false;           // NOT LIKE, IS NOT NULL, NOT IN, NOT BETWEEN
    bool starArg = false;           // COUNT(*)
    SqlType type;                   // CONVERT / CAST target
    std::optional<int> style;       // CONVERT style
    ExprPtr elseExpr;               // CASE ... ELSE

    explicit Expr(Kind k) : kind(k) {}
    std::string columnName() const { return parts.empty() ? std::string() : parts.back(); }
    std::string written() const // a column reference as written, for messages
    {
        std::string s;
        for (const auto &p : parts)
            s += (s.empty() ? "" : ".") + p;
        return s;
    }
};

struct SelectItem {
    ExprPtr expr;
    std::string alias;
};

struct TableRef {
    ObjectName name;
    std::string alias;
};

struct Join {
    enum class Type { Inner, Left } type = Type::Inner;
    TableRef table;
    ExprPtr on;
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

struct SelectCore {
    bool distinct = false;
    ExprPtr top;
    std::vector<SelectItem> items;
    std::optional<ObjectName> into;
    std::optional<TableRef> from;
    std::vector<Join> joins;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
};

struct Select {
    std::vector<SelectCore> members; // joined by UNION ALL
    std::vector<OrderItem> orderBy;
};

struct ColumnDef {
    std::string name;
    SqlType type;
    std::optional<bool> nullable;
    bool identity = false;
    std::int64_t seed = 1, step = 1;
    bool primaryKey = false;
    ExprPtr defaultValue;
};

struct Statement {
    enum class Kind {
        Select, Insert, Update, Delete, Truncate, CreateTable, DropTable, AlterAdd, AlterColumn,
        CreateIndex, DropIndex, IdentityInsert, Use, SetOption, BeginTransaction, CommitTransaction,
        RollbackTransaction,
    };
    Kind kind;
    explicit Statement(Kind k) : kind(k) {}

    ObjectName table;                     // target of INSERT/UPDATE/DELETE/DDL
    std::vector<ObjectName> tables;       // DROP TABLE a, b
    std::string alias;                    // UPDATE/DELETE target alias
    std::unique_ptr<Select> select;       // SELECT; INSERT ... SELECT
    std::vector<std::string> columns;     // INSERT column list; CREATE INDEX columns
    std::vector<bool> descending;         // CREATE INDEX column order
    std::vector<std::vector<ExprPtr>> rows; // INSERT ... VALUES
    std::vector<std::pair<std::string, ExprPtr>> sets; // UPDATE
    ExprPtr where;
    std::vector<ColumnDef> defs;          // CREATE TABLE / ALTER ADD / ALTER COLUMN
    std::vector<std::string> primaryKey;  // table-level PRIMARY KEY (cols)
    std::string constraintName;
    std::string name;                     // index name; database for USE
    bool unique = false;
    bool on = false;                      // SET ... ON|OFF
};

} // namespace tsql::ast
