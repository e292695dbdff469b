#include "Upgrade.h"

#include "Figures.h"
#include "Diagnosis.h"
#include "Floor.h"

#include "maintenance/frmAdmin.h"
#include "platform/data/Connection.h"
#include "platform/ui/MessageBox.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>

#include <memory>

namespace bench {

namespace {

bool copyDatabase(const QString &folder, const QString &scratch)
{
    QDir(scratch).removeRecursively();
    if (!QDir().mkpath(scratch))
        return false;
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.sqlite"), QStringLiteral("*.sqlite-wal")},
                                                     QDir::Files);
    for (const QString &name : files)
        if (!QFile::copy(QDir(folder).filePath(name), QDir(scratch).filePath(name)))
            return false;
    return !files.isEmpty();
}

// Rows in every history table of the patient database (tbhis..., ...Hist), holding tables of an
// interrupted run included, so a row that is only set aside still counts.
long long historyRows(const QString &folder)
{
    Floor db(folder.toStdString());
    long long rows = 0;
    const auto tables = db.scalar("SELECT group_concat(name, ',') FROM sqlite_master WHERE type = 'table' "
                                  "AND (name LIKE 'tbhis%' OR name LIKE '%hist' OR name LIKE '%hist_KeptRows')");
    if (!tables)
        return 0;
    for (const QString &table : QString::fromStdString(*tables).split(QLatin1Char(',')))
        rows += db.count("SELECT count(*) FROM \"" + table.toStdString() + "\"");
    return rows;
}

// The statements that took longest, each timed from the end of the one before.
void printSlowest(const QString &run, const QList<TraceReader::Entry> &entries, qint64 started)
{
    std::vector<std::pair<qint64, QString>> spans;
    qint64 previous = started;
    for (const TraceReader::Entry &e : entries) {
        spans.emplace_back(e.msecs - previous, e.statement.simplified());
        previous = e.msecs;
    }
    std::sort(spans.begin(), spans.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (std::size_t i = 0; i < spans.size() && i < 6; ++i)
        printNote(QStringLiteral("%1: %2 ms: %3").arg(run).arg(spans[i].first).arg(spans[i].second.left(160)));
}

} // namespace

bool benchUpgrade(const QString &folder, const QString &scratch)
{
    QElapsedTimer copyTimer;
    copyTimer.start();
    if (!copyDatabase(folder, scratch)) {
        printNote(QStringLiteral("update_database: could not copy the database to ") + scratch);
        return false;
    }
    printNote(QStringLiteral("update_database: database copied in %1 s").arg(copyTimer.elapsed() / 1000.0, 0, 'f', 1));

    QStringList messages;
    platform::ui::MessageBox::setResponder([&](const platform::ui::ShownMessage &m) { messages << m.text; });
    {
        // The trace's time stamps show which statements the time went to.
        QTemporaryDir traceFolder;
        const QString tracePath = traceFolder.filePath(QStringLiteral("trace.jsonl"));
        qputenv("TALVOR_SQL_TRACE", QFile::encodeName(tracePath));
        const std::unique_ptr<platform::Connection> connection = platform::openConnection(scratch);
        qputenv("TALVOR_SQL_TRACE", QByteArray());
        TraceReader trace(tracePath);
        frmAdmin admin(connection.get());
        admin.show();
        long long before = historyRows(scratch);
        for (const char *run : {"update_database_first", "update_database_second"}) {
            messages.clear();
            admin.txtExistingColumns->clear();
            trace.newEntries();
            QElapsedTimer timer;
            timer.start();
            const qint64 started = QDateTime::currentMSecsSinceEpoch();
            admin.cmdUpdate->click();
            const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            printCase(QString::fromLatin1(run), {ms, ms});
            printSlowest(QString::fromLatin1(run), trace.newEntries(), started);
            const long long after = historyRows(scratch);
            const int logLines = admin.txtExistingColumns->toPlainText().count(QLatin1Char('\n'));
            printNote(QStringLiteral("%1: history_rows_before=%2 history_rows_after=%3 log_lines=%4")
                          .arg(QString::fromLatin1(run)).arg(before).arg(after).arg(logLines));
            for (const QString &m : messages)
                printNote(QStringLiteral("%1: message: %2").arg(QString::fromLatin1(run), QString(m).replace('\n', ' ')));
            if (after < before)
                printNote(QStringLiteral("%1: WARNING: %2 history rows lost").arg(QString::fromLatin1(run)).arg(before - after));
            before = after;
        }
    }
    platform::ui::MessageBox::setResponder({});
    QDir(scratch).removeRecursively();
    return true;
}

} // namespace bench
