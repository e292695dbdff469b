#pragma once
// One client from accept to close, on its own thread: the prelogin and TLS, the login, then
// requests until the client leaves. A second thread reads the socket so that an attention
// reaches a running statement.

#include "RequestRunner.h"
#include "Settings.h"
#include "Transport.h"
#include "tds/Login7.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace server {

class Connection : private RequestControl {
public:
    Connection(int id, int fd, std::string peer, const Settings &settings, const Services &services);
    ~Connection() override;

    void run();
    // Ends the connection once its running request, if any, has been answered.
    void requestStop();

private:
    bool prelogin();
    bool login();
    void serve();
    void readLoop();
    void handle(const tds::Message &message, RequestRunner &runner);
    void refuseLogin(const std::string &user, const std::string &why, const tds::ServerMessage *first = nullptr);
    void sendLoginAck(const tds::LoginRequest &request);
    void setEndReason(const std::string &why, bool problem = false);
    std::string prefix() const;
    int loginTimeLeft() const; // milliseconds

    bool attentionPending() override;
    bool endRequest() override;

    const int m_id;
    const std::string m_peer;
    const std::string m_address; // without the port: what failed logins are counted by
    const Settings &m_settings;
    const Services &m_services;
    std::unique_ptr<Transport> m_transport;
    std::unique_ptr<tsql::Session> m_session;
    SessionState m_state;
    std::string m_user = "?";
    std::string m_protection = "none";
    bool m_loginOnly = false;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<tds::Message> m_queue;
    bool m_running = false;
    bool m_readerDone = false;
    bool m_stop = false;
    int m_attentionsReceived = 0;
    int m_attentionsAcknowledged = 0;
    int m_requests = 0;
    std::chrono::steady_clock::time_point m_lastActivity = std::chrono::steady_clock::now();
    std::string m_endReason;
    bool m_endProblem = false;
};

} // namespace server
