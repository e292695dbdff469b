#include "Diagnosis.h"

#include "platform/data/Connection.h"
#include "tsql/Compiler.h"
#include "tsql/Engine.h"
#include "tsql/Lexer.h"
#include "tsql/Parser.h"

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
    tsql::Engine engine(folder.toStdString(), "Patient_Data");
    const std::string text = statement.toStdString();
    const auto tokens = tsql::tokenize(text);
    tsql::Parser parser(tokens);
    const auto parsed = parser.statement();
    if (!parsed || !parsed->select)
        return plan;
    tsql::Compiler compiler(engine.catalog(), engine.currentDatabase());
    const std::string sql = compiler.select(*parsed->select).sql;
    plan.sql = QString::fromStdString(sql);
    const std::string query = "EXPLAIN QUERY PLAN " + sql;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(engine.handle(), query.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            plan.steps << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 3)));
    } else {
        plan.steps << QString::fromUtf8(sqlite3_errmsg(engine.handle()));
    }
    sqlite3_finalize(stmt);

    // The engine's own SQL without its cursor and the recordset: what is left of the gap to the
    // floor is in the SQL, the rest in the layers above it.
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (sqlite3_prepare_v2(engine.handle(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            break;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                sqlite3_column_text(stmt, c);
        sqlite3_finalize(stmt);
        runs.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(runs.begin(), runs.end());
    plan.generatedMs = runs.empty() ? 0 : runs[runs.size() / 2];
    return plan;
}

} // namespace bench
