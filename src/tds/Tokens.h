#pragma once
// The server's side of the conversation: the tokens of a response, written into a buffer that
// the connection sends in packets as it fills.

#include "tds/Bytes.h"
#include "tds/WireTypes.h"
#include "tsql/Session.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tds {

namespace token {
constexpr std::uint8_t ReturnStatus = 0x79;
constexpr std::uint8_t ColMetadata = 0x81;
constexpr std::uint8_t Error = 0xAA;
constexpr std::uint8_t Info = 0xAB;
constexpr std::uint8_t ReturnValue = 0xAC;
constexpr std::uint8_t LoginAck = 0xAD;
constexpr std::uint8_t FeatureExtAck = 0xAE;
constexpr std::uint8_t Row = 0xD1;
constexpr std::uint8_t NbcRow = 0xD2;
constexpr std::uint8_t EnvChange = 0xE3;
constexpr std::uint8_t Done = 0xFD;
constexpr std::uint8_t DoneProc = 0xFE;
constexpr std::uint8_t DoneInProc = 0xFF;
} // namespace token

namespace done {
constexpr std::uint16_t Final = 0x00;
constexpr std::uint16_t More = 0x01;
constexpr std::uint16_t Error = 0x02;
constexpr std::uint16_t InTransaction = 0x04;
constexpr std::uint16_t Count = 0x10;
constexpr std::uint16_t Attention = 0x20;
constexpr std::uint16_t ServerError = 0x100;
} // namespace done

enum class EnvChange : std::uint8_t {
    Database = 1,
    Language = 2,
    PacketSize = 4,
    Collation = 7,
    BeginTransaction = 8,
    CommitTransaction = 9,
    RollbackTransaction = 10,
    ResetConnection = 18,
};

// The current command a DONE reports; clients only show it, SELECT's is the one they look at.
constexpr std::uint16_t CurCmdSelect = 0xC1;

struct ServerMessage {
    int number = 0;
    int state = 1;
    int severity = 0; // above 10 goes out as an ERROR token, else as INFO
    std::string text;
    std::string procedure;
    int line = 0;
};

class TokenWriter {
public:
    explicit TokenWriter(std::string serverName = {}) : m_serverName(std::move(serverName)) {}

    void loginAck(std::uint32_t tdsVersion, std::string_view programName, std::array<std::uint8_t, 4> version);
    // Acknowledges none of the optional features a client asked for in its login.
    void featureExtAck();
    void envChange(EnvChange type, std::string_view newValue, std::string_view oldValue);
    void envChangeBytes(EnvChange type, std::string_view newValue, std::string_view oldValue);
    void message(const ServerMessage &m);
    void done(std::uint8_t token, std::uint16_t status, std::uint16_t curCmd, std::uint64_t rowCount);
    void returnStatus(std::int32_t value);
    void columnMetadata(const std::vector<tsql::ColumnInfo> &columns);
    // One row of the result whose metadata went out last; NBCROW when it saves bytes.
    void row(tsql::Result &result);
    void returnValue(std::uint16_t ordinal, std::string_view name, const tsql::SqlType &type, const tsql::Value &v);

    std::size_t size() const { return m_out.size(); }
    std::string take() { return m_out.take(); }
    // Removes and returns the first n bytes, so a large result leaves in packets as it grows.
    std::string takeFront(std::size_t n);

private:
    ByteWriter m_out;
    std::string m_serverName;
    std::vector<WireType> m_columns;
};

} // namespace tds
