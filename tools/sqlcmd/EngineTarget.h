#pragma once

#include "Target.h"

#include <memory>

namespace tsql {
class Session;
class Value;
} // namespace tsql

namespace sqlcmd {

// The embedded engine: batches go to Session::run whole, values are printed from the engine's
// own values so nothing is lost on the way (datetime2's seven digits, a decimal's scale).
class EngineTarget final : public BatchTarget {
public:
    explicit EngineTarget(std::unique_ptr<tsql::Session> session);
    ~EngineTarget() override;

    void run(const QString &batch, BatchEvents &events) override;
    QString serverName() const override { return m_serverName; }
    void setQueryTimeout(int seconds) override;

    // A value as sqlcmd shows it.
    static QString valueText(const tsql::Value &value);

private:
    std::unique_ptr<tsql::Session> m_session;
    QString m_serverName;
};

} // namespace sqlcmd
