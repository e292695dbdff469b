#pragma once

#include <QString>
#include <optional>

namespace sqlcmd {

// Collects input lines into batches. A line holding only GO (any letter case, blanks around,
// an optional repeat count) ends a batch; a line holding only EXIT or QUIT ends the input.
class BatchReader {
public:
    struct Batch {
        QString text;
        int repeat = 1;
    };

    // Returns the finished batch when `line` was a GO line.
    std::optional<Batch> addLine(const QString &line);
    // The batch left over at the end of the input, if it holds more than blanks.
    std::optional<Batch> finish();

    bool quit() const { return m_quit; }
    // Number of lines in the batch being collected; the prompt shows it plus one.
    int pendingLines() const { return m_lines; }

private:
    QString m_text;
    int m_lines = 0;
    bool m_quit = false;
};

} // namespace sqlcmd
