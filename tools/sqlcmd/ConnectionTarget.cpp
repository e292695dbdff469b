#include "ConnectionTarget.h"

#include "ColumnType.h"
#include "ValueText.h"

#include "platform/data/Connection.h"

#include <QDateTime>

namespace sqlcmd {

namespace {

QString variantText(const QVariant &v, const ColumnType &type)
{
    switch (v.typeId()) {
    case QMetaType::Double:
        return floatText(v.toDouble(), type.base == QLatin1String("real"));
    case QMetaType::QByteArray:
        return binaryText(v.toByteArray());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::QDateTime:
    case QMetaType::QDate:
    case QMetaType::QTime: {
        const QDateTime dt = v.typeId() == QMetaType::QTime ? QDateTime(QDate(1900, 1, 1), v.toTime()) : v.toDateTime();
        const QDate d = dt.date();
        const QTime t = dt.time();
        DateTimeParts p{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), qint64(t.msec()) * 10000,
                        dt.offsetFromUtc() / 60};
        const QString base = type.base.isEmpty() ? QStringLiteral("datetime") : type.base;
        return dateTimeText(p, base, type.scale);
    }
    default:
        return v.toString();
    }
}

class RecordsetCursor final : public ResultCursor {
public:
    explicit RecordsetCursor(platform::Recordset &rs) : m_rs(rs)
    {
        for (int i = 0; i < rs.fieldCount(); ++i) {
            m_columns.append({rs.fieldName(i), rs.fieldType(i)});
            m_types.append(ColumnType::parse(rs.fieldType(i)));
        }
    }
    const QList<ResultColumn> &columns() const override { return m_columns; }
    bool next() override
    {
        // The recordset arrives on its first row.
        if (m_started && !m_rs.eof())
            m_rs.moveNext();
        m_started = true;
        return !m_rs.eof();
    }
    std::optional<QString> cell(int column) const override
    {
        const QVariant v = m_rs.value(column);
        if (v.isNull())
            return std::nullopt;
        return variantText(v, m_types.at(column));
    }

private:
    platform::Recordset &m_rs;
    QList<ResultColumn> m_columns;
    QList<ColumnType> m_types;
    bool m_started = false;
};

class Sink final : public platform::BatchSink {
public:
    explicit Sink(BatchEvents &events) : m_events(events) {}
    void rows(platform::Recordset &rs) override
    {
        RecordsetCursor cursor(rs);
        m_events.rows(cursor);
    }
    void done(qint64 count) override { m_events.done(count); }
    void message(const platform::DatabaseMessage &m) override
    {
        ServerMessage s;
        s.number = m.number;
        s.severity = m.severity;
        s.state = m.state;
        s.line = m.line;
        s.procedure = m.procedure;
        s.server = m.server;
        s.text = m.text;
        s.fromClient = m.fromDriver;
        m_events.message(s);
    }

private:
    BatchEvents &m_events;
};

} // namespace

ConnectionTarget::ConnectionTarget(std::unique_ptr<platform::Connection> connection)
    : m_connection(std::move(connection))
{
    // Errors name the server as @@SERVERNAME does, where the driver does not say.
    try {
        const auto rs = m_connection->openRecordset(QStringLiteral("SELECT @@SERVERNAME"));
        if (rs->isResultSet() && !rs->eof())
            m_serverName = rs->value(0).toString();
    } catch (const platform::Failure &) {
        // Not SQL Server, or not allowed to ask: the messages carry no name then.
    }
}

ConnectionTarget::~ConnectionTarget() = default;

void ConnectionTarget::setQueryTimeout(int seconds)
{
    m_connection->setQueryTimeout(seconds);
}

void ConnectionTarget::run(const QString &batch, BatchEvents &events)
{
    Sink sink(events);
    try {
        m_connection->runBatch(batch, sink);
    } catch (const platform::Failure &e) {
        ServerMessage m;
        m.fromClient = true;
        m.text = e.description();
        events.message(m);
    }
}

} // namespace sqlcmd
