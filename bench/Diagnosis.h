#pragma once
// Where a case's time goes: the statement the window sent, run again on the same connection
// without the grid, and the SQLite plan of the SQL the engine made of it.

#include <QString>
#include <QStringList>
#include <memory>

namespace platform {
class Connection;
}

namespace bench {

// Reads the statements an engine wrote to its trace file since the last call.
class TraceReader {
public:
    struct Entry {
        qint64 msecs; // when the statement ended, milliseconds since the epoch
        QString statement;
    };
    explicit TraceReader(QString path) : m_path(std::move(path)) {}
    QStringList newStatements();
    QList<Entry> newEntries();

private:
    QString m_path;
    qint64 m_offset = 0;
};

// Runs each statement on `connection`, reading every field of every row; returns milliseconds.
double runStatements(platform::Connection &connection, const QStringList &statements);

// The SQLite SQL the engine makes of a query, and SQLite's plan for it, one step per entry.
struct Plan {
    QString sql;
    QStringList steps;
    double generatedMs = 0; // median time of the statement through the engine alone, every value read
};
Plan explain(const QString &folder, const QString &statement);

} // namespace bench
