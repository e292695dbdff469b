#pragma once
// The messages the server itself sends, outside any batch the engine runs: the login's and
// the remote procedure calls'. Wording and numbers as SQL Server sends them.

#include "tds/Tokens.h"
#include "tsql/Error.h"
#include "tsql/Session.h"

#include <string>

namespace server::messages {

tds::ServerMessage loginFailed(const std::string &user);
tds::ServerMessage changedDatabase(const std::string &database);
tds::ServerMessage changedLanguage(const std::string &language);
tds::ServerMessage unknownProcedure(const std::string &name);
tds::ServerMessage unknownPreparedHandle(int handle);
// Not SQL Server's: SQL Server has server cursors, this server says plainly that it has none.
tds::ServerMessage cursorsNotSupported(const std::string &procedure);
tds::ServerMessage distributedTransactionsNotSupported();

tds::ServerMessage fromError(const tsql::Error &e);
tds::ServerMessage fromMessage(const tsql::Message &m);

} // namespace server::messages
