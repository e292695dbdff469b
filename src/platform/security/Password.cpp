#include "platform/security/Password.h"

#include "platform/Failure.h"

#include <sodium.h>

#include <mutex>

namespace platform::security {

namespace {

void initialiseOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0)
            throw Failure(QStringLiteral("The password library could not be initialised."));
    });
}

} // namespace

std::string hashPassword(std::string_view password)
{
    initialiseOnce();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0) {
        throw Failure(QStringLiteral("The password could not be hashed: not enough memory."));
    }
    std::string hash(out);
    sodium_memzero(out, sizeof out);
    return hash;
}

QString hashPassword(const QString &password)
{
    QByteArray utf8 = password.toUtf8();
    const std::string hash = hashPassword(std::string_view(utf8.constData(), utf8.size()));
    sodium_memzero(utf8.data(), utf8.size());
    return QString::fromStdString(hash);
}

bool verifyPassword(std::string_view hash, std::string_view password)
{
    initialiseOnce();
    // crypto_pwhash_str_verify wants a terminated string no longer than its buffer.
    if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    const std::string terminated(hash);
    return crypto_pwhash_str_verify(terminated.c_str(), password.data(), password.size()) == 0;
}

bool verifyPassword(const QString &hash, const QString &password)
{
    const QByteArray hashUtf8 = hash.toUtf8();
    QByteArray passwordUtf8 = password.toUtf8();
    const bool ok = verifyPassword(std::string_view(hashUtf8.constData(), hashUtf8.size()),
                                   std::string_view(passwordUtf8.constData(), passwordUtf8.size()));
    sodium_memzero(passwordUtf8.data(), passwordUtf8.size());
    return ok;
}

} // namespace platform::security
