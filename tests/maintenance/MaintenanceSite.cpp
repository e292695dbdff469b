#include "MaintenanceSite.h"

#include "ServedFolder.h"

#include "demo/DemoDatabase.h"
#include "maintenance/frmAdmin.h"
#include "platform/data/Connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace maintenancetest {

namespace {
const QString &templateFolder()
{
    // The generator takes a while; every test starts from a copy of one generated site.
    static QTemporaryDir folder;
    static const bool created = [] {
        demo::create(folder.path(), demo::Options{40, 7});
        return true;
    }();
    Q_UNUSED(created);
    static const QString path = folder.path();
    return path;
}
} // namespace

Site::Site(const QStringList &leaveOut)
{
    const QDir source(templateFolder());
    for (const QString &name : source.entryList(QDir::Files))
        if (!leaveOut.contains(QFileInfo(name).completeBaseName(), Qt::CaseInsensitive))
            QFile::copy(source.filePath(name), QDir(m_dir.path()).filePath(name));
    m_connection = servedfolder::open(m_dir.path());
}

Site::~Site() = default;

void Site::exec(const QString &sql)
{
    m_connection->execute(sql);
}

QList<QVariantList> Site::rows(const QString &sql)
{
    QList<QVariantList> result;
    std::unique_ptr<platform::Recordset> rs = m_connection->openRecordset(sql);
    for (; !rs->eof(); rs->moveNext()) {
        QVariantList row;
        for (int i = 0; i < rs->fieldCount(); ++i)
            row.append(rs->value(i));
        result.append(row);
    }
    rs->close();
    return result;
}

QString Site::columnType(const QString &database, const QString &table, const QString &column)
{
    exec("USE " + database);
    const QList<QVariantList> found =
        rows("SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH FROM INFORMATION_SCHEMA.COLUMNS "
             "WHERE TABLE_NAME = '" + table + "' AND COLUMN_NAME = '" + column + "'");
    exec(QStringLiteral("USE Patient_Data"));
    if (found.isEmpty())
        return {};
    const QString type = found.first().at(0).toString().toLower();
    const QVariant length = found.first().at(1);
    return length.isNull() ? type : QStringLiteral("%1(%2)").arg(type).arg(length.toLongLong());
}

bool Site::tableExists(const QString &database, const QString &table)
{
    exec("USE " + database);
    const bool found = !rows("SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME = '"
                             + table + "'")
                            .isEmpty();
    exec(QStringLiteral("USE Patient_Data"));
    return found;
}

QStringList logLines(const frmAdmin &window)
{
    QStringList lines = window.txtExistingColumns->toPlainText().split(QLatin1Char('\n'));
    // Every line is written with its line break, so the text ends with an empty piece.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void runUpgrade(frmAdmin &window)
{
    QTest::mouseClick(window.cmdUpdate, Qt::LeftButton);
    QVERIFY(!window.isRunning());
}

bool isLookUpLine(const QString &line)
{
    static const QRegularExpression form(
        QStringLiteral("^(New Added Fields\\w+|\\w+ - \\w+)$"));
    return form.match(line).hasMatch();
}

} // namespace maintenancetest
