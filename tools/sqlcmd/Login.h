#pragma once

#include "Options.h"

namespace sqlcmd {

struct Login {
    QString target;
    QString user;
    QString password;
};

// What to hand to the connection factory for the options given: -E turns the target into an
// integrated sign-in, -U without -P takes SQLCMDPASSWORD or asks on the terminal.
Login loginFor(const Options &options, bool embedded);

bool inputIsTerminal();

// Reads a line from the terminal with echo off. Empty when standard input is no terminal.
QString askPassword(const QString &prompt);

} // namespace sqlcmd
