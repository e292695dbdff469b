#include "ResultPrinter.h"

#include "platform/data/Connection.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>

namespace sqlcmd {

namespace {

// Rows read ahead to size the columns whose type gives no width; later rows use those widths.
const int probeRows = 10000;

bool isNumericType(const QString &type)
{
    static const QStringList numeric = {
        QStringLiteral("int"),     QStringLiteral("bigint"),  QStringLiteral("smallint"),
        QStringLiteral("tinyint"), QStringLiteral("bit"),     QStringLiteral("float"),
        QStringLiteral("real"),    QStringLiteral("decimal"), QStringLiteral("numeric"),
        QStringLiteral("money"),   QStringLiteral("smallmoney"), QStringLiteral("integer")};
    const QString base = type.section(QLatin1Char('('), 0, 0).trimmed().toLower();
    return numeric.contains(base);
}

QString rightTrimmed(const QString &s)
{
    qsizetype end = s.size();
    while (end > 0 && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.left(end);
}

} // namespace

ResultPrinter::ResultPrinter(const PrintOptions &options, std::FILE *out)
    : m_options(options), m_out(out)
{
}

int ResultPrinter::typeWidth(const QString &typeName)
{
    static const QRegularExpression shape(
        QStringLiteral(R"(^\s*(\w+)\s*(?:\(\s*(\w+)\s*(?:,\s*\d+\s*)?\))?\s*$)"));
    const QRegularExpressionMatch m = shape.match(typeName);
    if (!m.hasMatch())
        return -1;
    const QString base = m.captured(1).toLower();
    const QString size = m.captured(2);
    struct Fixed {
        const char *name;
        int width;
    };
    static const Fixed fixed[] = {
        {"int", 11},  {"integer", 11}, {"bigint", 20}, {"smallint", 6}, {"tinyint", 3},
        {"bit", 1},   {"datetime", 23}, {"smalldatetime", 19}, {"date", 10}, {"time", 16},
        {"datetime2", 27}, {"float", 24}, {"real", 14}, {"money", 21}, {"smallmoney", 12},
        {"uniqueidentifier", 36}};
    for (const Fixed &f : fixed) {
        if (base == QLatin1String(f.name))
            return f.width;
    }
    bool ok = false;
    const int n = size.toInt(&ok);
    if (!ok)
        return -1; // no length, or (max)
    if (base == QLatin1String("decimal") || base == QLatin1String("numeric"))
        return n + 2;
    return n;
}

QString ResultPrinter::valueText(const QVariant &value, const QString &typeName)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const QString base = typeName.toLower();
        const QDateTime dt = value.toDateTime();
        if (base == QLatin1String("date"))
            return dt.toString(QStringLiteral("yyyy-MM-dd"));
        if (base == QLatin1String("smalldatetime"))
            return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    }
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::Double:
    case QMetaType::Float:
        // A real holds about 7 significant digits, a float 15: more would show binary noise.
        return QString::number(value.toDouble(), 'g', typeName.compare(QLatin1String("real"), Qt::CaseInsensitive) == 0 ? 7 : 15);
    case QMetaType::QByteArray:
        return QStringLiteral("0x") + QString::fromLatin1(value.toByteArray().toHex().toUpper());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return value.toString();
    }
}

void ResultPrinter::write(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_out);
}

void ResultPrinter::printLine(const QString &line)
{
    write(line + QLatin1Char('\n'));
}

void ResultPrinter::printHeadings(const std::vector<Column> &columns)
{
    if (!m_options.headings)
        return;
    QStringList names, dashes;
    for (const Column &c : columns) {
        if (m_options.trimSpaces) {
            names << c.name;
            dashes << QString(c.name.size(), QLatin1Char('-'));
        } else {
            names << c.name.leftJustified(c.width);
            dashes << QString(c.width, QLatin1Char('-'));
        }
    }
    printLine(names.join(m_options.separator));
    printLine(dashes.join(m_options.separator));
}

void ResultPrinter::printRow(const std::vector<Column> &columns, const QStringList &cells)
{
    QStringList out;
    out.reserve(cells.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const QString &cell = cells.at(static_cast<qsizetype>(i));
        const Column &c = columns[i];
        if (m_options.trimSpaces)
            out << rightTrimmed(cell);
        else if (c.numeric)
            out << cell.rightJustified(c.width);
        else
            out << cell.leftJustified(c.width);
    }
    printLine(out.join(m_options.separator));
}

void ResultPrinter::printCount(qint64 n)
{
    if (n < 0)
        return;
    printLine(QString());
    printLine(QStringLiteral("(%1 %2 affected)").arg(n).arg(n == 1 ? "row" : "rows"));
}

void ResultPrinter::print(platform::Recordset &rs)
{
    if (!rs.isResultSet())
        return;

    std::vector<Column> columns(static_cast<std::size_t>(rs.fieldCount()));
    bool probe = false;
    for (int i = 0; i < rs.fieldCount(); ++i) {
        Column &c = columns[static_cast<std::size_t>(i)];
        c.name = rs.fieldName(i);
        c.type = rs.fieldType(i);
        c.numeric = isNumericType(c.type);
        const int w = typeWidth(c.type);
        c.width = w < 0 ? -1 : std::max<int>(w, static_cast<int>(c.name.size()));
        probe = probe || w < 0;
    }

    const auto readRow = [&]() {
        QStringList cells;
        cells.reserve(static_cast<qsizetype>(columns.size()));
        for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
            const QVariant v = rs.value(i);
            Column &c = columns[static_cast<std::size_t>(i)];
            // A column of unknown type is numeric when its values are.
            if (c.type.isEmpty() && !v.isNull())
                c.numeric = v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double;
            cells << valueText(v, c.type);
        }
        return cells;
    };

    qint64 count = 0;
    std::vector<QStringList> ahead;
    if (probe) {
        while (!rs.eof() && static_cast<int>(ahead.size()) < probeRows) {
            ahead.push_back(readRow());
            rs.moveNext();
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            Column &c = columns[i];
            if (c.width >= 0)
                continue;
            int w = static_cast<int>(c.name.size());
            for (const QStringList &row : ahead)
                w = std::max<int>(w, static_cast<int>(row.at(static_cast<qsizetype>(i)).size()));
            c.width = w;
        }
    }
    printHeadings(columns);
    for (const QStringList &row : ahead) {
        printRow(columns, row);
        ++count;
    }
    while (!rs.eof()) {
        printRow(columns, readRow());
        ++count;
        rs.moveNext();
    }
    (void)count;
}

} // namespace sqlcmd
