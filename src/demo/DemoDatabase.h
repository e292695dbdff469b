#pragma once

#include <QString>
#include <functional>

namespace demo {

struct Options {
    int patients = 5000;
    unsigned seed = 1;
};

// Creates the two databases (Patient_Data, Build_File) in `folder` in the layout a site has
// before the maintenance upgrade, fills them with synthetic patients and registrations (some of
// them today) and adds the demo sign-in user (demo / demo, department "18"). Deterministic for
// a seed, except that "today" is the day it runs. `progress` gets 0..100. Throws
// platform::Failure. The files are built beside and moved in at the end, Patient_Data last, so an
// interrupted run never leaves a half-filled database that could be taken for a finished one.
void create(const QString &folder, const Options &options,
            const std::function<void(int percent)> &progress = {});

// True when `folder` holds a finished demo database.
bool isCreated(const QString &folder);

} // namespace demo
