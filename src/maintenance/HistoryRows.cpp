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
} // namespace

HistoryRows::HistoryRows(platform::Connection *connection) : m_connection(connection) {}

QString HistoryRows::holdingTable(const QString &table)
{
    return table + QStringLiteral("_KeptRows");
}

bool HistoryRows::exists(const QString &table)
{
    // Asked by name rather than through the catalogue, which would switch the current database.
    try {
        m_connection->openRecordset("SELECT * FROM " + qualified(table) + " WHERE 1=0")->close();
        return true;
    } catch (const platform::DatabaseError &) {
        return false;
    }
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

void HistoryRows::checkNothingLeftOver(const QStringList &tables)
{
    for (const QString &table : tables)
        if (exists(holdingTable(table)))
            throw platform::Failure(
                QStringLiteral("The rows of %1 set aside by an earlier update are still in %2. "
                               "Put them back and drop %2 before updating again.")
                    .arg(qualified(table), qualified(holdingTable(table))));
}

void HistoryRows::keep(const QString &table)
{
    if (m_kept.contains(table, Qt::CaseInsensitive) || !exists(table))
        return;
    m_connection->execute("SELECT * INTO " + qualified(holdingTable(table)) + " FROM "
                          + qualified(table));
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

    if (!shared.isEmpty()) {
        // Only a table with an identity column accepts the SET; its kept values go back as they
        // were, so references to them stay valid.
        bool identityInsert = false;
        try {
            setIdentityInsert(table, true);
            identityInsert = true;
        } catch (const platform::DatabaseError &) {
        }
        const QString list = shared.join(QStringLiteral(", "));
        try {
            m_connection->execute("INSERT INTO " + qualified(table) + " (" + list + ") SELECT "
                                  + list + " FROM " + qualified(holding));
        } catch (...) {
            if (identityInsert)
                setIdentityInsert(table, false);
            throw;
        }
        if (identityInsert)
            setIdentityInsert(table, false);
    }
    m_connection->execute("DROP TABLE " + qualified(holding));
}

QStringList HistoryRows::restore()
{
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
