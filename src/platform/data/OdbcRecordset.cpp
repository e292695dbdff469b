#include "platform/data/OdbcRecordset.h"

#include "platform/data/RecordsetErrors.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlField>
#include <QSqlRecord>

namespace platform {

namespace {


// ODBC's SQL data type codes, named as SQL Server calls the types behind them.
QString typeName(int sqlType)
{
    switch (sqlType) {
    case 1: return u"char"_qs;
    case 12: return u"varchar"_qs;
    case -1: return u"text"_qs;
    case -8: return u"nchar"_qs;
    case -9: return u"nvarchar"_qs;
    case -10: return u"ntext"_qs;
    case 2: return u"numeric"_qs;
    case 3: return u"decimal"_qs;
    case 4: return u"int"_qs;
    case 5: return u"smallint"_qs;
    case -6: return u"tinyint"_qs;
    case -5: return u"bigint"_qs;
    case -7: return u"bit"_qs;
    case 6: case 8: return u"float"_qs;
    case 7: return u"real"_qs;
    case 9: case 91: return u"date"_qs;
    case 10: case 92: case -154: return u"time"_qs;
    case 11: case 93: return u"datetime"_qs;
    case -2: return u"binary"_qs;
    case -3: return u"varbinary"_qs;
    case -4: return u"image"_qs;
    case -11: return u"uniqueidentifier"_qs;
    default: return {};
    }
}

// Integers of every width read as qlonglong and dates as date-times, so callers see the same
// kinds of values from either connection.
QVariant normalized(const QVariant &value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    default:
        return value;
    }
}

} // namespace

DatabaseError odbcError(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) {
        // Nothing from the driver (an empty statement, a lost handle): Qt's own words are all
        // there is, without the plugin's name in front.
        static const QRegularExpression pluginName(u"^QODBC3?: "_qs);
        text = error.driverText().trimmed().remove(pluginName);
    }
    // Later Qt versions append the SQLSTATEs (", 42S02;01000"); the provider never showed them.
    static const QRegularExpression sqlStates(u",\\s*[0-9A-Z]{5}(;[0-9A-Z]{5})*$"_qs);
    text.remove(sqlStates);
    // The first record that carries a number: in ODBC 3 a refused login comes after the
    // driver's own "unable to connect", which has none.
    int number = 0;
    for (const QString &code : error.nativeErrorCode().split(u';')) {
        bool ok = false;
        number = code.toInt(&ok);
        if (ok && number != 0)
            break;
        number = 0;
    }
    return DatabaseError(text, number);
}

OdbcRecordset::OdbcRecordset(QSqlQuery query, std::shared_ptr<OdbcActiveResult> active)
    : m_query(std::move(query)), m_active(std::move(active))
{
    m_active->recordset = this;
    try {
        skipToRows();
    } catch (...) {
        close();
        throw;
    }
}

OdbcRecordset::~OdbcRecordset()
{
    close();
}

void OdbcRecordset::skipToRows()
{
    // A batch may start with statements that return no rows ("SET NOCOUNT ON", "USE x"); the
    // recordset is the first result that has columns.
    for (;;) {
        if (m_query.isSelect()) {
            const QSqlRecord record = m_query.record();
            for (int i = 0; i < record.count(); ++i) {
                m_names << record.fieldName(i);
                m_sqlTypes << record.field(i).typeID();
            }
            m_isResultSet = true;
            fetch();
            return;
        }
        const int affected = m_query.numRowsAffected();
        if (affected >= 0)
            m_rowsAffected = (m_rowsAffected < 0 ? 0 : m_rowsAffected) + affected;
        if (!m_query.nextResult()) {
            if (m_query.lastError().isValid())
                throw odbcError(m_query.lastError());
            return;
        }
    }
}

bool OdbcRecordset::readRow(QVariantList &row)
{
    row.clear();
    if (!m_query.next()) {
        if (m_query.lastError().isValid())
            throw odbcError(m_query.lastError());
        return false;
    }
    // Read the whole row at once, in column order: some drivers hand out columns only forwards.
    const int count = int(m_names.size());
    row.reserve(count);
    for (int i = 0; i < count; ++i)
        row << (m_query.isNull(i) ? QVariant() : normalized(m_query.value(i)));
    return true;
}

void OdbcRecordset::fetch()
{
    m_row.clear();
    m_eof = true;
    if (!m_setAside) {
        m_eof = !readRow(m_row);
        return;
    }
    if (m_next < m_buffer.size()) {
        m_row = std::move(m_buffer[m_next++]);
        m_eof = false;
        return;
    }
    m_buffer.clear();
    if (m_deferredError) {
        const DatabaseError error = *m_deferredError;
        m_deferredError.reset();
        throw error;
    }
}

void OdbcRecordset::setAside()
{
    if (m_closed || m_setAside)
        return;
    // What the old provider's client-side cursor did for every recordset: the rows are read into
    // memory, so the connection is free and this recordset still goes on where it was.
    try {
        QVariantList row;
        while (!m_eof && readRow(row))
            m_buffer << row;
    } catch (const DatabaseError &error) {
        // Belongs to this recordset: its reader meets it after the rows that came before it.
        m_deferredError = error;
    }
    m_next = 0;
    m_setAside = true;
    release();
}

void OdbcRecordset::requireOpen() const
{
    if (m_closed)
        throw detail::objectClosed();
}

void OdbcRecordset::requireRow() const
{
    requireOpen();
    if (m_eof)
        throw detail::noCurrentRecord();
}

bool OdbcRecordset::isResultSet() const
{
    return m_isResultSet;
}

bool OdbcRecordset::eof() const
{
    return m_eof;
}

QVariant OdbcRecordset::field(const QString &name) const
{
    requireOpen();
    for (int i = 0; i < m_names.size(); ++i) {
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0) {
            requireRow();
            return m_row.at(i);
        }
    }
    throw detail::itemNotFound();
}

int OdbcRecordset::fieldCount() const
{
    return int(m_names.size());
}

QString OdbcRecordset::fieldName(int index) const
{
    if (index < 0 || index >= m_names.size())
        throw detail::itemNotFound();
    return m_names.at(index);
}

QString OdbcRecordset::fieldType(int index) const
{
    if (index < 0 || index >= m_sqlTypes.size())
        throw detail::itemNotFound();
    return typeName(m_sqlTypes.at(index));
}

QVariant OdbcRecordset::value(int index) const
{
    if (index < 0 || index >= m_names.size())
        throw detail::itemNotFound();
    requireRow();
    return m_row.at(index);
}

void OdbcRecordset::moveNext()
{
    requireRow();
    fetch();
}

qint64 OdbcRecordset::rowsAffected() const
{
    return m_rowsAffected;
}

void OdbcRecordset::drain()
{
    while (m_query.isActive() && m_query.nextResult()) {
        if (!m_query.isSelect() && m_query.numRowsAffected() >= 0)
            m_rowsAffected = (m_rowsAffected < 0 ? 0 : m_rowsAffected) + m_query.numRowsAffected();
    }
    if (m_query.lastError().isValid())
        throw odbcError(m_query.lastError());
}

bool OdbcRecordset::nextResult()
{
    if (m_closed || m_setAside || !m_query.isActive())
        return false;
    if (!m_query.nextResult()) {
        if (m_query.lastError().isValid())
            throw odbcError(m_query.lastError());
        return false;
    }
    m_names.clear();
    m_sqlTypes.clear();
    m_row.clear();
    m_isResultSet = m_query.isSelect();
    m_eof = true;
    m_rowsAffected = -1;
    if (m_isResultSet) {
        const QSqlRecord record = m_query.record();
        for (int i = 0; i < record.count(); ++i) {
            m_names << record.fieldName(i);
            m_sqlTypes << record.field(i).typeID();
        }
        fetch();
    } else {
        m_rowsAffected = m_query.numRowsAffected();
    }
    return true;
}

void OdbcRecordset::release()
{
    // The rest of a batch runs only while its results are read: closing the cursor instead would
    // cancel it part-way, so the remaining results are skipped through (a failure among them
    // cannot be reported from here). Then the statement handle goes, and the connection is free.
    while (m_query.isActive() && m_query.nextResult()) {
    }
    m_query.finish();
    m_query = QSqlQuery();
    if (m_active && m_active->recordset == this)
        m_active->recordset = nullptr;
}

void OdbcRecordset::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_eof = true;
    m_row.clear();
    m_buffer.clear();
    m_deferredError.reset();
    release();
}

} // namespace platform
