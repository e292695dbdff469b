#pragma once
// One entry of the access audit trail and its two written forms: a JSON line for the audit file
// and a system log datagram.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <utility>

namespace platform::audit {

// Event-specific fields, in the order they are written. Numbers stay numbers in JSON.
using Fields = QList<std::pair<QString, QVariant>>;

struct AuditRecord {
    QDateTime time; // UTC
    QString event;
    QString outcome;
    QString user;
    QString host;
    qint64 pid = 0;
    Fields fields;
};

// One JSON object and a line feed: time, event, outcome, user, host, pid, then the fields.
QByteArray jsonLine(const AuditRecord &record);

// What goes to the system log socket: the header syslog(3) writes ("<PRI>Mmm dd hh:mm:ss
// tag[pid]: "), so journald and rsyslog file it under the tag, then the record as one RFC 5424
// structured data element. `localTime` is the header's time, as syslog(3) writes it.
QByteArray syslogDatagram(const AuditRecord &record, const QDateTime &localTime);

// The tag the system log files the records under (journalctl -t talvor-search).
inline const QString syslogTag = QStringLiteral("talvor-search");

} // namespace platform::audit
