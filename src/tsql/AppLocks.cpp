#include "tsql/AppLocks.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tsql {

namespace {

// Names are compared byte for byte; hex keeps any name a file name of bounded length.
std::string hex(const std::string &s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

AppLocks::~AppLocks()
{
    for (auto &[key, held] : m_held)
        ::close(held.fd);
}

std::string AppLocks::lockFile(const std::string &database, const std::string &resource) const
{
    // Database names are case-insensitive, resource names are not.
    return m_folder + "/." + lower(database) + "." + hex(resource) + ".applock";
}

AppLocks::Outcome AppLocks::acquire(const std::string &database, const std::string &resource, bool exclusive,
                                    Owner owner, int timeoutMs, const std::function<bool()> &cancelled)
{
    const Key key{{lower(database), resource}, owner};
    if (auto it = m_held.find(key); it != m_held.end()) {
        ++it->second.count;
        return Outcome::Granted;
    }
    const std::string path = lockFile(database, resource);
    // The file holds nothing, and every user of a shared folder must be able to open it to lock
    // it; a reader without write access to the folder can still lock a file already there.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return Outcome::Failed;
    const int mode = (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    const auto started = std::chrono::steady_clock::now();
    bool waited = false;
    while (::flock(fd, mode) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return Outcome::Failed;
        }
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (timeoutMs >= 0 && elapsed >= std::chrono::milliseconds(timeoutMs)) {
            ::close(fd);
            return Outcome::TimedOut;
        }
        if (cancelled && cancelled()) {
            ::close(fd);
            return Outcome::Cancelled;
        }
        waited = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_held[key] = Held{fd, 1};
    return waited ? Outcome::GrantedAfterWait : Outcome::Granted;
}

bool AppLocks::release(const std::string &database, const std::string &resource, Owner owner)
{
    const auto it = m_held.find(Key{{lower(database), resource}, owner});
    if (it == m_held.end())
        return false;
    if (--it->second.count == 0) {
        ::close(it->second.fd);
        m_held.erase(it);
    }
    return true;
}

void AppLocks::releaseTransactionLocks()
{
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (it->first.second == Owner::Transaction) {
            ::close(it->second.fd);
            it = m_held.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace tsql
