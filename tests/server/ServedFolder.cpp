#include "ServedFolder.h"

#include "Server.h"
#include "tsql/Session.h"

#include <QDir>
#include <QFileInfo>

#include <list>
#include <stdexcept>
#include <thread>

namespace servedfolder {

namespace {

constexpr const char *Login = "tester";
constexpr const char *Password = "Tester-1";

class Served {
public:
    explicit Served(const std::string &folder)
    {
        server::Settings settings;
        settings.address = "127.0.0.1";
        settings.port = 0;
        server::Services services;
        services.authenticator = std::make_shared<server::FolderLogins>(folder);
        services.sessions = [folder](const std::string &database, const tsql::SessionOptions &o) {
            return tsql::Session::open(folder, database, o);
        };
        m_server = std::make_unique<server::Server>(settings, services);
        m_server->listen();
        m_thread = std::thread([this] { m_server->run(); });
    }
    ~Served()
    {
        m_server->stop();
        m_thread.join();
    }
    std::uint16_t port() const { return m_server->port(); }

private:
    std::unique_ptr<server::Server> m_server;
    std::thread m_thread;
};

std::list<Served> &servers()
{
    static std::list<Served> all;
    return all;
}

// The folder's owner makes the login and makes it db_owner of every database there.
void addLogin(const std::string &folder)
{
    QStringList statements = {QString("CREATE LOGIN %1 WITH PASSWORD = '%2'").arg(Login, Password)};
    for (const QFileInfo &f : QDir(QString::fromStdString(folder)).entryInfoList({"*.sqlite"}, QDir::Files)) {
        if (f.completeBaseName().compare("master", Qt::CaseInsensitive) == 0)
            continue;
        statements << "USE [" + f.completeBaseName() + "]" << QString("CREATE USER %1").arg(Login)
                   << QString("ALTER ROLE db_owner ADD MEMBER %1").arg(Login);
    }
    auto session = tsql::Session::open(folder, "");
    for (const QString &s : statements) {
        auto run = session->run(s.toStdString());
        while (run->next())
            if (run->item() == tsql::BatchRun::Item::Message && run->message().isError() &&
                run->message().number != 15025 && run->message().number != 15023)
                throw std::runtime_error(run->message().text);
    }
}

} // namespace

bool throughServer() { return !qEnvironmentVariableIsEmpty("TALVOR_TEST_THROUGH_SERVER"); }

std::unique_ptr<platform::Connection> open(const QString &folder)
{
    if (!throughServer())
        return platform::openConnection(folder);
    const std::string path = QDir(folder).absolutePath().toStdString();
    addLogin(path);
    servers().emplace_back(path);
    const QString target = QString("Driver=FreeTDS;Server=127.0.0.1;Port=%1;Database=Patient_Data;TDS_Version=7.4;"
                                   "ClientCharset=UTF-8")
                               .arg(servers().back().port());
    return platform::openConnection(target, Login, Password);
}

} // namespace servedfolder
