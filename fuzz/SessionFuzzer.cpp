// libFuzzer target: every input is one statement for the engine, run on a scratch folder with
// the program's tables. A tsql::Error is a normal outcome; anything else (another exception, a
// crash, a sanitizer report, a hang) is a finding.
#include "tsql/Session.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// Rebuilt from scratch every so often so that earlier inputs (dropped tables, huge inserts)
// neither starve later ones nor make a finding depend on a long history.
constexpr int ResetEvery = 500;
constexpr int MaxRowsRead = 2000;

const char *const Setup[] = {
    "CREATE TABLE Patient_Data.dbo.tbMaster ([HospNum] [varchar](10) NOT NULL PRIMARY KEY, [LastName] [varchar](50) NULL, "
    "[FirstName] [varchar](50) NULL, [MiddleName] [varchar](50) NULL, [BirthDate] [datetime] NULL, [Sex] [varchar](1) NULL, "
    "[HouseStreet] [varchar](100) NULL, [Barangay] [varchar](50) NULL, [ZipCode] [varchar](4) NULL, Occupation varchar(50) NULL)",
    "CREATE INDEX ixName ON tbMaster (LastName, FirstName)",
    "CREATE INDEX ixBirth ON tbMaster (BirthDate)",
    "CREATE TABLE tbPatient (HospNum varchar(10) NOT NULL, IDNum varchar(10) NOT NULL PRIMARY KEY, AdmDate datetime NULL, "
    "ReferredFrom varchar(30) NULL)",
    "CREATE INDEX ixAdm ON tbPatient (AdmDate)",
    "CREATE TABLE tbOutPatient (HospNum varchar(10) NOT NULL, IDNum varchar(10) NOT NULL, AdmDate datetime NULL)",
    "INSERT INTO tbMaster VALUES ('H001', 'Dela Cruz', 'Juan', 'Santos', '01/02/1990', 'M', '12 Rizal St', 'San Roque', '1000', 'Clerk')",
    "INSERT INTO tbMaster VALUES ('H002', 'O''Brien', 'Mary', NULL, '1985-07-15', 'F', NULL, NULL, NULL, NULL)",
    "INSERT INTO tbMaster VALUES ('H005', 'Ábalos', 'Éva', 'Núñez', '2001-12-31 23:59:59', 'F', NULL, NULL, NULL, NULL)",
    "INSERT INTO tbPatient VALUES ('H001', 'A001', '12/05/2026 08:30', 'ER'), ('H999', 'A003', '20261205 23:59:59.997', NULL)",
    "INSERT INTO tbOutPatient VALUES ('H001', 'O001', '12/05/2026 09:30')",
    "CREATE TABLE Build_File.dbo.tbcocivilstatus (civilstatusID int NOT NULL PRIMARY KEY, CivilStatus varchar(50) NULL)",
    "INSERT INTO build_file.dbo.tbcocivilstatus VALUES (1, 'Single'), (2, 'Married')",
    "CREATE TABLE Build_File.dbo.tbcoOccupation (OccupationID int NOT NULL PRIMARY KEY, Occupation varchar(50) NULL)",
    "CREATE TABLE Patient_Data.dbo.tbLog (id int IDENTITY(1,1) NOT NULL, Done datetime NULL, Note varchar(255) NULL)",
};

struct Scratch {
    std::filesystem::path folder;
    std::unique_ptr<tsql::Session> session;

    void reset()
    {
        session.reset();
        if (!folder.empty())
            std::filesystem::remove_all(folder);
        std::string tmpl = (std::filesystem::temp_directory_path() / "talvor-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        folder = tmpl;
        session = tsql::Session::open(folder.string(), "");
        session->createDatabase("Patient_Data");
        session->createDatabase("Build_File");
        session->execute("USE Patient_Data");
        for (const char *s : Setup)
            session->execute(s);
    }
    ~Scratch()
    {
        session.reset();
        if (!folder.empty())
            std::filesystem::remove_all(folder);
    }
};

Scratch &scratch()
{
    static Scratch s;
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int runs = 0;
    if (runs++ % ResetEvery == 0)
        scratch().reset();
    const std::string_view statement(reinterpret_cast<const char *>(data), size);
    try {
        auto result = scratch().session->execute(statement);
        if (result->hasRows()) {
            const std::size_t columns = result->columns().size();
            for (int row = 0; row < MaxRowsRead && result->next(); ++row)
                for (std::size_t c = 0; c < columns; ++c)
                    (void)result->value(c).type();
        } else {
            (void)result->rowsAffected();
        }
    } catch (const tsql::Error &) {
    }
    // The session must still answer after whatever the input did to it.
    try {
        scratch().session->execute("SELECT 1");
    } catch (const tsql::Error &) {
    }
    return 0;
}
