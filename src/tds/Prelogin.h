#pragma once
// The first exchange of a connection: versions, and whether and how much of it is encrypted.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tds {

enum class Encryption : std::uint8_t { Off = 0, On = 1, NotSupported = 2, Required = 3 };

struct PreloginRequest {
    std::uint32_t version = 0;
    std::uint16_t subBuild = 0;
    Encryption encryption = Encryption::Off; // a client that names none is treated as "off"
    std::string instance;
    std::optional<std::uint32_t> threadId;
    bool mars = false;
};

// Throws ProtocolError for an option table that points outside the message or lacks VERSION.
PreloginRequest parsePrelogin(std::string_view payload);

struct PreloginReply {
    std::uint32_t version = 0; // major.minor in the first two bytes, build in the next two
    std::uint16_t subBuild = 0;
    Encryption encryption = Encryption::NotSupported;
    bool instanceMatches = true;
};

std::string buildPrelogin(const PreloginReply &reply);

// What the connection does after the reply.
enum class Protection {
    None,      // nothing is encrypted
    LoginOnly, // the login message only, then plain text
    Full,      // everything from the login on
    Refused,   // the two sides cannot agree: the connection ends after the reply
};

struct Negotiation {
    Encryption reply;
    Protection protection;
};

Negotiation negotiateEncryption(Encryption client, bool haveCertificate, bool requireEncryption);

} // namespace tds
