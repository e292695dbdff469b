// Clearing and loading the occupation codes from OccupationCodes.txt in the program's folder.

#include "MaintenanceSite.h"
#include "maintenance/frmAdmin.h"
#include "platform/files/TextFile.h"
#include "platform/ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace maintenancetest;

class OccupationCodesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void lines_data();
    void lines();
    void sampleFileLoadsTwice();
    void clearEmptiesTheTable();
    void clearWithoutTableIsLogged();
    void missingFileNamesIt();

private:
    void writeCodeFile(const QByteArray &bytes);
    QStringList tableRows();

    std::unique_ptr<Site> m_site;
    std::unique_ptr<frmAdmin> m_window;
    QTemporaryDir m_programFolder;
    QStringList m_messages;
};

namespace {
const QString createTable = QStringLiteral(
    "create table Build_File.dbo.tbCoOccupation (ID bigint IDENTITY (1, 1) NOT NULL, "
    "[Code] [varchar](10) NULL,[Description] [varchar](500)  NULL,[Status] [varchar](1)  NULL)");
}

void OccupationCodesTest::initTestCase()
{
    platform::ui::MessageBox::setResponder(
        [this](const platform::ui::ShownMessage &m) { m_messages.append(m.text); });
    QVERIFY(m_programFolder.isValid());
}

void OccupationCodesTest::cleanupTestCase()
{
    platform::ui::MessageBox::setResponder({});
    platform::files::setProgramFolderForTests({});
}

void OccupationCodesTest::init()
{
    m_messages.clear();
    m_site = std::make_unique<Site>();
    m_site->exec(createTable);
    m_window = std::make_unique<frmAdmin>(m_site->connection());
    platform::files::setProgramFolderForTests(m_programFolder.path());
}

void OccupationCodesTest::cleanup()
{
    m_window.reset();
    m_site.reset();
    QFile::remove(QDir(m_programFolder.path()).filePath("OccupationCodes.txt"));
}

void OccupationCodesTest::writeCodeFile(const QByteArray &bytes)
{
    QFile file(QDir(m_programFolder.path()).filePath("OccupationCodes.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList OccupationCodesTest::tableRows()
{
    QStringList result;
    for (const QVariantList &row : m_site->rows(
             "SELECT Code, Description, Status FROM build_file.dbo.tbCoOccupation ORDER BY ID")) {
        // Status is never given, so it stays null.
        result.append(row.at(0).toString() + QLatin1Char('|') + row.at(1).toString()
                      + (row.at(2).isNull() ? QString() : QStringLiteral("|status?")));
    }
    return result;
}

void OccupationCodesTest::lines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("rows"); // code|description, in file order
    QTest::addColumn<QStringList>("log");  // newest first; "!" stands for a failure line
    QTest::newRow("fixed layout") << QByteArray("22110 Physician\r\n")
                                  << QStringList{"22110|Physician"}
                                  << QStringList{"Adding...22110 Physician"};
    QTest::newRow("short line") << QByteArray("999\r\n") << QStringList{"999|"}
                                << QStringList{"Adding...999 "};
    QTest::newRow("empty line") << QByteArray("\r\n") << QStringList{"|"}
                                << QStringList{"Adding... "};
    QTest::newRow("short code keeps its blanks")
        << QByteArray("12     Nurse   \r\n") << QStringList{"12   |Nurse"}
        << QStringList{"Adding...12    Nurse"};
    QTest::newRow("tab stays in the description")
        << QByteArray("33420\tLegal Secretary\r\n") << QStringList{"33420|\tLegal Secretary"}
        << QStringList{"Adding...33420 \tLegal Secretary"};
    QTest::newRow("apostrophes dropped")
        << QByteArray("32200 Nurses' Aide's 'Helper'\r\n") << QStringList{"32200|Nurses Aides Helper"}
        << QStringList{"Adding...32200 Nurses Aides Helper"};
    QTest::newRow("no final line break")
        << QByteArray("11111 Baker\r\n22222 Cook") << QStringList{"11111|Baker", "22222|Cook"}
        << QStringList{"Adding...22222 Cook", "Adding...11111 Baker"};
    QTest::newRow("windows-1252")
        << QByteArray("51320 Caf\xe9 Attendant\r\n") << QStringList{"51320|Caf\u00e9 Attendant"}
        << QStringList{"Adding...51320 Caf\u00e9 Attendant"};
    // The code goes in unescaped, so an apostrophe would end its literal: that line is refused
    // before anything is sent, the refusal is logged, and the load goes on.
    QTest::newRow("apostrophe in the code fails alone")
        << QByteArray("O'BRI Painter\r\n51310 Waiter\r\n") << QStringList{"51310|Waiter"}
        << QStringList{"Adding...51310 Waiter", "Adding...O'BRI Painter",
                       "The code on line 1 of OccupationCodes.txt holds an apostrophe ('), which cannot be used here. "
                       "Nothing was sent to the database."};
    QTest::newRow("description too long fails alone")
        << (QByteArray("77777 ") + QByteArray(501, 'x') + "\r\n88888 Mason\r\n")
        << QStringList{"88888|Mason"}
        << QStringList{"Adding...88888 Mason", "Adding...77777 " + QString(501, 'x'), "!"};
}

void OccupationCodesTest::lines()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, log);
    writeCodeFile(file);
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    QCOMPARE(tableRows(), rows);
    const QStringList logged = logLines(*m_window);
    QCOMPARE(logged.size(), log.size());
    for (qsizetype i = 0; i < log.size(); ++i) {
        if (log.at(i) == QLatin1String("!"))
            QVERIFY2(!logged.at(i).startsWith("Adding..."), qPrintable(logged.at(i)));
        else
            QCOMPARE(logged.at(i), log.at(i));
    }
}

void OccupationCodesTest::sampleFileLoadsTwice()
{
    // The list shipped next to the program; loading adds, it never replaces.
    platform::files::setProgramFolderForTests({});
    const QStringList lines =
        platform::files::readLines(platform::files::inProgramFolder("OccupationCodes.txt"));
    QVERIFY(lines.size() >= 30);
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
    const QStringList rows = tableRows();
    QCOMPARE(rows.size(), 2 * lines.size());
    QCOMPARE(rows.mid(lines.size()), rows.mid(0, lines.size()));
    QVERIFY(rows.contains("32200|Nurses Aide"));
    QCOMPARE(logLines(*m_window).filter(QRegularExpression("^Adding")).size(), rows.size());
}

void OccupationCodesTest::clearEmptiesTheTable()
{
    writeCodeFile("11111 Baker\r\n22222 Cook\r\n");
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QCOMPARE(tableRows().size(), 2);
    const QStringList logBefore = logLines(*m_window);
    QTest::mouseClick(m_window->cmdClearOccupation, Qt::LeftButton);
    QCOMPARE(tableRows(), QStringList());
    QCOMPARE(logLines(*m_window), logBefore); // a clear that works says nothing
    // Numbering starts again after a clear.
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QCOMPARE(m_site->rows("SELECT MIN(ID) FROM build_file.dbo.tbCoOccupation").first().first().toLongLong(), 1);
}

void OccupationCodesTest::clearWithoutTableIsLogged()
{
    m_site->exec("DROP TABLE Build_File.dbo.tbCoOccupation");
    QTest::mouseClick(m_window->cmdClearOccupation, Qt::LeftButton);
    QVERIFY(m_messages.isEmpty());
    const QStringList logged = logLines(*m_window);
    QCOMPARE(logged.size(), 1);
    QVERIFY(logged.first().contains("tbcooccupation", Qt::CaseInsensitive));
}

void OccupationCodesTest::missingFileNamesIt()
{
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().startsWith("The occupation codes could not be loaded."));
    QVERIFY(m_messages.first().contains("OccupationCodes.txt"));
    QVERIFY(logLines(*m_window).isEmpty());
    QVERIFY(m_window->cmdUploadOccupation->isEnabled());
    QVERIFY(m_window->cmdUpdate->isEnabled());
}

QTEST_MAIN(OccupationCodesTest)
#include "tst_occupationcodes.moc"
