#include "tds/Requests.h"

#include "tds/Encoding.h"

namespace tds {

namespace {

constexpr std::uint16_t TransactionDescriptorHeader = 2;
constexpr std::uint8_t BatchFlag = 0x80;
constexpr std::uint8_t NoExecFlag = 0xFF;
constexpr std::uint8_t BatchFlag74 = 0xFE;
constexpr std::uint8_t ByRefValue = 0x01;
constexpr std::uint8_t DefaultValue = 0x02;

bool isCallSeparator(std::uint8_t b) { return b == BatchFlag || b == NoExecFlag || b == BatchFlag74; }

} // namespace

RequestHeaders readAllHeaders(ByteReader &r)
{
    RequestHeaders h;
    const std::size_t start = r.position();
    const std::uint32_t total = r.u32();
    if (total < 4 || total - 4 > r.remaining())
        throw ProtocolError("request headers of impossible length");
    while (r.position() - start < total) {
        const std::uint32_t length = r.u32();
        if (length < 6 || length - 4 > r.remaining() || r.position() - 4 - start + length > total)
            throw ProtocolError("request header of impossible length");
        const std::uint16_t type = r.u16();
        ByteReader data(r.bytes(length - 6));
        if (type == TransactionDescriptorHeader) {
            h.transactionDescriptor = data.u64();
            h.outstandingRequests = data.u32();
        }
    }
    return h;
}

SqlBatchRequest parseSqlBatch(std::string_view payload)
{
    ByteReader r(payload);
    SqlBatchRequest b;
    b.headers = readAllHeaders(r);
    b.text = utf16ToUtf8(r.bytes(r.remaining()));
    return b;
}

RpcRequest parseRpc(std::string_view payload)
{
    ByteReader r(payload);
    RpcRequest req;
    req.headers = readAllHeaders(r);
    while (!r.atEnd()) {
        RpcCall call;
        const std::uint16_t nameLength = r.u16();
        if (nameLength == 0xFFFF)
            call.procId = r.u16();
        else
            call.procName = r.utf16(nameLength);
        call.options = r.u16();
        while (!r.atEnd()) {
            const auto next = static_cast<std::uint8_t>(r.data()[r.position()]);
            if (isCallSeparator(next)) {
                r.u8();
                break;
            }
            RpcParameter p;
            p.name = r.bVarchar();
            const std::uint8_t flags = r.u8();
            p.output = flags & ByRefValue;
            p.useDefault = flags & DefaultValue;
            p.type = readTypeInfo(r);
            p.value = readValue(r, p.type);
            call.parameters.push_back(std::move(p));
        }
        req.calls.push_back(std::move(call));
    }
    if (req.calls.empty())
        throw ProtocolError("remote procedure call request without a call");
    return req;
}

TransactionRequest parseTransactionRequest(std::string_view payload)
{
    ByteReader r(payload);
    TransactionRequest t;
    t.headers = readAllHeaders(r);
    t.type = static_cast<TransactionRequestType>(r.u16());
    switch (t.type) {
    case TransactionRequestType::Begin:
        t.isolationLevel = r.u8();
        t.name = r.bVarchar();
        break;
    case TransactionRequestType::Commit:
    case TransactionRequestType::Rollback:
        t.name = r.bVarchar();
        if (!r.atEnd()) {
            t.beginAnother = r.u8() & 0x01;
            if (t.beginAnother && !r.atEnd()) {
                t.isolationLevel = r.u8();
                r.bVarchar();
            }
        }
        break;
    case TransactionRequestType::Save:
        t.name = r.bVarchar();
        break;
    default:
        break; // distributed transactions: refused by the caller
    }
    return t;
}

} // namespace tds
