#include "maintenance/UpgradeLock.h"

#include "platform/Failure.h"
#include "platform/data/Connection.h"

#include <QDateTime>

namespace maintenance {

namespace {

const QString holders = QStringLiteral("Patient_Data.dbo.tbTalvorUpgradeRun");

class StatusSink : public platform::BatchSink {
public:
    void rows(platform::Recordset &recordset) override { status = recordset.field(QStringLiteral("Result")).toInt(); }
    void done(qint64) override {}
    void message(const platform::DatabaseMessage &) override {}
    int status = -999;
};

QString heldBy(platform::Connection *connection)
{
    try {
        auto rs = connection->openRecordset(QStringLiteral("SELECT StartedBy, Workstation, StartedAt FROM ") + holders);
        if (!rs->eof())
            return QStringLiteral("started by %1 on %2 at %3")
                .arg(rs->field(QStringLiteral("StartedBy")).toString().trimmed(),
                     rs->field(QStringLiteral("Workstation")).toString().trimmed(),
                     rs->field(QStringLiteral("StartedAt")).toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    } catch (const platform::Failure &) {
    }
    return QStringLiteral("started on another workstation");
}

} // namespace

UpgradeLock::UpgradeLock(platform::Connection *connection) : m_connection(connection)
{
    // The lock lives in the current database.
    m_connection->execute(QStringLiteral("USE Patient_Data"));
    StatusSink sink;
    m_connection->runBatch(QStringLiteral("DECLARE @Result int; "
                                          "EXEC @Result = sp_getapplock @Resource = N'Talvor Update Database', "
                                          "@LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = 0; "
                                          "SELECT @Result AS Result"),
                           sink);
    // -999: the lock could not be asked for at all (SQL Server's word for a call error).
    if (sink.status == -999)
        throw platform::Failure(QStringLiteral("The upgrade could not make sure that no other upgrade is running. "
                                               "Nothing was changed."));
    if (sink.status < 0)
        throw platform::Failure(QStringLiteral("An upgrade of this database is already running (%1). Nothing was changed.")
                                    .arg(heldBy(m_connection)));
    // Only the holder of the lock writes here, so the row always names the run under way.
    try {
        m_connection->execute(QStringLiteral("DELETE FROM ") + holders);
    } catch (const platform::Failure &) {
        m_connection->execute(QStringLiteral("CREATE TABLE ") + holders
                              + QStringLiteral(" (StartedBy nvarchar(128) NULL, Workstation nvarchar(128) NULL, "
                                               "StartedAt datetime NULL)"));
    }
    m_connection->execute(QStringLiteral("INSERT INTO ") + holders
                          + QStringLiteral(" (StartedBy, Workstation, StartedAt) VALUES (SUSER_SNAME(), HOST_NAME(), GETDATE())"));
}

UpgradeLock::~UpgradeLock()
{
    try {
        m_connection->execute(QStringLiteral("USE Patient_Data"));
        m_connection->execute(QStringLiteral("EXEC sp_releaseapplock @Resource = N'Talvor Update Database', "
                                             "@LockOwner = 'Session'"));
    } catch (const platform::Failure &) {
        // The lock goes with the session at the latest.
    }
}

} // namespace maintenance
