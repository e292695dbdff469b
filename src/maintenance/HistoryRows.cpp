#include "maintenance/HistoryRows.h"

#include "platform/Failure.h"
#include "platform/data/Connection.h"
#include "platform/data/SqlText.h"

#include <exception>

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
        + platform::quotedText(table));
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
    if (m_openTransaction.isEmpty())
        return;
    m_openTransaction.clear();
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
        const QString holding = holdingTable(table);
        if (!exists(holding))
            continue;
        const QString waiting = QStringLiteral("Rows of %1 kept by an unfinished update wait in %2.")
                                    .arg(table, holding);
        // The run stopped between the drop and the new table; this run makes it again.
        if (!exists(table)) {
            m_kept.append(table);
            lines.append(waiting);
            continue;
        }
        try {
            // A table made again but not finished (the run stopped before adding its last
            // columns, an identity among them) would lose those columns of the kept rows: then
            // the rows written to it since go over to the kept ones, and this run finishes the
            // table and puts them all back.
            if (containsAll(columns(table), columns(holding))) {
                putBack(table);
                lines.append(QStringLiteral("Rows of %1 kept by an unfinished update were put back.").arg(table));
            } else {
                moveOver(table);
                m_kept.append(table);
                lines.append(waiting);
            }
        } catch (const platform::Failure &failure) {
            throw platform::Failure(
                QStringLiteral("The rows of %1 set aside by an unfinished update could not be "
                               "put back; they are still in %2. %3")
                    .arg(qualified(table), qualified(holding), failure.description()));
        }
    }
    return lines;
}

void HistoryRows::keep(const QString &table)
{
    if (m_kept.contains(table, Qt::CaseInsensitive) || !exists(table))
        return;
    m_connection->execute(QStringLiteral("BEGIN TRANSACTION"));
    m_openTransaction = table;
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
    if (m_openTransaction.compare(table, Qt::CaseInsensitive) != 0)
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
    m_openTransaction.clear();
    m_kept.append(table);
}

void HistoryRows::setIdentityInsert(const QString &table, bool on)
{
    m_connection->execute("SET IDENTITY_INSERT " + qualified(table)
                          + (on ? QStringLiteral(" ON") : QStringLiteral(" OFF")));
}

QStringList HistoryRows::sharedColumns(const QString &to, const QString &from)
{
    const QStringList source = columns(from);
    QStringList shared;
    for (const QString &name : columns(to))
        if (source.contains(name, Qt::CaseInsensitive))
            shared.append(bracketed(name));
    return shared;
}

bool HistoryRows::containsAll(const QStringList &names, const QStringList &wanted)
{
    for (const QString &name : wanted)
        if (!names.contains(name, Qt::CaseInsensitive))
            return false;
    return true;
}

void HistoryRows::transaction(const QString &table, const std::function<void()> &work)
{
    m_connection->execute(QStringLiteral("BEGIN TRANSACTION"));
    m_openTransaction = table;
    try {
        work();
        m_connection->execute(QStringLiteral("COMMIT TRANSACTION"));
        m_openTransaction.clear();
    } catch (...) {
        rollback();
        throw;
    }
}

void HistoryRows::putBack(const QString &table)
{
    moveRows(holdingTable(table), table, table);
}

void HistoryRows::moveOver(const QString &table)
{
    moveRows(table, holdingTable(table), table);
}

void HistoryRows::moveRows(const QString &from, const QString &to, const QString &table)
{
    const QStringList shared = sharedColumns(to, from);
    const QString insert = "INSERT INTO " + qualified(to) + " (" + shared.join(QStringLiteral(", "))
        + ") SELECT " + shared.join(QStringLiteral(", ")) + " FROM " + qualified(from);

    // Only a table with an identity column accepts the SET; the rows' numbers go over as they
    // were, so references to them stay valid. The setting belongs to the connection, not to
    // the transaction, so it is made outside it.
    bool identityInsert = false;
    if (!shared.isEmpty()) {
        try {
            setIdentityInsert(to, true);
            identityInsert = true;
        } catch (const platform::DatabaseError &) {
        }
    }
    const auto identityOff = [&] {
        if (!identityInsert)
            return;
        identityInsert = false;
        try {
            setIdentityInsert(to, false);
        } catch (const platform::Failure &) {
            // The failure that brought us here, if any, is the one to report.
        }
    };
    try {
        transaction(table, [&] {
            if (!shared.isEmpty()) {
                try {
                    m_connection->execute(insert);
                } catch (const platform::DatabaseError &) {
                    // Rows without the identity column (their table was made again before it
                    // had one) are numbered afresh; any other failure stands.
                    if (!identityInsert)
                        throw;
                    const std::exception_ptr first = std::current_exception();
                    identityOff();
                    try {
                        m_connection->execute(insert);
                    } catch (const platform::DatabaseError &) {
                        std::rethrow_exception(first);
                    }
                }
            }
            m_connection->execute("DROP TABLE " + qualified(from));
        });
    } catch (...) {
        identityOff();
        throw;
    }
    identityOff();
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
