#pragma once

#include "platform/data/Connection.h"

#include <memory>

namespace tsql {
class Result;
}

namespace platform {

// The recordset of one statement run on the embedded engine: a forward-only cursor over the
// engine's result, read one row ahead so that eof() is known without another call.
class EmbeddedRecordset : public Recordset {
public:
    explicit EmbeddedRecordset(std::unique_ptr<tsql::Result> result);
    // A result owned elsewhere (one result set of a batch).
    explicit EmbeddedRecordset(tsql::Result &result);
    ~EmbeddedRecordset() override;

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

private:
    void start();
    void fetch();
    void requireOpen() const;
    void requireRow() const;

    std::unique_ptr<tsql::Result> m_owned;
    tsql::Result *m_result = nullptr;
    QStringList m_names;
    QStringList m_types;
    qint64 m_rowsAffected = -1;
    bool m_isResultSet = false;
    bool m_eof = true;
};

} // namespace platform
