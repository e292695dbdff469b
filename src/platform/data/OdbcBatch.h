#pragma once
// A whole batch through the ODBC driver manager's own calls, on the handle of a connection Qt
// opened. Qt's driver reads one result after another but drops what the server says along the
// way (PRINT, informational messages) and stops at the first failing statement; a command-line
// shell needs every result set, count and message in the order they came.

#include "platform/data/Connection.h"

namespace platform {

// `connectionHandle` is the SQLHDBC. Statements that fail are reported to the sink as messages
// and the batch's remaining results are still read, as the server goes on after them.
void runOdbcBatch(void *connectionHandle, const QString &batch, int queryTimeoutSeconds, BatchSink &sink);

} // namespace platform
