#include "tsql/Interrupt.h"

#include "tsql/Errors.h"

namespace tsql::interrupt {

namespace {

// Asking costs a clock read; 4 MiB of work between two asks is a few milliseconds.
constexpr std::size_t kWorkBetweenChecks = std::size_t{4} << 20;

thread_local Check t_check = nullptr;
thread_local const void *t_host = nullptr;
thread_local std::size_t t_work = 0;

} // namespace

Scope::Scope(Check check, const void *host) : m_previousCheck(t_check), m_previousHost(t_host)
{
    t_check = check;
    t_host = host;
}

Scope::~Scope()
{
    t_check = m_previousCheck;
    t_host = m_previousHost;
}

void poll(std::size_t work)
{
    t_work += work;
    if (t_work < kWorkBetweenChecks)
        return;
    t_work = 0;
    if (t_check && t_check(t_host))
        throw err::make(3617);
}

} // namespace tsql::interrupt
