#include "ResultPrinter.h"

#include "Output.h"

#include <algorithm>

namespace sqlcmd {

namespace {

// Rows read ahead to size the columns whose type gives no width; later rows keep those widths.
const std::size_t probeRows = 10000;

QString rightTrimmed(const QString &s)
{
    qsizetype end = s.size();
    while (end > 0 && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.left(end);
}

// -k: tabs and line breaks inside values would break the columns apart.
QString withoutControlCharacters(const QString &s, int mode)
{
    QString out;
    out.reserve(s.size());
    bool inRun = false;
    for (const QChar c : s) {
        if (c.category() != QChar::Other_Control) {
            out += c;
            inRun = false;
        } else if (mode == 1 || !inRun) {
            out += QLatin1Char(' ');
            inRun = true;
        }
    }
    return out;
}

} // namespace

ResultPrinter::Row ResultPrinter::readRow(ResultCursor &cursor, const std::vector<Column> &columns) const
{
    Row row(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::optional<QString> v = cursor.cell(static_cast<int>(i));
        if (v && m_format.controlCharacters > 0)
            v = withoutControlCharacters(*v, m_format.controlCharacters);
        if (v && columns[i].limit >= 0 && v->size() > columns[i].limit)
            v->truncate(columns[i].limit);
        row[i] = std::move(v);
    }
    return row;
}

QString ResultPrinter::cellText(const Column &column, const std::optional<QString> &value) const
{
    const QString text = value ? *value : QStringLiteral("NULL");
    if (m_format.trimSpaces)
        return rightTrimmed(text);
    return column.right ? text.rightJustified(column.width) : text.leftJustified(column.width);
}

void ResultPrinter::printLine(const QStringList &cells)
{
    const QString &sep = m_format.separator;
    const int width = m_format.screenWidth;
    QString out;
    QString line;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        // A line longer than the screen breaks before the column that does not fit.
        if (width > 0 && i > 0 && line.size() + sep.size() + cells.at(i).size() > width) {
            out += line + QLatin1Char('\n');
            line.clear();
        } else if (i > 0) {
            line += sep;
        }
        line += cells.at(i);
    }
    out += line + QLatin1Char('\n');
    m_output.result(out);
}

void ResultPrinter::printHeadings(const std::vector<Column> &columns, bool again)
{
    if (m_format.headers < 0)
        return;
    if (again)
        m_output.result(QStringLiteral("\n"));
    QStringList names, dashes;
    for (const Column &c : columns) {
        const int width = m_format.trimSpaces ? static_cast<int>(c.name.size()) : c.width;
        names << (m_format.trimSpaces ? c.name : c.name.leftJustified(width));
        dashes << QString(width, QLatin1Char('-'));
    }
    printLine(names);
    printLine(dashes);
}

std::optional<std::optional<QString>> ResultPrinter::print(ResultCursor &cursor)
{
    std::vector<Column> columns;
    bool probe = false;
    for (const ResultColumn &rc : cursor.columns()) {
        Column c;
        c.name = rc.name;
        c.type = ColumnType::parse(rc.type);
        const int w = c.type.displayWidth(m_format.maxVarWidth, m_format.maxFixedWidth);
        c.width = w < 0 ? -1 : std::max(w, static_cast<int>(c.name.size()));
        c.limit = c.type.valueLimit(m_format.maxVarWidth, m_format.maxFixedWidth);
        c.right = c.type.isNumber();
        probe = probe || c.width < 0;
        columns.push_back(c);
    }

    std::vector<Row> ahead;
    bool more = cursor.next();
    if (probe && !m_format.trimSpaces) {
        while (more && ahead.size() < probeRows) {
            ahead.push_back(readRow(cursor, columns));
            more = cursor.next();
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            Column &c = columns[i];
            if (c.width >= 0)
                continue;
            c.width = static_cast<int>(c.name.size());
            for (const Row &row : ahead)
                c.width = std::max(c.width, static_cast<int>(row[i] ? row[i]->size() : 4));
        }
    }

    std::optional<std::optional<QString>> last;
    qint64 printed = 0;
    const auto printRow = [&](const Row &row) {
        if (printed == 0 || (m_format.headers > 0 && printed % m_format.headers == 0))
            printHeadings(columns, printed > 0);
        QStringList cells;
        for (std::size_t i = 0; i < columns.size(); ++i)
            cells << cellText(columns[i], row[i]);
        printLine(cells);
        ++printed;
        last = row.empty() ? std::optional<QString>() : row.front();
    };
    for (const Row &row : ahead)
        printRow(row);
    while (more) {
        printRow(readRow(cursor, columns));
        more = cursor.next();
    }
    if (printed == 0)
        printHeadings(columns, false);
    return last;
}

void ResultPrinter::printCount(qint64 rows)
{
    if (rows < 0)
        return;
    m_output.result(rows == 1 ? QStringLiteral("\n(1 row affected)\n")
                              : QStringLiteral("\n(%1 rows affected)\n").arg(rows));
}

void ResultPrinter::printMessage(const ServerMessage &m, const QString &serverName, bool everyHeader)
{
    if (m.fromClient) {
        m_output.message(QStringLiteral("Sqlcmd: Error: %1\n").arg(m.text), 16);
        return;
    }
    QString text;
    if (m.isError() || everyHeader) {
        text = QStringLiteral("Msg %1, Level %2, State %3, Server %4, ")
                   .arg(m.number)
                   .arg(m.severity)
                   .arg(m.state)
                   .arg(m.server.isEmpty() ? serverName : m.server);
        if (!m.procedure.isEmpty())
            text += QStringLiteral("Procedure %1, ").arg(m.procedure);
        text += QStringLiteral("Line %1\n").arg(m.line);
    }
    text += m.text + QLatin1Char('\n');
    m_output.message(text, m.severity);
}

} // namespace sqlcmd
