#pragma once
// The program's view of a database connection, in the manner of the old ADO objects: a
// statement opens a forward-only recordset positioned on its first row; fields are read by name.

#include "platform/Failure.h"
#include "platform/data/Statement.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace platform {

class Recordset {
public:
    virtual ~Recordset() = default;
    virtual bool isResultSet() const = 0;          // false for a statement that returns no rows
    virtual bool eof() const = 0;                  // true when positioned past the last row
    // Field of the current row by column name, case-insensitive (the first column of that name).
    // NULL is a null QVariant; integers are qlonglong, floats double, text QString, date-times
    // QDateTime (Qt::LocalTime, no time-zone conversion). Throws DatabaseError for an unknown
    // name ("Item cannot be found in the collection corresponding to the requested name or
    // ordinal.") or when at eof.
    virtual QVariant field(const QString &name) const = 0;
    virtual int fieldCount() const = 0;
    virtual QString fieldName(int index) const = 0;
    virtual QString fieldType(int index) const = 0; // T-SQL type name where known ("varchar", "datetime", ...)
    virtual QVariant value(int index) const = 0;
    virtual void moveNext() = 0;
    virtual qint64 rowsAffected() const = 0;       // for a statement without rows; -1 if unknown
    virtual void close() = 0;                      // releases the cursor; idempotent
};

// A message a batch produced, as SQL Server sends one: an error, a PRINT, RAISERROR, or an
// informational message such as "Changed database context to 'X'.".
struct DatabaseMessage {
    int number = 0;
    int severity = 0; // above 10: an error
    int state = 1;
    int line = 0;
    QString text;
    QString procedure; // the procedure that raised it, if any
    QString server;    // the server's name, where the driver reports it
    bool fromDriver = false; // raised by the driver (a time limit, a lost link), not the server
    bool isError() const { return fromDriver || severity > 10; }
};

// What a whole batch produces, item by item, in order (the command-line shell prints them).
class BatchSink {
public:
    virtual ~BatchSink() = default;
    virtual void rows(Recordset &recordset) = 0;              // a result set, on its first row
    virtual void done(qint64 count) = 0;                      // a statement's count; -1 for none
    virtual void message(const DatabaseMessage &message) = 0;
};

class Connection : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Connection() override = default;

    // Runs one statement and returns its recordset, positioned on the first row. Throws
    // DatabaseError with the provider's description.
    virtual std::unique_ptr<Recordset> openRecordset(const QString &sql) = 0;
    // Runs one statement, discarding any rows; returns the rows affected (-1 if unknown).
    virtual qint64 execute(const QString &sql) = 0;
    // The same for a statement built with typed values: checked first (checkStatement), and
    // not sent at all when a value would not stay the literal it was meant to be. The text
    // sent is the statement's text, unchanged.
    std::unique_ptr<Recordset> openRecordset(const Statement &statement)
    {
        checkStatement(statement);
        return openRecordset(statement.text());
    }
    qint64 execute(const Statement &statement)
    {
        checkStatement(statement);
        return execute(statement.text());
    }
    // Runs a whole batch, as the command-line shell sends one, and reports all it produces.
    // Throws DatabaseError only when the batch could not be sent at all.
    virtual void runBatch(const QString &batch, BatchSink &sink) = 0;
    virtual QString currentDatabase() = 0;
    // Seconds a batch may run before it is cancelled; 0 for no limit (the default).
    virtual void setQueryTimeout(int seconds) { Q_UNUSED(seconds); }
    // A short description for titles and logs: the embedded folder, or the ODBC server and
    // database. Never holds a password.
    virtual QString displayName() const = 0;
    // What opening left out (the embedded engine's stray files), one line each, for the user.
    virtual QStringList openWarnings() const { return {}; }
};

// How a connection is opened beyond its target and login; only ODBC connections use these.
struct ConnectionOptions {
    int loginTimeoutSeconds = 15; // a server that does not answer fails after this; 0 waits
    bool encrypt = false;         // ask for an encrypted connection
    bool trustServerCertificate = false;
    QString database;             // the database to sign in to, instead of the target's own
};

// Opens a connection from what the user typed as the database: a folder of the embedded engine,
// or an ODBC connection string / DSN. user and password are the ODBC login (ignored for the
// embedded engine, where the sign-in checks its own user table). Throws DatabaseError.
std::unique_ptr<Connection> openConnection(const QString &target, const QString &user = {},
                                           const QString &password = {},
                                           const ConnectionOptions &options = {});

// True when `target` names an embedded database folder rather than an ODBC connection.
bool isEmbeddedTarget(const QString &target);

} // namespace platform
