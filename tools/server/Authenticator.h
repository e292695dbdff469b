#pragma once
// Who may sign in. The engine's own logins (CREATE LOGIN) will arrive as another
// implementation; until then a password file of Argon2id hashes, or, on loopback only, anyone.

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace server {

class Authenticator {
public:
    virtual ~Authenticator() = default;
    // True when this user may sign in with this password. Must not reveal why not: the
    // client is told the same for an unknown user and a wrong password.
    virtual bool check(const std::string &user, const std::string &password) = 0;
    virtual std::string describe() const = 0; // for the start-up log line
};

// Lines "name:$argon2id$..." ("#" starts a comment). Names compare case-insensitively, as SQL
// Server's logins do under the default collation. The file is read again when it changes.
class PasswordFileAuthenticator : public Authenticator {
public:
    // Throws std::runtime_error naming the file and the line when it cannot be used.
    explicit PasswordFileAuthenticator(std::string path);
    bool check(const std::string &user, const std::string &password) override;
    std::string describe() const override { return "logins from " + m_path; }

private:
    void reloadIfChanged();
    std::string m_path;
    std::mutex m_mutex;
    long long m_stamp = -1;
    std::map<std::string, std::string> m_hashes;
};

class AnyLoginAuthenticator : public Authenticator {
public:
    bool check(const std::string &, const std::string &) override { return true; }
    std::string describe() const override { return "every login accepted without a password check"; }
};

// An Argon2id hash for the password file (libsodium's interactive limits).
std::string hashPassword(const std::string &password);

} // namespace server
