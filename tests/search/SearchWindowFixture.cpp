#include "SearchWindowFixture.h"

#include "SearchTestDatabase.h"
#include "ServedFolder.h"
#include "platform/components/Components.h"
#include "platform/files/TextFile.h"
#include "platform/ui/MessageBox.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <cmath>

namespace searchtest {

QStringList headerCalls;

QStringList openCalls(const QString &hospNum, const QString &idNum, const QString &name)
{
    return {"HospNum=" + hospNum, "IDNum=" + idNum, "PatientName=" + name, "LoadPatient"};
}

QString registrationStatement(const QString &filters)
{
    QString sql;
    for (const QString &table : {QStringLiteral("tbPatient"), QStringLiteral("tbOutPatient")}) {
        if (!sql.isEmpty())
            sql += QStringLiteral(" union all ");
        sql += QString::fromLatin1(registrationSelect).replace(QLatin1String("%T"), table)
               + QString(filters).replace(QLatin1String("%T"), table);
    }
    return sql + QStringLiteral(" ORDER BY  admdate desc, idnum desc ");
}

QString todayMdy()
{
    return QDate::currentDate().toString(QStringLiteral("MM/dd/yyyy"));
}

QString ageText(const QDate &birth)
{
    return QString::number(int(std::floor((birth.daysTo(QDate::currentDate()) + 1) / 365.25)));
}

QString dateTimeText(const QDate &date, int hour, int minute)
{
    // The tests run in the C locale, which shows dates as an en-US workstation does.
    const QDateTime value(date, QTime(hour, minute));
    return QLocale::c().toString(value, hour || minute ? QStringLiteral("M/d/yyyy h:mm:ss AP")
                                                        : QStringLiteral("M/d/yyyy"));
}

QStringList column(const platform::ui::Grid *grid, int col)
{
    QStringList cells;
    for (int r = 1; r < grid->rows(); ++r)
        cells << grid->textMatrix(r, col);
    return cells;
}

QString rowText(const platform::ui::Grid *grid, int row)
{
    QStringList cells;
    for (int c = 0; c < grid->cols(); ++c)
        cells << grid->textMatrix(row, c);
    return cells.join(QLatin1Char('\t'));
}

QPoint cellCentre(platform::ui::Grid *grid, int row, int col)
{
    const QModelIndex index = grid->model()->index(row - 1, col);
    grid->scrollTo(index);
    return grid->visualRect(index).center();
}


void SearchWindowFixture::createDatabase()
{
    QVERIFY(m_databaseDir.isValid() && m_traceDir.isValid());
    searchtest::createDatabase(m_databaseDir.path(), QDate::currentDate());
    // The engine writes every statement it receives here, exactly as received.
    m_tracePath = m_traceDir.filePath(QStringLiteral("trace.jsonl"));
    qputenv("TALVOR_SQL_TRACE", QFile::encodeName(m_tracePath));
    m_connection = servedfolder::open(m_databaseDir.path());
    platform::components::registerFactory(QStringLiteral("prjPatientBrelmontaxis.ctlHeader"),
                                          [](QWidget *parent) { return new RecordingHeader(parent); });
    platform::ui::MessageBox::setResponder(
        [this](const platform::ui::ShownMessage &message) { m_messages << message.text; });
}

void SearchWindowFixture::openWindow()
{
    m_programDir = std::make_unique<QTemporaryDir>();
    platform::files::setProgramFolderForTests(m_programDir->path());
    w = new frmMain2(m_connection.get(), &m_user);
    newStatements();
    headerCalls.clear();
    m_messages.clear();
}

void SearchWindowFixture::closeWindow()
{
    delete w;
    w = nullptr;
}

QStringList SearchWindowFixture::newStatements()
{
    QFile trace(m_tracePath);
    if (!trace.open(QIODevice::ReadOnly))
        return {};
    trace.seek(m_traceOffset);
    QStringList statements;
    while (!trace.atEnd()) {
        const QByteArray line = trace.readLine().trimmed();
        if (!line.isEmpty())
            statements << QJsonDocument::fromJson(line).object().value(QStringLiteral("statement")).toString();
    }
    m_traceOffset = trace.pos();
    return statements;
}

QStringList SearchWindowFixture::newStatementsStartingWith(const QString &prefix)
{
    QStringList matching;
    for (const QString &s : newStatements())
        if (s.startsWith(prefix))
            matching << s;
    return matching;
}

QByteArray SearchWindowFixture::handOffBytes() const
{
    QFile file(m_programDir->filePath(QStringLiteral("LastPatient.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void SearchWindowFixture::searchLastName(const QString &lastName)
{
    w->txtLastName->setText(lastName);
    QTest::keyClick(w->txtLastName, Qt::Key_Return);
}

} // namespace searchtest
