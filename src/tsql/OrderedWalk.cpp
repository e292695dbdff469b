#include "tsql/OrderedWalk.h"

#include "tsql/Error.h"

#include <algorithm>
#include <cmath>
#include <regex>

namespace tsql {

namespace {

int parameterIndex(const std::string &placeholder)
{
    return std::stoi(placeholder.substr(1)) - 1; // "?3" is the third
}

bool followsIndex(sqlite::Connection &c, const std::string &sql)
{
    sqlite3_stmt *raw = sqlite::prepareCompiled(c, "EXPLAIN QUERY PLAN " + sql);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> plan(raw, sqlite3_finalize);
    bool index = false;
    while (sqlite3_step(plan.get()) == SQLITE_ROW) {
        const auto *detail = reinterpret_cast<const char *>(sqlite3_column_text(plan.get(), 3));
        const std::string step = detail ? detail : "";
        if (step.find("TEMP B-TREE") != std::string::npos)
            return false;
        index = index || step.find("USING INDEX") != std::string::npos
                || step.find("USING COVERING INDEX") != std::string::npos;
    }
    return index;
}

} // namespace

OrderedWalk::~OrderedWalk()
{
    sqlite3_finalize(walk);
    sqlite3_finalize(probe);
}

std::unique_ptr<OrderedWalk> orderedWalk(sqlite::Connection &c, const std::string &sql)
{
    // One query over one table, sorted and cut by TOP: a join or a subquery has other plans.
    const auto count = [&](std::string_view what) {
        std::size_t n = 0;
        for (auto at = sql.find(what); at != std::string::npos; at = sql.find(what, at + 1))
            ++n;
        return n;
    };
    static const std::string top = " LIMIT tsql_top(?";
    const auto topAt = sql.rfind(top);
    if (sql.rfind("SELECT ", 0) != 0 || count("SELECT ") != 1 || count(" JOIN ") != 0 || count(" FROM ") != 1
        || count(" ORDER BY ") != 1 || count("tsql_like_lo(") != 1 || topAt == std::string::npos || sql.back() != ')')
        return nullptr;
    static const std::regex from(R"( FROM ("[^"]+"\."[^"]+") AS (t\d+) WHERE )");
    static const std::regex range(R"((t\d+\."[^"]+") >= tsql_like_lo\((\?\d+)\) AND \1 < tsql_like_hi\(\2\))");
    std::smatch source, prefix;
    if (!std::regex_search(sql, source, from) || !std::regex_search(sql, prefix, range))
        return nullptr;
    const std::string table = source[1].str(), alias = source[2].str();
    const std::string column = prefix[1].str(), pattern = prefix[2].str();
    if (column.compare(0, alias.size() + 1, alias + ".") != 0)
        return nullptr;
    std::string walkSql = sql;
    for (const std::string &bound : {column + " >= tsql_like_lo(", column + " < tsql_like_hi("})
        walkSql.replace(walkSql.find(bound), bound.size(), "+" + bound);
    auto w = std::make_unique<OrderedWalk>();
    try {
        // A query that already walks its ORDER BY's index (the prefix on the sort column) has
        // nothing to gain; the walk must follow an index, or it would read the whole table.
        if (followsIndex(c, sql) || !followsIndex(c, walkSql))
            return nullptr;
        sqlite::Stmt size(c, "SELECT max(rowid) FROM " + table);
        w->tableRows = size.step() ? size.integer(0) : 0;
        w->walk = sqlite::prepareCompiled(c, walkSql);
        w->probe = sqlite::prepareCompiled(c, "SELECT count(*) FROM (SELECT 1 FROM " + table + " AS " + alias + " WHERE " +
                                                  column + " >= tsql_like_lo(?1) AND " + column +
                                                  " < tsql_like_hi(?1) LIMIT ?2)");
    } catch (const Error &) {
        return nullptr; // a table without rowid, say: the query keeps its one plan
    }
    w->patternParam = parameterIndex(pattern);
    w->topParam = std::stoi(sql.substr(topAt + top.size())) - 1;
    return w;
}

std::int64_t walkThreshold(const OrderedWalk &w, std::int64_t top)
{
    const double rows = std::sqrt(static_cast<double>(std::max<std::int64_t>(top, 1)) *
                                  static_cast<double>(w.tableRows) / 10.0);
    return std::max<std::int64_t>(static_cast<std::int64_t>(rows), 64);
}

} // namespace tsql
