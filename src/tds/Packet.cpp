#include "tds/Packet.h"

#include "tds/Bytes.h"

namespace tds {

PacketHeader PacketHeader::parse(std::string_view bytes)
{
    ByteReader r(bytes.substr(0, HeaderSize));
    PacketHeader h;
    h.type = static_cast<PacketType>(r.u8());
    h.status = r.u8();
    h.length = r.u16be();
    h.spid = r.u16be();
    h.packetId = r.u8();
    h.window = r.u8();
    if (h.length < HeaderSize)
        throw ProtocolError("packet length " + std::to_string(h.length) + " is shorter than its header");
    return h;
}

std::string PacketHeader::encode() const
{
    ByteWriter w;
    w.u8(static_cast<std::uint8_t>(type));
    w.u8(status);
    w.u16be(length);
    w.u16be(spid);
    w.u8(packetId);
    w.u8(window);
    return w.take();
}

bool isClientPacketType(std::uint8_t type)
{
    switch (static_cast<PacketType>(type)) {
    case PacketType::SqlBatch:
    case PacketType::PreTds7Login:
    case PacketType::Rpc:
    case PacketType::Attention:
    case PacketType::BulkLoad:
    case PacketType::FederatedAuthToken:
    case PacketType::TransactionManager:
    case PacketType::Login7:
    case PacketType::Sspi:
    case PacketType::Prelogin:
        return true;
    default:
        return false;
    }
}

bool MessageAssembler::addPacket(std::string_view packet)
{
    const PacketHeader h = PacketHeader::parse(packet);
    if (h.length != packet.size())
        throw ProtocolError("packet length field does not match the packet");
    if (h.length > m_packetSize)
        throw ProtocolError("packet of " + std::to_string(h.length) + " bytes exceeds the packet size of " +
                            std::to_string(m_packetSize));
    if (!isClientPacketType(static_cast<std::uint8_t>(h.type)))
        throw ProtocolError("unknown packet type " + std::to_string(static_cast<int>(h.type)));
    if (!m_open) {
        m_open = true;
        m_ignore = false;
        m_current = Message{h.type, h.status, {}};
    } else if (h.type != m_current.type) {
        throw ProtocolError("packet type changes inside a message");
    }
    if (h.status & status::Ignore)
        m_ignore = true;
    if (m_current.payload.size() + packet.size() - HeaderSize > m_maxMessage)
        throw ProtocolError("message exceeds " + std::to_string(m_maxMessage) + " bytes");
    m_current.payload.append(packet.substr(HeaderSize));
    if (!(h.status & status::EndOfMessage))
        return false;
    m_open = false;
    if (m_ignore) {
        m_current = {};
        return false;
    }
    m_done = std::move(m_current);
    m_current = {};
    return true;
}

std::string framePackets(PacketType type, std::string_view payload, std::size_t packetSize, std::uint8_t &packetId,
                         std::uint16_t spid, bool endOfMessage)
{
    const std::size_t room = packetSize - HeaderSize;
    std::string out;
    out.reserve(payload.size() + (payload.size() / room + 1) * HeaderSize);
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(room, payload.size() - at);
        PacketHeader h;
        h.type = type;
        h.length = static_cast<std::uint16_t>(n + HeaderSize);
        h.status = (at + n == payload.size() && endOfMessage) ? status::EndOfMessage : 0;
        h.spid = spid;
        h.packetId = packetId++;
        out += h.encode();
        out.append(payload.substr(at, n));
        at += n;
    } while (at < payload.size());
    return out;
}

} // namespace tds
