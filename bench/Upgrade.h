#pragma once
// Update Database on a copy of the large database, twice, through the maintenance window's own
// button, with the history rows counted before and after each run.

#include <QString>

namespace bench {

// Copies the database files of `folder` into `scratch` (emptied first), runs the update twice
// there and prints a case line for each run (with any lost history rows and the window's
// messages as notes), then removes the copy. Returns false when the copy could not be made.
bool benchUpgrade(const QString &folder, const QString &scratch);

} // namespace bench
