#include "Authenticator.h"

#include "tsql/Types.h"

#include <sodium.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

namespace server {

namespace {

void initSodium()
{
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
}

} // namespace

PasswordFileAuthenticator::PasswordFileAuthenticator(std::string path) : m_path(std::move(path))
{
    initSodium();
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    if (m_stamp < 0)
        throw std::runtime_error("cannot read the logins file " + m_path);
}

void PasswordFileAuthenticator::reloadIfChanged()
{
    struct stat st {};
    if (::stat(m_path.c_str(), &st) != 0)
        return; // keep what was read: a file being replaced must not lock everyone out
    const long long stamp = static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    if (stamp == m_stamp)
        return;
    std::ifstream in(m_path);
    if (!in)
        return;
    std::map<std::string, std::string> hashes;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos || colon == 0 || line.compare(colon + 1, 9, "$argon2id") != 0)
            throw std::runtime_error(m_path + ":" + std::to_string(number) + ": expected name:$argon2id$...");
        hashes[tsql::lower(line.substr(0, colon))] = line.substr(colon + 1);
    }
    m_hashes = std::move(hashes);
    m_stamp = stamp;
}

bool PasswordFileAuthenticator::check(const std::string &user, const std::string &password)
{
    std::string hash;
    {
        std::lock_guard lock(m_mutex);
        try {
            reloadIfChanged();
        } catch (const std::exception &) {
            // A broken edit keeps the logins read before it.
        }
        const auto it = m_hashes.find(tsql::lower(user));
        if (it != m_hashes.end())
            hash = it->second;
    }
    if (hash.empty()) {
        // Spend the same time as a real check so an unknown name cannot be told apart by timing.
        static const std::string dummy = hashPassword("talvor");
        [[maybe_unused]] const int ignored = crypto_pwhash_str_verify(dummy.c_str(), password.c_str(), password.size());
        return false;
    }
    return crypto_pwhash_str_verify(hash.c_str(), password.c_str(), password.size()) == 0;
}

std::string hashPassword(const std::string &password)
{
    initSodium();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.c_str(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        throw std::runtime_error("out of memory while hashing the password");
    return out;
}

} // namespace server
