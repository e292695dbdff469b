#pragma once
// Bounds-checked reading and writing of the little-endian fields the wire protocol is made of.
// Every read past the end throws ProtocolError, so a truncated or lying message can never make
// the server read memory it does not own.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tds {

class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ByteReader {
public:
    explicit ByteReader(std::string_view data) : m_data(data) {}

    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos == m_data.size(); }
    std::string_view data() const { return m_data; }

    std::uint8_t u8();
    std::uint16_t u16();
    std::uint16_t u16be();
    std::uint32_t u32();
    std::uint32_t u32be();
    std::uint64_t u64();
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }
    std::uint64_t uintN(std::size_t bytes); // little-endian, 1..8 bytes
    std::string_view bytes(std::size_t n);
    void skip(std::size_t n) { bytes(n); }
    // UTF-16LE text of `chars` code units, returned as UTF-8.
    std::string utf16(std::size_t chars);
    std::string bVarchar();  // one-byte length in characters
    std::string usVarchar(); // two-byte length in characters
    std::string bVarbyte();  // one-byte length in bytes

private:
    void need(std::size_t n) const;
    std::string_view m_data;
    std::size_t m_pos = 0;
};

class ByteWriter {
public:
    void u8(std::uint8_t v) { m_data.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v);
    void u16be(std::uint16_t v);
    void u32(std::uint32_t v);
    void u32be(std::uint32_t v);
    void u64(std::uint64_t v);
    void uintN(std::uint64_t v, std::size_t bytes);
    void bytes(std::string_view b) { m_data.append(b); }
    void utf16(std::string_view utf8); // UTF-8 in, UTF-16LE out, no length
    void bVarchar(std::string_view utf8);
    void usVarchar(std::string_view utf8);
    void bVarbyte(std::string_view b);

    void patchU16(std::size_t at, std::uint16_t v);
    void patchU32(std::size_t at, std::uint32_t v);

    std::size_t size() const { return m_data.size(); }
    const std::string &data() const { return m_data; }
    std::string take() { return std::move(m_data); }
    void clear() { m_data.clear(); }

private:
    std::string m_data;
};

} // namespace tds
