#pragma once
// What the compiler makes of a statement: SQLite SQL in which every value of the statement is a
// parameter (so no text typed by anyone can become SQL), the sources of those parameters, and
// the T-SQL types of what comes out.

#include "tsql/Value.h"

#include <string>
#include <vector>

namespace tsql {

struct Param {
    enum class Kind {
        Literal,  // the statement's n-th literal, read from its tokens at run time
        Variable, // a variable of the batch, read when the statement runs
        Constant, // a value the compiler fixed
    };
    Kind kind = Kind::Constant;
    int literal = -1;
    std::string variable;
    Value constant;
};

struct OutputColumn {
    std::string name; // "" for an unnamed expression
    SqlType type;
    bool nullable = true;
    bool identity = false; // a plain reference to an IDENTITY column
    std::string table;     // the base table of a plain column reference
    std::string column;    // and the column
};

// A query: one SQLite SELECT.
struct QueryPlan {
    std::string sql;
    std::vector<Param> params;
    std::vector<OutputColumn> columns;
    // SELECT @v = expr, ...: the variables the rows are assigned to (same order as columns).
    std::vector<std::string> assignTo;
    std::vector<std::string> assignOps;
    // One source, one table, no grouping: SELECT INTO carries the IDENTITY property over.
    bool singleTable = false;
};

} // namespace tsql
