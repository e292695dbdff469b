#pragma once
// Timings of repeated runs and the one-line reports a script reads back.

#include <QString>
#include <optional>
#include <vector>

namespace bench {

struct Figures {
    double median = 0;
    double p95 = 0;
};

// Median and 95th percentile (nearest rank) of timings in milliseconds.
Figures summarize(std::vector<double> milliseconds);

// "case <name>: median_ms=<x> p95_ms=<y>[ floor_ms=<z> ratio=<x/z>]", flushed at once so a
// long run can be followed.
void printCase(const QString &name, const Figures &figures, const std::optional<Figures> &floor = {});
// A line starting with '#': context for people, skipped by scripts that read the cases.
void printNote(const QString &text);

// The machine's load averages over 1, 5 and 15 minutes, as /proc/loadavg gives them.
QString loadAverage();
// Peak resident memory of this process so far, in MB.
long peakRssMb();

} // namespace bench
