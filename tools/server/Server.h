#pragma once
// The listening socket and the connections it accepts, each on its own thread, up to the
// configured number at once.

#include "Settings.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace server {

class Connection;

class Server {
public:
    Server(Settings settings, Services services);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds and listens; throws std::runtime_error with the reason (address in use, a
    // non-loopback address without TLS, ...).
    void listen();
    std::uint16_t port() const { return m_port; }

    // Accepts connections until stop(); then waits for every connection to finish its
    // running request and close.
    void run();
    // Safe from any thread.
    void stop();

    int activeConnections();

private:
    struct Slot {
        std::shared_ptr<Connection> connection;
    };
    void accepted(int fd, const std::string &peer);

    Settings m_settings;
    Services m_services;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::list<Slot> m_slots;
    int m_nextId = 1;
};

bool isLoopback(const std::string &address);

} // namespace server
