#include "Options.h"

#include <stdexcept>

namespace server {

namespace {

int number(const std::string &option, const std::string &text, int min, int max)
{
    try {
        std::size_t used = 0;
        const int n = std::stoi(text, &used);
        if (used == text.size() && n >= min && n <= max)
            return n;
    } catch (const std::exception &) {
    }
    throw std::runtime_error(option + " takes a number from " + std::to_string(min) + " to " + std::to_string(max) +
                             ", not '" + text + "'");
}

} // namespace

std::string usage()
{
    return "Usage: talvor-server FOLDER [options]\n"
           "Serves the embedded databases in FOLDER (one <Name>.sqlite file per database) to any client\n"
           "that speaks SQL Server's protocol (TDS 7.3 or later). Clients sign in with the folder's\n"
           "logins, made with CREATE LOGIN, CREATE USER and ALTER ROLE (talvor-sqlcmd -S FOLDER).\n\n"
           "  --listen ADDR:PORT        where to listen (default 127.0.0.1:1433; [::1]:1433 for IPv6)\n"
           "  --cert FILE --key FILE    TLS certificate chain and private key (PEM); needed for any\n"
           "                            address other than loopback\n"
           "  --require-encryption      refuse clients that do not encrypt the whole connection\n"
           "  --database NAME           database of a login that names none (default Patient_Data)\n"
           "  --max-connections N       connections at once (default 64)\n"
           "  --max-request-bytes N     largest request a client may send (default 16777216)\n"
           "  --idle-timeout SECONDS    close a connection idle this long (default 3600, 0 never)\n"
           "  --login-timeout SECONDS   time allowed from connect to signed in (default 30)\n"
           "  --write-timeout SECONDS   close a connection that does not read its results (default 120)\n"
           "  --log-statements          log every statement (one line each; passwords masked)\n"
           "  --server-name NAME        the name messages carry (default talvor-server)\n";
}

Options parseOptions(const std::vector<std::string> &args)
{
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&]() -> const std::string & {
            if (i + 1 >= args.size())
                throw std::runtime_error(a + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--listen") {
            const std::string &v = value();
            const auto colon = v.rfind(':');
            if (colon == std::string::npos)
                throw std::runtime_error("--listen takes ADDRESS:PORT, not '" + v + "'");
            std::string address = v.substr(0, colon);
            if (address.size() > 2 && address.front() == '[' && address.back() == ']')
                address = address.substr(1, address.size() - 2);
            o.settings.address = address;
            o.settings.port = static_cast<std::uint16_t>(number(a, v.substr(colon + 1), 0, 65535));
        } else if (a == "--cert") {
            o.certificate = value();
        } else if (a == "--key") {
            o.key = value();
        } else if (a == "--require-encryption") {
            o.settings.requireEncryption = true;
        } else if (a == "--database") {
            o.settings.defaultDatabase = value();
        } else if (a == "--max-connections") {
            o.settings.maxConnections = number(a, value(), 1, 10000);
        } else if (a == "--max-request-bytes") {
            o.settings.maxMessageBytes = static_cast<std::size_t>(number(a, value(), 4096, 1 << 30));
        } else if (a == "--idle-timeout") {
            o.settings.idleTimeoutSeconds = number(a, value(), 0, 7 * 86400);
        } else if (a == "--login-timeout") {
            o.settings.loginTimeoutSeconds = number(a, value(), 1, 3600);
        } else if (a == "--write-timeout") {
            o.settings.writeTimeoutSeconds = number(a, value(), 1, 86400);
        } else if (a == "--log-statements") {
            o.settings.logStatements = true;
        } else if (a == "--server-name") {
            o.settings.serverName = value();
        } else if (!a.empty() && a[0] == '-') {
            throw std::runtime_error("unknown option " + a);
        } else if (o.folder.empty()) {
            o.folder = a;
        } else {
            throw std::runtime_error("one folder only; '" + a + "' is a second");
        }
    }
    if (o.help)
        return o;
    if (o.folder.empty())
        throw std::runtime_error("no folder given");
    if (o.certificate.empty() != o.key.empty())
        throw std::runtime_error("--cert and --key go together");
    if (o.settings.requireEncryption && o.certificate.empty())
        throw std::runtime_error("--require-encryption needs --cert and --key");
    return o;
}

} // namespace server
