#include "ServerMessages.h"

namespace server::messages {

namespace {

tds::ServerMessage make(int number, int severity, int state, std::string text)
{
    tds::ServerMessage m;
    m.number = number;
    m.severity = severity;
    m.state = state;
    m.text = std::move(text);
    return m;
}

} // namespace

// learn.microsoft.com: MSSQLSERVER_18456 ("Login failed for user '<user_name>'.", severity 14);
// the state SQL Server shows the client is always 1, whatever the reason.
tds::ServerMessage loginFailed(const std::string &user)
{
    return make(18456, 14, 1, "Login failed for user '" + user + "'.");
}

tds::ServerMessage changedDatabase(const std::string &database)
{
    return make(5701, 0, 2, "Changed database context to '" + database + "'.");
}

tds::ServerMessage changedLanguage(const std::string &language)
{
    return make(5703, 0, 1, "Changed language setting to " + language + ".");
}

tds::ServerMessage unknownProcedure(const std::string &name)
{
    return make(2812, 16, 62, "Could not find stored procedure '" + name + "'.");
}

tds::ServerMessage unknownPreparedHandle(int handle)
{
    return make(8179, 16, 4, "Could not find prepared statement with handle " + std::to_string(handle) + ".");
}

tds::ServerMessage cursorsNotSupported(const std::string &procedure)
{
    return make(50000, 16, 1,
                "The server cursor procedure " + procedure +
                    " is not supported by talvor-server; ask the driver for default result sets.");
}

tds::ServerMessage distributedTransactionsNotSupported()
{
    return make(50000, 16, 1, "Distributed transactions are not supported by talvor-server.");
}

tds::ServerMessage fromError(const tsql::Error &e)
{
    tds::ServerMessage m = make(e.number(), e.severity(), e.state(), e.what());
    m.line = e.line();
    return m;
}

tds::ServerMessage fromMessage(const tsql::Message &in)
{
    tds::ServerMessage m = make(in.number, in.severity, in.state, in.text);
    m.procedure = in.procedure;
    m.line = in.line;
    return m;
}

} // namespace server::messages
