#include "EngineTarget.h"

#include "ColumnType.h"
#include "ValueText.h"

#include "tsql/Session.h"

namespace sqlcmd {

namespace {

class EngineCursor final : public ResultCursor {
public:
    explicit EngineCursor(tsql::Result &result) : m_result(result)
    {
        for (const tsql::ColumnInfo &c : result.columns())
            m_columns.append({QString::fromStdString(c.name), QString::fromStdString(c.typeName())});
    }
    const QList<ResultColumn> &columns() const override { return m_columns; }
    bool next() override { return m_result.next(); }
    std::optional<QString> cell(int column) const override
    {
        const tsql::Value &v = m_result.value(static_cast<std::size_t>(column));
        if (v.isNull())
            return std::nullopt;
        return EngineTarget::valueText(v);
    }

private:
    tsql::Result &m_result;
    QList<ResultColumn> m_columns;
};

ServerMessage toMessage(const tsql::Message &m)
{
    ServerMessage s;
    s.number = m.number;
    s.severity = m.severity;
    s.state = m.state;
    s.line = m.line;
    s.procedure = QString::fromStdString(m.procedure);
    s.text = QString::fromStdString(m.text);
    return s;
}

} // namespace

EngineTarget::EngineTarget(std::unique_ptr<tsql::Session> session) : m_session(std::move(session))
{
    // Errors name the server as @@SERVERNAME does.
    try {
        auto run = m_session->run("SELECT @@SERVERNAME");
        while (run->next()) {
            if (run->item() == tsql::BatchRun::Item::Rows && run->rows().next())
                m_serverName = QString::fromStdString(run->rows().value(0).asText());
        }
    } catch (const std::exception &) {
        // A server without a name still runs batches.
    }
}

EngineTarget::~EngineTarget() = default;

void EngineTarget::setQueryTimeout(int seconds)
{
    m_session->setTimeout(seconds * 1000);
}

void EngineTarget::run(const QString &batch, BatchEvents &events)
{
    const QByteArray utf8 = batch.toUtf8();
    try {
        auto run = m_session->run(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        while (run->next()) {
            switch (run->item()) {
            case tsql::BatchRun::Item::Rows: {
                EngineCursor cursor(run->rows());
                events.rows(cursor);
                break;
            }
            case tsql::BatchRun::Item::Done:
                events.done(run->count());
                break;
            case tsql::BatchRun::Item::Message:
                events.message(toMessage(run->message()));
                break;
            }
        }
        if (run->cancelled()) {
            // The engine stops a batch that runs past its time limit without a message of its
            // own; the client side reports it, as ODBC's driver does.
            ServerMessage m;
            m.fromClient = true;
            m.text = QStringLiteral("Query timeout expired.");
            events.message(m);
        }
    } catch (const tsql::Error &e) {
        ServerMessage m;
        m.number = e.number();
        m.severity = e.severity();
        m.state = e.state();
        m.line = e.line() > 0 ? e.line() : 1;
        m.text = QString::fromUtf8(e.what());
        events.message(m);
    } catch (const std::exception &e) {
        ServerMessage m;
        m.fromClient = true;
        m.text = QString::fromUtf8(e.what());
        events.message(m);
    }
}

QString EngineTarget::valueText(const tsql::Value &v)
{
    const tsql::SqlType &type = v.sqlType();
    switch (v.type()) {
    case tsql::Value::Type::Null:
        return {};
    case tsql::Value::Type::Integer:
        return QString::number(v.asInteger());
    case tsql::Value::Type::Float:
        return floatText(v.asFloat(), type.base == tsql::Base::Real);
    case tsql::Value::Type::Decimal:
        return QString::fromStdString(v.asDecimal().toString());
    case tsql::Value::Type::Text:
        return QString::fromStdString(v.asText());
    case tsql::Value::Type::Binary:
        return binaryText(QByteArray::fromStdString(v.asText()));
    case tsql::Value::Type::DateTime: {
        const tsql::DateTime &d = v.asDateTime();
        DateTimeParts p{d.year, d.month, d.day, d.hour, d.minute, d.second, d.ticks(), d.offsetMinutes};
        return dateTimeText(p, QString::fromStdString(type.name()), type.scale);
    }
    }
    return {};
}

} // namespace sqlcmd
