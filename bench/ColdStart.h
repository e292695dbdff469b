#pragma once
// The program's start as a clerk meets it: a fresh process until the sign-in is shown, and from
// the sign-in accepted until the search window shows today's list.

#include <QString>

namespace bench {

// Starts this program again with --cold-start `runs` times on the database in `folder` and
// prints the two cases. False when a start failed.
bool benchColdStart(const QString &folder, int runs);

// The child's side: the program's own start-up (Module1::Main) with the sign-in filled in as
// the demo user; prints what it measured. Returns the exit status.
int coldStartChild(const QString &folder);

} // namespace bench
