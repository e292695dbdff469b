// Occupation code files the clerk did not mean to pick: bytes that are no Windows-1252 text, a
// folder where the file should be. Each load ends with one message at most, keeps the lines it
// could read, and the window loads a good file afterwards.
#include "../maintenance/MaintenanceSite.h"

#include "maintenance/frmAdmin.h"
#include "platform/files/TextFile.h"
#include "platform/ui/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace maintenancetest;

class TestOccupationFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        platform::ui::MessageBox::setResponder([this](const platform::ui::ShownMessage &m) { m_messages << m.text; });
        QVERIFY(m_programFolder.isValid());
        platform::files::setProgramFolderForTests(m_programFolder.path());
    }
    void init()
    {
        m_messages.clear();
        m_site = std::make_unique<Site>();
        m_site->exec(QStringLiteral("create table Build_File.dbo.tbCoOccupation (ID bigint IDENTITY (1, 1) NOT NULL, "
                                    "[Code] [varchar](10) NULL,[Description] [varchar](500)  NULL,[Status] [varchar](1)  NULL)"));
        m_window = std::make_unique<frmAdmin>(m_site->connection());
    }
    void cleanup()
    {
        m_window.reset();
        m_site.reset();
        QDir(codeFile()).removeRecursively();
        QFile::remove(codeFile());
    }

    void oddBytes_data();
    void oddBytes();
    void fileIsAFolder();
    void fileIsALink_data();
    void fileIsALink();

private:
    QString codeFile() const { return QDir(m_programFolder.path()).filePath(QStringLiteral("OccupationCodes.txt")); }
    void write(const QByteArray &bytes)
    {
        QFile file(codeFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QStringList codes()
    {
        QStringList out;
        for (const QVariantList &row : m_site->rows(QStringLiteral("SELECT Code FROM build_file.dbo.tbCoOccupation ORDER BY ID")))
            out << row.at(0).toString();
        return out;
    }
    void loadsAGoodFileAfterwards();

    QTemporaryDir m_programFolder;
    std::unique_ptr<Site> m_site;
    std::unique_ptr<frmAdmin> m_window;
    QStringList m_messages;
};

void TestOccupationFaults::oddBytes_data()
{
    QTest::addColumn<QByteArray>("bad");
    QTest::newRow("bytes Windows-1252 leaves undefined") << QByteArray("12345 X\x81\x8d\x8f\x90\x9d");
    QTest::newRow("NUL inside") << QByteArray("12345 Nu\0ll", 11);
    QTest::newRow("UTF-8 with a byte-order mark") << QByteArray("\xef\xbb\xbf" "12345 Caf\xc3\xa9");
    QTest::newRow("UTF-16") << QByteArray("\xff\xfe" "1\0002\0003\0", 8);
    QTest::newRow("lone carriage returns") << QByteArray("12345 A\r\r\rB");
    QTest::newRow("control characters") << QByteArray("12345 \x01\x02\x1b[31m");
    QTest::newRow("one very long line") << (QByteArray("12345 ") + QByteArray(100000, 'y'));
}

void TestOccupationFaults::oddBytes()
{
    QFETCH(QByteArray, bad);
    write(QByteArray("51310 Waiter\r\n") + bad + "\r\n51320 Cook\r\n");
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QVERIFY2(m_messages.size() <= 1, qPrintable(m_messages.join('\n')));
    const QStringList loaded = codes();
    QVERIFY2(loaded.contains(QStringLiteral("51310")) && loaded.contains(QStringLiteral("51320")),
             qPrintable(loaded.join(',')));
    loadsAGoodFileAfterwards();
}

void TestOccupationFaults::fileIsAFolder()
{
    QVERIFY(QDir().mkpath(codeFile()));
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QLatin1String("OccupationCodes.txt")), qPrintable(m_messages.first()));
    QVERIFY(QDir(codeFile()).removeRecursively());
    loadsAGoodFileAfterwards();
}

void TestOccupationFaults::fileIsALink_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("to a file only its owner may read") << true;
    QTest::newRow("to a file not there") << false;
}

// A link left in the program's folder in place of the code file would have an administrator's
// run copy whatever it points at into a table clerks read. It is refused by name; nothing loads.
void TestOccupationFaults::fileIsALink()
{
    QFETCH(bool, targetExists);
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("secret"));
    if (targetExists) {
        QFile secret(target);
        QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("99999 Secret\r\n") > 0);
        secret.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QVERIFY(QFile::link(target, codeFile()));
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains(QLatin1String("OccupationCodes.txt"))
                 && m_messages.first().contains(QLatin1String("link")),
             qPrintable(m_messages.first()));
    QCOMPARE(codes(), QStringList());
    QVERIFY(QFile::remove(codeFile()));
    QCOMPARE(QFileInfo::exists(target), targetExists);
    loadsAGoodFileAfterwards();
}

void TestOccupationFaults::loadsAGoodFileAfterwards()
{
    m_messages.clear();
    QTest::mouseClick(m_window->cmdClearOccupation, Qt::LeftButton);
    write("22110 Physician\r\n");
    QTest::mouseClick(m_window->cmdUploadOccupation, Qt::LeftButton);
    QCOMPARE(m_messages, QStringList());
    QCOMPARE(codes(), QStringList{QStringLiteral("22110")});
}

QTEST_MAIN(TestOccupationFaults)
#include "tst_occupationfaults.moc"
