#pragma once
// Public interface of the embedded Transact-SQL engine. Standard C++ and SQLite only: nothing
// here may include Qt.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tsql {

// A date and time as SQL Server's datetime holds it (to the millisecond).
struct DateTime {
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    auto operator<=>(const DateTime &) const = default;
};

// One value of a result row. Text is UTF-8.
class Value {
public:
    enum class Type { Null, Integer, Float, Text, DateTime };
    Value() = default;
    static Value integer(std::int64_t v);
    static Value real(double v);
    static Value text(std::string v);
    static Value dateTime(const DateTime &v);

    Type type() const;
    bool isNull() const { return type() == Type::Null; }
    std::int64_t asInteger() const;      // only when type() == Integer
    double asFloat() const;              // only when type() == Float
    const std::string &asText() const;   // only when type() == Text
    const DateTime &asDateTime() const;  // only when type() == DateTime

private:
    std::variant<std::monostate, std::int64_t, double, std::string, DateTime> m_v;
};

// A failure, with SQL Server's message number, severity, state and text. what() is the text
// alone: that is what the program shows as the provider's description.
class Error : public std::runtime_error {
public:
    Error(int number, int severity, int state, const std::string &message)
        : std::runtime_error(message), m_number(number), m_severity(severity), m_state(state) {}
    int number() const { return m_number; }
    int severity() const { return m_severity; }
    int state() const { return m_state; }

private:
    int m_number, m_severity, m_state;
};

struct ColumnInfo {
    std::string name;     // as the select list names it ("" for an unnamed expression)
    std::string typeName; // the T-SQL type of the column: "varchar", "int", "datetime", ...
};

// The outcome of one statement. A query yields a forward-only cursor; other statements yield
// the number of rows they touched (-1 where SQL Server reports none, e.g. DDL).
class Result {
public:
    virtual ~Result() = default;
    virtual bool hasRows() const = 0;                     // true for a statement that returns a result set
    virtual const std::vector<ColumnInfo> &columns() const = 0;
    virtual bool next() = 0;                              // moves to the next row; false at the end
    virtual const Value &value(std::size_t column) const = 0; // of the current row
    virtual std::int64_t rowsAffected() const = 0;
};

class Session {
public:
    virtual ~Session() = default;

    // Opens the databases in `folder`: every file "<Name>.sqlite" there is the database <Name>,
    // attached under that name. The folder must exist. `database` is the current database to
    // start in; empty means none yet (as for a folder that holds no database so far).
    static std::unique_ptr<Session> open(const std::string &folder,
                                         const std::string &database = "Patient_Data");

    // Runs exactly one statement (a trailing ';', blanks and comments allowed). Anything after
    // the first statement is refused and nothing runs. Throws tsql::Error.
    virtual std::unique_ptr<Result> execute(std::string_view statement) = 0;

    // Splits a batch into its statements, for the command-line shell. Throws tsql::Error on a
    // text that cannot be tokenized (e.g. an unclosed quotation mark).
    static std::vector<std::string> splitStatements(std::string_view batch);

    virtual std::string currentDatabase() const = 0;
    virtual std::string folder() const = 0;

    // Creates a new, empty database file in the session's folder and attaches it.
    virtual void createDatabase(const std::string &name) = 0;
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
