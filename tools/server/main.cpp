// talvor-server: the embedded databases over SQL Server's wire protocol.
#include "Log.h"
#include "Options.h"
#include "Server.h"
#include "tds/Tls.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <pthread.h>
#include <thread>

int main(int argc, char **argv)
{
    using namespace server;
    Options options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception &e) {
        std::cerr << "talvor-server: " << e.what() << "\n\n" << usage();
        return 2;
    }
    if (options.help) {
        std::cout << usage();
        return 0;
    }

    // Signals are taken by one thread with sigwait, so no connection thread is interrupted.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit (ulimit -f) fails a write with an error instead of ending the server.
    std::signal(SIGXFSZ, SIG_IGN);

    try {
        if (!std::filesystem::is_directory(options.folder))
            throw std::runtime_error("no folder " + options.folder);
        if (!options.certificate.empty())
            options.settings.tls = tds::TlsContext::fromFiles(options.certificate, options.key);
        const std::string folder = std::filesystem::absolute(options.folder).string();
        Services services;
        services.authenticator = std::make_shared<FolderLogins>(folder);
        services.sessions = [folder](const std::string &database, const tsql::SessionOptions &o) {
            return tsql::Session::open(folder, database, o);
        };
        const std::string authentication = services.authenticator->describe();
        Server server(options.settings, std::move(services));
        server.listen();
        logLine(Priority::Notice, "talvor-server serving " + folder + " on " + options.settings.address + ":" +
                                      std::to_string(server.port()) + ", encryption " +
                                      (!options.settings.tls                   ? "not offered"
                                       : options.settings.requireEncryption    ? "required"
                                                                               : "offered") +
                                      ", " + authentication);
        std::thread waiter([&] {
            int signal = 0;
            sigwait(&signals, &signal);
            logLine(Priority::Notice, std::string("stopping on ") + (signal == SIGTERM ? "SIGTERM" : "SIGINT") +
                                          ": finishing running statements");
            server.stop();
        });
        server.run();
        waiter.join();
        logLine(Priority::Notice, "talvor-server stopped");
    } catch (const std::exception &e) {
        logLine(Priority::Error, std::string("talvor-server: ") + e.what());
        return 1;
    }
    return 0;
}
