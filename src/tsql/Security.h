#pragma once
// Logins, database users and the fixed database roles, as SQL Server keeps them: logins belong
// to the folder (the hidden table __tsql_logins of its master database, master.sqlite, made by
// the first CREATE LOGIN), users and role members to each database (__tsql_users,
// __tsql_role_members). Passwords are kept only as Argon2id hashes.
//
// A session opened with SessionOptions::serverLogin runs as that login and may do only what
// its users' roles allow; any other session is the folder's owner and may do everything, as the
// program and the shell on a folder always could.

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace tsql {

class BatchRunner;
class Catalog;
class Engine;

namespace sqlite {
class Connection;
}

namespace ast {
struct Login;
struct Statement;
} // namespace ast

namespace security {

// What one login may do in each database of the folder. Read when the session opens and again
// when it changes database or changes users itself: as in SQL Server, a role given to a login
// by someone else counts from its next connection or USE on.
class Principal {
public:
    // Throws 18456 when the folder has no such login or it is disabled.
    Principal(sqlite::Connection &connection, const Catalog &catalog, std::string login);
    void reload();

    const std::string &login() const { return m_login; }
    bool isUser(const std::string &database) const;
    bool mayRead(const std::string &database) const;
    bool mayWrite(const std::string &database) const;
    bool mayDefine(const std::string &database) const; // schema statements
    bool owns(const std::string &database) const;      // users and roles

private:
    struct Access {
        std::string user;
        std::set<std::string> roles; // lower case
    };
    const Access *find(const std::string &database) const;
    bool hasRole(const std::string &database, std::string_view role) const;

    sqlite::Connection &m_connection;
    const Catalog &m_catalog;
    std::string m_login;
    std::map<std::string, Access> m_access; // by lower-case database name
};

// SQLite's authorizer for a compiled statement's table access (action is SQLITE_READ, _INSERT,
// _UPDATE or _DELETE) of a session that runs as a login: SQLITE_OK, or SQLITE_DENY with SQL
// Server's error waiting in the connection's pending error.
int authorize(Engine &engine, int action, const char *table, const char *database);

// Before a statement runs: a database the login has no user in (916), schema statements
// without db_ddladmin or db_owner (262 and the "does not exist or you do not have permission"
// errors), user and role statements without db_owner.
void checkStatement(BatchRunner &b, const ast::Statement &s);

// CREATE / ALTER / DROP LOGIN, CREATE / DROP USER, ALTER ROLE ... ADD | DROP MEMBER.
void run(BatchRunner &b, const ast::Login &s);

// The server's sign-in check against the folder's logins: true for an enabled login with this
// password. Spends the same time on an unknown name as on a known one, and lets only a few
// checks run at once, since each one takes tens of megabytes for a moment.
bool checkPassword(const std::string &folder, const std::string &login, const std::string &password);

// The text with the literal after every PASSWORD = replaced by '***', for traces and logs.
std::string maskPasswords(std::string_view text);

} // namespace security
} // namespace tsql
