#include "tsql/Extension.h"

#include "tsql/DateTime.h"
#include "tsql/Errors.h"
#include "tsql/Runtime.h"

#include <memory>

namespace tsql {

namespace {

// A session's answers where there is no session: the defaults of a new one.
class StandaloneHost final : public RuntimeHost {
public:
    explicit StandaloneHost(sqlite3 *) {}
    const dt::Settings &dateSettings() const override { return m_dates; }
    std::string currentDatabase() const override { return {}; }
    Catalog &catalog() override { throw err::internal("no catalogue outside an engine session"); }
    Value sessionValue(std::string_view) override { return Value::null(); }
    DateTime statementTime() const override { return dt::now(); }
    DateTime statementUtcTime() const override { return dt::utcNow(); }
    sqlite::PendingError &pending() override { return m_pending; }
    sqlite::Connection &sqliteConnection() override { throw err::internal("no engine connection"); }
    std::size_t valueLimit() const override { return std::size_t{256} << 20; }
    Value liveVariable(const std::string &name) override { throw err::make(137, name); }

private:
    dt::Settings m_dates;
    sqlite::PendingError m_pending;
};

} // namespace

void registerStandalone(sqlite3 *db)
{
    auto *host = new StandaloneHost(db);
    registerRuntime(db, host);
    // The host lives as long as the connection: SQLite frees it with the collation.
    sqlite3_create_collation_v2(db, "TSQL", SQLITE_UTF8, host, collationCompare,
                                [](void *p) { delete static_cast<StandaloneHost *>(p); });
}

} // namespace tsql
