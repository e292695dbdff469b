#include "tds/Tokens.h"

namespace tds {

void TokenWriter::loginAck(std::uint32_t tdsVersion, std::string_view programName, std::array<std::uint8_t, 4> version)
{
    ByteWriter body;
    body.u8(1); // the interface is Transact-SQL
    body.u32be(tdsVersion);
    body.bVarchar(programName);
    for (const std::uint8_t b : version)
        body.u8(b);
    m_out.u8(token::LoginAck);
    m_out.u16(static_cast<std::uint16_t>(body.size()));
    m_out.bytes(body.data());
}

void TokenWriter::featureExtAck()
{
    m_out.u8(token::FeatureExtAck);
    m_out.u8(0xFF); // the end of the (empty) list
}

void TokenWriter::envChange(EnvChange type, std::string_view newValue, std::string_view oldValue)
{
    ByteWriter body;
    body.u8(static_cast<std::uint8_t>(type));
    body.bVarchar(newValue);
    body.bVarchar(oldValue);
    m_out.u8(token::EnvChange);
    m_out.u16(static_cast<std::uint16_t>(body.size()));
    m_out.bytes(body.data());
}

void TokenWriter::envChangeBytes(EnvChange type, std::string_view newValue, std::string_view oldValue)
{
    ByteWriter body;
    body.u8(static_cast<std::uint8_t>(type));
    body.bVarbyte(newValue);
    body.bVarbyte(oldValue);
    m_out.u8(token::EnvChange);
    m_out.u16(static_cast<std::uint16_t>(body.size()));
    m_out.bytes(body.data());
}

void TokenWriter::message(const ServerMessage &m)
{
    ByteWriter body;
    body.u32(static_cast<std::uint32_t>(m.number));
    body.u8(static_cast<std::uint8_t>(m.state));
    body.u8(static_cast<std::uint8_t>(m.severity));
    // The length field of the token is two bytes; a message text is cut well before that.
    body.usVarchar(m.text.size() > 8000 ? std::string_view(m.text).substr(0, 8000) : std::string_view(m.text));
    body.bVarchar(m_serverName);
    body.bVarchar(m.procedure);
    body.u32(static_cast<std::uint32_t>(m.line));
    m_out.u8(m.severity > 10 ? token::Error : token::Info);
    m_out.u16(static_cast<std::uint16_t>(body.size()));
    m_out.bytes(body.data());
}

void TokenWriter::done(std::uint8_t tokenType, std::uint16_t status, std::uint16_t curCmd, std::uint64_t rowCount)
{
    m_out.u8(tokenType);
    m_out.u16(status);
    m_out.u16(curCmd);
    m_out.u64(rowCount);
}

void TokenWriter::returnStatus(std::int32_t value)
{
    m_out.u8(token::ReturnStatus);
    m_out.u32(static_cast<std::uint32_t>(value));
}

void TokenWriter::columnMetadata(const std::vector<tsql::ColumnInfo> &columns)
{
    constexpr std::uint16_t Nullable = 0x0001;
    constexpr std::uint16_t UpdateableUnknown = 0x0008;
    constexpr std::uint16_t Identity = 0x0010;
    m_columns.clear();
    m_out.u8(token::ColMetadata);
    m_out.u16(static_cast<std::uint16_t>(columns.size()));
    for (const tsql::ColumnInfo &c : columns) {
        const WireType t = wireTypeOf(c.type);
        m_columns.push_back(t);
        m_out.u32(0); // user type
        std::uint16_t flags = UpdateableUnknown;
        if (c.nullable)
            flags |= Nullable;
        if (c.identity)
            flags |= Identity;
        m_out.u16(flags);
        writeTypeInfo(m_out, t);
        if (t.isLob()) {
            m_out.u8(1);
            m_out.usVarchar(c.table);
        }
        m_out.bVarchar(c.name);
    }
}

void TokenWriter::row(tsql::Result &result)
{
    std::size_t nulls = 0;
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        nulls += result.value(i).isNull();
    if (nulls == 0) {
        m_out.u8(token::Row);
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            writeValue(m_out, m_columns[i], result.value(i));
        return;
    }
    m_out.u8(token::NbcRow);
    std::string bitmap((m_columns.size() + 7) / 8, '\0');
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (result.value(i).isNull())
            bitmap[i / 8] = static_cast<char>(bitmap[i / 8] | (1 << (i % 8)));
    m_out.bytes(bitmap);
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (!result.value(i).isNull())
            writeValue(m_out, m_columns[i], result.value(i));
}

void TokenWriter::returnValue(std::uint16_t ordinal, std::string_view name, const tsql::SqlType &type,
                              const tsql::Value &v)
{
    constexpr std::uint8_t OutputParameter = 0x01;
    const WireType t = wireTypeOf(type);
    m_out.u8(token::ReturnValue);
    m_out.u16(ordinal);
    m_out.bVarchar(name);
    m_out.u8(OutputParameter);
    m_out.u32(0);      // user type
    m_out.u16(0x0001); // nullable
    writeTypeInfo(m_out, t);
    writeValue(m_out, t, v);
}

std::string TokenWriter::takeFront(std::size_t n)
{
    std::string all = m_out.take();
    std::string front = all.substr(0, n);
    m_out.bytes(std::string_view(all).substr(std::min(n, all.size())));
    return front;
}

} // namespace tds
