#pragma once

#include "platform/data/Connection.h"

#include <memory>

namespace tsql {
class Session;
}

namespace platform {

// A connection to a folder of the embedded engine. It holds one engine session, so the current
// database that USE sets lasts as long as the connection, as it does on SQL Server.
class EmbeddedConnection : public Connection {
    Q_OBJECT
public:
    explicit EmbeddedConnection(std::unique_ptr<tsql::Session> session, QObject *parent = nullptr);
    ~EmbeddedConnection() override;

    // Opens the databases in `folder`, starting in `database`. Throws DatabaseError naming the
    // folder when it does not exist or holds no such database.
    static std::unique_ptr<EmbeddedConnection> open(const QString &folder,
                                                    const QString &database = QStringLiteral("Patient_Data"));

    using Connection::execute;
    using Connection::openRecordset;
    std::unique_ptr<Recordset> openRecordset(const QString &sql) override;
    qint64 execute(const QString &sql) override;
    void runBatch(const QString &batch, BatchSink &sink) override;
    QString currentDatabase() override;
    void setQueryTimeout(int seconds) override;
    QString displayName() const override;
    QStringList openWarnings() const override;

    tsql::Session &session() { return *m_session; }

private:
    std::unique_ptr<tsql::Session> m_session;
};

} // namespace platform
