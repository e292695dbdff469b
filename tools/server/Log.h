#pragma once
// The server's log: one line per event on standard error. Under systemd (JOURNAL_STREAM set)
// each line carries its priority so the journal can filter warnings from routine lines.

#include <string>
#include <string_view>

namespace server {

enum class Priority { Error = 3, Warning = 4, Notice = 5, Info = 6 };

void logLine(Priority priority, std::string_view text);

// A statement as it may be logged: on one line, cut to `limit` characters, and with the
// literal after every PASSWORD = replaced, so that CREATE LOGIN never leaves a password behind.
std::string loggableStatement(std::string_view text, std::size_t limit = 2000);

} // namespace server
