#include "platform/data/OdbcConnection.h"

#include "platform/data/OdbcBatch.h"
#include "platform/data/OdbcConnectionString.h"
#include "platform/data/OdbcRecordset.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>

namespace platform {

namespace {

class OdbcConnection final : public Connection {
public:
    OdbcConnection(const QString &target, const QString &user, const QString &password,
                   const ConnectionOptions &options);
    ~OdbcConnection() override;
    Q_DISABLE_COPY_MOVE(OdbcConnection)

    using Connection::execute;
    using Connection::openRecordset;
    std::unique_ptr<Recordset> openRecordset(const QString &sql) override;
    qint64 execute(const QString &sql) override;
    void runBatch(const QString &batch, BatchSink &sink) override;
    QString currentDatabase() override;
    void setQueryTimeout(int seconds) override { m_queryTimeout = seconds; }
    QString displayName() const override;

private:
    std::unique_ptr<OdbcRecordset> run(const QString &sql);

    QString m_name;
    QString m_target;
    QString m_displayName;
    std::shared_ptr<OdbcActiveResult> m_active = std::make_shared<OdbcActiveResult>();
    int m_queryTimeout = 0;
};

QString uniqueConnectionName()
{
    static QAtomicInt counter;
    return u"talvor-odbc-"_qs + QString::number(counter.fetchAndAddRelaxed(1) + 1);
}

OdbcConnection::OdbcConnection(const QString &target, const QString &user, const QString &password,
                               const ConnectionOptions &options)
    : m_name(uniqueConnectionName()),
      m_target(odbcWithOptions(target, options.database, options.encrypt, options.trustServerCertificate)),
      m_displayName(odbcDisplayName(m_target))
{
    if (!QSqlDatabase::isDriverAvailable(u"QODBC"_qs))
        throw DatabaseError(u"The Qt ODBC driver (QODBC) is not installed."_qs);
    bool opened = false;
    QString failure;
    int number = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QODBC"_qs, m_name);
        // The login goes into the connection string, braced, rather than through
        // setUserName/setPassword: Qt appends those unbraced, which breaks on ';' or '}'.
        // The string ends with ';': unixODBC hands FreeTDS a stray character after the last
        // value, which would otherwise end up in it (the password, most of the time).
        QString connectionString = qodbcDatabaseName(odbcConnectionString(m_target, user, password));
        if (!connectionString.endsWith(u';'))
            connectionString += u';';
        db.setDatabaseName(connectionString);
        // A login that does not answer must fail within the time given. Qt asks for ODBC 2
        // unless told otherwise, and in ODBC 2 FreeTDS drops the messages that follow a result set.
        db.setConnectOptions(
            u"SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1;SQL_ATTR_ODBC_VERSION=SQL_OV_ODBC3"_qs.arg(
                options.loginTimeoutSeconds));
        opened = db.open();
        if (!opened) {
            const DatabaseError error = odbcError(db.lastError());
            failure = error.description();
            number = error.number();
        }
        // Nothing else keeps the string that holds the password once the driver has it.
        db.setDatabaseName(QString());
        connectionString.fill(u' ');
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(m_name);
        throw DatabaseError(failure, number);
    }
}

OdbcConnection::~OdbcConnection()
{
    if (m_active->recordset)
        m_active->recordset->close();
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

std::unique_ptr<OdbcRecordset> OdbcConnection::run(const QString &sql)
{
    // Without multiple active result sets the server refuses a statement while another one's
    // rows are pending; a listing interrupted by the user's click must still resume afterwards.
    if (m_active->recordset)
        m_active->recordset->setAside();
    QSqlQuery query(QSqlDatabase::database(m_name, false));
    query.setForwardOnly(true);
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.exec(sql))
        throw odbcError(query.lastError());
    return std::make_unique<OdbcRecordset>(std::move(query), m_active);
}

std::unique_ptr<Recordset> OdbcConnection::openRecordset(const QString &sql)
{
    return run(sql);
}

qint64 OdbcConnection::execute(const QString &sql)
{
    std::unique_ptr<OdbcRecordset> recordset = run(sql);
    recordset->drain();
    const qint64 affected = recordset->rowsAffected();
    recordset->close();
    return affected;
}

void OdbcConnection::runBatch(const QString &batch, BatchSink &sink)
{
    // The connection must be free: rows a recordset left unread would hold it.
    if (m_active->recordset)
        m_active->recordset->setAside();
    const QVariant handle = QSqlDatabase::database(m_name, false).driver()->handle();
    if (!handle.isValid() || handle.metaType() != QMetaType::fromType<void *>())
        throw DatabaseError(u"The ODBC connection's handle is not available."_qs);
    runOdbcBatch(*static_cast<void *const *>(handle.constData()), batch, m_queryTimeout, sink);
}

QString OdbcConnection::currentDatabase()
{
    // Asking is a statement like any other, so it too sets aside a recordset left open.
    try {
        std::unique_ptr<OdbcRecordset> recordset = run(u"SELECT DB_NAME()"_qs);
        if (recordset->isResultSet() && !recordset->eof())
            return recordset->value(0).toString();
    } catch (const DatabaseError &) {
        // Not SQL Server: the database the connection string names is the best answer.
    }
    return odbcAttribute(m_target, u"Database"_qs);
}

QString OdbcConnection::displayName() const
{
    return m_displayName;
}

} // namespace

std::unique_ptr<Connection> openOdbcConnection(const QString &target, const QString &user,
                                               const QString &password, const ConnectionOptions &options)
{
    return std::make_unique<OdbcConnection>(target, user, password, options);
}

} // namespace platform
