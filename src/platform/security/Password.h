#pragma once
// Passwords of the embedded sign-in are kept only as Argon2id hashes in libsodium's string form
// ("$argon2id$v=19$m=...,t=...,p=...$salt$hash"), which carries its own salt and cost settings.

#include <QString>
#include <string>
#include <string_view>

namespace platform::security {

// A new salted hash of `password`, at libsodium's interactive cost. Throws platform::Failure
// when the hash cannot be computed (out of memory).
std::string hashPassword(std::string_view password);
QString hashPassword(const QString &password);

// True when `password` matches `hash`. A text that is not a hash of ours gives false, never
// throws: a damaged user table must not let anybody in, nor stop the sign-in with an error.
bool verifyPassword(std::string_view hash, std::string_view password);
bool verifyPassword(const QString &hash, const QString &password);

} // namespace platform::security
