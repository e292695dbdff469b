#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <stdexcept>

namespace testdb {

namespace {

std::atomic<int> g_open{0};

struct Column {
    const char *name;
    const char *type;
    const char *value; // a T-SQL expression
};

// Values chosen at the edges: the largest money, a decimal(38,6) beyond a double's digits,
// text past 8000 bytes in the (max) types, characters outside Latin-1.
const Column columns[] = {
    {"c_bit", "bit", "1"},
    {"c_tinyint", "tinyint", "255"},
    {"c_smallint", "smallint", "-32768"},
    {"c_int", "int", "-2147483647"},
    {"c_bigint", "bigint", "9007199254740993"},
    {"c_decimal", "decimal(10,2)", "-12345.67"},
    {"c_numeric", "numeric(38,6)", "123456789012345678.654321"},
    {"c_smallmoney", "smallmoney", "-214.7483"},
    {"c_money", "money", "922337203685477.5807"},
    {"c_real", "real", "1.5"},
    {"c_float", "float", "-2.25e-300"},
    {"c_char", "char(5)", "'ab'"},
    {"c_varchar", "varchar(30)", "N'Ábalos Núñez €'"},
    {"c_varcharmax", "varchar(max)", "REPLICATE(CAST('x' AS varchar(max)), 10000)"},
    {"c_text", "text", "'long text'"},
    {"c_nchar", "nchar(4)", "N'Éva'"},
    {"c_nvarchar", "nvarchar(30)", "N'Ωμέγα 😀'"},
    {"c_nvarcharmax", "nvarchar(max)", "REPLICATE(CAST(N'y' AS nvarchar(max)), 5000) + N'Ω'"},
    {"c_ntext", "ntext", "N'ntext Ω'"},
    {"c_binary", "binary(4)", "0x0102"},
    {"c_varbinary", "varbinary(10)", "0x00FF10"},
    {"c_varbinarymax", "varbinary(max)", "CAST(REPLICATE(CAST('Z' AS varchar(max)), 9000) AS varbinary(max))"},
    {"c_image", "image", "0x696D67"},
    {"c_date", "date", "'2026-12-06'"},
    {"c_time", "time", "'13:45:30.1234567'"},
    {"c_smalldatetime", "smalldatetime", "'2026-12-06 08:30'"},
    {"c_datetime", "datetime", "'1990-01-02T23:59:59.997'"},
    {"c_datetime2", "datetime2", "'2026-12-06 13:45:30.1234567'"},
    {"c_datetimeoffset", "datetimeoffset", "'2026-12-06 13:45:30.1234567 +08:00'"},
    {"c_uniqueidentifier", "uniqueidentifier", "'6F9619FF-8B86-D011-B42D-00C04FC964FF'"},
};

void runAll(tsql::Session &session, const std::string &batch)
{
    auto run = session.run(batch);
    while (run->next()) {
        if (run->item() == tsql::BatchRun::Item::Message && run->message().isError())
            throw std::runtime_error("test database: " + run->message().text + "\n" + batch);
        if (run->item() == tsql::BatchRun::Item::Rows)
            while (run->rows().next()) {
            }
    }
}

// Forwards to the engine's session and counts itself.
class CountedSession final : public tsql::Session {
public:
    explicit CountedSession(std::unique_ptr<tsql::Session> inner) : m_inner(std::move(inner)) { ++g_open; }
    ~CountedSession() override { --g_open; }
    std::unique_ptr<tsql::Result> execute(std::string_view statement) override { return m_inner->execute(statement); }
    std::unique_ptr<tsql::BatchRun> run(std::string_view batch, std::vector<tsql::Parameter> parameters) override
    {
        return m_inner->run(batch, std::move(parameters));
    }
    void cancel() override { m_inner->cancel(); }
    void setTimeout(int milliseconds) override { m_inner->setTimeout(milliseconds); }
    tsql::Explanation explain(std::string_view statement) override { return m_inner->explain(statement); }
    std::string currentDatabase() const override { return m_inner->currentDatabase(); }
    std::string folder() const override { return m_inner->folder(); }
    int transactionCount() const override { return m_inner->transactionCount(); }
    void createDatabase(const std::string &name) override { m_inner->createDatabase(name); }

private:
    std::unique_ptr<tsql::Session> m_inner;
};

} // namespace

QStringList everyTypeColumns()
{
    QStringList names;
    for (const Column &c : columns)
        names << QString::fromLatin1(c.name);
    return names;
}

namespace {

void generate(const std::string &folder)
{
    auto session = tsql::Session::open(folder, "");
    session->createDatabase("Patient_Data");
    runAll(*session, "USE Patient_Data");
    std::string create = "CREATE TABLE EveryType (";
    std::string values = "INSERT INTO EveryType VALUES (";
    std::string nulls = "INSERT INTO EveryType VALUES (";
    for (const Column &c : columns) {
        const bool first = &c == &columns[0];
        create += std::string(first ? "" : ", ") + c.name + " " + c.type + " NULL";
        values += std::string(first ? "" : ", ") + c.value;
        nulls += first ? "NULL" : ", NULL";
    }
    runAll(*session, create + ")");
    runAll(*session, values + ")");
    runAll(*session, nulls + ")");
    runAll(*session, "CREATE TABLE Numbers (n int NOT NULL PRIMARY KEY, label varchar(40) NOT NULL)");
    runAll(*session, "CREATE TABLE tbLog (entry int NOT NULL)");
    runAll(*session, "CREATE LOGIN clerk WITH PASSWORD = 'Secret-1'; CREATE USER clerk FOR LOGIN clerk; "
                     "ALTER ROLE db_owner ADD MEMBER clerk");
    tsql::BulkInserter numbers(*session, "Patient_Data", "Numbers", {"n", "label"});
    for (int n = 1; n <= NumbersRows; ++n)
        numbers.add({tsql::Value::integer(n, tsql::SqlType(tsql::Base::Int)),
                     tsql::Value::text("row number " + std::to_string(n), tsql::SqlType::varchar(40))});
    numbers.commit();
}

} // namespace

void create(const std::string &folder)
{
    // Made once per test program and copied: the rows and the login's hash take a while, and
    // nearly every test starts a server of its own.
    static QTemporaryDir made;
    static const bool ready = [] {
        generate(made.path().toStdString());
        return true;
    }();
    Q_UNUSED(ready);
    const QDir from(made.path());
    for (const QString &name : from.entryList({"*.sqlite"}, QDir::Files))
        QFile::copy(from.filePath(name), QDir(QString::fromStdString(folder)).filePath(name));
}

std::unique_ptr<tsql::Session> open(const std::string &folder, const std::string &database,
                                    const tsql::SessionOptions &options)
{
    return std::make_unique<CountedSession>(tsql::Session::open(folder, database, options));
}

int openSessions() { return g_open.load(); }

} // namespace testdb
