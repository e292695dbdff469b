#pragma once
// Carries the rows of history tables across the upgrade, which drops those tables and creates
// them again empty. The rows wait in a holding table in the same database, so they survive a
// failure part way through; nothing of this goes through the maintenance log while it works.

#include <QString>
#include <QStringList>
#include <vector>

namespace platform {
class Connection;
}

namespace maintenance {

class HistoryRows {
public:
    explicit HistoryRows(platform::Connection *connection);

    // The holding table of a history table of Patient_Data.
    static QString holdingTable(const QString &table);

    // Copies the rows of every listed table that exists into its holding table. Throws
    // platform::Failure, with nothing kept, when a holding table is still there from an earlier
    // run or a copy fails: the caller must then not drop anything.
    void keep(const QStringList &tables);

    // Puts the kept rows back, column by column for the columns the rebuilt table still has,
    // identity values included, and drops each holding table once its rows are back. Returns the
    // provider's descriptions of the failures; those tables' holding tables stay.
    QStringList restore();

    // Names the holding tables left after restore(), for the message that reports them.
    QString leftOverDescription() const;

private:
    bool exists(const QString &table);
    QStringList columns(const QString &table);
    void putBack(const QString &table);

    platform::Connection *m_connection;
    QStringList m_kept;
    QStringList m_leftOver;
};

} // namespace maintenance
