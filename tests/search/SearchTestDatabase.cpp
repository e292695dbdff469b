#include "SearchTestDatabase.h"

#include "demo/Population.h"
#include "platform/security/Password.h"
#include "tsql/Session.h"

#include <string>
#include <vector>

namespace searchtest {

namespace {

tsql::Value text(const char *value)
{
    return value ? tsql::Value::text(value) : tsql::Value();
}

tsql::Value at(const QDate &date, int hour = 0, int minute = 0)
{
    return tsql::Value::dateTime(demo::toDateTime(date, hour, minute));
}

tsql::Value hash(const char *password)
{
    return tsql::Value::text(platform::security::hashPassword(std::string_view(password)));
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

    const std::vector<std::string> masterColumns = {"HospNum", "LastName", "FirstName", "MiddleName", "BirthDate",
                                                    "Sex", "HouseStreet", "Barangay", "ZipCode"};
    tsql::BulkInserter master(*session, "Patient_Data", "tbMaster", masterColumns);
    master.add({text("H0001"), text("DELA CRUZ"), text("JUAN"), text("SANTOS"), at(QDate(1980, 3, 15)),
                text("M"), text("12 Rizal St"), text("San Roque"), text("1100")});
    master.add({text("H0002"), text("DELA CRUZ"), text("MARIA"), text("LOPEZ"), tsql::Value(), text("F"),
                tsql::Value(), tsql::Value(), tsql::Value()});
    master.add({text("H0003"), text("DELOS SANTOS"), text("ANA"), text("REYES"), at(QDate(1980, 7, 4)),
                text("F"), text("5 Mabini"), tsql::Value(), text("1200")});
    master.add({text("H0004"), text("GARCIA"), text("PEDRO"), tsql::Value(), at(QDate(1975, 1, 2)), text("M"),
                text("1 Luna"), text("Poblacion"), text("1300")});
    // Reverse order, so only the statement's ORDER BY can put them in name order.
    for (int i = 124; i >= 0; --i) {
        const std::string number = QString::asprintf("%03d", i).toStdString();
        master.add({tsql::Value::text("C0" + number), text("CAPTEST"), tsql::Value::text("F" + number), text("X"),
                    at(QDate(1990, 1, 1)), text("M"), text("S"), text("B"), text("Z")});
    }
    master.commit();

    const std::vector<std::string> registrationColumns = {"IDNum", "HospNum", "AdmDate"};
    tsql::BulkInserter inPatients(*session, "Patient_Data", "tbPatient", registrationColumns);
    inPatients.add({text("IP-1001"), text("H0001"), at(QDate(2025, 1, 10), 8, 30)});
    inPatients.add({text("IP-1002"), text("H0001"), at(QDate(2025, 6, 1))});
    inPatients.add({text("IP-2001"), text("H0003"), at(today, 9, 0)});
    inPatients.add({text("IP-9001"), text("H9999"), at(QDate(2024, 2, 2))});
    inPatients.commit();

    tsql::BulkInserter outPatients(*session, "Patient_Data", "tbOutPatient", registrationColumns);
    outPatients.add({text("OP-1001"), text("H0001"), at(QDate(2025, 3, 5), 14, 0)});
    outPatients.add({text("OP-2001"), text("H0001"), at(today, 10, 0)});
    outPatients.add({text("OP-2002"), text("H0002"), at(today)});
    outPatients.commit();

    session->execute("CREATE TABLE Build_File.dbo.tbTalvorUser (UserID varchar(20) NOT NULL, "
                     "PasswordHash varchar(200) NOT NULL, DeptCode varchar(4) NULL, FullName varchar(60) NULL)");
    tsql::BulkInserter users(*session, "Build_File", "tbTalvorUser", {"UserID", "PasswordHash", "DeptCode", "FullName"});
    users.add({text("demo"), hash("demo"), text("18"), text("Demo Clerk")});
    users.add({text("nurse"), hash("secret"), text("07"), text("Ward Nurse")});
    users.commit();
}

} // namespace searchtest
