#include "Server.h"

#include "Connection.h"
#include "Log.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace server {

bool isLoopback(const std::string &address)
{
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6);
    return address == "localhost";
}

Server::Server(Settings settings, Services services)
    : m_settings(std::move(settings)), m_services(std::move(services))
{
}

Server::~Server()
{
    stop();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_slots.empty(); });
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

void Server::listen()
{
    if (!isLoopback(m_settings.address) && !m_settings.tls)
        throw std::runtime_error("refusing to listen on " + m_settings.address +
                                 " without TLS: patient data would cross the network in clear text. Give --cert and "
                                 "--key, or listen on 127.0.0.1");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE;
    addrinfo *found = nullptr;
    const std::string port = std::to_string(m_settings.port);
    const std::string host = m_settings.address == "localhost" ? "127.0.0.1" : m_settings.address;
    if (const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0)
        throw std::runtime_error("cannot listen on " + m_settings.address + ": " + gai_strerror(rc));
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 64) != 0) {
        const std::string why = std::strerror(errno);
        ::close(fd);
        throw std::runtime_error("cannot listen on " + m_settings.address + ":" + port + ": " + why);
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &length);
    m_port = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port
                                                : reinterpret_cast<sockaddr_in *>(&bound)->sin_port);
    m_listenFd = fd;
}

void Server::run()
{
    while (!m_stopping) {
        pollfd p{m_listenFd, POLLIN, 0};
        // Wakes now and then so that stop() needs nothing but the flag.
        if (::poll(&p, 1, 200) <= 0)
            continue;
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(m_listenFd, reinterpret_cast<sockaddr *>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        char host[NI_MAXHOST] = "?", service[NI_MAXSERV] = "?";
        getnameinfo(reinterpret_cast<sockaddr *>(&peer), length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV);
        const std::string peerName =
            peer.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + service : std::string(host) + ":" + service;
        accepted(fd, peerName);
    }
    std::unique_lock lock(m_mutex);
    for (Slot &s : m_slots)
        s.connection->requestStop();
    m_changed.wait(lock, [&] { return m_slots.empty(); });
}

void Server::stop()
{
    m_stopping = true;
    std::lock_guard lock(m_mutex);
    for (Slot &s : m_slots)
        s.connection->requestStop();
}

int Server::activeConnections()
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_slots.size());
}

void Server::accepted(int fd, const std::string &peer)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::unique_lock lock(m_mutex);
    const int id = m_nextId++;
    if (static_cast<int>(m_slots.size()) >= m_settings.maxConnections) {
        lock.unlock();
        logLine(Priority::Warning, "connection " + std::to_string(id) + " from " + peer + ": refused, " +
                                       std::to_string(m_settings.maxConnections) + " connections already open");
        ::close(fd);
        return;
    }
    m_slots.push_back({std::make_shared<Connection>(id, fd, peer, m_settings, m_services)});
    auto slot = std::prev(m_slots.end());
    std::thread([this, slot] {
        slot->connection->run();
        std::lock_guard lock(m_mutex);
        m_slots.erase(slot);
        m_changed.notify_all();
    }).detach();
}

} // namespace server
