#include "standins/SignInFailures.h"

#include "platform/Failure.h"
#include "platform/data/Connection.h"
#include "platform/data/SqlText.h"

#include <algorithm>

namespace standins {

namespace {

const QString table = QStringLiteral("Build_File.dbo.tbTalvorSignInFailure");

// The column holds no more than a user name can be; longer names share the count of their
// first characters, which only makes their wait longer.
QString key(const QString &user)
{
    return platform::quotedText(user.left(30));
}

} // namespace

int SignInFailures::count(const QString &user)
{
    try {
        auto rs = m_connection->openRecordset(QStringLiteral("SELECT Failures FROM ") + table
                                              + QStringLiteral(" WHERE UserID = ") + key(user));
        const int failures = rs->eof() ? 0 : rs->field(QStringLiteral("Failures")).toInt();
        rs->close();
        return failures;
    } catch (const platform::Failure &) {
    }
    // A database from before the count: the table is made on first use. A read-only database
    // keeps no count and the try goes on without a wait.
    try {
        m_connection->execute(QStringLiteral("CREATE TABLE ") + table
                              + QStringLiteral(" (UserID varchar(30) NOT NULL PRIMARY KEY, Failures int NOT NULL, "
                                               "LastFailure datetime NOT NULL)"));
    } catch (const platform::Failure &) {
    }
    return 0;
}

void SignInFailures::failed(const QString &user)
{
    try {
        if (m_connection->execute(QStringLiteral("UPDATE ") + table
                                  + QStringLiteral(" SET Failures = Failures + 1, LastFailure = GETDATE() WHERE UserID = ")
                                  + key(user))
            == 0)
            m_connection->execute(QStringLiteral("INSERT INTO ") + table
                                  + QStringLiteral(" (UserID, Failures, LastFailure) VALUES (") + key(user)
                                  + QStringLiteral(", 1, GETDATE())"));
    } catch (const platform::Failure &) {
        // The refusal stands whether or not it could be counted.
    }
}

void SignInFailures::succeeded(const QString &user)
{
    try {
        m_connection->execute(QStringLiteral("DELETE FROM ") + table + QStringLiteral(" WHERE UserID = ") + key(user));
    } catch (const platform::Failure &) {
    }
}

int SignInFailures::waitMilliseconds(int failures)
{
    if (failures < 3)
        return 0;
    return std::min(30, 1 << std::min(failures - 3, 5)) * 1000;
}

} // namespace standins
