#pragma once

#include <QDate>
#include <QString>

// A small database for the search window's tests and for the start-up and sign-in tests that open
// the window, written straight through the engine.
//   tbMaster: H0001 DELA CRUZ, JUAN SANTOS (03/15/1980, full address)
//             H0002 DELA CRUZ, MARIA LOPEZ (no birth date, no address)
//             H0003 DELOS SANTOS, ANA REYES (07/04/1980, no barangay)
//             H0004 GARCIA, PEDRO (no middle name, so no PatientName)
//             C0000..C0124 CAPTEST, F000..F124 X, inserted in reverse order
//   tbPatient:    IP-1001 H0001 01/10/2025 08:30, IP-1002 H0001 06/01/2025, IP-2001 H0003 today 09:00,
//                 IP-9001 H9999 (no patient) 02/02/2024
//   tbOutPatient: OP-1001 H0001 03/05/2025 14:00, OP-2001 H0001 today 10:00, OP-2002 H0002 today
//   Build_File.tbTalvorUser: demo / demo (department 18), nurse / secret (department 07)
namespace searchtest {

void createDatabase(const QString &folder, const QDate &today);

} // namespace searchtest
