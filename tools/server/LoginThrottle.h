#pragma once
// Failed logins slow down the address they come from: a few mistakes cost nothing, a guessing
// run waits longer with every try. A success or a quiet quarter of an hour forgives.

#include <chrono>
#include <map>
#include <mutex>
#include <string>

namespace server {

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LoginThrottle(std::chrono::milliseconds step = std::chrono::milliseconds(500),
                           std::chrono::milliseconds cap = std::chrono::seconds(16), int freeFailures = 3)
        : m_step(step), m_cap(cap), m_freeFailures(freeFailures) {}

    // How long to wait before answering a login from this address.
    std::chrono::milliseconds delayFor(const std::string &address);
    void failed(const std::string &address);
    void succeeded(const std::string &address);

private:
    struct Record {
        int failures = 0;
        Clock::time_point last;
    };
    void forgetOld(Clock::time_point now);

    std::chrono::milliseconds m_step, m_cap;
    int m_freeFailures;
    std::mutex m_mutex;
    std::map<std::string, Record> m_records;
};

} // namespace server
