#include "tds/Login7.h"

#include "tds/Bytes.h"
#include "tds/Encoding.h"

namespace tds {

namespace {

constexpr std::size_t FixedLength = 94;
constexpr std::uint8_t IntegratedSecurityFlag = 0x80; // OptionFlags2
constexpr std::uint8_t ReadOnlyIntentFlag = 0x20;     // TypeFlags
constexpr std::uint8_t ExtensionFlag = 0x10;          // OptionFlags3

// A variable field: offset and length in characters, both relative to the login's start.
std::string_view field(std::string_view payload, std::size_t offset, std::size_t chars)
{
    if (offset > payload.size() || chars * 2 > payload.size() - offset)
        throw ProtocolError("login field points outside the message");
    return payload.substr(offset, chars * 2);
}

} // namespace

LoginRequest parseLogin7(std::string_view payload)
{
    ByteReader r(payload);
    const std::uint32_t length = r.u32();
    if (length > payload.size() || length < FixedLength)
        throw ProtocolError("login length " + std::to_string(length) + " does not fit the message");
    payload = payload.substr(0, length);
    LoginRequest l;
    l.tdsVersion = r.u32();
    l.packetSize = r.u32();
    l.clientProgramVersion = r.u32();
    l.clientPid = r.u32();
    l.connectionId = r.u32();
    l.optionFlags1 = r.u8();
    l.optionFlags2 = r.u8();
    l.typeFlags = r.u8();
    l.optionFlags3 = r.u8();
    l.clientTimeZone = r.i32();
    l.clientLcid = r.u32();
    auto text = [&](std::string *out) {
        const std::uint16_t offset = r.u16();
        const std::uint16_t chars = r.u16();
        const auto bytes = field(payload, offset, chars);
        if (out)
            *out = utf16ToUtf8(bytes);
    };
    text(&l.hostName);
    text(&l.userName);
    {
        const std::uint16_t offset = r.u16();
        const std::uint16_t chars = r.u16();
        l.password = utf16ToUtf8(unscramblePassword(field(payload, offset, chars)));
    }
    text(&l.appName);
    text(&l.serverName);
    r.skip(4); // the feature extension block: nothing here asks for one
    text(&l.libraryName);
    text(&l.language);
    text(&l.database);
    l.clientId = std::string(r.bytes(6));
    l.integratedSecurity = (l.optionFlags2 & IntegratedSecurityFlag) != 0;
    l.readOnlyIntent = (l.typeFlags & ReadOnlyIntentFlag) != 0;
    l.featureExtension = (l.optionFlags3 & ExtensionFlag) != 0;
    return l;
}

std::string unscramblePassword(std::string_view bytes)
{
    std::string out(bytes);
    for (char &c : out) {
        const auto b = static_cast<std::uint8_t>(static_cast<std::uint8_t>(c) ^ 0xA5);
        c = static_cast<char>(static_cast<std::uint8_t>(b << 4 | b >> 4));
    }
    return out;
}

std::string scramblePassword(std::string_view utf16le)
{
    std::string out(utf16le);
    for (char &c : out) {
        const auto b = static_cast<std::uint8_t>(c);
        c = static_cast<char>(static_cast<std::uint8_t>(b << 4 | b >> 4) ^ 0xA5);
    }
    return out;
}

} // namespace tds
