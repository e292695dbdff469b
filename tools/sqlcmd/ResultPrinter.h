#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdio>
#include <vector>

namespace platform {
class Recordset;
}

namespace sqlcmd {

struct PrintOptions {
    bool headings = true;
    QString separator = QStringLiteral(" ");
    bool trimSpaces = false;
};

// Prints result sets as sqlcmd does: headings padded to the column's display width, a line of
// dashes, the rows, a blank line and the count of rows.
class ResultPrinter {
public:
    ResultPrinter(const PrintOptions &options, std::FILE *out);

    // The result set's headings and rows; the count follows as its own item (printCount).
    void print(platform::Recordset &recordset);
    void printCount(qint64 rows); // "(N rows affected)" after a blank line; nothing for -1
    void printLine(const QString &line);

    // The display width of a column of this T-SQL type, or -1 when the type does not say
    // (text of unknown length): such columns are as wide as their widest value.
    static int typeWidth(const QString &typeName);
    static QString valueText(const QVariant &value, const QString &typeName);

private:
    struct Column {
        QString name;
        QString type;
        int width = 0;
        bool numeric = false;
    };

    void printHeadings(const std::vector<Column> &columns);
    void printRow(const std::vector<Column> &columns, const QStringList &cells);
    void write(const QString &text);

    PrintOptions m_options;
    std::FILE *m_out;
};

} // namespace sqlcmd
