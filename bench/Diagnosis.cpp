#include "Diagnosis.h"

#include "platform/data/Connection.h"
#include "tsql/Session.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <algorithm>
#include <vector>

namespace bench {

QList<TraceReader::Entry> TraceReader::newEntries()
{
    QFile trace(m_path);
    if (!trace.open(QIODevice::ReadOnly))
        return {};
    trace.seek(m_offset);
    QList<Entry> entries;
    while (!trace.atEnd()) {
        const QByteArray line = trace.readLine().trimmed();
        if (line.isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        const QDateTime time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        entries.append({time.toMSecsSinceEpoch(), o.value(QStringLiteral("statement")).toString()});
    }
    m_offset = trace.pos();
    return entries;
}

QStringList TraceReader::newStatements()
{
    QStringList statements;
    for (const Entry &e : newEntries())
        statements << e.statement;
    return statements;
}

double runStatements(platform::Connection &connection, const QStringList &statements)
{
    QElapsedTimer timer;
    timer.start();
    for (const QString &sql : statements) {
        auto rs = connection.openRecordset(sql);
        if (rs->isResultSet()) {
            for (; !rs->eof(); rs->moveNext())
                for (int i = 0; i < rs->fieldCount(); ++i)
                    rs->value(i);
        }
        rs->close();
    }
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

Plan explain(const QString &folder, const QString &statement)
{
    Plan plan;
    auto session = tsql::Session::open(folder.toStdString(), "Patient_Data");
    const std::string text = statement.toStdString();
    const tsql::Explanation e = session->explain(text);
    for (const std::string &sql : e.sqlite)
        plan.sql += (plan.sql.isEmpty() ? QString() : QStringLiteral("; ")) + QString::fromStdString(sql);
    for (const std::string &step : e.plan)
        plan.steps << QString::fromStdString(step);
    // The statement through the engine alone, without the recordset and the grid: what is left
    // of the gap to the floor is in the engine, the rest in the layers above it.
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer timer;
        timer.start();
        auto r = session->execute(text);
        while (r->next())
            for (std::size_t c = 0; c < r->columns().size(); ++c)
                (void)r->value(c);
        runs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(runs.begin(), runs.end());
    plan.generatedMs = runs.empty() ? 0 : runs[runs.size() / 2];
    return plan;
}

} // namespace bench
