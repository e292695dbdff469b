#pragma once
// One upgrade of a database at a time, from whichever workstation: the run holds an application
// lock of its session in Patient_Data for as long as it lasts. The server lets go of it when the
// run ends or its process dies, so a killed run never blocks the next. Who holds it is kept in
// Patient_Data.dbo.tbTalvorUpgradeRun for the refusal to name.

namespace platform {
class Connection;
}

namespace maintenance {

class UpgradeLock {
public:
    // Takes the lock, or throws platform::Failure naming the run that holds it; nothing has
    // been changed then.
    explicit UpgradeLock(platform::Connection *connection);
    ~UpgradeLock();
    UpgradeLock(const UpgradeLock &) = delete;
    UpgradeLock &operator=(const UpgradeLock &) = delete;

private:
    platform::Connection *m_connection;
};

} // namespace maintenance
