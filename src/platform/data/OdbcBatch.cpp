#include "platform/data/OdbcBatch.h"

#include "platform/data/RecordsetErrors.h"

#include <QDateTime>
#include <QRegularExpression>

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <vector>

namespace platform {

namespace {

// SQL Server's own diagnostic fields and types (Microsoft's ODBC drivers and FreeTDS know them).
constexpr SQLSMALLINT diagMessageState = -1150;
constexpr SQLSMALLINT diagSeverity = -1151;
constexpr SQLSMALLINT diagServerName = -1152;
constexpr SQLSMALLINT diagProcedureName = -1153;
constexpr SQLSMALLINT diagLine = -1154;
constexpr SQLSMALLINT typeTime2 = -154;
constexpr SQLSMALLINT typeDateTimeOffset = -155;

QString fromWide(const SQLWCHAR *text, qsizetype chars)
{
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t));
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(text), chars);
}

QString diagText(SQLHSTMT stmt, SQLSMALLINT record, SQLSMALLINT field)
{
    SQLWCHAR buffer[256];
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, record, field, buffer, sizeof buffer, &bytes)))
        return {};
    return fromWide(buffer, std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), 255));
}

template<typename T>
std::optional<int> diagNumber(SQLHSTMT stmt, SQLSMALLINT record, SQLSMALLINT field)
{
    T value = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagFieldW(SQL_HANDLE_STMT, stmt, record, field, &value, sizeof value, nullptr)))
        return std::nullopt;
    return static_cast<int>(value);
}

// "[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Invalid object name 'x'." reads as the
// server wrote it without the drivers' names in front.
QString withoutPrefix(const QString &text)
{
    static const QRegularExpression prefix(u"^(\\[[^\\]]*\\])+"_qs);
    return QString(text).remove(prefix);
}

// FreeTDS (1.3) has no severity field and hands the severity in the state field instead.
bool severityInStateField(SQLHDBC dbc)
{
    SQLWCHAR name[64];
    SQLSMALLINT bytes = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, SQL_DRIVER_NAME, name, sizeof name, &bytes)))
        return false;
    return fromWide(name, std::min<qsizetype>(bytes / qsizetype(sizeof(SQLWCHAR)), 63)).contains(u"tdsodbc"_qs);
}

// What the driver says about the calls on one statement goes to the sink.
struct Diagnostics {
    SQLHSTMT stmt;
    BatchSink &sink;
    bool severityInState;

    // Passes on what the driver has to say about the last call. Returns how many records there were.
    int report() const;
};

int Diagnostics::report() const
{
    int records = 0;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> text(1024);
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, i, state, &native, text.data(),
                                      SQLSMALLINT(text.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(text.size())) {
            text.resize(std::size_t(length) + 1);
            rc = SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, i, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc))
            break;
        ++records;
        const QString sqlState = fromWide(state, 5);
        const QString raw = fromWide(text.data(), std::min<qsizetype>(length, qsizetype(text.size()) - 1));
        const bool warning = sqlState.startsWith(u"01"_qs);
        // The driver's own warnings (a value cut short, an option it changed) are not the
        // server's messages; PRINT and RAISERROR come with the server's tag.
        if (native == 0 && warning && !raw.contains(u"[SQL Server]"_qs))
            continue;
        DatabaseMessage m;
        m.number = native;
        m.text = withoutPrefix(raw);
        m.fromDriver = native == 0 && !warning;
        const std::optional<int> severity = diagNumber<SQLINTEGER>(stmt, i, diagSeverity);
        const std::optional<int> messageState = diagNumber<SQLINTEGER>(stmt, i, diagMessageState);
        if (!severity && severityInState) {
            m.severity = messageState.value_or(warning ? 0 : 16);
            m.state = 1;
        } else {
            m.severity = severity.value_or(warning ? 0 : 16);
            m.state = messageState.value_or(1);
        }
        m.line = std::max(1, diagNumber<SQLUSMALLINT>(stmt, i, diagLine).value_or(1));
        m.procedure = diagText(stmt, i, diagProcedureName);
        m.server = diagText(stmt, i, diagServerName);
        sink.message(m);
    }
    return records;
}

struct Column {
    QString name;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    QString typeName; // as SQL Server writes it, with its length, precision or scale
};

QString baseTypeName(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_CHAR: return u"char"_qs;
    case SQL_VARCHAR: return u"varchar"_qs;
    case SQL_LONGVARCHAR: return u"text"_qs;
    case SQL_WCHAR: return u"nchar"_qs;
    case SQL_WVARCHAR: return u"nvarchar"_qs;
    case SQL_WLONGVARCHAR: return u"ntext"_qs;
    case SQL_NUMERIC: return u"numeric"_qs;
    case SQL_DECIMAL: return u"decimal"_qs;
    case SQL_INTEGER: return u"int"_qs;
    case SQL_SMALLINT: return u"smallint"_qs;
    case SQL_TINYINT: return u"tinyint"_qs;
    case SQL_BIGINT: return u"bigint"_qs;
    case SQL_BIT: return u"bit"_qs;
    case SQL_REAL: return u"real"_qs;
    case SQL_FLOAT: case SQL_DOUBLE: return u"float"_qs;
    case SQL_TYPE_DATE: return u"date"_qs;
    case SQL_TYPE_TIME: case typeTime2: return u"time"_qs;
    case SQL_TYPE_TIMESTAMP: return u"datetime"_qs;
    case typeDateTimeOffset: return u"datetimeoffset"_qs;
    case SQL_BINARY: return u"binary"_qs;
    case SQL_VARBINARY: return u"varbinary"_qs;
    case SQL_LONGVARBINARY: return u"image"_qs;
    case SQL_GUID: return u"uniqueidentifier"_qs;
    default: return {};
    }
}

QString fullTypeName(const QString &reported, const Column &c)
{
    QString base = reported.toLower();
    base.remove(u" identity"_qs);
    if (base.isEmpty())
        base = baseTypeName(c.sqlType);
    static const QStringList sized = {u"char"_qs, u"varchar"_qs, u"nchar"_qs, u"nvarchar"_qs, u"binary"_qs, u"varbinary"_qs};
    if (sized.contains(base))
        return base + u'(' + (c.size == 0 || c.size > 8000 ? u"max"_qs : QString::number(c.size)) + u')';
    if (base == u"decimal"_qs || base == u"numeric"_qs)
        return u"%1(%2,%3)"_qs.arg(base).arg(c.size).arg(c.digits);
    if (base == u"time"_qs || base == u"datetime2"_qs || base == u"datetimeoffset"_qs)
        return u"%1(%2)"_qs.arg(base).arg(c.digits);
    return base;
}

// One result set of the batch, read row by row from the statement.
class BatchRecordset final : public Recordset {
public:
    BatchRecordset(const Diagnostics &diagnostics, SQLSMALLINT count)
        : m_stmt(diagnostics.stmt), m_diagnostics(diagnostics)
    {
        const SQLHSTMT stmt = m_stmt;
        for (SQLSMALLINT i = 1; i <= count; ++i) {
            Column c;
            SQLWCHAR name[256];
            SQLSMALLINT nameLength = 0, nullable = 0;
            SQLDescribeColW(stmt, i, name, 256, &nameLength, &c.sqlType, &c.size, &c.digits, &nullable);
            c.name = fromWide(name, std::min<SQLSMALLINT>(nameLength, 255));
            SQLWCHAR type[128];
            SQLSMALLINT typeBytes = 0;
            QString reported;
            if (SQL_SUCCEEDED(SQLColAttributeW(stmt, i, SQL_DESC_TYPE_NAME, type, sizeof type, &typeBytes, nullptr)))
                reported = fromWide(type, std::min<qsizetype>(typeBytes / qsizetype(sizeof(SQLWCHAR)), 127));
            c.typeName = fullTypeName(reported, c);
            m_columns.push_back(c);
        }
        fetch();
    }

    bool isResultSet() const override { return true; }
    bool eof() const override { return m_eof; }
    QVariant field(const QString &name) const override
    {
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            if (m_columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return value(int(i));
        }
        throw detail::itemNotFound();
    }
    int fieldCount() const override { return int(m_columns.size()); }
    QString fieldName(int index) const override { return column(index).name; }
    QString fieldType(int index) const override { return column(index).typeName; }
    QVariant value(int index) const override
    {
        column(index);
        if (m_eof)
            throw detail::noCurrentRecord();
        return m_row.at(index);
    }
    void moveNext() override
    {
        if (m_eof)
            throw detail::noCurrentRecord();
        fetch();
    }
    qint64 rowsAffected() const override { return -1; }
    void close() override { m_eof = true; }

    void skipRest()
    {
        while (!m_eof)
            fetch();
    }

private:
    const Column &column(int index) const
    {
        if (index < 0 || index >= int(m_columns.size()))
            throw detail::itemNotFound();
        return m_columns[std::size_t(index)];
    }

    void fetch()
    {
        m_row.clear();
        const SQLRETURN rc = SQLFetch(m_stmt);
        if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO)
            m_diagnostics.report();
        m_eof = !SQL_SUCCEEDED(rc);
        if (m_eof)
            return;
        for (std::size_t i = 0; i < m_columns.size(); ++i)
            m_row << read(SQLUSMALLINT(i + 1), m_columns[i]);
    }

    // Long values come in pieces: SQLGetData goes on where the last call stopped.
    template<typename Unit>
    std::optional<std::vector<Unit>> readPieces(SQLUSMALLINT n, SQLSMALLINT cType, bool terminated)
    {
        std::vector<Unit> all;
        std::vector<Unit> buffer(4096);
        const SQLLEN bufferBytes = SQLLEN(buffer.size() * sizeof(Unit));
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(m_stmt, n, cType, buffer.data(), bufferBytes, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc))
                return all;
            if (indicator == SQL_NULL_DATA)
                return std::nullopt;
            const SQLLEN room = bufferBytes - (terminated ? SQLLEN(sizeof(Unit)) : 0);
            const SQLLEN got = indicator == SQL_NO_TOTAL || indicator > room ? room : indicator;
            all.insert(all.end(), buffer.begin(), buffer.begin() + got / SQLLEN(sizeof(Unit)));
            if (rc == SQL_SUCCESS)
                break;
        }
        return all;
    }

    std::optional<QString> readText(SQLUSMALLINT n)
    {
        const auto units = readPieces<SQLWCHAR>(n, SQL_C_WCHAR, true);
        if (!units)
            return std::nullopt;
        return fromWide(units->data(), qsizetype(units->size()));
    }

    QVariant read(SQLUSMALLINT n, const Column &c)
    {
        SQLLEN indicator = 0;
        switch (c.sqlType) {
        case SQL_BIT: case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT: {
            SQLBIGINT v = 0;
            SQLGetData(m_stmt, n, SQL_C_SBIGINT, &v, 0, &indicator);
            return indicator == SQL_NULL_DATA ? QVariant() : QVariant(qlonglong(v));
        }
        case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE: {
            double v = 0;
            SQLGetData(m_stmt, n, SQL_C_DOUBLE, &v, 0, &indicator);
            return indicator == SQL_NULL_DATA ? QVariant() : QVariant(v);
        }
        case SQL_TYPE_DATE: case SQL_TYPE_TIMESTAMP: {
            SQL_TIMESTAMP_STRUCT t{};
            SQLGetData(m_stmt, n, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator);
            if (indicator == SQL_NULL_DATA)
                return {};
            return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000)),
                             Qt::LocalTime);
        }
        case SQL_TYPE_TIME: case typeTime2: {
            const std::optional<QString> text = readText(n);
            return text ? QVariant(QTime::fromString(text->left(12), text->size() > 8 ? u"hh:mm:ss.zzz"_qs : u"hh:mm:ss"_qs))
                        : QVariant();
        }
        case typeDateTimeOffset: {
            // "2026-12-06 13:45:30.1234567 +08:00"
            const std::optional<QString> text = readText(n);
            if (!text)
                return {};
            const QString offset = text->right(6);
            const int minutes = (offset.mid(1, 2).toInt() * 60 + offset.mid(4, 2).toInt()) * (offset.startsWith(u'-') ? -1 : 1);
            const QString local = text->left(text->size() - 7);
            QDateTime dt = QDateTime::fromString(local.left(23), local.size() > 19 ? u"yyyy-MM-dd hh:mm:ss.zzz"_qs
                                                                                   : u"yyyy-MM-dd hh:mm:ss"_qs);
            dt.setOffsetFromUtc(minutes * 60);
            return dt;
        }
        case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY: {
            const auto bytes = readPieces<char>(n, SQL_C_BINARY, false);
            return bytes ? QVariant(QByteArray(bytes->data(), qsizetype(bytes->size()))) : QVariant();
        }
        default: {
            // Text, and the exact numbers as their digits, as the engine's connection hands them.
            const std::optional<QString> text = readText(n);
            return text ? QVariant(*text) : QVariant();
        }
        }
    }

    SQLHSTMT m_stmt;
    const Diagnostics &m_diagnostics;
    std::vector<Column> m_columns;
    QVariantList m_row;
    bool m_eof = true;
};

class StatementHandle {
public:
    explicit StatementHandle(SQLHDBC dbc)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &m_stmt)))
            throw DatabaseError(u"The connection has no room for another statement."_qs);
    }
    ~StatementHandle() { SQLFreeHandle(SQL_HANDLE_STMT, m_stmt); }
    StatementHandle(const StatementHandle &) = delete;
    StatementHandle &operator=(const StatementHandle &) = delete;
    SQLHSTMT handle() const { return m_stmt; }

private:
    SQLHSTMT m_stmt = SQL_NULL_HSTMT;
};

void reportCount(SQLHSTMT stmt, BatchSink &sink)
{
    SQLLEN count = -1;
    if (!SQL_SUCCEEDED(SQLRowCount(stmt, &count)))
        count = -1;
    sink.done(count);
}

} // namespace

void runOdbcBatch(void *connectionHandle, const QString &batch, int queryTimeoutSeconds, BatchSink &sink)
{
    const auto dbc = static_cast<SQLHDBC>(connectionHandle);
    StatementHandle statement(dbc);
    const SQLHSTMT stmt = statement.handle();
    const Diagnostics diagnostics{stmt, sink, severityInStateField(dbc)};
    if (queryTimeoutSeconds > 0)
        SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(queryTimeoutSeconds)), 0);

    SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR *>(reinterpret_cast<const SQLWCHAR *>(batch.utf16())), SQL_NTS);
    for (;;) {
        const int records = rc == SQL_SUCCESS ? 0 : diagnostics.report();
        if (SQL_SUCCEEDED(rc)) {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(stmt, &columns);
            if (columns > 0) {
                BatchRecordset rows(diagnostics, columns);
                sink.rows(rows);
                rows.skipRest();
            }
            reportCount(stmt, sink);
        } else if (rc == SQL_NO_DATA) {
            // A statement that touched no rows.
            reportCount(stmt, sink);
        } else if (rc != SQL_ERROR || records == 0) {
            // Nothing more can be read: a lost link, a handle the driver gave up.
            break;
        }
        // A failed statement does not end the batch on the server; the next result follows.
        rc = SQLMoreResults(stmt);
        if (rc == SQL_NO_DATA) {
            diagnostics.report();
            break;
        }
    }
}

} // namespace platform
