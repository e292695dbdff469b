#pragma once
// The command line of talvor-server.

#include "Settings.h"

#include <optional>
#include <string>
#include <vector>

namespace server {

struct Options {
    std::string folder;
    Settings settings;
    std::string certificate;
    std::string key;
    bool help = false;
};

// Throws std::runtime_error with a message for the user.
Options parseOptions(const std::vector<std::string> &args);
std::string usage();

} // namespace server
