#include "TestServer.h"

#include "TestDatabase.h"

#include <QProcess>
#include <QtTest>

namespace {

// A self-signed certificate for 127.0.0.1, made fresh for each run.
void makeCertificate(const QString &dir)
{
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                              "-keyout", dir + "/key.pem", "-out", dir + "/cert.pem"});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
        qFatal("openssl could not make a test certificate: %s", openssl.readAllStandardError().constData());
}

} // namespace

TestServer::TestServer(const Options &options)
{
    server::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.idleTimeoutSeconds = options.idleTimeoutSeconds;
    settings.writeTimeoutSeconds = options.writeTimeoutSeconds;
    settings.maxConnections = options.maxConnections;
    settings.maxMessageBytes = options.maxMessageBytes;
    settings.loginTimeoutSeconds = 5;
    settings.logStatements = true;
    if (options.tls) {
        makeCertificate(m_dir.path());
        settings.tls = tds::TlsContext::fromFiles((m_dir.path() + "/cert.pem").toStdString(),
                                                  (m_dir.path() + "/key.pem").toStdString());
        settings.requireEncryption = options.requireEncryption;
    }
    server::Services services;
    services.throttle = std::make_shared<server::LoginThrottle>(options.throttleStep, std::chrono::seconds(2), 3);
    const std::string folder = (m_dir.path() + "/databases").toStdString();
    QDir().mkpath(QString::fromStdString(folder));
    testdb::create(folder);
    services.authenticator = std::make_shared<server::FolderLogins>(folder);
    services.sessions = [folder](const std::string &database, const tsql::SessionOptions &o) {
        return testdb::open(folder, database, o);
    };
    m_server = std::make_unique<server::Server>(settings, services);
    m_server->listen();
    m_thread = std::thread([this] { m_server->run(); });
}

TestServer::~TestServer()
{
    m_server->stop();
    m_thread.join();
}

QString TestServer::certificateFile() const { return m_dir.path() + "/cert.pem"; }
