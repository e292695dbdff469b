#pragma once

#include <QString>

class QObject;
class frmMain2;
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

// Whole years between a birth date text and now, with 365.25-day years; 0 for text that is no date.
short GetAge(const QString &BirthDate, const QString &Today);

} // namespace Module1
