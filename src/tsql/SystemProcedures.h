#pragma once
// The system procedures a client reaches through EXECUTE: sp_help, sp_helpindex, sp_columns,
// sp_tables, sp_databases, sp_who, sp_rename. Each is a row of a table: its name and what it does.

#include "tsql/Value.h"

#include <string>
#include <vector>

namespace tsql {

class BatchRunner;

// False when there is no system procedure of that name.
bool runSystemProcedure(BatchRunner &b, const std::string &name, const std::vector<Value> &args,
                        const std::vector<std::string> &argNames, int &status);

// The procedures kept in files of their own (SystemProcedureHelp.cpp, SystemProcedureRename.cpp).
void spHelp(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names);
void spHelpIndex(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names);
void spRename(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names);
// SystemProcedureAppLock.cpp; each returns the procedure's return status.
int spGetAppLock(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names);
int spReleaseAppLock(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names);

} // namespace tsql
