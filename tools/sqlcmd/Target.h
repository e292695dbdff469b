#pragma once
// What the shell talks to: the embedded engine or a server through ODBC. Either one takes a
// whole batch and hands back, in order, what the batch produced.

#include <QList>
#include <QString>

#include <optional>

namespace sqlcmd {

// A message from the server: an error, PRINT, RAISERROR or an informational message.
struct ServerMessage {
    int number = 0;
    int severity = 0;
    int state = 1;
    int line = 1;
    QString procedure;
    QString server;
    QString text;
    // A failure of the client side (the driver, a time limit) rather than a server message:
    // sqlcmd reports those as its own errors.
    bool fromClient = false;

    bool isError() const { return fromClient || severity > 10; }
};

struct ResultColumn {
    QString name;
    QString type; // as SQL Server writes it: "varchar(30)", "decimal(5,2)", "int"; empty if unknown
};

// One result set, read forwards. Cells are the value's display text; nullopt is NULL.
class ResultCursor {
public:
    virtual ~ResultCursor() = default;
    virtual const QList<ResultColumn> &columns() const = 0;
    virtual bool next() = 0;
    virtual std::optional<QString> cell(int column) const = 0;
};

class BatchEvents {
public:
    virtual ~BatchEvents() = default;
    virtual void rows(ResultCursor &cursor) = 0;
    virtual void done(qint64 count) = 0; // a statement's count; -1 when it counts nothing
    virtual void message(const ServerMessage &message) = 0;
};

class BatchTarget {
public:
    virtual ~BatchTarget() = default;
    // Sends the batch as it stands; never splits it.
    virtual void run(const QString &batch, BatchEvents &events) = 0;
    // The name errors carry when the server did not say ("Server X" in "Msg ..." lines).
    virtual QString serverName() const = 0;
    virtual void setQueryTimeout(int seconds) = 0; // 0: no limit
};

} // namespace sqlcmd
