#pragma once
// A hospital site for the maintenance tests: the demo databases in the layout before the
// upgrade, in a temporary folder of the test's own, with helpers to look at them.

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

class frmAdmin;

namespace platform {
class Connection;
}

namespace maintenancetest {

class Site {
public:
    // A fresh copy of the demo databases (generated once per test program), without the
    // databases named in `leaveOut`.
    explicit Site(const QStringList &leaveOut = {});
    ~Site();

    platform::Connection *connection() const { return m_connection.get(); }
    QString folder() const { return m_dir.path(); }

    void exec(const QString &sql);
    QList<QVariantList> rows(const QString &sql);
    // "varchar(50)", "int", "datetime"...; empty when the column is missing.
    QString columnType(const QString &database, const QString &table, const QString &column);
    bool tableExists(const QString &database, const QString &table);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<platform::Connection> m_connection;
};

// The log of the maintenance window, newest line first.
QStringList logLines(const frmAdmin &window);
// Clicks "Update Database" and waits for the run to end.
void runUpgrade(frmAdmin &window);
// True for the lines the catalogue look-ups write: "Column - table" or "New Added FieldsColumn".
bool isLookUpLine(const QString &line);

} // namespace maintenancetest
