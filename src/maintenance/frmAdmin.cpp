#include "maintenance/frmAdmin.h"

#include "maintenance/HistoryRows.h"
#include "maintenance/UpgradeLock.h"
#include "maintenance/UpgradeSteps.h"
#include "platform/Failure.h"
#include "platform/audit/AuditTrail.h"
#include "platform/data/Connection.h"
#include "platform/files/TextFile.h"
#include "platform/ui/EventPump.h"
#include "platform/ui/Guard.h"
#include "platform/ui/ProgramIcon.h"
#include "platform/ui/Twips.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

using platform::ui::doEvents;
using platform::ui::twipsRect;

frmAdmin::frmAdmin(platform::Connection *connection, QWidget *parent)
    : QWidget(parent, Qt::Window), m_connection(connection)
{
    setObjectName(QStringLiteral("frmAdmin"));
    setWindowTitle(QStringLiteral("Form1"));
    setWindowIcon(platform::ui::programIcon());
    setFixedSize(twipsRect(0, 0, 8400, 7005).size());

    cmdUpdate = new QPushButton(QStringLiteral("Update Database"), this);
    cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    cmdUpdate->setGeometry(twipsRect(5520, 120, 2655, 495));

    txtExistingColumns = new QPlainTextEdit(this);
    txtExistingColumns->setObjectName(QStringLiteral("txtExistingColumns"));
    txtExistingColumns->setGeometry(twipsRect(120, 120, 5325, 6735));
    // Both scroll bars, as the old log box had: long error texts are read by scrolling sideways.
    txtExistingColumns->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtExistingColumns->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtExistingColumns->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log only grows during a long run; an undo history of every line would grow with it.
    txtExistingColumns->setUndoRedoEnabled(false);
    // It has no caption on the window; a screen reader still needs a name for it.
    txtExistingColumns->setAccessibleName(QStringLiteral("Log"));

    cmdUploadOccupation = new QPushButton(QStringLiteral("Upload Occupation Codes"), this);
    cmdUploadOccupation->setObjectName(QStringLiteral("cmdUploadOccupation"));
    cmdUploadOccupation->setGeometry(twipsRect(5520, 1560, 2655, 495));

    cmdClearOccupation = new QPushButton(QStringLiteral("Clear Occupation Codes"), this);
    cmdClearOccupation->setObjectName(QStringLiteral("cmdClearOccupation"));
    cmdClearOccupation->setGeometry(twipsRect(5520, 960, 2655, 495));

    setTabOrder(cmdUpdate, txtExistingColumns);
    setTabOrder(txtExistingColumns, cmdUploadOccupation);
    setTabOrder(cmdUploadOccupation, cmdClearOccupation);
    // Tab moves focus out of the log instead of typing a tab into it.
    txtExistingColumns->setTabChangesFocus(true);

    connect(cmdUpdate, &QPushButton::clicked, this, [this] {
        runExclusive(cmdUpdate, tr("The database update could not finish."), &frmAdmin::UpdateDatabase);
    });
    connect(cmdClearOccupation, &QPushButton::clicked, this, [this] {
        runExclusive(cmdClearOccupation, tr("The occupation codes could not be cleared."),
                     &frmAdmin::ClearOccupationCodes);
    });
    connect(cmdUploadOccupation, &QPushButton::clicked, this, [this] {
        runExclusive(cmdUploadOccupation, tr("The occupation codes could not be loaded."),
                     &frmAdmin::LoadOccupationCodes);
    });
}

frmAdmin::~frmAdmin() = default;

void frmAdmin::runExclusive(QPushButton *button, const QString &whatFailed, void (frmAdmin::*operation)())
{
    // The statements yield to the window system, so without this a second click would start a
    // run inside the first.
    if (m_running)
        return;
    m_running = true;
    setButtonsEnabled(false);
    using platform::audit::Outcome;
    const platform::audit::Fields task{{QStringLiteral("button"), button->text()}};
    platform::audit::record(platform::audit::Event::MaintenanceStarted, Outcome::Success, task);
    m_refusedStatements = 0;
    const bool finished = platform::ui::guarded(this, whatFailed, [this, operation] { (this->*operation)(); });
    platform::audit::record(platform::audit::Event::MaintenanceFinished,
                            !finished ? Outcome::Failure : m_refusedStatements > 0 ? Outcome::Partial : Outcome::Success,
                            task + platform::audit::Fields{{QStringLiteral("refusedStatements"), m_refusedStatements}});
    setButtonsEnabled(true);
    m_running = false;
    if (m_closeAfterRun) {
        m_closeAfterRun = false;
        close();
    }
}

void frmAdmin::closeEvent(QCloseEvent *event)
{
    // A run yields to the window system between statements; closing (and so deleting) the
    // window there would pull the window out from under the run. The close waits for its end.
    if (m_running) {
        m_closeAfterRun = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmAdmin::setButtonsEnabled(bool enabled)
{
    cmdUpdate->setEnabled(enabled);
    cmdClearOccupation->setEnabled(enabled);
    cmdUploadOccupation->setEnabled(enabled);
}

void frmAdmin::writeLog(const QString &line)
{
    // Newest first: the line and a line break go in front of everything already there.
    QTextCursor cursor(txtExistingColumns->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(line + QLatin1Char('\n'));
}

void frmAdmin::ExecuteSQL(const QString &SQL)
{
    runStep([&] { return m_connection->openRecordset(SQL); });
}

// A statement that carries values read from a file is checked before it is sent.
void frmAdmin::ExecuteSQL(const platform::Statement &SQL)
{
    runStep([&] { return m_connection->openRecordset(SQL); });
}

void frmAdmin::runStep(const std::function<std::unique_ptr<platform::Recordset>()> &open)
{
    doEvents();
    try {
        open()->close();
    } catch (const platform::Failure &failure) {
        // A failed step is reported in the log and the run goes on with the next one.
        writeLog(failure.description());
        ++m_refusedStatements;
    }
}

QString frmAdmin::CheckColumnName(const QString &ColumnName, const QString &TableName)
{
    m_connection->execute(QStringLiteral("Use Patient_DATA"));
    platform::Statement sql(platform::Statement::Kind::Select);
    sql += QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.COLUMNS where COLUMN_NAME = '");
    sql.addValue(ColumnName, QStringLiteral("column name"));
    sql += QStringLiteral("' and TABLE_NAME = '");
    sql.addValue(TableName, QStringLiteral("table name"));
    sql += QStringLiteral("'  ");
    std::unique_ptr<platform::Recordset> rs = m_connection->openRecordset(sql);
    QString found;
    if (rs->eof()) {
        writeLog("New Added Fields" + ColumnName);
    } else {
        found = rs->field(QStringLiteral("COLUMN_NAME")).toString();
        writeLog(found + " - " + TableName);
    }
    rs->close();
    doEvents();
    return found;
}

QString frmAdmin::CheckTableName(const QString &TableName, const QString &DBName)
{
    m_connection->execute("Use " + DBName);
    platform::Statement sql(platform::Statement::Kind::Select);
    sql += QStringLiteral("SELECT * FROM INFORMATION_SCHEMA.TABLES where TABLE_NAME = '");
    sql.addValue(TableName, QStringLiteral("table name"));
    sql += QStringLiteral("'");
    std::unique_ptr<platform::Recordset> rs = m_connection->openRecordset(sql);
    QString found;
    if (!rs->eof()) {
        found = rs->field(QStringLiteral("TABLE_NAME")).toString();
        writeLog(found + " - " + DBName);
    }
    rs->close();
    return found;
}

void frmAdmin::AddMissingColumn(const QString &TableName, const QString &ColumnName,
                                const QString &ColumnType)
{
    // Exact comparison: a column stored in another letter case is added again, and the
    // database's refusal ends up in the log.
    if (CheckColumnName(ColumnName, TableName) != ColumnName)
        ExecuteSQL("alter table patient_data.dbo." + TableName + " add " + ColumnName + "  "
                   + ColumnType);
}

void frmAdmin::RebuildHistoryTable(const QString &BaseName)
{
    if (m_historyRows)
        m_historyRows->keep("tbhis" + BaseName);
    ExecuteSQL("drop table patient_data.dbo.tbhis" + BaseName + " ");
    if (m_historyRows)
        m_historyRows->dropped("tbhis" + BaseName);
    // The history table has just been dropped, so only a table bearing the bare base name can
    // be found here; the copy is made unless that is so.
    if (CheckTableName(BaseName, QStringLiteral("Patient_Data")) != BaseName)
        ExecuteSQL("Select * Into patient_data.dbo.tbhis" + BaseName + " From  patient_data.dbo.tb"
                   + BaseName + "  WHERE 1=0;");
}

void frmAdmin::ReplaceString(QString &SourceStr, const QString &ReplaceWhat,
                             const QString &ReplaceWith)
{
    if (ReplaceWhat.isEmpty())
        return;
    // Every search starts again at the first character, so a replacement that joins two pieces
    // into a new occurrence is replaced as well. A replacement that contains what it replaces
    // would never finish that way; it gets one pass from left to right instead.
    const bool restart = !ReplaceWith.contains(ReplaceWhat, Qt::CaseInsensitive);
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = SourceStr.indexOf(ReplaceWhat, from, Qt::CaseInsensitive);
        if (at < 0)
            return;
        SourceStr = SourceStr.left(at) + ReplaceWith + SourceStr.mid(at + ReplaceWhat.size());
        from = restart ? 0 : at + ReplaceWith.size();
    }
}

QString frmAdmin::GetWord(QString &WordGroup, const QString &Separator)
{
    const qsizetype at = WordGroup.indexOf(Separator);
    if (at < 0 || WordGroup.isEmpty()) {
        const QString word = WordGroup;
        WordGroup.clear();
        return word;
    }
    const QString word = WordGroup.left(at);
    WordGroup = WordGroup.mid(at + Separator.size());
    return word;
}

void frmAdmin::UpdateDatabase()
{
    // A second run at the same time, here or on another workstation, is refused before it
    // changes anything: two runs dropping and rebuilding the same tables would both fail part way.
    const maintenance::UpgradeLock lock(m_connection);
    // The upgrade drops the history tables and makes them again empty; their rows are set aside
    // with each drop and put back once the tables have their final columns, also when a
    // failure stops the run part way. Rows a killed run left set aside are taken over first.
    auto historyRows = std::make_unique<maintenance::HistoryRows>(m_connection);
    for (const QString &line : historyRows->recover(maintenance::rebuiltHistoryTables()))
        writeLog(line);
    m_historyRows = std::move(historyRows);
    try {
        runUpgradeSteps();
    } catch (...) {
        putHistoryRowsBack();
        m_historyRows.reset();
        throw;
    }
    putHistoryRowsBack();
    const QString leftOver = m_historyRows->leftOverDescription();
    m_historyRows.reset();
    if (!leftOver.isEmpty())
        throw platform::Failure(leftOver);
}

void frmAdmin::runUpgradeSteps()
{
    using Kind = maintenance::UpgradeStep::Kind;
    for (const maintenance::UpgradeStep &step : maintenance::upgradeSteps()) {
        switch (step.kind) {
        case Kind::Statement:
            ExecuteSQL(step.text);
            break;
        case Kind::AddMissingColumn:
            AddMissingColumn(step.first, step.second, step.text);
            break;
        case Kind::ColumnCheck:
            if (CheckColumnName(step.first, step.second) != step.first)
                ExecuteSQL(step.text);
            break;
        case Kind::TableCheck:
            if (CheckTableName(step.first, step.second) != step.first)
                ExecuteSQL(step.text);
            break;
        case Kind::DropTable:
            m_historyRows->keep(step.first);
            ExecuteSQL("drop table patient_data.dbo." + step.first);
            m_historyRows->dropped(step.first);
            break;
        case Kind::RebuildHistory:
            RebuildHistoryTable(step.first);
            break;
        }
    }
}

void frmAdmin::putHistoryRowsBack()
{
    // Failures here are not steps of the upgrade; they are reported like failed statements so
    // the administrator sees which rows wait in a holding table.
    const QStringList failures = m_historyRows->restore();
    for (const QString &failure : failures)
        writeLog(failure);
    if (!failures.isEmpty())
        writeLog(m_historyRows->leftOverDescription());
}

void frmAdmin::ClearOccupationCodes()
{
    ExecuteSQL(QStringLiteral("truncate table build_file.dbo.tbcooccupation"));
}

void frmAdmin::LoadOccupationCodes()
{
    const QStringList lines = platform::files::readLines(
        platform::files::inProgramFolder(QStringLiteral("OccupationCodes.txt")));
    int lineNumber = 0;
    for (const QString &line : lines) {
        ++lineNumber;
        // Fixed layout: the code is the first five characters, untrimmed; the rest describes.
        const QString code = line.left(5);
        QString description = line.mid(5);
        qsizetype begin = 0, end = description.size();
        while (begin < end && description.at(begin) == QLatin1Char(' '))
            ++begin;
        while (end > begin && description.at(end - 1) == QLatin1Char(' '))
            --end;
        description = description.mid(begin, end - begin);
        // The statement is joined without escaping, so apostrophes would end the text early.
        ReplaceString(description, QStringLiteral("'"), QString());
        const QString where = QStringLiteral(" on line %1 of OccupationCodes.txt").arg(lineNumber);
        platform::Statement sql(platform::Statement::Kind::Insert);
        sql += QStringLiteral(" insert into build_file.dbo.tbcoOccupation (Code,Description) VALUES('");
        sql.addValue(code, QStringLiteral("code") + where);
        sql += QStringLiteral("','");
        sql.addValue(description, QStringLiteral("description") + where);
        sql += QStringLiteral("')");
        ExecuteSQL(sql);
        writeLog("Adding..." + code + " " + description);
        doEvents();
    }
}
