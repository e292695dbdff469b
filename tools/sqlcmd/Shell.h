#pragma once

#include "Command.h"
#include "ResultPrinter.h"
#include "ScriptReader.h"
#include "Target.h"
#include "Variables.h"

namespace sqlcmd {

class Output;

struct ShellSettings {
    bool exitOnError = false; // -b, the same as :on error exit
    int errorLevel = 0;       // -m: errors below this level are not shown; -1 heads every message
    int severityLevel = 0;    // -V: errors below this level do not count as failures
    bool echo = false;        // -e
    bool substitute = true;   // false for -x
    bool trimSpaces = false;  // -W
    int controlCharacters = 0; // -k
    QString terminator = QStringLiteral("GO");
};

// Reads scripts line by line, keeps sqlcmd's commands to itself, collects the rest into a batch
// and sends each whole batch to the target when GO ends it; prints what comes back.
class Shell {
public:
    Shell(BatchTarget &target, Output &output, Variables &variables, const ShellSettings &settings);

    // The scripting variables that steer formatting and limits (SQLCMDCOLSEP, SQLCMDHEADERS...)
    // as they stand now.
    void applyVariables();

    // Runs a script file, a -Q text or standard input to its end; the batch left at the end runs
    // too. False once the shell has to stop (an error under :on error exit, QUIT, EXIT).
    bool runFile(const QString &path);
    bool runText(const QString &text);
    bool runStandardInput(bool interactive);

    bool stopped() const { return m_stopped; }
    int exitCode() const { return m_exitCode; }

private:
    class Events;

    bool drain();
    void handleLine(const ScriptReader::Line &line);
    void handleCommand(const Command &command, const ScriptReader::Line &line);
    // Sends the batch `count` times; `exitQuery` adds EXIT's query to it and sets the exit code.
    void runBatch(int count, const std::optional<QString> &exitQuery = std::nullopt);
    void setVariable(const Command &command, const ScriptReader::Line &line);
    // sqlcmd's own error: printed, and under :on error exit the end with status 1.
    void shellError(const QString &text);
    void syntaxError(const Command &command, const ScriptReader::Line &line);
    void stop(int code);

    BatchTarget &m_target;
    Output &m_output;
    Variables &m_variables;
    ShellSettings m_settings;
    ResultPrinter m_printer;
    ScriptReader m_reader;
    QStringList m_batch;
    bool m_exitOnError = false;
    bool m_stopped = false;
    int m_exitCode = 0;
};

} // namespace sqlcmd
