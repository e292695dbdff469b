#pragma once
// Runs one request of a signed-in client on its engine session and writes the answer: result
// sets, row counts, messages, and the changes of database and transaction the client tracks.

#include "Transport.h"
#include "tds/Requests.h"
#include "tds/Tokens.h"
#include "tsql/Session.h"

#include <map>
#include <string>
#include <vector>

namespace server {

struct DeclaredParameter;

// What lives as long as the connection and outlasts a request.
struct SessionState {
    std::string loginDatabase;
    std::string database;
    int transactionCount = 0;
    std::uint64_t transactionDescriptor = 0;
    std::uint64_t nextDescriptor = 1;
    struct Prepared {
        std::string statement;
        std::string declarations;
    };
    std::map<int, Prepared> prepared;
    int nextHandle = 1;
};

// The connection's side of cancelling: whether the client sent an attention, and the end of a
// request, which acknowledges every attention received until then.
class RequestControl {
public:
    virtual ~RequestControl() = default;
    virtual bool attentionPending() = 0;
    virtual bool endRequest() = 0; // true when the answer must acknowledge an attention
};

class RequestRunner {
public:
    RequestRunner(tsql::Session &session, SessionState &state, Transport &transport, RequestControl &control,
                  std::string serverName, std::string logPrefix, bool logStatements);

    void resetConnection(bool keepTransaction);
    void runBatch(const tds::SqlBatchRequest &request);
    void runRpc(const tds::RpcRequest &request);
    void runTransaction(const tds::TransactionRequest &request);
    void acknowledgeAttention(); // an attention that arrived with no request running

private:
    struct Tally {
        bool pendingDone = false;
        std::uint16_t status = 0;
        std::uint16_t curCmd = 0;
        std::uint64_t count = 0;
        bool errorSinceDone = false;
        bool anyError = false;
    };
    struct Argument {
        std::uint16_t ordinal;
        const tds::RpcParameter *parameter;
    };

    Tally stream(tsql::BatchRun &run, std::uint8_t doneToken, bool withDone = true);
    std::unique_ptr<tsql::BatchRun> start(std::string_view text, std::vector<tsql::Parameter> parameters, Tally &tally);
    void message(const tds::ServerMessage &m, Tally &tally);
    void syncEnvironment(std::string_view text, const Tally &tally);
    void beginTransactionToken();
    void endTransactionToken(bool rolledBack);
    void runCall(const tds::RpcCall &call, bool last);
    void executeWithParameters(const tds::RpcCall &call, const std::string &statement, const std::string &declarations,
                               const std::vector<Argument> &arguments, int handleOrdinal, int handle, bool last);
    void runProcedure(const tds::RpcCall &call, bool last);
    void endProcedure(bool last, bool error);
    void finish(std::uint8_t token, const Tally &tally);
    void flushFull();
    void send();
    void logStatement(std::string_view kind, std::string_view text);

    tsql::Session &m_session;
    SessionState &m_state;
    Transport &m_transport;
    RequestControl &m_control;
    tds::TokenWriter m_tokens;
    std::string m_logPrefix;
    bool m_logStatements;
    bool m_attention = false;
};

} // namespace server
