#include "maintenance/HistoryRows.h"

#include "platform/Failure.h"
#include "platform/data/Connection.h"

namespace maintenance {

namespace {
QString qualified(const QString &table)
{
    return QStringLiteral("patient_data.dbo.") + table;
}

QString bracketed(const QString &name)
{
    return QLatin1Char('[') + QString(name).replace(QLatin1Char(']'), QStringLiteral("]]"))
        + QLatin1Char(']');
}

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''"))
        + QLatin1Char('\'');
}
} // namespace

HistoryRows::HistoryRows(platform::Connection *connection) : m_connection(connection) {}

HistoryRows::~HistoryRows()
{
    // Never leave a transaction open on a connection the rest of the program goes on using.
    rollback();
}

QString HistoryRows::holdingTable(const QString &table)
{
    return table + QStringLiteral("_KeptRows");
}

bool HistoryRows::exists(const QString &table)
{
    // The database-qualified catalogue neither switches the current database nor raises an
    // error inside an open transaction.
    std::unique_ptr<platform::Recordset> rs = m_connection->openRecordset(
        "SELECT TABLE_NAME FROM patient_data.INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = "
        + quoted(table));
    const bool found = !rs->eof();
    rs->close();
    return found;
}

QStringList HistoryRows::columns(const QString &table)
{
    std::unique_ptr<platform::Recordset> rs =
        m_connection->openRecordset("SELECT * FROM " + qualified(table) + " WHERE 1=0");
    QStringList names;
    for (int i = 0; i < rs->fieldCount(); ++i)
        names.append(rs->fieldName(i));
    rs->close();
    return names;
}

void HistoryRows::rollback()
{
    if (m_settingAside.isEmpty())
        return;
    m_settingAside.clear();
    try {
        m_connection->execute(QStringLiteral("ROLLBACK TRANSACTION"));
    } catch (const platform::Failure &) {
        // The server may have ended the transaction itself; then there is nothing to undo.
    }
}

QStringList HistoryRows::recover(const QStringList &tables)
{
    QStringList lines;
    for (const QString &table : tables) {
        if (!exists(holdingTable(table)))
            continue;
        if (!exists(table)) {
            // The run stopped between the drop and the new table; this run makes it again.
            m_kept.append(table);
            lines.append(QStringLiteral("Rows of %1 kept by an unfinished update wait in %2.")
                             .arg(table, holdingTable(table)));
            continue;
        }
        try {
            putBack(table);
        } catch (const platform::Failure &failure) {
            throw platform::Failure(
                QStringLiteral("The rows of %1 set aside by an unfinished update could not be "
                               "put back; they are still in %2. %3")
                    .arg(qualified(table), qualified(holdingTable(table)), failure.description()));
        }
        lines.append(QStringLiteral("Rows of %1 kept by an unfinished update were put back.")
                         .arg(table));
    }
    return lines;
}

void HistoryRows::keep(const QString &table)
{
    if (m_kept.contains(table, Qt::CaseInsensitive) || !exists(table))
        return;
    m_connection->execute(QStringLiteral("BEGIN TRANSACTION"));
    m_settingAside = table;
    try {
        m_connection->execute("SELECT * INTO " + qualified(holdingTable(table)) + " FROM "
                              + qualified(table));
    } catch (...) {
        rollback();
        throw;
    }
}

void HistoryRows::dropped(const QString &table)
{
    if (m_settingAside.compare(table, Qt::CaseInsensitive) != 0)
        return;
    if (exists(table)) {
        rollback();
        return;
    }
    try {
        m_connection->execute(QStringLiteral("COMMIT TRANSACTION"));
    } catch (...) {
        rollback();
        throw;
    }
    m_settingAside.clear();
    m_kept.append(table);
}

void HistoryRows::setIdentityInsert(const QString &table, bool on)
{
    m_connection->execute("SET IDENTITY_INSERT " + qualified(table)
                          + (on ? QStringLiteral(" ON") : QStringLiteral(" OFF")));
}

void HistoryRows::putBack(const QString &table)
{
    const QString holding = holdingTable(table);
    const QStringList target = columns(table);
    const QStringList source = columns(holding);
    QStringList shared;
    for (const QString &name : target)
        if (source.contains(name, Qt::CaseInsensitive))
            shared.append(bracketed(name));

    // Only a table with an identity column accepts the SET; its kept values go back as they
    // were, so references to them stay valid. The setting belongs to the connection, not to
    // the transaction, so it is made outside it.
    bool identityInsert = false;
    if (!shared.isEmpty()) {
        try {
            setIdentityInsert(table, true);
            identityInsert = true;
        } catch (const platform::DatabaseError &) {
        }
    }
    m_connection->execute(QStringLiteral("BEGIN TRANSACTION"));
    m_settingAside = table; // rolled back like a set-aside when anything fails
    try {
        if (!shared.isEmpty()) {
            const QString list = shared.join(QStringLiteral(", "));
            m_connection->execute("INSERT INTO " + qualified(table) + " (" + list + ") SELECT "
                                  + list + " FROM " + qualified(holding));
        }
        m_connection->execute("DROP TABLE " + qualified(holding));
        m_connection->execute(QStringLiteral("COMMIT TRANSACTION"));
        m_settingAside.clear();
    } catch (...) {
        rollback();
        if (identityInsert) {
            try {
                setIdentityInsert(table, false);
            } catch (const platform::Failure &) {
                // The failure that brought us here is the one to report.
            }
        }
        throw;
    }
    if (identityInsert)
        setIdentityInsert(table, false);
}

QStringList HistoryRows::restore()
{
    // A failure between a set-aside and its drop leaves the table whole; undo the copy.
    rollback();
    QStringList failures;
    for (const QString &table : std::as_const(m_kept)) {
        try {
            putBack(table);
        } catch (const platform::Failure &failure) {
            failures.append(failure.description());
            m_leftOver.append(table);
        }
    }
    m_kept.clear();
    return failures;
}

QString HistoryRows::leftOverDescription() const
{
    if (m_leftOver.isEmpty())
        return {};
    QStringList holding;
    for (const QString &table : m_leftOver)
        holding.append(qualified(holdingTable(table)) + " (rows of " + table + ")");
    return QStringLiteral("Some history rows could not be put back; they are kept in ")
        + holding.join(QStringLiteral(", ")) + QLatin1Char('.');
}

} // namespace maintenance
