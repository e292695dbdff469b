#pragma once
// The program's tests once more through the server: with TALVOR_TEST_THROUGH_SERVER set, a
// folder the tests opened directly is served by a talvor-server started in the test process on a
// free loopback port, and the program's connection goes to it as to SQL Server, through Qt's
// ODBC driver, unixODBC and FreeTDS. Without it, the folder is opened directly as before.

#include "platform/data/Connection.h"

#include <QString>

#include <memory>

namespace servedfolder {

bool throughServer();

// A connection to `folder`: direct, or through a server of its own that lives until the end of
// the test program. The login the server is signed in with owns every database of the folder.
std::unique_ptr<platform::Connection> open(const QString &folder);

} // namespace servedfolder
