#pragma once
// The client's requests after login: a batch of statements, remote procedure calls with typed
// parameters, and the transaction manager's begin, commit and rollback.

#include "tds/WireTypes.h"
#include "tsql/Value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

struct RequestHeaders {
    std::uint64_t transactionDescriptor = 0;
    std::uint32_t outstandingRequests = 1;
};

RequestHeaders readAllHeaders(ByteReader &r);

struct SqlBatchRequest {
    RequestHeaders headers;
    std::string text; // UTF-8
};

SqlBatchRequest parseSqlBatch(std::string_view payload);

// Procedures SQL Server lets a client call by number instead of by name.
namespace procid {
constexpr std::uint16_t Cursor = 1, CursorOpen = 2, CursorPrepare = 3, CursorExecute = 4, CursorPrepExec = 5;
constexpr std::uint16_t CursorUnprepare = 6, CursorFetch = 7, CursorOption = 8, CursorClose = 9;
constexpr std::uint16_t ExecuteSql = 10, Prepare = 11, Execute = 12, PrepExec = 13, PrepExecRpc = 14, Unprepare = 15;
} // namespace procid

struct RpcParameter {
    std::string name; // with its @, or empty for a parameter passed by position
    bool output = false;
    bool useDefault = false;
    WireType type;
    tsql::Value value;
};

struct RpcCall {
    std::string procName;      // empty when called by number
    std::uint16_t procId = 0;  // 0 when called by name
    std::uint16_t options = 0;
    std::vector<RpcParameter> parameters;
};

struct RpcRequest {
    RequestHeaders headers;
    std::vector<RpcCall> calls; // several calls may share one request
};

RpcRequest parseRpc(std::string_view payload);

enum class TransactionRequestType : std::uint16_t {
    GetDtcAddress = 0,
    Propagate = 1,
    Begin = 5,
    Promote = 6,
    Commit = 7,
    Rollback = 8,
    Save = 9,
};

struct TransactionRequest {
    RequestHeaders headers;
    TransactionRequestType type = TransactionRequestType::Begin;
    std::uint8_t isolationLevel = 0;
    std::string name;
    bool beginAnother = false; // commit or rollback, then begin a new transaction at once
};

TransactionRequest parseTransactionRequest(std::string_view payload);

} // namespace tds
