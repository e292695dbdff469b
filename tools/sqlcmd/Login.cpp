#include "Login.h"

#include <QRegularExpression>

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace sqlcmd {

QString askPassword(const QString &prompt)
{
    if (!isatty(STDIN_FILENO))
        return {};
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool haveTerminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    std::getline(std::cin, line);
    if (haveTerminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    const QString password = QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
    std::fill(line.begin(), line.end(), '\0');
    return password;
}

Login loginFor(const Options &options, bool embedded)
{
    Login login{options.server, options.user, {}};
    if (embedded)
        return login; // the embedded engine has no login of its own
    if (options.trusted) {
        static const QRegularExpression trusted(QStringLiteral(R"((^|;)\s*trusted_connection\s*=)"),
                                                QRegularExpression::CaseInsensitiveOption);
        if (!login.target.contains(QLatin1Char('=')))
            login.target = QStringLiteral("DSN=") + login.target;
        if (!trusted.match(login.target).hasMatch()) {
            if (!login.target.endsWith(QLatin1Char(';')))
                login.target += QLatin1Char(';');
            login.target += QStringLiteral("Trusted_Connection=yes");
        }
        login.user.clear();
        return login;
    }
    if (options.password) {
        login.password = *options.password;
    } else if (!options.user.isEmpty()) {
        if (qEnvironmentVariableIsSet("SQLCMDPASSWORD"))
            login.password = qEnvironmentVariable("SQLCMDPASSWORD");
        else
            login.password = askPassword(QStringLiteral("Password: "));
    }
    return login;
}

} // namespace sqlcmd
