#include "Authenticator.h"

#include "tsql/Security.h"

#include <filesystem>

namespace server {

bool FolderLogins::check(const std::string &user, const std::string &password)
{
    return tsql::security::checkPassword(m_folder, user, password);
}

std::string FolderLogins::describe() const
{
    if (!std::filesystem::exists(std::filesystem::path(m_folder) / "master.sqlite"))
        return "no logins yet: nobody can sign in until one is made with CREATE LOGIN (talvor-sqlcmd -S " + m_folder +
               ")";
    return "the folder's logins (CREATE LOGIN)";
}

} // namespace server
