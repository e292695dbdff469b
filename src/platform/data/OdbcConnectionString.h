#pragma once
// ODBC connection strings: what the user typed as the database (a connection string or a DSN
// name) plus the login, turned into the one string the driver manager receives.

#include <QList>
#include <QString>

namespace platform {

struct OdbcAttribute {
    QString key;   // as written, e.g. "Server"
    QString value; // unbraced: "{a}}b}" reads as "a}b"
    QString text;  // the piece as written ("Driver={ODBC Driver 18 for SQL Server}"), if parsed
};

// Splits "Key=Value;Key={Va;lue}" into its attributes; empty pieces are skipped.
QList<OdbcAttribute> parseOdbcConnectionString(const QString &connectionString);

// The value of `key` (case-insensitive, first occurrence), or a null string.
QString odbcAttribute(const QString &connectionString, const QString &key);

// A value as it must stand after "Key=": braced, with '}' doubled, when it would otherwise be
// misread (';', '{', '}', '=', or blanks at either end).
QString odbcValue(const QString &value);

// True when the target is a connection string rather than a DSN name.
bool isOdbcConnectionString(const QString &target);

// The connection string for a target and a login. A DSN name becomes "DSN=name". A non-empty
// user replaces any UID/PWD of the target; an empty user leaves the target's own login, or
// integrated sign-in when it says Trusted_Connection=yes.
QString odbcConnectionString(const QString &target, const QString &user,
                             const QString &password);

// The target with the database to sign in to (when not empty) and the encryption the user asked
// for, in the keywords of its driver: FreeTDS reads Encryption=require; Microsoft's drivers read
// Encrypt=yes and TrustServerCertificate=yes. A DSN's driver is not known here, so a DSN gets
// both spellings. Attributes the target already has under those keys are replaced.
QString odbcWithOptions(const QString &target, const QString &database, bool encrypt,
                        bool trustServerCertificate);

// What to give QSqlDatabase::setDatabaseName so that Qt's QODBC driver passes exactly
// `connectionString` to the driver manager (it prefixes "DSN=" to strings that name neither a
// driver nor a server).
QString qodbcDatabaseName(const QString &connectionString);

// The target without any PWD/Password it holds, for remembering it in the settings.
QString odbcWithoutPassword(const QString &target);

// "server / database" or the DSN name, for titles and logs; never the login.
QString odbcDisplayName(const QString &target);

} // namespace platform
