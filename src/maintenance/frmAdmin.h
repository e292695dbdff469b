#pragma once
// The maintenance window: brings the two databases to the layout the record screens expect and
// loads the occupation codes. Its log (txtExistingColumns) is its only report; the newest line
// stands at the top. Controls carry the names the old code knows them by.

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace maintenance {
class HistoryRows;
}

namespace platform {
class Connection;
class Recordset;
class Statement;
}

class frmAdmin : public QWidget {
    Q_OBJECT
public:
    // `connection` is the shared connection; it outlives the window.
    explicit frmAdmin(platform::Connection *connection, QWidget *parent = nullptr);
    ~frmAdmin() override;

    // Catalogue look-ups. Each switches the connection's current database first and writes its
    // log line; a failure of their own statements is thrown to the caller.
    QString CheckColumnName(const QString &ColumnName, const QString &TableName);
    QString CheckTableName(const QString &TableName, const QString &DBName);

    // Replaces every occurrence of ReplaceWhat, found regardless of letter case, in place.
    static void ReplaceString(QString &SourceStr, const QString &ReplaceWhat,
                              const QString &ReplaceWith);
    // Returns the text before the first Separator and leaves the rest in WordGroup.
    static QString GetWord(QString &WordGroup, const QString &Separator);

    // True while one of the three buttons' runs is under way.
    bool isRunning() const { return m_running; }

    QPushButton *cmdUpdate = nullptr;
    QPlainTextEdit *txtExistingColumns = nullptr;
    QPushButton *cmdUploadOccupation = nullptr;
    QPushButton *cmdClearOccupation = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void ExecuteSQL(const QString &SQL);
    void ExecuteSQL(const platform::Statement &SQL);
    void runStep(const std::function<std::unique_ptr<platform::Recordset>()> &open);
    void AddMissingColumn(const QString &TableName, const QString &ColumnName,
                          const QString &ColumnType);
    void RebuildHistoryTable(const QString &BaseName);

    void UpdateDatabase();
    void runUpgradeSteps();
    void putHistoryRowsBack();
    void ClearOccupationCodes();
    void LoadOccupationCodes();

    void writeLog(const QString &line);
    void runExclusive(QPushButton *button, const QString &whatFailed, void (frmAdmin::*operation)());
    void setButtonsEnabled(bool enabled);

    platform::Connection *m_connection;
    bool m_running = false;
    bool m_closeAfterRun = false;
    // Statements of the current run that the database refused (and the log shows).
    int m_refusedStatements = 0;
    // Set during an upgrade: the history rows set aside before each drop.
    std::unique_ptr<maintenance::HistoryRows> m_historyRows;
};
