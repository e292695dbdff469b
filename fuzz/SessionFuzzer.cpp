// libFuzzer target for the engine, on a scratch folder with the program's tables. Three modes
// (TALVOR_FUZZ_MODE): "statement" (default) runs each input as one statement, as the program's
// connection does; "batch" runs it as a whole batch, as the shell and the server do;
// "structure" reads the input as choices that build a statement of nested expressions
// (Generator.h), reaching deep combinations that mutating text seldom finds.
//
// A tsql::Error is a normal outcome. A finding is anything else: another exception, a crash, a
// sanitizer report, a statement that outlives its time limit (the engine cancels itself after a
// second; libFuzzer's -timeout catches what does not stop), or a row that shows something only
// SQLite's own tables, pragmas or files could hold (the canary below).
#include "Generator.h"
#include "tsql/Session.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
constexpr int StatementMilliseconds = 1000;

// Written where only SQLite's internals keep it: in the folder's path (which SQLite's
// pragma_database_list would show) and in a comment inside a table's stored CREATE text (which
// only sqlite_master shows). No Transact-SQL statement may ever return it.
constexpr const char Canary[] = "Q7VZZC4NARYX";

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
    "CREATE VIEW vAdmitted AS SELECT m.HospNum, m.LastName, p.AdmDate FROM tbMaster m JOIN tbPatient p ON p.HospNum = m.HospNum",
};

enum class Mode { Statement, Batch, Structure };

Mode mode()
{
    static const Mode m = [] {
        const char *v = std::getenv("TALVOR_FUZZ_MODE");
        const std::string s = v ? v : "";
        return s == "batch" ? Mode::Batch : s == "structure" ? Mode::Structure : Mode::Statement;
    }();
    return m;
}

// The stored CREATE text with the canary, written with SQLite directly after the engine made
// the table, as if the file had come from elsewhere.
void plantCanary(const std::filesystem::path &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK)
        std::abort();
    const std::string sql = std::string("CREATE TABLE tbCanaryHolder (Code varchar(5) NULL /* ") + Canary + " */)";
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_close(db);
}

struct Scratch {
    std::filesystem::path folder;
    std::unique_ptr<tsql::Session> session;

    void reset()
    {
        session.reset();
        if (!folder.empty())
            std::filesystem::remove_all(folder);
        std::string tmpl = (std::filesystem::temp_directory_path() / ("talvor-fuzz-" + std::string(Canary) + "-XXXXXX")).string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        folder = tmpl;
        session = tsql::Session::open(folder.string(), "");
        session->createDatabase("Patient_Data");
        session->createDatabase("Build_File");
        session->execute("USE Patient_Data");
        for (const char *s : Setup)
            session->execute(s);
        session.reset();
        plantCanary(folder / "Patient_Data.sqlite");
        session = tsql::Session::open(folder.string(), "Patient_Data");
        session->setTimeout(StatementMilliseconds);
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

bool containsCanary(std::string_view text)
{
    // A leak shows in a value's first megabytes: a 38 MB REPLICATE repeats its source. Scanning
    // all of five such rows took longer than the fuzzer's per-input limit under the sanitizers.
    text = text.substr(0, std::min<std::size_t>(text.size(), 4 * 1024 * 1024));
    const std::string_view canary(Canary);
    for (std::size_t i = 0; i + canary.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < canary.size() && std::toupper(static_cast<unsigned char>(text[i + k])) == canary[k])
            ++k;
        if (k == canary.size())
            return true;
    }
    return false;
}

void readRows(tsql::Result &result, bool inputHasCanary)
{
    const std::size_t columns = result.columns().size();
    for (int row = 0; row < MaxRowsRead && result.next(); ++row) {
        for (std::size_t c = 0; c < columns; ++c) {
            const tsql::Value &v = result.value(c);
            if (!inputHasCanary && (v.type() == tsql::Value::Type::Text || v.type() == tsql::Value::Type::Binary)
                && containsCanary(v.asText())) {
                std::fprintf(stderr, "A row showed what only SQLite's own tables or files hold: %.200s\n",
                             v.asText().c_str());
                std::abort();
            }
        }
    }
}

void runStatement(std::string_view statement)
{
    const bool inputHasCanary = containsCanary(statement);
    try {
        auto result = scratch().session->execute(statement);
        if (result->hasRows())
            readRows(*result, inputHasCanary);
        else
            (void)result->rowsAffected();
    } catch (const tsql::Error &) {
    }
}

void runBatch(std::string_view batch)
{
    const bool inputHasCanary = containsCanary(batch);
    try {
        auto run = scratch().session->run(batch);
        while (run->next()) {
            if (run->item() == tsql::BatchRun::Item::Rows)
                readRows(run->rows(), inputHasCanary);
            else if (run->item() == tsql::BatchRun::Item::Message && containsCanary(run->message().text) && !inputHasCanary)
                std::abort();
        }
    } catch (const tsql::Error &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static int runs = 0;
    if (runs++ % ResetEvery == 0)
        scratch().reset();
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    switch (mode()) {
    case Mode::Statement: runStatement(input); break;
    case Mode::Batch: runBatch(input); break;
    case Mode::Structure: runStatement(fuzzgen::statement(data, size)); break;
    }
    // The session must still answer after whatever the input did to it; a batch may have left
    // a transaction open, which the next input must not inherit.
    try {
        auto rollback = scratch().session->run("IF @@TRANCOUNT > 0 ROLLBACK");
        while (rollback->next()) {
        }
        scratch().session->execute("SELECT 1");
    } catch (const tsql::Error &) {
    }
    return 0;
}
