#include "platform/audit/AuditRecord.h"

#include <QLocale>

namespace platform::audit {

namespace {

// authpriv: on Debian only administrators read it (/var/log/auth.log, the journal's system part).
constexpr int facilityAuthPriv = 10;
constexpr int severityNotice = 5;
constexpr int severityInfo = 6;

// RFC 5424 asks for an enterprise number after the '@' of a name that IANA has not registered;
// 32473 is the one set aside for examples, until the company registers its own.
const QByteArray structuredDataId = QByteArrayLiteral("talvor@32473");

// rsyslog keeps 8 KiB of a message by default; five search fields of this length stay well
// inside it. The audit file keeps every value whole.
constexpr qsizetype longestSyslogValue = 256;

void appendJsonString(QByteArray &out, const QString &text)
{
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += "\\u00" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

void appendJsonMember(QByteArray &out, const QString &name, const QVariant &value)
{
    if (out.size() > 1)
        out += ',';
    appendJsonString(out, name);
    out += ':';
    if (isNumber(value))
        out += value.toString().toLatin1();
    else
        appendJsonString(out, value.toString());
}

// A PARAM-VALUE: '"', '\' and ']' escaped as RFC 5424 says; a control character would let a value
// pass for a new line of a log file, so it becomes '?'.
QByteArray structuredValue(const QString &text)
{
    QString value = text.left(longestSyslogValue);
    if (!value.isEmpty() && value.back().isHighSurrogate())
        value.chop(1);
    if (value.size() < text.size())
        value += QStringLiteral("...");
    QByteArray out;
    for (const char c : value.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == ']')
            out += '\\';
        out += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    return out;
}

void appendParam(QByteArray &out, const QString &name, const QVariant &value)
{
    out += ' ' + name.toLatin1() + "=\"" + structuredValue(value.toString()) + '"';
}

} // namespace

QByteArray jsonLine(const AuditRecord &record)
{
    QByteArray out = "{";
    appendJsonMember(out, QStringLiteral("time"), record.time.toUTC().toString(Qt::ISODateWithMs));
    appendJsonMember(out, QStringLiteral("event"), record.event);
    appendJsonMember(out, QStringLiteral("outcome"), record.outcome);
    appendJsonMember(out, QStringLiteral("user"), record.user);
    appendJsonMember(out, QStringLiteral("host"), record.host);
    appendJsonMember(out, QStringLiteral("pid"), record.pid);
    for (const auto &[name, value] : record.fields)
        appendJsonMember(out, name, value);
    out += "}\n";
    return out;
}

QByteArray syslogDatagram(const AuditRecord &record, const QDateTime &localTime)
{
    const int severity = record.outcome == QLatin1String("success") ? severityInfo : severityNotice;
    QByteArray out = '<' + QByteArray::number(facilityAuthPriv * 8 + severity) + '>';
    // "Mar  5 09:26:53": the English month and a day padded with a blank, whatever the locale.
    const QDate date = localTime.date();
    out += QLocale::c().monthName(date.month(), QLocale::ShortFormat).toLatin1() + ' '
           + QByteArray::number(date.day()).rightJustified(2, ' ') + ' '
           + localTime.time().toString(QStringLiteral("HH:mm:ss")).toLatin1() + ' ';
    out += syslogTag.toLatin1() + '[' + QByteArray::number(record.pid) + "]: ";

    out += '[' + structuredDataId;
    appendParam(out, QStringLiteral("event"), record.event);
    appendParam(out, QStringLiteral("outcome"), record.outcome);
    appendParam(out, QStringLiteral("time"), record.time.toUTC().toString(Qt::ISODateWithMs));
    appendParam(out, QStringLiteral("user"), record.user);
    appendParam(out, QStringLiteral("host"), record.host);
    appendParam(out, QStringLiteral("pid"), record.pid);
    for (const auto &[name, value] : record.fields)
        appendParam(out, name, value);
    out += ']';
    return out;
}

} // namespace platform::audit
