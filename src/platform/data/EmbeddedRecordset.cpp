#include "platform/data/EmbeddedRecordset.h"

#include "platform/data/RecordsetErrors.h"

#include "platform/data/EngineCall.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace platform {

namespace {


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
        if (v.sqlType().base == tsql::Base::Time)
            return QTime(d.hour, d.minute, d.second, d.millisecond);
        if (v.sqlType().base == tsql::Base::DateTimeOffset)
            return QDateTime(QDate(d.year, d.month, d.day), QTime(d.hour, d.minute, d.second, d.millisecond),
                             Qt::OffsetFromUTC, d.offsetMinutes * 60);
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
