#pragma once
// A client that speaks the protocol byte by byte, for what no well-behaved driver does: garbage,
// half messages, attentions at chosen moments, results left unread.

#include "tds/Packet.h"

#include <optional>
#include <string>

class RawClient {
public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool connect(std::uint16_t port);
    void close();
    bool sendRaw(const std::string &bytes);
    bool send(tds::PacketType type, const std::string &payload, std::size_t packetSize = 4096);
    // One whole server message (its packets joined); nullopt on timeout or a closed connection.
    std::optional<std::string> readMessage(int timeoutMs = 5000);
    // True when the server closed the connection within the time.
    bool closedByServer(int timeoutMs = 5000);

    // Prelogin without encryption, then the login; true when the answer holds a LOGINACK.
    bool login(const std::string &user, const std::string &password, const std::string &database = "Patient_Data");
    // A batch and its whole answer.
    std::optional<std::string> batch(const std::string &text, int timeoutMs = 5000);

    static std::string loginMessage(const std::string &user, const std::string &password, const std::string &database);
    static std::string batchMessage(const std::string &text);

private:
    int m_fd = -1;
    std::string m_buffer;
};
