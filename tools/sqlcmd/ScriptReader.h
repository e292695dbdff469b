#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace sqlcmd {

// The lines of the input, from a stack of sources: a script, the files :r brings in (read in
// place of the :r line), a -Q text, or standard input.
class ScriptReader {
public:
    struct Line {
        QString text;
        QString file; // empty for standard input and -Q
        int number = 0;
    };

    // Reads a whole file; false with the reason when it cannot be read.
    bool pushFile(const QString &path, QString *reason);
    void pushText(const QString &text);
    // `prompt` is shown before each line when standard input is a terminal.
    void pushStandardInput(std::function<void()> prompt);

    std::optional<Line> next();
    int depth() const { return static_cast<int>(m_sources.size()); }

    // Script text as sqlcmd reads it: UTF-8 or, with their byte-order marks, UTF-16 either way
    // round or UTF-8.
    static QString decode(const QByteArray &bytes);

private:
    struct Source {
        QString file;
        QStringList lines;
        qsizetype next = 0;
        bool standardInput = false;
        std::function<void()> prompt;
    };
    std::vector<Source> m_sources;
};

} // namespace sqlcmd
