#pragma once
// One call of a function may take seconds on a value of hundreds of megabytes (a LIKE against a
// pattern as long, a REPLICATE of a large text), and SQLite's progress handler, which stops a
// statement whose time is up or that was cancelled, runs only between SQLite's own steps. Such
// loops report their work here; every few megabytes of it the statement's host is asked whether
// to stop, and the loop ends with "The query was cancelled." like any other cancelled statement.

#include <cstddef>

namespace tsql::interrupt {

using Check = bool (*)(const void *host);

// While a function runs: who is asked. Scopes nest; without one nothing is asked.
class Scope {
public:
    Scope(Check check, const void *host);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    Check m_previousCheck;
    const void *m_previousHost;
};

// `work` more bytes or characters done; throws Error 3617 when the statement must stop.
void poll(std::size_t work);

} // namespace tsql::interrupt
