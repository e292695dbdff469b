#pragma once

#include <QString>

class QWidget;
namespace platform {
class Connection;
}

namespace standins {

// The header stand-in's view of an opened record: one modeless "Patient record" window per window
// that opens records (`over`), updated by every open. It opens over that window without taking
// the keyboard from it, and closes with it. Reads the patient and the registration on
// `connection`; throws platform::Failure (DatabaseError) when they cannot be read.
void showPatientRecord(platform::Connection *connection, const QString &hospNum, const QString &idNum,
                       const QString &patientName, QWidget *over);

} // namespace standins
