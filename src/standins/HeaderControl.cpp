#include "standins/HeaderControl.h"

#include "platform/data/Connection.h"
#include "standins/PatientRecordWindow.h"

namespace standins {

namespace {

platform::Connection *requireConnection(QObject *connection)
{
    auto *open = qobject_cast<platform::Connection *>(connection);
    if (!open)
        throw platform::Failure(QStringLiteral("The patient header has no database connection."));
    return open;
}

} // namespace

ctlHeader::ctlHeader(QWidget *parent)
    : QWidget(parent)
{
}

void ctlHeader::InitHeader()
{
    // Every record it loads is read on this connection; better to say so now than at the first open.
    requireConnection(m_connection);
}

void ctlHeader::LoadPatient()
{
    showPatientRecord(requireConnection(m_connection), m_hospNum, m_idNum, m_patientName, this);
}

} // namespace standins
