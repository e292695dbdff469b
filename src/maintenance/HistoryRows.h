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

    // Throws platform::Failure when a holding table of an earlier run is still there: its rows
    // would be mixed up with this run's.
    void checkNothingLeftOver(const QStringList &tables);

    // Copies the rows of `table`, when it exists, into its holding table; called just before the
    // table is dropped. Throws platform::Failure when the copy fails: the caller must then not
    // drop the table.
    void keep(const QString &table);

    // Puts the kept rows back, column by column for the columns the rebuilt table still has,
    // identity values included, and drops each holding table once its rows are back. Returns the
    // provider's descriptions of the failures; those tables' holding tables stay.
    QStringList restore();

    // Names the holding tables left after restore(), for the log and the message; empty when
    // every row is back.
    QString leftOverDescription() const;

private:
    bool exists(const QString &table);
    QStringList columns(const QString &table);
    void putBack(const QString &table);
    void setIdentityInsert(const QString &table, bool on);

    platform::Connection *m_connection;
    QStringList m_kept;
    QStringList m_leftOver;
};

} // namespace maintenance
