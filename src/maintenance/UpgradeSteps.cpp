#include "maintenance/UpgradeSteps.h"

namespace maintenance {

namespace {
using Kind = UpgradeStep::Kind;

UpgradeStep statement(const char *sql)
{
    return {Kind::Statement, {}, {}, QString::fromLatin1(sql)};
}
UpgradeStep addMissingColumn(const char *table, const char *column, const char *type)
{
    return {Kind::AddMissingColumn, QString::fromLatin1(table), QString::fromLatin1(column),
            QString::fromLatin1(type)};
}
UpgradeStep columnCheck(const char *column, const char *table, const char *sql)
{
    return {Kind::ColumnCheck, QString::fromLatin1(column), QString::fromLatin1(table),
            QString::fromLatin1(sql)};
}
UpgradeStep tableCheck(const char *table, const char *database, const char *sql)
{
    return {Kind::TableCheck, QString::fromLatin1(table), QString::fromLatin1(database),
            QString::fromLatin1(sql)};
}
UpgradeStep dropTable(const char *table)
{
    return {Kind::DropTable, QString::fromLatin1(table), {}, {}};
}
UpgradeStep rebuildHistory(const char *baseName)
{
    return {Kind::RebuildHistory, QString::fromLatin1(baseName), {}, {}};
}
} // namespace

const std::vector<UpgradeStep> &upgradeSteps()
{
    // Blanks inside the statements are as the site's scripts have always sent them; do not tidy.
    static const std::vector<UpgradeStep> steps = {
        // 1. Widen columns.
        statement("alter table patient_data.dbo.tbPatient  alter column ReferredFrom varchar(50) null "),
        statement("alter table patient_data.dbo.tbmaster  alter column Occupation varchar(500) null "),
        statement("alter table build_file.dbo.tbcooccupation  alter column description varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column SpouseAddress varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column FatherAddress varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column MotherAddress varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column EmployerAddress varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column ContactAddress varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column SpouseEmpAddress varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column Education varchar(250) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column SpouseEmail varchar(50) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column MotherEmpAddress varchar(500) null "),
        statement("alter table patient_data.dbo.tbmaster2  alter column FatherEmpAddress varchar(500) null "),
        // 2. Add missing columns, with two widenings among them.
        addMissingColumn("tbPatient", "FormDate", "datetime"),
        addMissingColumn("tbOutPatient", "FormDate", "datetime"),
        addMissingColumn("tbpatientinformant", "InformantCelNum", "varchar(15)"),
        addMissingColumn("tbpatientGuarantor", "GuarantorCellNum", "varchar(15)"),
        addMissingColumn("tbpatientGuarantor", "GuarantorOccupation", "varchar(500)"),
        statement("alter table patient_data.dbo.tbpatientGuarantor  alter column GuarantorOccupation varchar(500) null "),
        addMissingColumn("tbpatientGuarantor", "PatientRelationship", "varchar(30)"),
        statement("alter table patient_data.dbo.tbpatientGuarantor  alter column GuarantorName varchar(100) null "),
        addMissingColumn("tbmaster2", "MotherEmpName", "varchar(500)"),
        addMissingColumn("tbmaster2", "MotherEmpAddress", "varchar(500)"),
        addMissingColumn("tbmaster2", "FatherEmpName", "varchar(500)"),
        addMissingColumn("tbmaster2", "FatherEmpAddress", "varchar(500)"),
        addMissingColumn("tbmaster2", "MotherOccupation", "varchar(500)"),
        addMissingColumn("tbmaster2", "FatherOccupation", "varchar(500)"),
        addMissingColumn("tbmaster2", "ContactOccupation", "varchar(500)"),
        addMissingColumn("tbmaster2", "ContactCellNum", "varchar(15)"),
        addMissingColumn("tbmaster2", "FatherCellNum", "varchar(15)"),
        addMissingColumn("tbmaster2", "MotherCellNum", "varchar(15)"),
        // 3. Add missing columns with fixed statements.
        columnCheck("VerifiedBy", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add VerifiedBy varchar(30) "),
        columnCheck("VerifiedByDate", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add VerifiedByDate datetime "),
        columnCheck("DateMarried", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add DateMarried datetime "),
        columnCheck("Education", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add Education smallint NULL"),
        columnCheck("CellNum3", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add CellNum3 [varchar](20) NULL"),
        columnCheck("CellNum2", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add CellNum2 [varchar](20) NULL"),
        columnCheck("CityMunicipalityPSGC", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  CityMunicipalityPSGC [varchar](10) NULL"),
        columnCheck("Country", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  Country [varchar](50) NULL"),
        columnCheck("CountryTemp", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  CountryTemp [varchar](50) NULL"),
        columnCheck("CityMunicipalityPSGCTemp", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  CityMunicipalityPSGCTemp [varchar](10) NULL"),
        columnCheck("BarangayCaptainTemp", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  BarangayCaptainTemp [varchar](50) NULL"),
        columnCheck("HouseStreetTemp", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  HouseStreetTemp  [varchar](100) NULL"),
        columnCheck("BarangayTemp", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  BarangayTemp [varchar](50) NULL"),
        columnCheck("ZipCodeTemp", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  ZipCodeTemp [varchar](4) NULL"),
        columnCheck("TelNumTemp", "tbmaster",
                    "alter table patient_data.dbo.tbmaster add  TelNumTemp [varchar](50) NULL"),
        columnCheck("ReferredBy", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  ReferredBy varchar(50)"),
        columnCheck("SpouseTalvorHealthRecID", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  SpouseTalvorHealthRecID varchar(50)"),
        columnCheck("MotherTalvorHealthRecID", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  MotherTalvorHealthRecID varchar(50)"),
        columnCheck("FatherTalvorHealthRecID", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  FatherTalvorHealthRecID varchar(50)"),
        columnCheck("ReferredByTalvorHealthRecID", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  ReferredByTalvorHealthRecID varchar(50)"),
        columnCheck("GuarantorTalvorHealthRecID", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  GuarantorTalvorHealthRecID varchar(50)"),
        columnCheck("ContactTalvorHealthRecID", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  ContactTalvorHealthRecID varchar(50)"),
        columnCheck("KinTalvorHealthRecID", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  KinTalvorHealthRecID varchar(50)"),
        columnCheck("SpouseHospNum", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  SpouseHospNum varchar(50)"),
        columnCheck("MotherHospNum", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  MotherHospNum varchar(50)"),
        columnCheck("FatherHospNum", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  FatherHospNum varchar(50)"),
        columnCheck("ReferredByHospNum", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  ReferredByHospNum varchar(50)"),
        columnCheck("GuarantorHospNum", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  GuarantorHospNum varchar(50)"),
        columnCheck("ContactHospNum", "tbmaster2",
                    "alter table patient_data.dbo.tbmaster2 add  ContactHospNum varchar(50)"),
        // 4. Rebuild the history tables; the columns added above are carried into them.
        rebuildHistory("Master"),
        rebuildHistory("Master2"),
        rebuildHistory("Patient"),
        rebuildHistory("Patient2"),
        rebuildHistory("PatientDiagnosis"),
        rebuildHistory("PatientGuarantor"),
        rebuildHistory("PatientHistory"),
        rebuildHistory("OutPatient"),
        rebuildHistory("MasterAllergies"),
        rebuildHistory("PatientInformant"),
        rebuildHistory("OutPatientHistory"),
        // 5. History bookkeeping columns, added after the rebuilds.
        addMissingColumn("tbhismaster", "EditNum", "int"),
        addMissingColumn("tbhismaster2", "EditNum", "int"),
        addMissingColumn("tbhisPatient", "EditNum", "int"),
        addMissingColumn("tbhisPatient2", "EditNum", "int"),
        addMissingColumn("tbhisPatientDiagnosis", "EditNum", "int"),
        addMissingColumn("tbhisPatientGuarantor", "EditNum", "int"),
        addMissingColumn("tbhisPatientHistory", "EditNum", "int"),
        addMissingColumn("tbhisOutPatient", "EditNum", "int"),
        addMissingColumn("tbhisMasterAllergies", "EditNum", "int"),
        addMissingColumn("tbhisPatientInformant", "EditNum", "int"),
        addMissingColumn("tbhisOutPatientHistory", "EditNum", "int"),
        addMissingColumn("tbhismaster", "ActionBy", "varchar(20)"),
        addMissingColumn("tbhismaster", "ActionDate", "datetime"),
        // 6. The occupation code table.
        tableCheck("tbCoOccupation", "Build_file",
                   "create table Build_File.dbo.tbCoOccupation (ID bigint IDENTITY (1, 1) NOT NULL, "
                   "[Code] [varchar](10) NULL,"
                   "[Description] [varchar](500)  NULL,"
                   "[Status] [varchar](1)  NULL"
                   ")"),
        // 7. Civil status codes 6 and 7, rewritten whatever they held.
        statement("delete from build_file.dbo.tbcocivilstatus where civilstatusID = '6'"),
        statement("delete from build_file.dbo.tbcocivilstatus where civilstatusID = '7'"),
        statement("INSERT INTO build_file.dbo.tbcocivilstatus VALUES (6, 'Common Law');"),
        statement("INSERT INTO build_file.dbo.tbcocivilstatus VALUES (7, 'Annulled');"),
        // 8. Master history tables.
        dropTable("tbMasterHist"),
        dropTable("tbMaster2Hist"),
        tableCheck("tbMasterHist", "Patient_Data",
                   "Select * Into patient_data.dbo.tbMasterHist From  patient_data.dbo.tbmaster  WHERE 1=0;"),
        tableCheck("tbMaster2Hist", "Patient_Data",
                   "Select * Into patient_data.dbo.tbMaster2Hist From  patient_data.dbo.tbmaster2 WHERE 1=0;"),
        columnCheck("ID", "tbMasterHist",
                    "alter table patient_data.dbo.tbMasterHist add ID bigint IDENTITY (1, 1) NOT NULL ;"),
        columnCheck("Ver", "tbMasterHist",
                    "alter table patient_data.dbo.tbMasterHist add Ver integer null  ;"),
        columnCheck("Action", "tbMasterHist",
                    "alter table patient_data.dbo.tbMasterHist add Action VarChar(10) null ;"),
        columnCheck("ActionBy", "tbMasterHist",
                    "alter table patient_data.dbo.tbMasterHist add ActionBy VarChar(30) null  ;"),
        columnCheck("ActionDate", "tbMasterHist",
                    "alter table patient_data.dbo.tbMasterHist add ActionDate DateTime null  ;"),
        columnCheck("Ver", "tbMaster2Hist",
                    " alter table patient_data.dbo.tbMaster2Hist add Ver integer null  ;"),
    };
    return steps;
}

QStringList rebuiltHistoryTables()
{
    QStringList tables;
    for (const UpgradeStep &step : upgradeSteps()) {
        if (step.kind == UpgradeStep::Kind::RebuildHistory)
            tables.append(QStringLiteral("tbhis") + step.first);
        else if (step.kind == UpgradeStep::Kind::DropTable)
            tables.append(step.first);
    }
    return tables;
}

} // namespace maintenance
