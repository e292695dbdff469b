#include "tsql/SystemProcedures.h"

#include "tsql/Engine.h"
#include "tsql/Errors.h"
#include "tsql/SystemProcedureSupport.h"

#include <cstdlib>

namespace tsql {

namespace {

using sysproc::Arguments;

// SQL Server hashes names past 255 characters away; the bytes kept here are the UTF-8 of at
// most that many.
std::string resourceName(const std::string &text)
{
    std::string out;
    std::size_t characters = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80 && ++characters > 255)
            break;
        out += static_cast<char>(c);
    }
    return out;
}

std::optional<AppLocks::Owner> ownerOf(const std::optional<std::string> &text)
{
    if (!text || iequals(*text, "Transaction"))
        return AppLocks::Owner::Transaction;
    if (iequals(*text, "Session"))
        return AppLocks::Owner::Session;
    return std::nullopt;
}

} // namespace

int spGetAppLock(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const Arguments a("sp_getapplock", {"@Resource", "@LockMode", "@LockOwner", "@LockTimeout", "@DbPrincipal"},
                      values, names);
    Engine &e = b.engine();
    const std::string resource = resourceName(a.required(0));
    const std::string mode = a.required(1);
    const std::optional<AppLocks::Owner> owner = ownerOf(a.text(2));
    // Update and Exclusive exclude one another and the shared modes; the intent modes lock
    // nothing against each other here, and are taken as shared.
    const bool exclusive = iequals(mode, "Exclusive") || iequals(mode, "Update");
    const bool known = exclusive || iequals(mode, "Shared") || iequals(mode, "IntentShared") ||
                       iequals(mode, "IntentExclusive");
    // A transaction's lock outside a transaction would be held by nobody.
    if (!known || !owner || e.currentDatabase().empty() ||
        (*owner == AppLocks::Owner::Transaction && e.transactionDepth() == 0))
        return -999;
    int timeout = -1;
    if (const std::optional<std::string> t = a.text(3))
        timeout = std::atoi(t->c_str());
    const AppLocks::Outcome outcome = e.appLocks().acquire(e.currentDatabase(), resource, exclusive, *owner, timeout,
                                                           [&e] { return e.cancelRequested(); });
    return static_cast<int>(outcome);
}

int spReleaseAppLock(BatchRunner &b, const std::vector<Value> &values, const std::vector<std::string> &names)
{
    const Arguments a("sp_releaseapplock", {"@Resource", "@LockOwner", "@DbPrincipal"}, values, names);
    Engine &e = b.engine();
    const std::string resource = resourceName(a.required(0));
    const std::optional<AppLocks::Owner> owner = ownerOf(a.text(1));
    if (owner && e.appLocks().release(e.currentDatabase(), resource, *owner))
        return 0;
    sysproc::report(b, err::make(1223, a.text(2).value_or("public"), resource));
    return -999;
}

} // namespace tsql
