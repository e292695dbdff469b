#include "RequestRunner.h"

#include "Log.h"
#include "ServerMessages.h"

#include <cctype>

namespace server {

namespace {

std::string upperCopy(std::string_view text)
{
    std::string upper;
    upper.reserve(text.size());
    for (const char c : text)
        upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    return upper;
}

std::string descriptorBytes(std::uint64_t d)
{
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<char>((d >> (8 * i)) & 0xFF);
    return out;
}

// A name the client chose, made safe inside a statement the server writes.
std::string bracketed(std::string_view name)
{
    std::string out = "[";
    for (const char c : name) {
        out.push_back(c);
        if (c == ']')
            out.push_back(']');
    }
    return out + "]";
}

tds::ServerMessage internalFailure(const std::exception &e)
{
    tds::ServerMessage m;
    m.number = 50000;
    m.severity = 16;
    m.text = std::string("The embedded database engine failed: ") + e.what();
    return m;
}

} // namespace

RequestRunner::RequestRunner(tsql::Session &session, SessionState &state, Transport &transport,
                             RequestControl &control, std::string serverName, std::string logPrefix,
                             bool logStatements)
    : m_session(session), m_state(state), m_transport(transport), m_control(control),
      m_tokens(std::move(serverName)), m_logPrefix(std::move(logPrefix)), m_logStatements(logStatements)
{
}

void RequestRunner::logStatement(std::string_view kind, std::string_view text)
{
    if (m_logStatements)
        logLine(Priority::Info, m_logPrefix + kind.data() + ": " + loggableStatement(text));
}

void RequestRunner::flushFull()
{
    const std::size_t room = m_transport.packetSize() - tds::HeaderSize;
    if (m_tokens.size() < room)
        return;
    const std::string front = m_tokens.takeFront(m_tokens.size() / room * room);
    m_transport.send(tds::PacketType::TabularResult, front, false);
}

void RequestRunner::send()
{
    m_transport.send(tds::PacketType::TabularResult, m_tokens.take(), true);
}

void RequestRunner::message(const tds::ServerMessage &m, Tally &tally)
{
    m_tokens.message(m);
    if (m.severity > 10) {
        tally.errorSinceDone = true;
        tally.anyError = true;
    }
}

std::unique_ptr<tsql::BatchRun> RequestRunner::start(std::string_view text, std::vector<tsql::Parameter> parameters,
                                                     Tally &tally)
{
    try {
        return m_session.run(text, std::move(parameters));
    } catch (const tsql::Error &e) {
        message(messages::fromError(e), tally);
    } catch (const std::exception &e) {
        message(internalFailure(e), tally);
    }
    return nullptr;
}

RequestRunner::Tally RequestRunner::stream(tsql::BatchRun &run, std::uint8_t doneToken, bool withDone)
{
    Tally t;
    bool rowsSinceDone = false;
    try {
        while (run.next()) {
            if (t.pendingDone) {
                if (withDone)
                    m_tokens.done(doneToken, t.status | tds::done::More, t.curCmd, t.count);
                t.pendingDone = false;
            }
            switch (run.item()) {
            case tsql::BatchRun::Item::Rows: {
                tsql::Result &result = run.rows();
                if (!result.hasRows())
                    break;
                m_tokens.columnMetadata(result.columns());
                rowsSinceDone = true;
                while (result.next()) {
                    m_tokens.row(result);
                    flushFull();
                    if (m_control.attentionPending())
                        break;
                }
                break;
            }
            case tsql::BatchRun::Item::Done: {
                const std::int64_t count = run.count();
                t.pendingDone = withDone;
                t.count = count >= 0 ? static_cast<std::uint64_t>(count) : 0;
                t.status = count >= 0 ? tds::done::Count : 0;
                if (t.errorSinceDone)
                    t.status |= tds::done::Error;
                t.curCmd = rowsSinceDone ? tds::CurCmdSelect : 0;
                t.errorSinceDone = false;
                rowsSinceDone = false;
                break;
            }
            case tsql::BatchRun::Item::Message:
                message(messages::fromMessage(run.message()), t);
                break;
            }
            flushFull();
        }
    } catch (const tsql::Error &e) {
        message(messages::fromError(e), t);
    } catch (const std::exception &e) {
        if (dynamic_cast<const ConnectionLost *>(&e))
            throw;
        message(internalFailure(e), t);
    }
    if (run.anyError())
        t.anyError = true;
    return t;
}

void RequestRunner::beginTransactionToken()
{
    m_state.transactionDescriptor = m_state.nextDescriptor++;
    m_tokens.envChangeBytes(tds::EnvChange::BeginTransaction, descriptorBytes(m_state.transactionDescriptor), {});
}

void RequestRunner::endTransactionToken(bool rolledBack)
{
    m_tokens.envChangeBytes(rolledBack ? tds::EnvChange::RollbackTransaction : tds::EnvChange::CommitTransaction, {},
                            descriptorBytes(m_state.transactionDescriptor));
    m_state.transactionDescriptor = 0;
}

// The session does not report its transactions or its database as items, so they are compared
// before and after the batch; the client learns of a change before the batch's last DONE.
void RequestRunner::syncEnvironment(std::string_view text, const Tally &tally)
{
    const std::string database = m_session.currentDatabase();
    if (database != m_state.database) {
        m_tokens.envChange(tds::EnvChange::Database, database, m_state.database);
        m_state.database = database;
    }
    const int count = m_session.transactionCount();
    if ((count > 0) != (m_state.transactionCount > 0)) {
        if (count > 0)
            beginTransactionToken();
        else
            endTransactionToken(tally.anyError || upperCopy(text).find("ROLLBACK") != std::string::npos);
    }
    m_state.transactionCount = count;
}

void RequestRunner::finish(std::uint8_t token, const Tally &tally)
{
    if (m_control.endRequest()) {
        m_tokens.done(token, tds::done::Attention, 0, 0);
        return;
    }
    std::uint16_t status = tally.pendingDone ? tally.status : 0;
    if (tally.errorSinceDone)
        status |= tds::done::Error;
    if (m_state.transactionCount > 0)
        status |= tds::done::InTransaction;
    m_tokens.done(token, status, tally.pendingDone ? tally.curCmd : 0, tally.pendingDone ? tally.count : 0);
}

void RequestRunner::resetConnection(bool keepTransaction)
{
    if (!keepTransaction && m_state.transactionCount > 0) {
        if (auto run = m_session.run("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"))
            while (run->next()) {
            }
        m_state.transactionCount = m_session.transactionCount();
        m_state.transactionDescriptor = 0;
    }
    if (!tsql::iequals(m_session.currentDatabase(), m_state.loginDatabase)) {
        if (auto run = m_session.run("USE " + bracketed(m_state.loginDatabase)))
            while (run->next()) {
            }
        m_state.database = m_session.currentDatabase();
    }
    m_state.prepared.clear();
    m_tokens.envChangeBytes(tds::EnvChange::ResetConnection, {}, {});
}

void RequestRunner::runBatch(const tds::SqlBatchRequest &request)
{
    logStatement("batch", request.text);
    Tally tally;
    if (auto run = start(request.text, {}, tally)) {
        const bool errorBefore = tally.anyError;
        tally = stream(*run, tds::token::Done);
        tally.anyError = tally.anyError || errorBefore;
    }
    syncEnvironment(request.text, tally);
    finish(tds::token::Done, tally);
    send();
}

void RequestRunner::acknowledgeAttention()
{
    if (m_control.endRequest()) {
        m_tokens.done(tds::token::Done, tds::done::Attention, 0, 0);
        send();
    }
}

void RequestRunner::runTransaction(const tds::TransactionRequest &request)
{
    using Type = tds::TransactionRequestType;
    Tally tally;
    // The answer is the transaction's ENVCHANGE and one DONE, as for SQL Server: the statements
    // run here pass on their messages only.
    auto runText = [&](const std::string &text) {
        logStatement("transaction", text);
        if (auto run = start(text, {}, tally)) {
            const Tally t = stream(*run, tds::token::DoneInProc, false);
            tally.anyError = tally.anyError || t.anyError;
            tally.errorSinceDone = tally.errorSinceDone || t.errorSinceDone;
        }
    };
    const std::string name = request.name.empty() ? std::string() : " " + bracketed(request.name);
    switch (request.type) {
    case Type::Begin:
        runText("BEGIN TRANSACTION" + name);
        break;
    case Type::Commit:
        runText("COMMIT TRANSACTION" + name);
        break;
    case Type::Rollback:
        runText("ROLLBACK TRANSACTION" + name);
        break;
    case Type::Save:
        runText("SAVE TRANSACTION" + name);
        break;
    default:
        message(messages::distributedTransactionsNotSupported(), tally);
        break;
    }
    const bool ended = request.type == Type::Commit || request.type == Type::Rollback;
    syncEnvironment(ended && request.type == Type::Rollback ? "ROLLBACK" : "TRAN", tally);
    if (ended && request.beginAnother && !tally.anyError) {
        runText("BEGIN TRANSACTION");
        syncEnvironment("TRAN", tally);
    }
    finish(tds::token::Done, tally);
    send();
}

} // namespace server
