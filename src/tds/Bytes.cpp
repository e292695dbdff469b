#include "tds/Bytes.h"

#include "tds/Encoding.h"

namespace tds {

void ByteReader::need(std::size_t n) const
{
    if (n > remaining())
        throw ProtocolError("message ends " + std::to_string(n - remaining()) + " bytes early");
}

std::uint8_t ByteReader::u8()
{
    need(1);
    return static_cast<std::uint8_t>(m_data[m_pos++]);
}

std::uint64_t ByteReader::uintN(std::size_t n)
{
    need(n);
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
        v |= std::uint64_t{static_cast<std::uint8_t>(m_data[m_pos + i])} << (8 * i);
    m_pos += n;
    return v;
}

std::uint16_t ByteReader::u16() { return static_cast<std::uint16_t>(uintN(2)); }
std::uint32_t ByteReader::u32() { return static_cast<std::uint32_t>(uintN(4)); }
std::uint64_t ByteReader::u64() { return uintN(8); }

std::uint16_t ByteReader::u16be()
{
    const std::uint16_t hi = u8();
    return static_cast<std::uint16_t>(hi << 8 | u8());
}

std::uint32_t ByteReader::u32be()
{
    const std::uint32_t hi = u16be();
    return hi << 16 | u16be();
}

std::string_view ByteReader::bytes(std::size_t n)
{
    need(n);
    const auto out = m_data.substr(m_pos, n);
    m_pos += n;
    return out;
}

std::string ByteReader::utf16(std::size_t chars)
{
    if (chars > remaining() / 2)
        need(chars * 2);
    return utf16ToUtf8(bytes(chars * 2));
}

std::string ByteReader::bVarchar() { return utf16(u8()); }
std::string ByteReader::usVarchar() { return utf16(u16()); }
std::string ByteReader::bVarbyte() { return std::string(bytes(u8())); }

void ByteWriter::uintN(std::uint64_t v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        m_data.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void ByteWriter::u16(std::uint16_t v) { uintN(v, 2); }
void ByteWriter::u32(std::uint32_t v) { uintN(v, 4); }
void ByteWriter::u64(std::uint64_t v) { uintN(v, 8); }

void ByteWriter::u16be(std::uint16_t v)
{
    u8(static_cast<std::uint8_t>(v >> 8));
    u8(static_cast<std::uint8_t>(v));
}

void ByteWriter::u32be(std::uint32_t v)
{
    u16be(static_cast<std::uint16_t>(v >> 16));
    u16be(static_cast<std::uint16_t>(v));
}

void ByteWriter::utf16(std::string_view utf8) { m_data += utf8ToUtf16(utf8); }

void ByteWriter::bVarchar(std::string_view utf8)
{
    std::string units = utf8ToUtf16(utf8);
    // A one-byte count holds at most 255 characters; names longer than that are cut.
    if (units.size() > 510)
        units.resize(510);
    u8(static_cast<std::uint8_t>(units.size() / 2));
    m_data += units;
}

void ByteWriter::usVarchar(std::string_view utf8)
{
    std::string units = utf8ToUtf16(utf8);
    if (units.size() > 2 * 65535)
        units.resize(2 * 65535);
    u16(static_cast<std::uint16_t>(units.size() / 2));
    m_data += units;
}

void ByteWriter::bVarbyte(std::string_view b)
{
    u8(static_cast<std::uint8_t>(b.size()));
    m_data.append(b.substr(0, 255));
}

void ByteWriter::patchU16(std::size_t at, std::uint16_t v)
{
    m_data[at] = static_cast<char>(v & 0xFF);
    m_data[at + 1] = static_cast<char>(v >> 8);
}

void ByteWriter::patchU32(std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_data[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

} // namespace tds
