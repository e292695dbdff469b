#pragma once
// One client's socket: whole messages in, packets out, through TLS when the connection
// negotiated it. Reading happens on one thread and writing on another; each direction keeps its
// own state, and the TLS channel guards itself.

#include "tds/Packet.h"
#include "tds/Tls.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace server {

// The client closed the connection or the network dropped it.
class ConnectionLost : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Transport {
public:
    Transport(int fd, std::size_t maxMessage);
    ~Transport();
    Transport(const Transport &) = delete;
    Transport &operator=(const Transport &) = delete;

    // The next whole message; nullopt when nothing complete arrived within timeoutMs (-1: wait).
    // Throws ConnectionLost, tds::ProtocolError or tds::TlsError.
    std::optional<tds::Message> readMessage(int timeoutMs);

    // Sends payload as packets of the packet size in force; endOfMessage marks the last one.
    void send(tds::PacketType type, std::string_view payload, bool endOfMessage = true);

    // The TLS handshake inside prelogin packets, then records straight on the socket.
    void startTls(std::shared_ptr<tds::TlsContext> context, int timeoutMs);
    // After a login-only encryption: everything that follows is plain again.
    void stopTls();
    std::string tlsVersion() const;

    void setPacketSize(std::size_t size);
    std::size_t packetSize() const { return m_packetSize; }
    void setWriteTimeout(int ms) { m_writeTimeoutMs = ms; }
    // Wakes a reader blocked on the socket and makes further reads fail.
    void shutdown();

private:
    bool fill(int timeoutMs); // more bytes from the socket into m_plain; false on timeout
    void sendBytes(std::string_view bytes);

    int m_fd;
    std::size_t m_packetSize = tds::DefaultPacketSize;
    int m_writeTimeoutMs = 60000;
    tds::MessageAssembler m_assembler;
    std::string m_plain; // received bytes not yet made into packets
    std::unique_ptr<tds::TlsChannel> m_tls;
    bool m_tlsIn = false;
    bool m_tlsOut = false;
    std::uint8_t m_packetId = 1;
};

} // namespace server
