#include "LoginThrottle.h"

namespace server {

namespace {
constexpr auto Forgiven = std::chrono::minutes(15);
}

void LoginThrottle::forgetOld(Clock::time_point now)
{
    for (auto it = m_records.begin(); it != m_records.end();)
        it = now - it->second.last > Forgiven ? m_records.erase(it) : std::next(it);
}

std::chrono::milliseconds LoginThrottle::delayFor(const std::string &address)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_records.find(address);
    if (it == m_records.end() || it->second.failures <= m_freeFailures)
        return std::chrono::milliseconds(0);
    if (Clock::now() - it->second.last > Forgiven) {
        m_records.erase(it);
        return std::chrono::milliseconds(0);
    }
    const int extra = std::min(it->second.failures - m_freeFailures, 16);
    const auto delay = m_step * (1LL << (extra - 1));
    return std::min<std::chrono::milliseconds>(delay, m_cap);
}

void LoginThrottle::failed(const std::string &address)
{
    std::lock_guard lock(m_mutex);
    const auto now = Clock::now();
    // Bounded memory under a flood from many addresses.
    if (m_records.size() > 10000)
        forgetOld(now);
    Record &r = m_records[address];
    ++r.failures;
    r.last = now;
}

void LoginThrottle::succeeded(const std::string &address)
{
    std::lock_guard lock(m_mutex);
    m_records.erase(address);
}

} // namespace server
