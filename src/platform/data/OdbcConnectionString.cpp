#include "platform/data/OdbcConnectionString.h"

#include <QStringList>

#include <algorithm>

namespace platform {

namespace {

bool isLoginKey(const QString &key)
{
    return key.compare(u"UID", Qt::CaseInsensitive) == 0
        || key.compare(u"PWD", Qt::CaseInsensitive) == 0;
}

QString joinAttributes(const QList<OdbcAttribute> &attributes)
{
    QStringList pieces;
    // What the user wrote stays as written; drivers differ on what they accept unbraced.
    for (const OdbcAttribute &a : attributes)
        pieces << (a.text.isEmpty() ? a.key + u'=' + odbcValue(a.value) : a.text);
    return pieces.join(u';');
}

} // namespace

QList<OdbcAttribute> parseOdbcConnectionString(const QString &s)
{
    QList<OdbcAttribute> result;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const qsizetype eq = s.indexOf(u'=', i);
        const qsizetype semi = s.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            // A piece without '=' carries nothing a driver would read.
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        OdbcAttribute attribute;
        const qsizetype pieceStart = i;
        attribute.key = s.mid(i, eq - i).trimmed();
        i = eq + 1;
        qsizetype start = i;
        while (start < n && s.at(start) == u' ')
            ++start;
        if (start < n && s.at(start) == u'{') {
            // Braced: runs to the first '}' that is not doubled.
            qsizetype j = start + 1;
            QString value;
            while (j < n) {
                if (s.at(j) == u'}') {
                    if (j + 1 < n && s.at(j + 1) == u'}') {
                        value += u'}';
                        j += 2;
                        continue;
                    }
                    break;
                }
                value += s.at(j++);
            }
            attribute.value = value;
            const qsizetype next = s.indexOf(u';', j);
            attribute.text = s.mid(pieceStart, (next < 0 ? n : next) - pieceStart).trimmed();
            i = next < 0 ? n : next + 1;
        } else {
            const qsizetype next = s.indexOf(u';', i);
            attribute.value = s.mid(i, (next < 0 ? n : next) - i);
            attribute.text = s.mid(pieceStart, (next < 0 ? n : next) - pieceStart).trimmed();
            i = next < 0 ? n : next + 1;
        }
        if (!attribute.key.isEmpty())
            result << attribute;
    }
    return result;
}

QString odbcAttribute(const QString &connectionString, const QString &key)
{
    for (const OdbcAttribute &a : parseOdbcConnectionString(connectionString)) {
        if (a.key.compare(key, Qt::CaseInsensitive) == 0)
            return a.value;
    }
    return {};
}

QString odbcValue(const QString &value)
{
    const bool needsBraces = value.contains(u';') || value.contains(u'{') || value.contains(u'}')
        || value.contains(u'=') || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsBraces)
        return value;
    QString escaped = value;
    escaped.replace(u"}"_qs, u"}}"_qs);
    return u'{' + escaped + u'}';
}

bool isOdbcConnectionString(const QString &target)
{
    return target.contains(u'=');
}

QString odbcConnectionString(const QString &target, const QString &user, const QString &password)
{
    QList<OdbcAttribute> attributes;
    if (isOdbcConnectionString(target))
        attributes = parseOdbcConnectionString(target);
    else
        attributes << OdbcAttribute{u"DSN"_qs, target.trimmed(), {}};

    // The dialog's login wins over one written into the target; drivers differ on which of two
    // repeated keys they take.
    if (!user.isEmpty()) {
        attributes.removeIf([](const OdbcAttribute &a) { return isLoginKey(a.key); });
        attributes << OdbcAttribute{u"UID"_qs, user, {}};
        attributes << OdbcAttribute{u"PWD"_qs, password, {}};
    } else if (!password.isEmpty()) {
        attributes.removeIf([](const OdbcAttribute &a) {
            return a.key.compare(u"PWD", Qt::CaseInsensitive) == 0;
        });
        attributes << OdbcAttribute{u"PWD"_qs, password, {}};
    }
    return joinAttributes(attributes);
}

QString odbcWithOptions(const QString &target, const QString &database, bool encrypt,
                        bool trustServerCertificate)
{
    if (database.isEmpty() && !encrypt && !trustServerCertificate)
        return target;
    QList<OdbcAttribute> attributes;
    if (isOdbcConnectionString(target))
        attributes = parseOdbcConnectionString(target);
    else
        attributes << OdbcAttribute{u"DSN"_qs, target.trimmed(), {}};
    const QString driver = odbcAttribute(target, u"Driver"_qs);
    const bool freeTds = driver.contains(u"FreeTDS", Qt::CaseInsensitive) || driver.contains(u"tdsodbc", Qt::CaseInsensitive);
    const bool dsn = driver.isEmpty();
    const auto set = [&](const QString &key, const QString &value) {
        attributes.removeIf([&](const OdbcAttribute &a) { return a.key.compare(key, Qt::CaseInsensitive) == 0; });
        attributes << OdbcAttribute{key, value, {}};
    };
    if (!database.isEmpty())
        set(u"Database"_qs, database);
    if (encrypt && (freeTds || dsn))
        set(u"Encryption"_qs, u"require"_qs);
    if (encrypt && !freeTds)
        set(u"Encrypt"_qs, u"yes"_qs);
    if (trustServerCertificate && !freeTds)
        set(u"TrustServerCertificate"_qs, u"yes"_qs);
    return joinAttributes(attributes);
}

QString qodbcDatabaseName(const QString &connectionString)
{
    // Qt passes a string through unchanged only when it mentions a driver or a server; otherwise
    // it prefixes "DSN=", so the DSN must come first and without its key.
    const bool passedThrough = connectionString.contains(u"DRIVER=", Qt::CaseInsensitive)
        || connectionString.contains(u"SERVER=", Qt::CaseInsensitive)
        || connectionString.contains(u".dsn", Qt::CaseInsensitive);
    if (passedThrough)
        return connectionString;
    QList<OdbcAttribute> attributes = parseOdbcConnectionString(connectionString);
    const auto dsn = std::find_if(attributes.begin(), attributes.end(), [](const OdbcAttribute &a) {
        return a.key.compare(u"DSN", Qt::CaseInsensitive) == 0;
    });
    if (dsn == attributes.end())
        return connectionString;
    const QString name = odbcValue(dsn->value);
    attributes.erase(dsn);
    return attributes.isEmpty() ? name : name + u';' + joinAttributes(attributes);
}

QString odbcWithoutPassword(const QString &target)
{
    if (!isOdbcConnectionString(target))
        return target;
    QList<OdbcAttribute> attributes = parseOdbcConnectionString(target);
    attributes.removeIf([](const OdbcAttribute &a) {
        return a.key.compare(u"PWD", Qt::CaseInsensitive) == 0
            || a.key.compare(u"Password", Qt::CaseInsensitive) == 0;
    });
    return joinAttributes(attributes);
}

QString odbcDisplayName(const QString &target)
{
    if (!isOdbcConnectionString(target))
        return target.trimmed();
    QString server = odbcAttribute(target, u"Server"_qs);
    if (server.isEmpty())
        server = odbcAttribute(target, u"DSN"_qs);
    if (server.isEmpty())
        server = odbcAttribute(target, u"Driver"_qs);
    const QString database = odbcAttribute(target, u"Database"_qs);
    if (database.isEmpty())
        return server;
    return server.isEmpty() ? database : server + u" / "_qs + database;
}

} // namespace platform
