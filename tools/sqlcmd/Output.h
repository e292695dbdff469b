#pragma once

#include <QString>

#include <cstdio>

namespace sqlcmd {

// Where the shell writes. Results and server messages share one stream, so that they stay in
// the order the server sent them; -r moves messages to the error stream, which also takes the
// shell's own errors. :out and :error move either stream to a file or to the other one.
class Output {
public:
    Output();
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    // -o: a file instead of standard output. -r has no effect then.
    bool openOutputFile(const QString &path, QString *error);
    // :out and :error: a file name, STDOUT or STDERR. A file that cannot be written leaves the
    // stream where it was.
    bool redirectResults(const QString &target, QString *error);
    bool redirectErrors(const QString &target, QString *error);
    // -r: -1 (messages stay with the results), 0 (errors of level 11 and above go to the error
    // stream), 1 (every message does).
    void setMessageRedirection(int mode) { m_redirect = mode; }

    void result(const QString &text);
    void message(const QString &text, int severity);
    void shellError(const QString &text);
    void flush();

private:
    struct Stream {
        std::FILE *file = nullptr;
        bool owned = false;
    };
    static bool open(Stream &stream, const QString &target, QString *error);
    static void close(Stream &stream);
    void write(Stream &stream, const QString &text);

    Stream m_results;
    Stream m_errors;
    int m_redirect = -1;
    bool m_outputFile = false;
};

} // namespace sqlcmd
