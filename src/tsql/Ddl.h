#pragma once
// Statements that change the schema: CREATE/ALTER/DROP TABLE, constraints, indexes, views,
// TRUNCATE, SELECT INTO, and the tables of table variables. Each runs in one savepoint with
// the catalogue rows it writes, so it lands whole or not at all.

#include "tsql/AstStatements.h"
#include "tsql/Compiler.h"

namespace tsql {

class BatchRunner;

namespace ddl {

void run(BatchRunner &b, const ast::Statement &s);
void selectInto(BatchRunner &b, const ast::SelectStatement &s);
void createTableVariable(BatchRunner &b, const ast::VariableDef &d, const std::string &table);

// The error for a duplicate key SQLite refused: SQL Server names the constraint or index and
// the duplicate value, looked up again from the rows the statement tried to write.
Error duplicateKey(BatchRunner &b, const Table &t, const std::vector<std::string> &columns,
                   const Compiler::WritePlan &plan, bool primaryKey);

// ---- shared by the DDL files ----
// Rebuilds a table with new column definitions: rename, create, copy, drop, re-index,
// re-constrain, in the caller's savepoint. `values` gives, per new column, the SQL that fills
// it from "o" (the old table).
void rebuild(BatchRunner &b, const Table &t, const std::vector<Column> &columns, const std::vector<std::string> &values);
// The triggers that enforce a table's CHECK and FOREIGN KEY constraints, made again from the
// catalogue (after a change of constraints or a rebuild).
void makeTriggers(BatchRunner &b, const std::string &database, const std::string &table);
void addConstraints(BatchRunner &b, const Table &t, const std::vector<ast::Constraint> &constraints, bool check,
                    const std::vector<ast::ColumnDef> *columns);
void dropConstraint(BatchRunner &b, const Table &t, const std::string &name, bool ifExists);
std::string defaultDefinition(const ast::Expr &e, const std::string &written);

} // namespace ddl
} // namespace tsql
