#pragma once
// A clinic's morning on one talvor-server: N clerks, each on a connection of its own through
// unixODBC and FreeTDS, searching by name beginning, hospital number and birth date and listing
// registrations for a fixed time, each pausing about a second between searches as a clerk reads
// the grid; then the same without pauses, to find what the machine can take. The same clerks then
// run the same searches on sessions of the embedded engine, in the same process, for comparison.

#include "Cases.h"

#include <QString>

namespace bench {

struct LoadOptions {
    int clerks = 50;
    int seconds = 60;
    int thinkMs = 1000; // mean pause between one clerk's searches (uniform over 0.5 to 1.5 times)
};

// Prints server_load, embedded_load and their _saturated lines (p50/p95/p99 latency, searches per second);
// false when a search failed.
bool benchServerLoad(const QString &folder, const Samples &samples, const LoadOptions &options);

} // namespace bench
