#pragma once

#include "platform/data/Connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>
#include <memory>
#include <optional>

namespace platform {

class OdbcRecordset;

// The one recordset of a connection that may still hold pending results. SQL Server without
// multiple active result sets refuses a statement while another one's rows are unread, so that
// recordset is set aside before the next statement.
struct OdbcActiveResult {
    OdbcRecordset *recordset = nullptr;
};

// The driver's own words for a failure: Qt adds its "QODBC: ..." text separately
// (driverText), so the database text is what SQL Server and the driver reported.
DatabaseError odbcError(const QSqlError &error);

// A forward-only recordset over an executed QSqlQuery, positioned on the first row of the first
// result that has columns.
class OdbcRecordset final : public Recordset {
public:
    OdbcRecordset(QSqlQuery query, std::shared_ptr<OdbcActiveResult> active);
    ~OdbcRecordset() override;
    Q_DISABLE_COPY_MOVE(OdbcRecordset)

    bool isResultSet() const override;
    bool eof() const override;
    QVariant field(const QString &name) const override;
    int fieldCount() const override;
    QString fieldName(int index) const override;
    QString fieldType(int index) const override;
    QVariant value(int index) const override;
    void moveNext() override;
    qint64 rowsAffected() const override;
    void close() override;

    // Reads the remaining results of the batch so that every statement in it has run; throws the
    // first failure among them.
    void drain();
    // Moves to the batch's next result (rows or a count); false when there is none.
    bool nextResult();
    // Reads the rest of the rows into memory and lets go of the connection, before another
    // statement runs on it; the recordset reads on from memory.
    void setAside();

private:
    void skipToRows();
    bool readRow(QVariantList &row);
    void fetch();
    void release();
    void requireOpen() const;
    void requireRow() const;

    QSqlQuery m_query;
    std::shared_ptr<OdbcActiveResult> m_active;
    QStringList m_names;
    QList<int> m_sqlTypes;
    QVariantList m_row;
    QList<QVariantList> m_buffer; // rows read ahead by setAside()
    qsizetype m_next = 0;
    std::optional<DatabaseError> m_deferredError;
    qint64 m_rowsAffected = -1;
    bool m_isResultSet = false;
    bool m_eof = true;
    bool m_setAside = false;
    bool m_closed = false;
};

} // namespace platform
