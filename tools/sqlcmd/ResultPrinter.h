#pragma once

#include "ColumnType.h"
#include "Target.h"

#include <QStringList>

#include <vector>

namespace sqlcmd {

class Output;

// The formatting options; the scripting variables of the same names can change them between
// batches.
struct Format {
    int headers = 0;                          // -h / SQLCMDHEADERS: rows between headings, 0 once, -1 none
    QString separator = QStringLiteral(" ");  // -s / SQLCMDCOLSEP
    int screenWidth = 0;                      // -w / SQLCMDCOLWIDTH: 0 does not wrap
    bool trimSpaces = false;                  // -W
    int maxVarWidth = 256;                    // -y / SQLCMDMAXVARTYPEWIDTH: 0 no limit
    int maxFixedWidth = 0;                    // -Y / SQLCMDMAXFIXEDTYPEWIDTH: 0 no limit
    int controlCharacters = 0;                // -k: 0 kept, 1 each a blank, 2 each run a blank
};

// Prints what a batch returns as sqlcmd does: headings padded to each column's display width, a
// line of dashes, the rows, and "(N rows affected)" after a blank line; messages in sqlcmd's
// "Msg N, Level L, State S, Server X, Line L" shape.
class ResultPrinter {
public:
    explicit ResultPrinter(Output &output) : m_output(output) {}

    void setFormat(const Format &format) { m_format = format; }
    const Format &format() const { return m_format; }

    // Returns the last row's first cell (for :EXIT(query)); nullopt when there was no row.
    std::optional<std::optional<QString>> print(ResultCursor &cursor);
    void printCount(qint64 rows);
    // everyHeader: -m -1, informational messages get the "Msg" line too.
    void printMessage(const ServerMessage &message, const QString &serverName, bool everyHeader);

private:
    struct Column {
        QString name;
        ColumnType type;
        int width = 0;  // -1 until the values tell
        int limit = -1; // characters of a value shown, -1 for all
        bool right = false;
    };
    using Row = std::vector<std::optional<QString>>;

    Row readRow(ResultCursor &cursor, const std::vector<Column> &columns) const;
    QString cellText(const Column &column, const std::optional<QString> &value) const;
    void printHeadings(const std::vector<Column> &columns, bool again);
    void printLine(const QStringList &cells);

    Output &m_output;
    Format m_format;
};

} // namespace sqlcmd
