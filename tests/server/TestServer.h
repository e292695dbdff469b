#pragma once
// A talvor-server started in the test process on a free loopback port, on a fresh folder of
// test databases (TestDatabase.h), whose login "clerk" / "Secret-1" owns Patient_Data.

#include "Server.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <thread>

class TestServer {
public:
    struct Options {
        bool tls = false;
        bool requireEncryption = false;
        int idleTimeoutSeconds = 3600;
        int writeTimeoutSeconds = 120;
        int maxConnections = 64;
        std::size_t maxMessageBytes = 1024 * 1024;
        std::chrono::milliseconds throttleStep{500};
    };
    TestServer() : TestServer(Options{}) {}
    explicit TestServer(const Options &options);
    ~TestServer();

    std::uint16_t port() const { return m_server->port(); }
    QString certificateFile() const;
    server::Server &server() { return *m_server; }
    static constexpr const char *User = "clerk";
    static constexpr const char *Password = "Secret-1";

private:
    QTemporaryDir m_dir;
    std::unique_ptr<server::Server> m_server;
    std::thread m_thread;
};
