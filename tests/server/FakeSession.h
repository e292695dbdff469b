#pragma once
// A stand-in for the engine's session while the engine is being rewritten: it knows a handful of
// statements by heart and answers them with typed rows, counts, messages and errors, so that the
// server can be driven by real clients. Statements it does not know fail with 102.

#include "tsql/Session.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace fake {

// The rows of "SELECT * FROM EveryType": one column per engine type, one row of values and one
// of NULLs.
std::vector<tsql::ColumnInfo> everyTypeColumns();
std::vector<tsql::Value> everyTypeValues();

// Rows of "SELECT * FROM Numbers": that many rows of (n int, label varchar(40)).
constexpr int NumbersRows = 200000;

class Session : public tsql::Session {
public:
    Session(std::string database, tsql::SessionOptions options);

    std::unique_ptr<tsql::Result> execute(std::string_view statement) override;
    std::unique_ptr<tsql::BatchRun> run(std::string_view batch, std::vector<tsql::Parameter> parameters = {}) override;
    void cancel() override { m_cancel->store(true); }
    void setTimeout(int) override {}
    tsql::Explanation explain(std::string_view) override { return {}; }
    std::string currentDatabase() const override { return m_database; }
    std::string folder() const override { return "/nowhere"; }
    void createDatabase(const std::string &) override {}

    // How many sessions are open now, across every connection of a test.
    static int openSessions();
    ~Session() override;

private:
    std::string m_database;
    tsql::SessionOptions m_options;
    int m_transactions = 0;
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
};

} // namespace fake
