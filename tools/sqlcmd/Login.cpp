#include "Login.h"

#include <QRegularExpression>

#include <cstdio>
#include <iostream>
#include <string>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace sqlcmd {

namespace {

// Turns the terminal's echo off for as long as it lives.
class EchoOff {
public:
    EchoOff()
    {
#ifdef _WIN32
        m_console = GetStdHandle(STD_INPUT_HANDLE);
        m_active = GetConsoleMode(m_console, &m_saved);
        if (m_active)
            SetConsoleMode(m_console, m_saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
#else
        m_active = tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (m_active) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
        }
#endif
    }
    ~EchoOff()
    {
        if (!m_active)
            return;
#ifdef _WIN32
        SetConsoleMode(m_console, m_saved);
#else
        tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
#endif
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    bool m_active = false;
#ifdef _WIN32
    HANDLE m_console = nullptr;
    DWORD m_saved = 0;
#else
    termios m_saved{};
#endif
};

} // namespace

bool inputIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stdin)) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

QString askPassword(const QString &prompt)
{
    if (!inputIsTerminal())
        return {};
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    std::string line;
    {
        const EchoOff quiet;
        std::getline(std::cin, line);
    }
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
