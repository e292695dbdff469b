#include "platform/data/EmbeddedRecordset.h"

#include "platform/data/RecordsetErrors.h"

#include "platform/data/EngineCall.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstdlib>

namespace platform {

namespace {


// time, datetime2 and datetimeoffset hold tenths of microseconds that QTime and QDateTime
// cannot: they go out as SQL Server's text of them, with the type's own number of places.
QString preciseDateTimeText(const tsql::DateTime &d, const tsql::SqlType &t)
{
    QString fraction;
    if (t.scale > 0)
        fraction = QLatin1Char('.') + QStringLiteral("%1").arg(d.ticks(), 7, 10, QLatin1Char('0')).left(t.scale);
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(d.hour, 2, 10, QLatin1Char('0'))
                              .arg(d.minute, 2, 10, QLatin1Char('0'))
                              .arg(d.second, 2, 10, QLatin1Char('0')) +
                          fraction;
    if (t.base == tsql::Base::Time)
        return clock;
    QString text = QStringLiteral("%1-%2-%3 ")
                       .arg(d.year, 4, 10, QLatin1Char('0'))
                       .arg(d.month, 2, 10, QLatin1Char('0'))
                       .arg(d.day, 2, 10, QLatin1Char('0')) +
                   clock;
    if (t.base == tsql::Base::DateTimeOffset) {
        const int m = std::abs(d.offsetMinutes);
        text += QStringLiteral(" %1%2:%3")
                    .arg(d.offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                    .arg(m / 60, 2, 10, QLatin1Char('0'))
                    .arg(m % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

QVariant toVariant(const tsql::Value &v)
{
    switch (v.type()) {
    case tsql::Value::Type::Null:
        return {};
    case tsql::Value::Type::Integer:
        return QVariant::fromValue<qlonglong>(v.asInteger());
    case tsql::Value::Type::Float:
        return v.asFloat();
    case tsql::Value::Type::Text:
        return QString::fromStdString(v.asText());
    case tsql::Value::Type::Decimal:
        // Exact, as ADO hands a decimal over: the text of the number, not a double.
        return QString::fromStdString(v.asDecimal().toString());
    case tsql::Value::Type::Binary:
        return QByteArray::fromStdString(v.asText());
    case tsql::Value::Type::DateTime: {
        const tsql::DateTime &d = v.asDateTime();
        if (v.sqlType().base == tsql::Base::Date)
            return QDate(d.year, d.month, d.day);
        if (v.sqlType().base == tsql::Base::Time || v.sqlType().base == tsql::Base::DateTime2 ||
            v.sqlType().base == tsql::Base::DateTimeOffset)
            return preciseDateTimeText(d, v.sqlType());
        // Local time, as stored: the server's datetime carries no zone and none is applied.
        return QDateTime(QDate(d.year, d.month, d.day),
                         QTime(d.hour, d.minute, d.second, d.millisecond), Qt::LocalTime);
    }
    }
    return {};
}

} // namespace

EmbeddedRecordset::EmbeddedRecordset(std::unique_ptr<tsql::Result> result)
    : m_owned(std::move(result)), m_result(m_owned.get())
{
    start();
}

EmbeddedRecordset::EmbeddedRecordset(tsql::Result &result) : m_result(&result)
{
    start();
}

void EmbeddedRecordset::start()
{
    m_isResultSet = m_result->hasRows();
    m_rowsAffected = m_result->rowsAffected();
    if (!m_isResultSet) {
        m_owned.reset();
        m_result = nullptr;
        return;
    }
    for (const tsql::ColumnInfo &c : m_result->columns()) {
        m_names << QString::fromStdString(c.name);
        m_types << QString::fromStdString(c.typeName());
    }
    fetch();
}

EmbeddedRecordset::~EmbeddedRecordset() = default;

void EmbeddedRecordset::fetch()
{
    m_eof = !callEngine([this] { return m_result->next(); });
}

bool EmbeddedRecordset::isResultSet() const
{
    return m_isResultSet;
}

bool EmbeddedRecordset::eof() const
{
    return m_eof;
}

void EmbeddedRecordset::requireOpen() const
{
    if (!m_result)
        throw detail::objectClosed();
}

void EmbeddedRecordset::requireRow() const
{
    requireOpen();
    if (m_eof)
        throw detail::noCurrentRecord();
}

QVariant EmbeddedRecordset::field(const QString &name) const
{
    requireOpen();
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return value(i);
    }
    throw detail::itemNotFound();
}

int EmbeddedRecordset::fieldCount() const
{
    return m_names.size();
}

QString EmbeddedRecordset::fieldName(int index) const
{
    if (index < 0 || index >= m_names.size())
        throw detail::itemNotFound();
    return m_names.at(index);
}

QString EmbeddedRecordset::fieldType(int index) const
{
    if (index < 0 || index >= m_types.size())
        throw detail::itemNotFound();
    return m_types.at(index);
}

QVariant EmbeddedRecordset::value(int index) const
{
    requireOpen();
    if (index < 0 || index >= m_names.size())
        throw detail::itemNotFound();
    requireRow();
    return toVariant(callEngine([&]() -> const tsql::Value & {
        return m_result->value(static_cast<std::size_t>(index));
    }));
}

void EmbeddedRecordset::moveNext()
{
    requireRow();
    fetch();
}

qint64 EmbeddedRecordset::rowsAffected() const
{
    return m_rowsAffected;
}

void EmbeddedRecordset::close()
{
    m_owned.reset();
    m_result = nullptr;
    m_eof = true;
}

} // namespace platform
