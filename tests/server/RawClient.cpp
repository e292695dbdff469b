#include "RawClient.h"

#include "tds/Bytes.h"
#include "tds/Encoding.h"
#include "tds/Login7.h"
#include "tds/Prelogin.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RawClient::~RawClient() { close(); }

bool RawClient::connect(std::uint16_t port)
{
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
}

void RawClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool RawClient::sendRaw(const std::string &bytes)
{
    return ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool RawClient::send(tds::PacketType type, const std::string &payload, std::size_t packetSize)
{
    std::uint8_t id = 1;
    return sendRaw(tds::framePackets(type, payload, packetSize, id));
}

std::optional<std::string> RawClient::readMessage(int timeoutMs)
{
    std::string payload;
    for (;;) {
        while (m_buffer.size() >= tds::HeaderSize) {
            const auto h = tds::PacketHeader::parse(m_buffer);
            if (m_buffer.size() < h.length)
                break;
            payload += m_buffer.substr(tds::HeaderSize, h.length - tds::HeaderSize);
            m_buffer.erase(0, h.length);
            if (h.status & tds::status::EndOfMessage)
                return payload;
        }
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return std::nullopt;
        char buf[65536];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0)
            return std::nullopt;
        m_buffer.append(buf, static_cast<std::size_t>(n));
    }
}

bool RawClient::closedByServer(int timeoutMs)
{
    for (;;) {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return false;
        char buf[65536];
        const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
        if (n <= 0)
            return true;
    }
}

std::string RawClient::loginMessage(const std::string &user, const std::string &password, const std::string &database)
{
    // The fixed part (94 bytes), then the texts it points at, in UTF-16LE.
    const std::string texts[] = {tds::utf8ToUtf16("raw-host"), tds::utf8ToUtf16(user),
                                 tds::scramblePassword(tds::utf8ToUtf16(password)), tds::utf8ToUtf16("raw-client"),
                                 std::string(), std::string(), tds::utf8ToUtf16("raw"), std::string(),
                                 tds::utf8ToUtf16(database)};
    tds::ByteWriter w;
    std::size_t total = 94;
    for (const auto &t : texts)
        total += t.size();
    w.u32(static_cast<std::uint32_t>(total));
    w.u32(tds::Tds74);
    w.u32(4096);
    w.u32(0x07000000);
    w.u32(1234);
    w.u32(0);
    w.u8(0xE0);
    w.u8(0x03);
    w.u8(0);
    w.u8(0);
    w.u32(0);
    w.u32(0x0409);
    std::uint16_t offset = 94;
    for (std::size_t i = 0; i < 9; ++i) {
        w.u16(i == 5 ? 0 : offset); // the sixth pair is the unused extension
        w.u16(static_cast<std::uint16_t>(i == 5 ? 0 : texts[i].size() / 2));
        offset = static_cast<std::uint16_t>(offset + texts[i].size());
    }
    w.bytes(std::string(6, '\0'));               // client id
    for (int i = 0; i < 3; ++i) {                // SSPI, attach file, change password
        w.u16(offset);
        w.u16(0);
    }
    w.u32(0);
    for (const auto &t : texts)
        w.bytes(t);
    return w.take();
}

std::string RawClient::batchMessage(const std::string &text)
{
    tds::ByteWriter w;
    w.u32(22);
    w.u32(18);
    w.u16(2);
    w.u64(0);
    w.u32(1);
    w.utf16(text);
    return w.take();
}

bool RawClient::login(const std::string &user, const std::string &password, const std::string &database)
{
    tds::PreloginReply prelogin;
    prelogin.version = 0x0B000000;
    prelogin.encryption = tds::Encryption::NotSupported;
    if (!send(tds::PacketType::Prelogin, tds::buildPrelogin(prelogin)) || !readMessage())
        return false;
    if (!send(tds::PacketType::Login7, loginMessage(user, password, database)))
        return false;
    // The answer waits for the password check and any slowing of failed logins from this address.
    const auto answer = readMessage(20000);
    // LOGINACK's interface and version bytes: 1 (Transact-SQL), then 7.4.
    return answer && answer->find(std::string("\x01\x74\x00\x00\x04", 5)) != std::string::npos;
}

std::optional<std::string> RawClient::batch(const std::string &text, int timeoutMs)
{
    if (!send(tds::PacketType::SqlBatch, batchMessage(text)))
        return std::nullopt;
    return readMessage(timeoutMs);
}
