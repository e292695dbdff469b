#include "Connection.h"

#include "Log.h"
#include "ServerMessages.h"
#include "tds/Prelogin.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <thread>

namespace server {

namespace {

// What the server calls itself in LOGINACK and the prelogin: SQL Server 2012's version, the first
// that speaks TDS 7.4, under the name drivers look for to treat it as SQL Server.
constexpr std::uint32_t ProgramVersion = 0x0B000834; // 11.0.2100
constexpr std::array<std::uint8_t, 4> LoginAckVersion = {11, 0, 0x08, 0x34};
constexpr std::string_view ProgramName = "Microsoft SQL Server";
constexpr std::string_view Language = "us_english";

std::string addressOf(const std::string &peer)
{
    if (!peer.empty() && peer.front() == '[')
        return peer.substr(1, peer.find(']') - 1);
    return peer.substr(0, peer.rfind(':'));
}

} // namespace

Connection::Connection(int id, int fd, std::string peer, const Settings &settings, const Services &services)
    : m_id(id), m_peer(std::move(peer)), m_address(addressOf(m_peer)), m_settings(settings), m_services(services),
      m_transport(std::make_unique<Transport>(fd, settings.maxMessageBytes))
{
    m_transport->setWriteTimeout(settings.writeTimeoutSeconds * 1000);
}

Connection::~Connection() = default;

std::string Connection::prefix() const { return "connection " + std::to_string(m_id) + " from " + m_peer + ": "; }

void Connection::setEndReason(const std::string &why, bool problem)
{
    std::lock_guard lock(m_mutex);
    if (m_endReason.empty()) {
        m_endReason = why;
        m_endProblem = problem;
    }
}

void Connection::requestStop()
{
    std::lock_guard lock(m_mutex);
    m_stop = true;
    m_wake.notify_all();
    if (!m_running && m_session == nullptr) {
        // Still signing in: nothing to finish.
        if (m_endReason.empty())
            m_endReason = "server stopping";
        m_transport->shutdown();
    }
}

void Connection::run()
{
    bool signedIn = false;
    try {
        signedIn = prelogin() && login();
        if (signedIn)
            serve();
    } catch (const ConnectionLost &e) {
        setEndReason(e.what());
    } catch (const tds::ProtocolError &e) {
        setEndReason(std::string("malformed request: ") + e.what(), true);
    } catch (const tds::TlsError &e) {
        setEndReason(std::string("TLS failed: ") + e.what(), true);
    } catch (const std::exception &e) {
        setEndReason(std::string("failed: ") + e.what(), true);
    }
    m_transport->shutdown();
    m_session.reset();
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1f", seconds);
    std::lock_guard lock(m_mutex);
    logLine(m_endProblem ? Priority::Warning : Priority::Info,
            prefix() + (signedIn ? "user '" + m_user + "' " : std::string()) + "closed after " + duration + " s, " +
                std::to_string(m_requests) + " requests: " + (m_endReason.empty() ? "closed" : m_endReason));
}

int Connection::loginTimeLeft() const
{
    const auto left = std::chrono::seconds(m_settings.loginTimeoutSeconds) - (std::chrono::steady_clock::now() - m_started);
    return std::max(0, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
}

bool Connection::prelogin()
{
    auto message = m_transport->readMessage(loginTimeLeft());
    if (!message) {
        setEndReason("no prelogin within the login timeout", true);
        return false;
    }
    if (message->type != tds::PacketType::Prelogin) {
        setEndReason("the client does not speak TDS 7 (first packet type " +
                         std::to_string(static_cast<int>(message->type)) + ")",
                     true);
        return false;
    }
    const tds::PreloginRequest request = tds::parsePrelogin(message->payload);
    const tds::Negotiation n =
        tds::negotiateEncryption(request.encryption, m_settings.tls != nullptr, m_settings.requireEncryption);
    tds::PreloginReply reply;
    reply.version = ProgramVersion;
    reply.encryption = n.reply;
    m_transport->send(tds::PacketType::TabularResult, tds::buildPrelogin(reply));
    switch (n.protection) {
    case tds::Protection::Refused:
        setEndReason(m_settings.tls ? "the client cannot encrypt and encryption is required"
                                    : "the client requires encryption and the server has no certificate",
                     true);
        return false;
    case tds::Protection::None:
        return true;
    case tds::Protection::LoginOnly:
        m_protection = "login only";
        break;
    case tds::Protection::Full:
        m_protection = "full";
        break;
    }
    m_transport->startTls(m_settings.tls, loginTimeLeft());
    m_protection = m_transport->tlsVersion() + ", " + m_protection;
    m_loginOnly = n.protection == tds::Protection::LoginOnly;
    return true;
}

void Connection::refuseLogin(const std::string &user, const std::string &why, const tds::ServerMessage *first)
{
    tds::TokenWriter tokens(m_settings.serverName);
    if (first)
        tokens.message(*first);
    tokens.message(messages::loginFailed(user));
    tokens.done(tds::token::Done, tds::done::Error, 0, 0);
    m_transport->send(tds::PacketType::TabularResult, tokens.take());
    setEndReason("login failed for user '" + user + "': " + why, true);
}

bool Connection::login()
{
    auto message = m_transport->readMessage(loginTimeLeft());
    if (!message) {
        setEndReason("no login within the login timeout", true);
        return false;
    }
    if (m_loginOnly)
        m_transport->stopTls();
    if (message->type != tds::PacketType::Login7) {
        setEndReason("expected a login, got packet type " + std::to_string(static_cast<int>(message->type)), true);
        return false;
    }
    const tds::LoginRequest request = tds::parseLogin7(message->payload);
    if (request.tdsVersion < tds::Tds73A) {
        setEndReason("the client speaks TDS 0x" + std::to_string(request.tdsVersion) +
                         "; this server needs 7.3 or later (FreeTDS: TDS_Version=7.4)",
                     true);
        return false;
    }
    const std::string &user = request.userName;
    if (request.integratedSecurity) {
        refuseLogin(user, "Windows sign-in is not offered");
        return false;
    }
    const auto delay = m_services.throttle->delayFor(m_address);
    if (delay.count() > 0) {
        std::unique_lock lock(m_mutex);
        m_wake.wait_for(lock, delay, [&] { return m_stop; });
        if (m_stop) {
            setEndReason("server stopping");
            return false;
        }
    }
    // FreeTDS, given PWD last in a connection string through unixODBC's wide calls, sends the
    // string's terminating NUL as the password's last character; no password can hold one.
    std::string password = request.password;
    while (!password.empty() && password.back() == '\0')
        password.pop_back();
    if (!m_services.authenticator->check(user, password)) {
        m_services.throttle->failed(m_address);
        refuseLogin(user, "wrong user name or password");
        return false;
    }
    const std::string database = request.database.empty() ? m_settings.defaultDatabase : request.database;
    tsql::SessionOptions options;
    options.login = user;
    options.serverLogin = true;
    options.hostName = request.hostName;
    options.applicationName = request.appName;
    options.spid = 50 + m_id % 30000;
    try {
        auto session = m_services.sessions(database, options);
        std::lock_guard lock(m_mutex);
        m_session = std::move(session);
    } catch (const tsql::Error &e) {
        const tds::ServerMessage first = messages::fromError(e);
        refuseLogin(user, std::string("cannot open the database: ") + e.what(), &first);
        return false;
    }
    m_services.throttle->succeeded(m_address);
    m_user = user;
    sendLoginAck(request);
    logLine(Priority::Info, prefix() + "user '" + user + "', application '" + request.appName + "', host '" +
                                request.hostName + "', database '" + m_state.database + "', encryption " +
                                m_protection);
    return true;
}

void Connection::sendLoginAck(const tds::LoginRequest &request)
{
    m_state.loginDatabase = m_state.database = m_session->currentDatabase();
    tds::TokenWriter tokens(m_settings.serverName);
    tokens.envChange(tds::EnvChange::Database, m_state.database, "master");
    tokens.message(messages::changedDatabase(m_state.database));
    tokens.envChangeBytes(tds::EnvChange::Collation, tds::DefaultCollation, {});
    tokens.envChange(tds::EnvChange::Language, Language, {});
    tokens.message(messages::changedLanguage(std::string(Language)));
    const std::uint32_t version = std::min(request.tdsVersion, tds::Tds74);
    tokens.loginAck(version, ProgramName, LoginAckVersion);
    if (request.featureExtension)
        tokens.featureExtAck();
    std::size_t packetSize = request.packetSize == 0 ? tds::DefaultPacketSize : request.packetSize;
    packetSize = std::clamp(packetSize, tds::MinPacketSize, tds::MaxPacketSize);
    tokens.envChange(tds::EnvChange::PacketSize, std::to_string(packetSize), std::to_string(m_transport->packetSize()));
    tokens.done(tds::token::Done, tds::done::Final, 0, 0);
    m_transport->send(tds::PacketType::TabularResult, tokens.take());
    m_transport->setPacketSize(packetSize);
}

bool Connection::attentionPending()
{
    std::lock_guard lock(m_mutex);
    return m_attentionsReceived > m_attentionsAcknowledged;
}

bool Connection::endRequest()
{
    std::lock_guard lock(m_mutex);
    m_running = false;
    const bool pending = m_attentionsReceived > m_attentionsAcknowledged;
    m_attentionsAcknowledged = m_attentionsReceived;
    return pending;
}

void Connection::readLoop()
{
    const auto idleLimit = std::chrono::seconds(m_settings.idleTimeoutSeconds);
    try {
        for (;;) {
            auto message = m_transport->readMessage(500);
            std::lock_guard lock(m_mutex);
            if (!message) {
                if (m_settings.idleTimeoutSeconds > 0 && !m_running && m_queue.empty() &&
                    std::chrono::steady_clock::now() - m_lastActivity > idleLimit) {
                    if (m_endReason.empty())
                        m_endReason = "idle for " + std::to_string(m_settings.idleTimeoutSeconds) + " s";
                    break;
                }
                continue;
            }
            m_lastActivity = std::chrono::steady_clock::now();
            if (message->type == tds::PacketType::Attention) {
                ++m_attentionsReceived;
                if (m_running)
                    m_session->cancel();
            }
            // One request at a time: a client that sends more without reading is not following
            // the protocol, and its requests must not pile up in memory.
            if (m_queue.size() >= 4)
                throw tds::ProtocolError("requests sent without reading the answers");
            m_queue.push_back(std::move(*message));
            m_wake.notify_all();
        }
    } catch (const ConnectionLost &e) {
        setEndReason(e.what());
    } catch (const tds::ProtocolError &e) {
        setEndReason(std::string("malformed request: ") + e.what(), true);
    } catch (const tds::TlsError &e) {
        setEndReason(std::string("TLS failed: ") + e.what(), true);
    }
    std::lock_guard lock(m_mutex);
    m_readerDone = true;
    // A client that is gone does not need the rest of its statement.
    if (m_running && !m_stop)
        m_session->cancel();
    m_wake.notify_all();
}

void Connection::serve()
{
    RequestRunner runner(*m_session, m_state, *m_transport, *this, m_settings.serverName, prefix(),
                         m_settings.logStatements);
    std::thread reader([this] { readLoop(); });
    // The reason is kept before the socket is shut: the reader would otherwise report the
    // shutdown as the client leaving.
    try {
        for (;;) {
            tds::Message message;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [&] { return !m_queue.empty() || m_readerDone || m_stop; });
                if (m_queue.empty() || m_readerDone) {
                    if (m_stop && m_endReason.empty())
                        m_endReason = "server stopping";
                    break;
                }
                message = std::move(m_queue.front());
                m_queue.pop_front();
                if (message.type != tds::PacketType::Attention) {
                    m_running = true;
                    ++m_requests;
                }
            }
            handle(message, runner);
        }
    } catch (const ConnectionLost &e) {
        setEndReason(e.what());
    } catch (const tds::ProtocolError &e) {
        setEndReason(std::string("malformed request: ") + e.what(), true);
    } catch (const tds::TlsError &e) {
        setEndReason(std::string("TLS failed: ") + e.what(), true);
    } catch (const std::exception &e) {
        setEndReason(std::string("failed: ") + e.what(), true);
    }
    m_transport->shutdown();
    reader.join();
}

void Connection::handle(const tds::Message &message, RequestRunner &runner)
{
    const bool reset = message.firstStatus & (tds::status::ResetConnection | tds::status::ResetConnectionSkipTran);
    switch (message.type) {
    case tds::PacketType::Attention:
        runner.acknowledgeAttention();
        return;
    case tds::PacketType::SqlBatch: {
        const auto request = tds::parseSqlBatch(message.payload);
        if (reset)
            runner.resetConnection(message.firstStatus & tds::status::ResetConnectionSkipTran);
        runner.runBatch(request);
        return;
    }
    case tds::PacketType::Rpc: {
        const auto request = tds::parseRpc(message.payload);
        if (reset)
            runner.resetConnection(message.firstStatus & tds::status::ResetConnectionSkipTran);
        runner.runRpc(request);
        return;
    }
    case tds::PacketType::TransactionManager: {
        const auto request = tds::parseTransactionRequest(message.payload);
        if (reset)
            runner.resetConnection(message.firstStatus & tds::status::ResetConnectionSkipTran);
        runner.runTransaction(request);
        return;
    }
    default:
        throw tds::ProtocolError("unexpected packet type " + std::to_string(static_cast<int>(message.type)) +
                                 " after login");
    }
}

} // namespace server
