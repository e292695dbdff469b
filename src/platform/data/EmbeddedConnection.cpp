#include "platform/data/EmbeddedConnection.h"

#include "platform/data/EmbeddedRecordset.h"
#include "platform/data/EngineCall.h"

#include <QDir>
#include <QFileInfo>

namespace platform {

namespace {

// Database files are found by name whatever their letter case, as the engine names databases.
bool holdsDatabase(const QDir &folder, const QString &database)
{
    const QString wanted = database + QStringLiteral(".sqlite");
    const QStringList files = folder.entryList(QDir::Files);
    for (const QString &f : files) {
        if (f.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

EmbeddedConnection::EmbeddedConnection(std::unique_ptr<tsql::Session> session, QObject *parent)
    : Connection(parent), m_session(std::move(session))
{
}

EmbeddedConnection::~EmbeddedConnection() = default;

std::unique_ptr<EmbeddedConnection> EmbeddedConnection::open(const QString &folder,
                                                             const QString &database)
{
    const QFileInfo info(folder);
    const QString shown = QDir::toNativeSeparators(folder);
    if (!info.isDir()) {
        throw DatabaseError(QStringLiteral("The database folder '%1' does not exist.").arg(shown));
    }
    if (!database.isEmpty() && !holdsDatabase(QDir(folder), database)) {
        throw DatabaseError(
            QStringLiteral("The folder '%1' holds no %2 database.").arg(shown, database));
    }
    auto session = callEngine([&] {
        return tsql::Session::open(QFile::encodeName(info.absoluteFilePath()).toStdString(),
                                   database.toStdString());
    });
    return std::make_unique<EmbeddedConnection>(std::move(session));
}

std::unique_ptr<Recordset> EmbeddedConnection::openRecordset(const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    auto result = callEngine(
        [&] { return m_session->execute(std::string_view(utf8.constData(), utf8.size())); });
    return std::make_unique<EmbeddedRecordset>(std::move(result));
}

qint64 EmbeddedConnection::execute(const QString &sql)
{
    const QByteArray utf8 = sql.toUtf8();
    auto result = callEngine(
        [&] { return m_session->execute(std::string_view(utf8.constData(), utf8.size())); });
    return result->hasRows() ? -1 : result->rowsAffected();
}

void EmbeddedConnection::runBatch(const QString &batch, BatchSink &sink)
{
    const QByteArray utf8 = batch.toUtf8();
    auto run = callEngine([&] { return m_session->run(std::string_view(utf8.constData(), utf8.size())); });
    while (callEngine([&] { return run->next(); })) {
        switch (run->item()) {
        case tsql::BatchRun::Item::Rows: {
            EmbeddedRecordset recordset(run->rows());
            sink.rows(recordset);
            break;
        }
        case tsql::BatchRun::Item::Done:
            sink.done(run->count());
            break;
        case tsql::BatchRun::Item::Message: {
            const tsql::Message &m = run->message();
            DatabaseMessage message;
            message.number = m.number;
            message.severity = m.severity;
            message.state = m.state;
            message.line = m.line;
            message.text = QString::fromStdString(m.text);
            message.procedure = QString::fromStdString(m.procedure);
            sink.message(message);
            break;
        }
        }
    }
}

QString EmbeddedConnection::currentDatabase()
{
    return QString::fromStdString(m_session->currentDatabase());
}

void EmbeddedConnection::setQueryTimeout(int seconds)
{
    m_session->setTimeout(seconds * 1000);
}

QString EmbeddedConnection::displayName() const
{
    return QDir::toNativeSeparators(QString::fromStdString(m_session->folder()));
}

QStringList EmbeddedConnection::openWarnings() const
{
    QStringList lines;
    for (const std::string &line : m_session->openWarnings())
        lines << QString::fromStdString(line);
    return lines;
}

} // namespace platform
