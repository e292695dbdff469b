#pragma once
// Carries the rows of history tables across the upgrade, which drops those tables and creates
// them again empty. The rows wait in a holding table in the same database. Setting them aside
// with the drop, and putting them back with the holding table's drop, are each one transaction,
// so a holding table always holds rows that are nowhere else: a run that is killed part way
// leaves either the table as it was or its rows in the holding table, and the next run picks
// them up from there.

#include <QString>
#include <QStringList>

#include <functional>

namespace platform {
class Connection;
}

namespace maintenance {

class HistoryRows {
public:
    explicit HistoryRows(platform::Connection *connection);
    ~HistoryRows();

    // The holding table of a history table of Patient_Data.
    static QString holdingTable(const QString &table);

    // Takes over the holding tables an earlier, unfinished run left: rows whose table exists
    // go back at once, the others wait until this run has made their table again. Returns a
    // line for the log per table taken over. Throws platform::Failure, leaving the rows where
    // they are, when rows cannot be put back.
    QStringList recover(const QStringList &tables);

    // Opens a transaction and copies the rows of `table`, when it exists, into its holding
    // table; called just before the table is dropped. Throws platform::Failure when the copy
    // fails (nothing is set aside then, and the caller must not drop the table).
    void keep(const QString &table);
    // Called after the drop statement ran, whether it succeeded or not: commits when the table
    // is gone, and otherwise rolls back, so the rows stay only in the table.
    void dropped(const QString &table);

    // Puts the kept rows back, column by column for the columns the rebuilt table still has,
    // identity values included, each table together with the drop of its holding table.
    // Returns the provider's descriptions of the failures; those tables' holding tables stay.
    QStringList restore();

    // Names the holding tables left after restore(), for the log and the message; empty when
    // every row is back.
    QString leftOverDescription() const;

private:
    bool exists(const QString &table);
    QStringList columns(const QString &table);
    QStringList sharedColumns(const QString &to, const QString &from); // bracketed, in `to`'s order
    static bool containsAll(const QStringList &names, const QStringList &wanted);
    // Runs `work` in a transaction, rolled back when it throws.
    void transaction(const QString &table, const std::function<void()> &work);
    // Kept rows into `table`, then the holding table dropped, as one transaction.
    void putBack(const QString &table);
    // The rows of `table` into its holding table, then `table` dropped, as one transaction.
    void moveOver(const QString &table);
    // The rows of `from` into `to`, column by column for the columns both have, identity values
    // included where `to` takes them, then `from` dropped: one transaction, named after `table`.
    void moveRows(const QString &from, const QString &to, const QString &table);
    void setIdentityInsert(const QString &table, bool on);
    void rollback();

    platform::Connection *m_connection;
    QStringList m_kept;
    QStringList m_leftOver;
    QString m_openTransaction; // the table whose set-aside or move of rows is under way
};

} // namespace maintenance
