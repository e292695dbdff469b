#pragma once

#include <QDate>
#include <QString>

// A small database for the window and start-up tests, written straight through the engine.
//   Patient_Data.tbMaster: H0001 DELA CRUZ, JUAN SANTOS (03/15/1980); H0002 DELA CRUZ, MARIA LOPEZ;
//                          H0003 DELOS SANTOS, ANA REYES (07/04/1980)
//   tbPatient:    IP-1001 H0001 01/10/2025; IP-2001 H0003 today
//   tbOutPatient: OP-2001 H0001 today; OP-2002 H0002 today
//   Build_File.tbTalvorUser: demo / demo (department 18), nurse / secret (department 07)
namespace windowtest {

void createDatabase(const QString &folder, const QDate &today);

} // namespace windowtest
