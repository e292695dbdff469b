// libFuzzer target: every input is what a client might send the server before and after login.
// It is read twice: as a stream of packets joined into messages and parsed by their type, and
// whole by the parser its first byte picks. Decoded parameters are written back out as the
// server would return them. tds::ProtocolError is a normal outcome; anything else (another
// exception, a crash, a sanitizer report, a hang) is a finding.
#include "tds/Login7.h"
#include "tds/Packet.h"
#include "tds/Prelogin.h"
#include "tds/Requests.h"
#include "tds/WireTypes.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

void writeBack(const tds::RpcRequest &request)
{
    for (const auto &call : request.calls) {
        for (const auto &p : call.parameters) {
            tds::ByteWriter w;
            const tds::WireType t = tds::wireTypeOf(p.type.sql);
            tds::writeTypeInfo(w, t);
            tds::writeValue(w, t, p.value);
        }
    }
}

void parse(tds::PacketType type, std::string_view payload)
{
    try {
        switch (type) {
        case tds::PacketType::Prelogin: tds::parsePrelogin(payload); break;
        case tds::PacketType::Login7: tds::parseLogin7(payload); break;
        case tds::PacketType::SqlBatch: tds::parseSqlBatch(payload); break;
        case tds::PacketType::Rpc: writeBack(tds::parseRpc(payload)); break;
        case tds::PacketType::TransactionManager: tds::parseTransactionRequest(payload); break;
        default: break;
        }
    } catch (const tds::ProtocolError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);

    tds::MessageAssembler assembler(1 << 20);
    try {
        std::size_t at = 0;
        while (input.size() - at >= tds::HeaderSize) {
            const tds::PacketHeader h = tds::PacketHeader::parse(input.substr(at));
            if (h.length > input.size() - at)
                break;
            if (assembler.addPacket(input.substr(at, h.length))) {
                const tds::Message m = assembler.takeMessage();
                parse(m.type, m.payload);
            }
            at += h.length;
        }
    } catch (const tds::ProtocolError &) {
    }

    if (!input.empty()) {
        static const tds::PacketType kinds[] = {tds::PacketType::Prelogin, tds::PacketType::Login7,
                                                tds::PacketType::SqlBatch, tds::PacketType::Rpc,
                                                tds::PacketType::TransactionManager};
        parse(kinds[static_cast<std::uint8_t>(input[0]) % 5], input.substr(1));
    }
    return 0;
}
