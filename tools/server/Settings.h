#pragma once
// What a server is started with: where it listens, its limits, and the services every
// connection shares (the engine's sessions, the sign-in check, the failed-login throttle).

#include "Authenticator.h"
#include "LoginThrottle.h"
#include "tds/Tls.h"
#include "tsql/Session.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace server {

// Opens one engine session for one connection; throws tsql::Error (4060 for a database that is
// not there) like Session::open.
using SessionFactory =
    std::function<std::unique_ptr<tsql::Session>(const std::string &database, const tsql::SessionOptions &options)>;

struct Settings {
    std::string address = "127.0.0.1";
    std::uint16_t port = 1433;           // 0 picks a free one (tests)
    std::shared_ptr<tds::TlsContext> tls; // no TLS without it
    bool requireEncryption = false;       // refuse clients that will not encrypt everything
    int maxConnections = 64;
    std::size_t maxMessageBytes = 16 * 1024 * 1024;
    int loginTimeoutSeconds = 30;
    int idleTimeoutSeconds = 3600; // 0: never
    int writeTimeoutSeconds = 120;
    bool logStatements = false;
    std::string defaultDatabase = "Patient_Data";
    std::string serverName = "talvor-server";
};

struct Services {
    SessionFactory sessions;
    std::shared_ptr<Authenticator> authenticator;
    std::shared_ptr<LoginThrottle> throttle = std::make_shared<LoginThrottle>();
};

} // namespace server
