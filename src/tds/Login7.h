#pragma once
// The login message: who signs in, from which program and host, to which database.

#include <cstdint>
#include <string>
#include <string_view>

namespace tds {

constexpr std::uint32_t Tds74 = 0x74000004;
constexpr std::uint32_t Tds73A = 0x730A0003;
constexpr std::uint32_t Tds73B = 0x730B0003;
constexpr std::uint32_t Tds72 = 0x72090002;
constexpr std::uint32_t Tds71 = 0x71000001;

struct LoginRequest {
    std::uint32_t tdsVersion = 0;
    std::uint32_t packetSize = 0;
    std::uint32_t clientProgramVersion = 0;
    std::uint32_t clientPid = 0;
    std::uint32_t connectionId = 0;
    std::uint8_t optionFlags1 = 0;
    std::uint8_t optionFlags2 = 0;
    std::uint8_t typeFlags = 0;
    std::uint8_t optionFlags3 = 0;
    std::int32_t clientTimeZone = 0;
    std::uint32_t clientLcid = 0;
    std::string hostName;
    std::string userName;
    std::string password; // unscrambled, UTF-8; never logged
    std::string appName;
    std::string serverName;
    std::string libraryName;
    std::string language;
    std::string database;
    std::string clientId; // six bytes, the client's network address
    bool integratedSecurity = false; // Windows sign-in, which this server does not offer
    bool readOnlyIntent = false;
    bool featureExtension = false; // the client listed optional features and expects an answer
};

// Throws ProtocolError for a field that points outside the message.
LoginRequest parseLogin7(std::string_view payload);

// Undoes the login's password obfuscation (each byte's halves swapped, then XOR 0xA5).
std::string unscramblePassword(std::string_view bytes);
std::string scramblePassword(std::string_view utf16le);

} // namespace tds
