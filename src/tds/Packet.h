#pragma once
// Packets: the eight-byte header every message is cut into, and the reassembly of a message
// from its packets.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace tds {

enum class PacketType : std::uint8_t {
    SqlBatch = 1,
    PreTds7Login = 2,
    Rpc = 3,
    TabularResult = 4,
    Attention = 6,
    BulkLoad = 7,
    FederatedAuthToken = 8,
    TransactionManager = 14,
    Login7 = 16,
    Sspi = 17,
    Prelogin = 18,
};

namespace status {
constexpr std::uint8_t EndOfMessage = 0x01;
constexpr std::uint8_t Ignore = 0x02;
constexpr std::uint8_t ResetConnection = 0x08;
constexpr std::uint8_t ResetConnectionSkipTran = 0x10;
} // namespace status

constexpr std::size_t HeaderSize = 8;
constexpr std::size_t MinPacketSize = 512;
constexpr std::size_t MaxPacketSize = 32767;
constexpr std::size_t DefaultPacketSize = 4096;

struct PacketHeader {
    PacketType type = PacketType::TabularResult;
    std::uint8_t status = 0;
    std::uint16_t length = 0; // header included
    std::uint16_t spid = 0;
    std::uint8_t packetId = 0;
    std::uint8_t window = 0;

    // Reads the first eight bytes; throws ProtocolError for a length below the header's own.
    static PacketHeader parse(std::string_view bytes);
    std::string encode() const;
};

bool isClientPacketType(std::uint8_t type);

// One whole message of the client, its packets joined.
struct Message {
    PacketType type = PacketType::SqlBatch;
    std::uint8_t firstStatus = 0; // the reset-connection bits travel on the first packet
    std::string payload;
};

// Joins packets into messages. Refuses (ProtocolError) a packet longer than the packet size in
// force, a message longer than maxMessage, an unknown type and a type that changes inside one
// message; a message sent with the ignore bit is dropped whole.
class MessageAssembler {
public:
    explicit MessageAssembler(std::size_t maxMessage) : m_maxMessage(maxMessage) {}
    void setPacketSize(std::size_t size) { m_packetSize = size; }
    std::size_t packetSize() const { return m_packetSize; }

    // Takes one whole packet; true when it completed a message, which message() then holds.
    bool addPacket(std::string_view packet);
    Message takeMessage() { return std::move(m_done); }
    bool inMessage() const { return m_open; }

private:
    std::size_t m_maxMessage;
    std::size_t m_packetSize = DefaultPacketSize;
    bool m_open = false;
    bool m_ignore = false;
    Message m_current;
    Message m_done;
};

// Cuts a message into packets of at most packetSize bytes, numbering them from packetId on.
std::string framePackets(PacketType type, std::string_view payload, std::size_t packetSize, std::uint8_t &packetId,
                         std::uint16_t spid = 0, bool endOfMessage = true);

} // namespace tds
