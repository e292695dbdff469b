#include "WindowTestDatabase.h"

#include "platform/security/Password.h"
#include "tsql/Session.h"

#include <string>

namespace windowtest {

namespace {

std::string mdy(const QDate &date)
{
    return date.toString(QStringLiteral("MM/dd/yyyy")).toStdString();
}

std::string hash(const char *password)
{
    return platform::security::hashPassword(std::string_view(password));
}

} // namespace

void createDatabase(const QString &folder, const QDate &today)
{
    auto session = tsql::Session::open(folder.toStdString(), "");
    session->createDatabase("Patient_Data");
    session->createDatabase("Build_File");
    session->execute("USE Patient_Data");
    session->execute("CREATE TABLE tbMaster (HospNum varchar(8) NOT NULL, LastName varchar(30) NULL, "
                     "FirstName varchar(30) NULL, MiddleName varchar(30) NULL, BirthDate datetime NULL, "
                     "Sex varchar(1) NULL, HouseStreet varchar(50) NULL, Barangay varchar(50) NULL, "
                     "ZipCode varchar(10) NULL)");
    for (const char *table : {"tbPatient", "tbOutPatient"})
        session->execute(std::string("CREATE TABLE ") + table
                         + " (IDNum varchar(10) NOT NULL, HospNum varchar(8) NULL, AdmDate datetime NULL)");
    session->execute("INSERT INTO tbMaster VALUES ('H0001', 'DELA CRUZ', 'JUAN', 'SANTOS', '03/15/1980', 'M', "
                     "'12 Rizal St', 'San Roque', '1100')");
    session->execute("INSERT INTO tbMaster VALUES ('H0002', 'DELA CRUZ', 'MARIA', 'LOPEZ', NULL, 'F', NULL, NULL, NULL)");
    session->execute("INSERT INTO tbMaster VALUES ('H0003', 'DELOS SANTOS', 'ANA', 'REYES', '07/04/1980', 'F', "
                     "'5 Mabini', NULL, '1200')");
    session->execute("INSERT INTO tbPatient VALUES ('IP-1001', 'H0001', '01/10/2025')");
    session->execute("INSERT INTO tbPatient VALUES ('IP-2001', 'H0003', '" + mdy(today) + "')");
    session->execute("INSERT INTO tbOutPatient VALUES ('OP-2001', 'H0001', '" + mdy(today) + "')");
    session->execute("INSERT INTO tbOutPatient VALUES ('OP-2002', 'H0002', '" + mdy(today) + "')");

    session->execute("USE Build_File");
    session->execute("CREATE TABLE tbTalvorUser (UserID varchar(20) NOT NULL, PasswordHash varchar(200) NOT NULL, "
                     "DeptCode varchar(4) NULL, FullName varchar(60) NULL)");
    session->execute("INSERT INTO tbTalvorUser VALUES ('demo', '" + hash("demo") + "', '18', 'Demo Clerk')");
    session->execute("INSERT INTO tbTalvorUser VALUES ('nurse', '" + hash("secret") + "', '07', 'Ward Nurse')");
}

} // namespace windowtest
