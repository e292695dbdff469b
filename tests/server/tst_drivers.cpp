// Drivers nobody here wrote against a server started by the test: Python's pytds and Node.js's
// tedious, each signing in, reading every column type, a failing statement, sp_executesql with
// parameters and a transaction (the scripts in clients/), in clear and with encryption required.
#include "TestServer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

class TestDrivers : public QObject {
    Q_OBJECT

private slots:
    void driver_data();
    void driver();
};

void TestDrivers::driver_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<bool>("encrypted");
    for (const char *driver : {"pytds", "tedious"}) {
        QTest::newRow(qPrintable(QString("%1, clear").arg(driver))) << driver << false;
        QTest::newRow(qPrintable(QString("%1, encryption required").arg(driver))) << driver << true;
    }
}

void TestDrivers::driver()
{
    QFETCH(QString, driver);
    QFETCH(bool, encrypted);
    const QDir clients(QStringLiteral(TALVOR_CLIENTS_DIR));
    QString program;
    QStringList arguments;
    if (driver == "pytds") {
        // Debian's python3-tds lives beside Debian's own interpreter.
        program = "/usr/bin/python3";
        QProcess probe;
        probe.start(program, {"-c", "import pytds"});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            QFAIL("pytds is missing: scripts/install-deps installs python3-tds");
        arguments << clients.filePath("pytds_client.py");
    } else {
        if (!QFileInfo::exists(clients.filePath("node_modules/tedious/package.json")))
            QSKIP("tedious is not installed (scripts/install-deps could not reach the npm registry)");
        program = "node";
        arguments << clients.filePath("tedious_client.js");
    }
    TestServer::Options options;
    options.tls = encrypted;
    options.requireEncryption = encrypted;
    TestServer server(options);
    arguments << QString::number(server.port()) << TestServer::User << TestServer::Password;
    if (encrypted)
        arguments << (driver == "pytds" ? server.certificateFile() : QString("encrypt"));
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(program, arguments);
    QVERIFY2(client.waitForStarted(), qPrintable(program + " does not start"));
    if (!client.waitForFinished(60000))
        client.kill();
    const QString out = QString::fromUtf8(client.readAll());
    QVERIFY2(client.exitStatus() == QProcess::NormalExit && client.exitCode() == 0, qPrintable(out.right(3000)));
    QVERIFY2(out.contains("all checks passed"), qPrintable(out.right(3000)));
}

QTEST_GUILESS_MAIN(TestDrivers)
#include "tst_drivers.moc"
