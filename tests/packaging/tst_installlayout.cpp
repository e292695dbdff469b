// Where an install puts the program, its occupation codes and the hand-off file, installed as
// the package installs it (prefix /usr) and as a private copy, into a temporary root each.

#include "../search/SearchWindowFixture.h"

#include "platform/files/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace searchtest;

class TestInstallLayout : public SearchWindowFixture {
    Q_OBJECT

private:
    QTemporaryDir m_system, m_private;

    static bool install(const QTemporaryDir &root, const QString &prefix)
    {
        QProcess cmake;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DESTDIR"), root.path());
        cmake.setProcessEnvironment(environment);
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(QStringLiteral(TALVOR_CMAKE_COMMAND),
                    {QStringLiteral("--install"), QStringLiteral(TALVOR_BUILD_DIR), QStringLiteral("--prefix"), prefix});
        const bool done = cmake.waitForFinished(120000) && cmake.exitStatus() == QProcess::NormalExit
                          && cmake.exitCode() == 0;
        if (!done)
            qWarning("%s", cmake.readAll().constData());
        return done;
    }

private slots:
    void initTestCase()
    {
        createDatabase();
        QVERIFY(install(m_system, QStringLiteral("/usr")));
        QVERIFY(install(m_private, QStringLiteral("/opt/talvor")));
    }
    void init() { openWindow(); }
    void cleanup()
    {
        closeWindow();
        platform::files::setSiteSettingsForTests(QString());
    }

    void whereEachInstallPutsItsFiles_data()
    {
        QTest::addColumn<bool>("system");
        QTest::newRow("the package's install, prefix /usr") << true;
        QTest::newRow("a private copy, prefix /opt/talvor") << false;
    }
    void whereEachInstallPutsItsFiles()
    {
        QFETCH(bool, system);
        const QString root = system ? m_system.path() : m_private.path();
        const QString programFolder = root + (system ? "/usr/lib/talvor" : "/opt/talvor/lib/talvor");
        const QString bin = root + (system ? "/usr/bin" : "/opt/talvor/bin");
        for (const char *program : {"talvor-search", "talvor-sqlcmd", "talvor-demo-db"}) {
            QVERIFY2(QFileInfo(programFolder + "/" + program).isExecutable(), program);
            QCOMPARE(QFileInfo(bin + "/" + program).canonicalFilePath(),
                     QFileInfo(programFolder + "/" + program).canonicalFilePath());
        }
        // The occupation codes stay with the program, wherever the hand-off file goes.
        QVERIFY(QFileInfo(programFolder + "/OccupationCodes.txt").isFile());

        const QString settings = root + "/etc/xdg/Talvor/talvor-search.conf";
        QCOMPARE(QFileInfo(settings).isFile(), system);
        QCOMPARE(QFileInfo(root + "/var/lib/talvor").isDir(), system);
        if (system) {
            QCOMPARE(QSettings(settings, QSettings::IniFormat).value("HandOff/Folder").toString(),
                     QStringLiteral("/var/lib/talvor"));
            // A program that watches the program folder still finds the file from there.
            QCOMPARE(QFileInfo(programFolder + "/LastPatient.txt").symLinkTarget(),
                     QStringLiteral("/var/lib/talvor/LastPatient.txt"));
        }
    }

    // The program finds the installed settings where the workstation's settings are looked for.
    void theInstalledSettingsNameTheSharedFolder()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_system.filePath("etc/xdg"));
        platform::files::setProgramFolderForTests(QString());
        const QString folder = platform::files::handOffFolder();
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("/etc/xdg"));
        QCOMPARE(folder, QStringLiteral("/var/lib/talvor"));
    }

    void openingARecordWritesIntoTheSharedFolderOnly()
    {
        // The installed settings, with the shared folder moved under the temporary root.
        const QString programFolder = m_system.filePath("usr/lib/talvor");
        const QString shared = m_system.filePath("var/lib/talvor");
        const QString settings = m_system.filePath("talvor-search.conf");
        QVERIFY(QFile::copy(m_system.filePath("etc/xdg/Talvor/talvor-search.conf"), settings));
        QSettings(settings, QSettings::IniFormat).setValue("HandOff/Folder", shared);
        platform::files::setSiteSettingsForTests(settings);
        platform::files::setProgramFolderForTests(programFolder);

        w->txtIDNum->setText(QStringLiteral("IP-1001"));
        w->txtIDNum->setFocus();
        QTest::mouseClick(w->cmdGoAdmission, Qt::LeftButton);

        QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join('\n')));
        QFile handOff(shared + "/LastPatient.txt");
        QVERIFY(handOff.open(QIODevice::ReadOnly));
        QCOMPARE(handOff.readAll(), QByteArray("H0001|IP-1001|DELA CRUZ, SANTOS JUAN"));
        QVERIFY(QFileInfo(programFolder + "/LastPatient.txt").isSymLink());
        QCOMPARE(platform::files::inProgramFolder("OccupationCodes.txt"), programFolder + "/OccupationCodes.txt");
    }
};

QTEST_MAIN(TestInstallLayout)
#include "tst_installlayout.moc"
