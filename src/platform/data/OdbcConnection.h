#pragma once

#include "platform/data/Connection.h"

namespace platform {

// Opens a connection to SQL Server (or any ODBC data source) through Qt's QODBC driver.
// `target` is an ODBC connection string ("Driver=...;Server=...") or a DSN name; user and
// password become the login (empty user with Trusted_Connection=yes: integrated sign-in).
// Throws DatabaseError with the driver's message. The password is never logged or kept.
std::unique_ptr<Connection> openOdbcConnection(const QString &target, const QString &user,
                                               const QString &password,
                                               const ConnectionOptions &options = {});

} // namespace platform
