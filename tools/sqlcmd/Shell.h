#pragma once

#include "ResultPrinter.h"

namespace platform {
class Connection;
}

namespace sqlcmd {

// Runs batches on one connection and reports as sqlcmd does: results on the output, errors as
// "Msg N, Level L, State S, Line L" and the message on standard error.
class Shell {
public:
    Shell(platform::Connection &connection, const PrintOptions &print, std::FILE *out,
          bool exitOnError);

    // Runs every statement of the batch. Returns false when it should stop: a statement failed
    // and -b was given.
    bool runBatch(const QString &batch);

    bool anyError() const { return m_anyError; }

private:
    void reportError(const QString &text, int number, int severity, int state, int line);

    platform::Connection &m_connection;
    ResultPrinter m_printer;
    std::FILE *m_out;
    bool m_exitOnError;
    bool m_anyError = false;
};

} // namespace sqlcmd
