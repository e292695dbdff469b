#pragma once
// The floor: the same rows fetched by hand-written SQL through the plain SQLite C API, on the
// same database file, so the figures say what the engine and the window add on top of SQLite.

#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace bench {

struct FloorQuery {
    // Candidates for the same rows, differing only in which index SQLite is steered to; the
    // floor is the fastest of them.
    std::vector<std::string> candidates;
    std::vector<std::string> parameters; // bound to ?1, ?2, ... as text
};

class Floor {
public:
    // Opens <folder>/Patient_Data.sqlite with the collation its text columns and indexes use.
    explicit Floor(const std::string &folder);
    ~Floor();
    Floor(const Floor &) = delete;
    Floor &operator=(const Floor &) = delete;

    // Prepares, steps to the end reading every column of every row as text, finalizes; returns
    // the number of rows.
    int fetch(const std::string &sql, const std::vector<std::string> &parameters);

    // The first column of the first row, or nothing when there is no row or it is NULL.
    std::optional<std::string> scalar(const std::string &sql, const std::vector<std::string> &parameters = {});
    std::vector<std::string> row(const std::string &sql, const std::vector<std::string> &parameters = {});
    long long count(const std::string &sql, const std::vector<std::string> &parameters = {});

private:
    sqlite3 *m_db = nullptr;
};

// The text just above every text that starts with `prefix`, in the case-insensitive order.
std::string upperBound(const std::string &prefix);

} // namespace bench
