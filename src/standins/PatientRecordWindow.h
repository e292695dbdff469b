#pragma once

#include <QString>

class QWidget;
namespace platform {
class Connection;
}

namespace standins {

// The header stand-in's view of an opened record: one modeless "Patient record" window for the
// whole program, updated by every open. Reads the patient and the registration on `connection`;
// throws platform::Failure (DatabaseError) when they cannot be read.
void showPatientRecord(platform::Connection *connection, const QString &hospNum, const QString &idNum,
                       const QString &patientName);

} // namespace standins
