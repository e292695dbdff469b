#include "tds/Prelogin.h"

#include "tds/Bytes.h"

#include <vector>

namespace tds {

namespace {

enum Option : std::uint8_t {
    Version = 0,
    EncryptionOption = 1,
    Instance = 2,
    ThreadId = 3,
    Mars = 4,
    Terminator = 0xFF,
};

} // namespace

PreloginRequest parsePrelogin(std::string_view payload)
{
    PreloginRequest req;
    ByteReader table(payload);
    bool sawVersion = false;
    for (;;) {
        const std::uint8_t token = table.u8();
        if (token == Terminator)
            break;
        const std::uint16_t offset = table.u16be();
        const std::uint16_t length = table.u16be();
        if (std::size_t{offset} + length > payload.size())
            throw ProtocolError("prelogin option points outside the message");
        ByteReader v(payload.substr(offset, length));
        switch (token) {
        case Version:
            req.version = v.u32be();
            req.subBuild = v.u16be();
            sawVersion = true;
            break;
        case EncryptionOption: {
            const std::uint8_t e = v.u8();
            // Higher bits ask for certificate-based client authentication, which is not offered.
            req.encryption = static_cast<Encryption>(e & 0x03);
            break;
        }
        case Instance: {
            const auto bytes = v.bytes(length);
            req.instance = std::string(bytes.substr(0, bytes.find('\0')));
            break;
        }
        case ThreadId:
            if (length >= 4)
                req.threadId = v.u32(); // little-endian, unlike the version before it
            break;
        case Mars:
            req.mars = length >= 1 && v.u8() != 0;
            break;
        default:
            break; // trace id, federated authentication, nonce: not used here
        }
    }
    if (!sawVersion)
        throw ProtocolError("prelogin without a version");
    return req;
}

std::string buildPrelogin(const PreloginReply &reply)
{
    struct Entry {
        Option token;
        std::string data;
    };
    ByteWriter version;
    version.u32be(reply.version);
    version.u16be(reply.subBuild);
    const std::vector<Entry> entries = {
        {Version, version.take()},
        {EncryptionOption, std::string(1, static_cast<char>(reply.encryption))},
        {Instance, std::string(1, reply.instanceMatches ? '\0' : '\1')},
        {ThreadId, std::string()},
        {Mars, std::string(1, '\0')},
    };
    ByteWriter w;
    std::uint16_t offset = static_cast<std::uint16_t>(entries.size() * 5 + 1);
    for (const Entry &e : entries) {
        w.u8(e.token);
        w.u16be(offset);
        w.u16be(static_cast<std::uint16_t>(e.data.size()));
        offset = static_cast<std::uint16_t>(offset + e.data.size());
    }
    w.u8(Terminator);
    for (const Entry &e : entries)
        w.bytes(e.data);
    return w.take();
}

Negotiation negotiateEncryption(Encryption client, bool haveCertificate, bool requireEncryption)
{
    const bool clientCannot = client == Encryption::NotSupported;
    const bool clientWants = client == Encryption::On || client == Encryption::Required;
    if (!haveCertificate)
        return {Encryption::NotSupported, clientWants ? Protection::Refused : Protection::None};
    if (requireEncryption)
        return {Encryption::Required, clientCannot ? Protection::Refused : Protection::Full};
    if (clientCannot)
        return {Encryption::NotSupported, Protection::None};
    if (clientWants)
        return {Encryption::On, Protection::Full};
    return {Encryption::Off, Protection::LoginOnly};
}

} // namespace tds
