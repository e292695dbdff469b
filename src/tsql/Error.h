#pragma once
// A failure as SQL Server reports one: message number, severity, state, text, and the line of
// the batch it happened on. what() is the text alone: that is what a program shows as the
// provider's description.

#include <stdexcept>
#include <string>

namespace tsql {

class Error : public std::runtime_error {
public:
    Error(int number, int severity, int state, const std::string &message, int line = 0)
        : std::runtime_error(message), m_number(number), m_severity(severity), m_state(state), m_line(line) {}
    int number() const { return m_number; }
    int severity() const { return m_severity; }
    int state() const { return m_state; }
    int line() const { return m_line; } // 1-based line in the batch; 0 when not known
    Error atLine(int line) const { return Error(m_number, m_severity, m_state, what(), line); }

private:
    int m_number, m_severity, m_state, m_line;
};

} // namespace tsql
