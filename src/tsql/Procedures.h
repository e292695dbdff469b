#pragma once
// EXECUTE: dynamic SQL, sp_executesql and the system procedures (sp_help, sp_columns, ...);
// DBCC.

#include "tsql/AstStatements.h"

namespace tsql {

class BatchRunner;

void runProcedure(BatchRunner &b, const ast::Execute &s);
void dbcc(BatchRunner &b, const ast::Dbcc &s);

} // namespace tsql
