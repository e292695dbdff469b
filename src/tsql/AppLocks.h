#pragma once
// Application locks (sp_getapplock, sp_releaseapplock) of one session. Each lock is an flock on
// a file of its own beside the databases, so sessions in other processes see it too, and the
// system lets go of it when the process dies, however it ends.

#include <functional>
#include <map>
#include <string>
#include <utility>

namespace tsql {

class AppLocks {
public:
    enum class Owner { Transaction, Session };
    enum class Outcome { Granted = 0, GrantedAfterWait = 1, TimedOut = -1, Cancelled = -2, Failed = -999 };

    explicit AppLocks(std::string folder) : m_folder(std::move(folder)) {}
    ~AppLocks();
    AppLocks(const AppLocks &) = delete;
    AppLocks &operator=(const AppLocks &) = delete;

    // `timeoutMs` < 0 waits until granted or `cancelled` says stop.
    Outcome acquire(const std::string &database, const std::string &resource, bool exclusive, Owner owner,
                    int timeoutMs, const std::function<bool()> &cancelled);
    // False when this session holds no such lock.
    bool release(const std::string &database, const std::string &resource, Owner owner);
    // At the end of the outermost transaction.
    void releaseTransactionLocks();

private:
    struct Held {
        int fd = -1;
        int count = 0; // SQL Server counts each grant; each release takes one
    };
    using Key = std::pair<std::pair<std::string, std::string>, Owner>;
    std::string lockFile(const std::string &database, const std::string &resource) const;

    std::string m_folder;
    std::map<Key, Held> m_held;
};

} // namespace tsql
