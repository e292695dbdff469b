#pragma once
// Who may sign in: the logins of the served folder, made with CREATE LOGIN and kept by the
// engine as Argon2id hashes. An interface so that a test can count or slow the checks.

#include <string>

namespace server {

class Authenticator {
public:
    virtual ~Authenticator() = default;
    // True when this user may sign in with this password. Must not reveal why not: the
    // client is told the same for an unknown user, a disabled login and a wrong password.
    virtual bool check(const std::string &user, const std::string &password) = 0;
    virtual std::string describe() const = 0; // for the start-up log line
};

class FolderLogins : public Authenticator {
public:
    explicit FolderLogins(std::string folder) : m_folder(std::move(folder)) {}
    bool check(const std::string &user, const std::string &password) override;
    std::string describe() const override;

private:
    std::string m_folder;
};

} // namespace server
