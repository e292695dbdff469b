#include "Floor.h"

#include "tsql/Text.h"

#include <sqlite3.h>

#include <cctype>
#include <stdexcept>

namespace bench {

namespace {

int compareTsql(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return tsql::text::compare(std::string_view(static_cast<const char *>(a), static_cast<std::size_t>(lengthA)),
                         std::string_view(static_cast<const char *>(b), static_cast<std::size_t>(lengthB)));
}

sqlite3_stmt *prepare(sqlite3 *db, const std::string &sql, const std::vector<std::string> &parameters)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
        throw std::runtime_error("floor query: " + message + ": " + sql);
    }
    for (std::size_t i = 0; i < parameters.size(); ++i)
        sqlite3_bind_text(stmt, static_cast<int>(i + 1), parameters[i].data(), static_cast<int>(parameters[i].size()),
                          SQLITE_STATIC);
    return stmt;
}

} // namespace

Floor::Floor(const std::string &folder)
{
    const std::string path = folder + "/Patient_Data.sqlite";
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw std::runtime_error("cannot open " + path + ": " + message);
    }
    // Indexes on text columns are ordered by this collation; without it SQLite cannot read them.
    sqlite3_create_collation(m_db, "TSQL", SQLITE_UTF8, nullptr, compareTsql);
}

Floor::~Floor()
{
    sqlite3_close_v2(m_db);
}

int Floor::fetch(const std::string &sql, const std::vector<std::string> &parameters)
{
    sqlite3_stmt *stmt = prepare(m_db, sql, parameters);
    int rows = 0;
    std::string cells;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        cells.clear();
        const int columns = sqlite3_column_count(stmt);
        for (int c = 0; c < columns; ++c) {
            if (const auto *text = sqlite3_column_text(stmt, c))
                cells.append(reinterpret_cast<const char *>(text), static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
            cells += '\t';
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        throw std::runtime_error(std::string("floor query: ") + sqlite3_errmsg(m_db));
    return rows;
}

std::vector<std::string> Floor::row(const std::string &sql, const std::vector<std::string> &parameters)
{
    sqlite3_stmt *stmt = prepare(m_db, sql, parameters);
    std::vector<std::string> values;
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto *text = sqlite3_column_text(stmt, c);
            values.emplace_back(text ? reinterpret_cast<const char *>(text) : "");
        }
    }
    sqlite3_finalize(stmt);
    return values;
}

std::optional<std::string> Floor::scalar(const std::string &sql, const std::vector<std::string> &parameters)
{
    sqlite3_stmt *stmt = prepare(m_db, sql, parameters);
    std::optional<std::string> value;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL)
        value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    return value;
}

long long Floor::count(const std::string &sql, const std::vector<std::string> &parameters)
{
    const auto value = scalar(sql, parameters);
    return value ? std::stoll(*value) : 0;
}

std::string upperBound(const std::string &prefix)
{
    std::string bound;
    for (char c : prefix)
        bound += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!bound.empty())
        bound.back() = static_cast<char>(bound.back() + 1);
    return bound;
}

} // namespace bench
