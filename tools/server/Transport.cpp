#include "Transport.h"

#include "tds/Bytes.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace server {

Transport::Transport(int fd, std::size_t maxMessage) : m_fd(fd), m_assembler(maxMessage) {}

Transport::~Transport() { ::close(m_fd); }

void Transport::shutdown() { ::shutdown(m_fd, SHUT_RDWR); }

void Transport::setPacketSize(std::size_t size)
{
    m_packetSize = size;
    m_assembler.setPacketSize(size);
}

bool Transport::fill(int timeoutMs)
{
    pollfd p{m_fd, POLLIN, 0};
    const int rc = ::poll(&p, 1, timeoutMs);
    if (rc == 0)
        return false;
    if (rc < 0) {
        if (errno == EINTR)
            return false;
        throw ConnectionLost(std::string("poll: ") + std::strerror(errno));
    }
    char buf[16384];
    const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
    if (n == 0)
        throw ConnectionLost("the client closed the connection");
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN)
            return true;
        throw ConnectionLost(std::string("receive: ") + std::strerror(errno));
    }
    const std::string_view got(buf, static_cast<std::size_t>(n));
    m_plain += m_tlsIn ? m_tls->decrypt(got) : std::string(got);
    return true;
}

std::optional<tds::Message> Transport::readMessage(int timeoutMs)
{
    // The time is for the whole message, so that a client trickling bytes cannot hold on longer.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (m_plain.size() >= tds::HeaderSize) {
            const tds::PacketHeader h = tds::PacketHeader::parse(m_plain);
            if (h.length > m_assembler.packetSize())
                throw tds::ProtocolError("packet of " + std::to_string(h.length) + " bytes exceeds the packet size of " +
                                         std::to_string(m_assembler.packetSize()));
            if (m_plain.size() < h.length)
                break;
            const bool complete = m_assembler.addPacket(std::string_view(m_plain).substr(0, h.length));
            m_plain.erase(0, h.length);
            if (complete)
                return m_assembler.takeMessage();
        }
        int wait = -1;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            wait = static_cast<int>(left.count());
        }
        if (!fill(wait) && timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
    }
}

void Transport::sendBytes(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A client that stops reading its results holds only its own connection, and not forever.
            pollfd p{m_fd, POLLOUT, 0};
            const int rc = ::poll(&p, 1, m_writeTimeoutMs);
            if (rc == 0)
                throw ConnectionLost("the client did not read its results for " +
                                     std::to_string(m_writeTimeoutMs / 1000) + " s");
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        throw ConnectionLost(std::string("send: ") + std::strerror(errno));
    }
}

void Transport::send(tds::PacketType type, std::string_view payload, bool endOfMessage)
{
    const std::string packets = tds::framePackets(type, payload, m_packetSize, m_packetId, 0, endOfMessage);
    sendBytes(m_tlsOut ? m_tls->encrypt(packets) : packets);
}

void Transport::startTls(std::shared_ptr<tds::TlsContext> context, int timeoutMs)
{
    m_tls = std::make_unique<tds::TlsChannel>(std::move(context));
    while (!m_tls->established()) {
        auto message = readMessage(timeoutMs);
        if (!message)
            throw ConnectionLost("the TLS handshake did not finish in time");
        if (message->type != tds::PacketType::Prelogin)
            throw tds::ProtocolError("expected the TLS handshake, got packet type " +
                                     std::to_string(static_cast<int>(message->type)));
        const std::string reply = m_tls->handshake(message->payload);
        if (!reply.empty())
            send(tds::PacketType::Prelogin, reply);
    }
    m_tlsIn = m_tlsOut = true;
}

void Transport::stopTls()
{
    m_tlsIn = m_tlsOut = false;
}

std::string Transport::tlsVersion() const { return m_tls ? m_tls->version() : std::string(); }

} // namespace server
