#pragma once

class QObject;
namespace platform {
class Connection;
}

namespace Module1 {

// Start-up: sign-in, the two program-wide references, the search window. Returns the process exit
// status: 0 when the program ran (or the sign-in was cancelled), non-zero when start-up failed.
int Main();

// The program-wide references; set once by Main, alive until the program ends.
QObject *currentUser();
platform::Connection *sharedConnection();

} // namespace Module1
