#include "demo/Schema.h"

namespace demo {

namespace {

const char *const patientData = "Patient_Data";
const char *const buildFile = "Build_File";

ColumnDef key(const std::string &name, const std::string &type)
{
    return {name, type, true, true, false};
}

ColumnDef required(const std::string &name, const std::string &type)
{
    return {name, type, true, false, false};
}

ColumnDef optional(const std::string &name, const std::string &type)
{
    return {name, type, false, false, false};
}

// A copy made by SELECT INTO keeps the columns and their nullability, not the key.
std::vector<ColumnDef> withoutKey(std::vector<ColumnDef> columns)
{
    for (ColumnDef &c : columns)
        c.primaryKey = false;
    return columns;
}

} // namespace

std::vector<std::string> TableDef::columnNames(bool withIdentity) const
{
    std::vector<std::string> names;
    for (const ColumnDef &c : columns) {
        if (withIdentity || !c.identity)
            names.push_back(c.name);
    }
    return names;
}

std::string TableDef::createStatement() const
{
    std::string sql = "CREATE TABLE " + qualifiedName() + " (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ColumnDef &c = columns[i];
        if (i > 0)
            sql += ", ";
        sql += "[" + c.name + "] " + c.type;
        if (c.identity)
            sql += " IDENTITY (1, 1)";
        sql += c.notNull ? " NOT NULL" : " NULL";
        if (c.primaryKey)
            sql += " PRIMARY KEY";
    }
    return sql + ")";
}

namespace schema {

TableDef master()
{
    return {patientData, "tbMaster",
            {key("HospNum", "varchar(10)"), optional("LastName", "varchar(30)"),
             optional("FirstName", "varchar(30)"), optional("MiddleName", "varchar(30)"),
             optional("BirthDate", "datetime"), optional("Sex", "varchar(1)"),
             optional("CivilStatus", "int"), optional("HouseStreet", "varchar(100)"),
             optional("Barangay", "varchar(50)"), optional("City", "varchar(50)"),
             optional("Province", "varchar(50)"), optional("ZipCode", "varchar(4)"),
             optional("TelNum", "varchar(50)"), optional("CellNum", "varchar(20)"),
             optional("Email", "varchar(50)"), optional("Occupation", "varchar(50)"),
             optional("Religion", "varchar(30)"), optional("Nationality", "varchar(30)"),
             optional("BirthPlace", "varchar(100)"), optional("DateEncoded", "datetime"),
             optional("EncodedBy", "varchar(20)")}};
}

TableDef master2()
{
    return {patientData, "tbMaster2",
            {key("HospNum", "varchar(10)"), optional("SpouseName", "varchar(100)"),
             optional("SpouseOccupation", "varchar(50)"), optional("SpouseAddress", "varchar(100)"),
             optional("SpouseEmpAddress", "varchar(100)"), optional("SpouseEmail", "varchar(30)"),
             optional("FatherName", "varchar(100)"), optional("FatherAddress", "varchar(100)"),
             optional("MotherName", "varchar(100)"), optional("MotherAddress", "varchar(100)"),
             optional("EmployerName", "varchar(100)"), optional("EmployerAddress", "varchar(100)"),
             optional("ContactName", "varchar(100)"), optional("ContactAddress", "varchar(100)"),
             optional("ContactRelation", "varchar(30)"), optional("ContactTelNum", "varchar(50)")}};
}

TableDef patient()
{
    return {patientData, "tbPatient",
            {key("IDNum", "varchar(10)"), required("HospNum", "varchar(10)"),
             required("AdmDate", "datetime"), optional("DischDate", "datetime"),
             optional("AdmissionType", "varchar(20)"), optional("RoomID", "varchar(10)"),
             optional("AttendingDr", "varchar(50)"), optional("ReferredFrom", "varchar(30)"),
             optional("ChiefComplaint", "varchar(200)"), optional("UserID", "varchar(20)")}};
}

TableDef patient2()
{
    return {patientData, "tbPatient2",
            {key("IDNum", "varchar(10)"), required("HospNum", "varchar(10)"),
             optional("Height", "varchar(10)"), optional("Weight", "varchar(10)"),
             optional("BloodPressure", "varchar(10)"), optional("Temperature", "varchar(10)"),
             optional("PulseRate", "varchar(10)"), optional("RespiratoryRate", "varchar(10)")}};
}

TableDef outPatient()
{
    return {patientData, "tbOutPatient",
            {key("IDNum", "varchar(10)"), required("HospNum", "varchar(10)"),
             required("AdmDate", "datetime"), optional("ClinicCode", "varchar(10)"),
             optional("AttendingDr", "varchar(50)"), optional("ReferredFrom", "varchar(30)"),
             optional("ChiefComplaint", "varchar(200)"), optional("UserID", "varchar(20)")}};
}

TableDef patientDiagnosis()
{
    return {patientData, "tbPatientDiagnosis",
            {required("IDNum", "varchar(10)"), optional("DiagnosisCode", "varchar(10)"),
             optional("Diagnosis", "varchar(200)"), optional("DiagnosisType", "varchar(20)"),
             optional("DateEncoded", "datetime")}};
}

TableDef patientGuarantor()
{
    return {patientData, "tbPatientGuarantor",
            {required("IDNum", "varchar(10)"), optional("GuarantorName", "varchar(50)"),
             optional("GuarantorAddress", "varchar(100)"), optional("GuarantorTelNum", "varchar(50)"),
             optional("GuarantorOccupation", "varchar(50)")}};
}

TableDef patientHistory()
{
    return {patientData, "tbPatientHistory",
            {required("IDNum", "varchar(10)"), optional("HospNum", "varchar(10)"),
             optional("PastHistory", "varchar(500)"), optional("FamilyHistory", "varchar(500)"),
             optional("DateEncoded", "datetime")}};
}

TableDef masterAllergies()
{
    return {patientData, "tbMasterAllergies",
            {required("HospNum", "varchar(10)"), optional("Allergy", "varchar(100)"),
             optional("Reaction", "varchar(100)"), optional("DateEncoded", "datetime")}};
}

TableDef patientInformant()
{
    return {patientData, "tbPatientInformant",
            {required("IDNum", "varchar(10)"), optional("InformantName", "varchar(100)"),
             optional("InformantAddress", "varchar(100)"), optional("InformantRelation", "varchar(30)"),
             optional("InformantTelNum", "varchar(50)")}};
}

TableDef outPatientHistory()
{
    return {patientData, "tbOutPatientHistory",
            {required("IDNum", "varchar(10)"), optional("HospNum", "varchar(10)"),
             optional("PastHistory", "varchar(500)"), optional("DateEncoded", "datetime")}};
}

TableDef hisMaster()
{
    TableDef t{patientData, "tbhisMaster", withoutKey(master().columns)};
    t.columns.push_back(optional("EditNum", "int"));
    t.columns.push_back(optional("ActionBy", "varchar(20)"));
    t.columns.push_back(optional("ActionDate", "datetime"));
    return t;
}

TableDef hisPatient()
{
    TableDef t{patientData, "tbhisPatient", withoutKey(patient().columns)};
    t.columns.push_back(optional("EditNum", "int"));
    return t;
}

TableDef masterHist()
{
    TableDef t{patientData, "tbMasterHist", withoutKey(master().columns)};
    t.columns.push_back({"ID", "bigint", true, false, true});
    t.columns.push_back(optional("Ver", "int"));
    t.columns.push_back(optional("Action", "varchar(10)"));
    t.columns.push_back(optional("ActionBy", "varchar(30)"));
    t.columns.push_back(optional("ActionDate", "datetime"));
    return t;
}

TableDef civilStatus()
{
    return {buildFile, "tbcocivilstatus",
            {key("civilstatusID", "int"), optional("CivilStatus", "varchar(30)")}};
}

TableDef users()
{
    return {buildFile, "tbTalvorUser",
            {key("UserID", "varchar(30)"), required("PasswordHash", "varchar(200)"),
             optional("DeptCode", "varchar(10)"), optional("FullName", "varchar(100)")}};
}

std::vector<IndexDef> indexes()
{
    const std::string pd = "Patient_Data.dbo.";
    return {
        {"IX_tbMaster_Name", pd + "tbMaster", "LastName, FirstName"},
        {"IX_tbMaster_FirstName", pd + "tbMaster", "FirstName"},
        {"IX_tbMaster_BirthDate", pd + "tbMaster", "BirthDate"},
        {"IX_tbPatient_HospNum", pd + "tbPatient", "HospNum"},
        {"IX_tbPatient_AdmDate", pd + "tbPatient", "AdmDate"},
        {"IX_tbOutPatient_HospNum", pd + "tbOutPatient", "HospNum"},
        {"IX_tbOutPatient_AdmDate", pd + "tbOutPatient", "AdmDate"},
        {"IX_tbPatient2_HospNum", pd + "tbPatient2", "HospNum"},
        {"IX_tbPatientDiagnosis_IDNum", pd + "tbPatientDiagnosis", "IDNum"},
        {"IX_tbPatientGuarantor_IDNum", pd + "tbPatientGuarantor", "IDNum"},
        {"IX_tbPatientHistory_IDNum", pd + "tbPatientHistory", "IDNum"},
        {"IX_tbMasterAllergies_HospNum", pd + "tbMasterAllergies", "HospNum"},
        {"IX_tbPatientInformant_IDNum", pd + "tbPatientInformant", "IDNum"},
        {"IX_tbOutPatientHistory_IDNum", pd + "tbOutPatientHistory", "IDNum"},
        {"IX_tbhisMaster_HospNum", pd + "tbhisMaster", "HospNum"},
        {"IX_tbhisPatient_IDNum", pd + "tbhisPatient", "IDNum"},
        {"IX_tbMasterHist_HospNum", pd + "tbMasterHist", "HospNum"},
    };
}

} // namespace schema
} // namespace demo
