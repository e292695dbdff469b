// Where an install puts the program, its occupation codes and the hand-off file, installed as
// the package installs it (prefix /usr) and as a private copy, into a temporary root each.

#include "platform/files/TextFile.h"

#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestInstallLayout : public QObject {
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
        QVERIFY(install(m_system, QStringLiteral("/usr")));
        QVERIFY(install(m_private, QStringLiteral("/opt/talvor")));
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

    // The program finds the installed settings where it looks for the workstation's settings;
    // the occupation codes it still reads from its program folder.
    void theInstalledSettingsNameTheSharedFolder()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_system.filePath("etc/xdg"));
        QCOMPARE(platform::files::handOffFolder(), QStringLiteral("/var/lib/talvor"));
        QCOMPARE(platform::files::inHandOffFolder("LastPatient.txt"), QStringLiteral("/var/lib/talvor/LastPatient.txt"));
        QCOMPARE(platform::files::inProgramFolder("OccupationCodes.txt"),
                 QCoreApplication::applicationDirPath() + "/OccupationCodes.txt");
    }
};

QTEST_MAIN(TestInstallLayout)
#include "tst_installlayout.moc"
