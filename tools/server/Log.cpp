#include "Log.h"

#include "tsql/Security.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace server {

void logLine(Priority priority, std::string_view text)
{
    static const bool journal = std::getenv("JOURNAL_STREAM") != nullptr;
    static std::mutex mutex;
    std::string line;
    if (journal)
        line = "<" + std::to_string(static_cast<int>(priority)) + ">";
    line.append(text);
    line.push_back('\n');
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string loggableStatement(std::string_view text, std::size_t limit)
{
    std::string out = tsql::security::maskPasswords(text);
    for (char &c : out)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    if (out.size() > limit) {
        out.resize(limit);
        out += "...";
    }
    return out;
}

} // namespace server
