#pragma once
// Public interface of the embedded Transact-SQL engine. Standard C++ and SQLite only: nothing
// here may include Qt.
//
// A Session is one connection to a folder of databases. It runs batches as SQL Server runs
// them: the whole batch is parsed before any of it runs, and what it produces (result sets, row
// counts, messages) comes out one item at a time, in order, as SQL Server's token stream does.

#include "tsql/Error.h"
#include "tsql/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tsql {

struct ColumnInfo {
    std::string name; // as the select list names it ("" for an unnamed expression)
    SqlType type;     // the T-SQL type, with its length, precision and scale
    bool nullable = true;
    bool identity = false;
    std::string table; // the base table a plain column reference comes from, if any

    std::string typeName() const { return type.display(); } // "varchar(30)", "int", "decimal(5,2)"
};

// One result set: a forward-only cursor.
class Result {
public:
    virtual ~Result() = default;
    virtual bool hasRows() const = 0; // true for a statement that returns a result set
    virtual const std::vector<ColumnInfo> &columns() const = 0;
    virtual bool next() = 0;                                  // moves to the next row; false at the end
    virtual const Value &value(std::size_t column) const = 0; // of the current row
    virtual std::int64_t rowsAffected() const = 0;            // without a result set; -1 when none
};

// PRINT, RAISERROR, errors and SQL Server's informational messages ("Changed database
// context to ...").
struct Message {
    int number = 0;
    int severity = 0;
    int state = 1;
    int line = 0; // 1-based line of the batch
    std::string text;
    std::string procedure;
    bool isError() const { return severity > 10; }
};

// A typed value handed to a batch from outside, as sp_executesql and the wire protocol's
// remote procedure calls pass parameters. An output parameter's value is read back after the
// batch has ended.
struct Parameter {
    std::string name; // with its @
    SqlType type;
    Value value;
    bool output = false;
};

// A batch on its way: call next() until it returns false.
class BatchRun {
public:
    enum class Item {
        Rows,    // a result set: read it through rows() before the next call to next()
        Done,    // a statement ended: count() rows affected or returned, -1 when it counts none
        Message, // message(): an error, a PRINT, an informational message
    };
    virtual ~BatchRun() = default;
    // Moves to the next item; unread rows of a result set are skipped. False at the end.
    virtual bool next() = 0;
    virtual Item item() const = 0;
    virtual Result &rows() = 0;
    virtual std::int64_t count() const = 0;
    virtual const Message &message() const = 0;
    // After the end: whether any error was raised, whether the batch was cancelled, what RETURN
    // gave, and the output parameters.
    virtual bool anyError() const = 0;
    virtual bool cancelled() const = 0;
    virtual int returnStatus() const = 0;
    virtual const std::vector<Parameter> &outputs() const = 0;
};

struct SessionOptions {
    std::string login = "dbo";        // SUSER_SNAME()
    std::string hostName;             // HOST_NAME()
    std::string applicationName;      // APP_NAME()
    int spid = 51;                    // @@SPID
    // True: `login` is one of the folder's logins (CREATE LOGIN), and the session may do only
    // what its users and roles allow. False: the folder's owner, who may do everything.
    bool serverLogin = false;
    // Queries compiled once per shape and kept (TALVOR_STATEMENT_CACHE=0 turns it off too).
    bool statementCache = true;
};

// What the engine made of one statement, for the benchmark and for troubleshooting.
struct Explanation {
    std::vector<std::string> sqlite; // the SQLite statements it runs
    std::vector<std::string> plan;   // SQLite's query plan of the first, one line per step
};

class Session {
public:
    virtual ~Session() = default;

    // Opens the databases in `folder`: every file "<Name>.sqlite" there is the database <Name>,
    // attached under that name. The folder must exist. `database` is the current database to
    // start in; empty means none yet (as for a folder that holds no database so far).
    static std::unique_ptr<Session> open(const std::string &folder, const std::string &database = "Patient_Data",
                                         const SessionOptions &options = {});

    // Runs exactly one statement (a trailing ';', blanks and comments allowed). Anything after
    // the first statement is refused and nothing runs. Throws tsql::Error for the first error.
    // This is the program's connection: one statement per call, so a value typed into a field
    // can never start a second one.
    virtual std::unique_ptr<Result> execute(std::string_view statement) = 0;

    // Runs a whole batch as SQL Server does (the command-line shell and the wire protocol). A
    // batch that does not parse raises its syntax error as the first item and runs nothing.
    virtual std::unique_ptr<BatchRun> run(std::string_view batch, std::vector<Parameter> parameters = {}) = 0;

    // Stops the running statement from another thread, as a client's attention does: the
    // statement is undone and the batch ends.
    virtual void cancel() = 0;
    // A batch (or a single statement) that runs longer than this is cancelled, however many
    // statements it ran; 0 is no limit (the default).
    virtual void setTimeout(int milliseconds) = 0;

    virtual Explanation explain(std::string_view statement) = 0;

    virtual std::string currentDatabase() const = 0;
    virtual std::string folder() const = 0;
    // @@TRANCOUNT: how many BEGIN TRANSACTIONs are open.
    virtual int transactionCount() const = 0;

    // Creates a new, empty database file in the session's folder and attaches it.
    virtual void createDatabase(const std::string &name) = 0;

    // What the opening left out of the folder (a file that is no database), one line each.
    virtual std::vector<std::string> openWarnings() const { return {}; }
};

// Fast loading for the demo and benchmark generators: appends rows to a table that exists,
// bypassing the parser but not the storage format. Values are converted and checked as an
// INSERT would; IDENTITY columns not listed are numbered. All rows added between construction
// and commit() go in as one transaction; destroying it without commit() rolls back.
class BulkInserter {
public:
    BulkInserter(Session &session, const std::string &database, const std::string &table,
                 const std::vector<std::string> &columns);
    ~BulkInserter();
    void add(const std::vector<Value> &row);
    void commit();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tsql
