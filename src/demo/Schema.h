#pragma once
// The layout of a site's two databases before the maintenance upgrade: the columns the upgrade
// widens are here but narrower, the columns it adds are not here at all.

#include <string>
#include <vector>

namespace demo {

struct ColumnDef {
    std::string name;
    std::string type;          // as T-SQL declares it: "varchar(30)", "datetime", "int"
    bool notNull = false;
    bool primaryKey = false;
    bool identity = false;     // IDENTITY (1, 1)
};

struct TableDef {
    std::string database;
    std::string name;
    std::vector<ColumnDef> columns;

    std::string qualifiedName() const { return database + ".dbo." + name; }
    std::vector<std::string> columnNames(bool withIdentity = false) const;
    std::string createStatement() const;
};

struct IndexDef {
    std::string name;
    std::string table; // qualified
    std::string columns;
};

namespace schema {

TableDef master();
TableDef master2();
TableDef patient();
TableDef patient2();
TableDef outPatient();
TableDef patientDiagnosis();
TableDef patientGuarantor();
TableDef patientHistory();
TableDef masterAllergies();
TableDef patientInformant();
TableDef outPatientHistory();

// History tables as an earlier run of the upgrade left them: the source table's columns then,
// without its key, plus the bookkeeping columns.
TableDef hisMaster();
TableDef hisPatient();
TableDef masterHist();

TableDef civilStatus();
TableDef users();

// Secondary indexes, created once the rows are in.
std::vector<IndexDef> indexes();

} // namespace schema
} // namespace demo
