#pragma once

#include "Target.h"

#include <memory>

namespace platform {
class Connection;
}

namespace sqlcmd {

// A server reached through the program's ODBC connection, which hands the batch to the server
// whole and reports every result set, count and message of it.
class ConnectionTarget final : public BatchTarget {
public:
    explicit ConnectionTarget(std::unique_ptr<platform::Connection> connection);
    ~ConnectionTarget() override;

    void run(const QString &batch, BatchEvents &events) override;
    QString serverName() const override { return m_serverName; }
    void setQueryTimeout(int seconds) override;

private:
    std::unique_ptr<platform::Connection> m_connection;
    QString m_serverName;
};

} // namespace sqlcmd
